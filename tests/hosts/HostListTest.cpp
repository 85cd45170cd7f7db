#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "hosts/HostList.h"

using hv::Host;
using hv::HostList;

namespace {

QList<QPair<QString, QString>> entries(std::initializer_list<QPair<QString, QString>> list) {
    return QList<QPair<QString, QString>>(list);
}

QStringList titles(const HostList& list) {
    QStringList out;
    for (const Host& h : list.hosts()) out << h.title;
    return out;
}

}  // namespace

TEST(HostList, EmptyListHasNoHostsAndCountZero) {
    HostList list;
    list.rebuildFromEntries({});
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.itemsCount(), 0);
    EXPECT_TRUE(list.hostLines().isEmpty());
    list.rebuildFromLines({});
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.itemsCount(), 0);
}

TEST(HostList, SettingsEntriesSkipBlankAddressesButCountThem) {
    HostList list;
    list.rebuildFromEntries(entries({{"A", "10.0.0.1"}, {"B", "   "}, {"C", "10.0.0.2"}}));
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(list.itemsCount(), 3);
    const QList<Host> hosts = list.hosts();
    EXPECT_EQ(hosts[0].title, "A");
    EXPECT_EQ(hosts[0].address, "10.0.0.1");
    EXPECT_EQ(hosts[1].title, "C");
    EXPECT_EQ(hosts[1].address, "10.0.0.2");
    for (const Host& h : hosts) EXPECT_EQ(h.stateImage, hv::kImageNotAnswering);
}

TEST(HostList, SettingsEntriesTrimAddressesNotTitles) {
    HostList list;
    list.rebuildFromEntries(entries({{" Mail ", " \t10.0.0.5  "},
                                     {"Web", "  http://localhost "},
                                     {"Mail", "127.0.0.1"},
                                     {"Mail", "127.0.0.2"},
                                     {"-", "127.0.0.3"},
                                     {"Empty", ""}}));
    EXPECT_EQ(list.itemsCount(), 6);
    EXPECT_EQ(titles(list), (QStringList{" Mail ", "Web", "Mail", "Mail", "-"}));
    EXPECT_EQ(list.hostLines(),
              (QStringList{" Mail  :  10.0.0.5", "Web :  http://localhost", "Mail :  127.0.0.1",
                           "Mail :  127.0.0.2", "- :  127.0.0.3"}));
}

TEST(HostList, SplitHostLine) {
    struct Case {
        QString line, title, address;
    } cases[] = {
        {"Mail :  10.0.0.5", "Mail", "10.0.0.5"},
        {"-"
         " :  "
         "10.0.0.1",
         "-", "10.0.0.1"},
        // A title that holds the separator is split at its first occurrence.
        {"a :  b :  10.0.0.1", "a", "b :  10.0.0.1"},
        {" :  10.0.0.1", "", "10.0.0.1"},
        {"Title :  ", "Title", ""},
        {"Title :  10.0.0.1 ", "Title", "10.0.0.1 "},
        // Three blanks after the colon: the address keeps the third one.
        {"T :   x", "T", " x"},
        {"no separator", "no separator", ""},
        {"T : x", "T : x", ""},
    };
    for (const Case& c : cases) {
        const Host h = hv::splitHostLine(c.line);
        EXPECT_EQ(h.title, c.title) << c.line.toStdString();
        EXPECT_EQ(h.address, c.address) << c.line.toStdString();
        EXPECT_EQ(h.stateImage, hv::kImageNotAnswering);
    }
}

TEST(HostList, SplitCutsAddressTo1000Characters) {
    const QString longAddress = QString(1200, QLatin1Char('a'));
    EXPECT_EQ(hv::splitHostLine("T :  " + longAddress).address, QString(1000, QLatin1Char('a')));
    EXPECT_EQ(hv::splitHostLine("T :  " + QString(1000, 'b')).address.size(), 1000);
    // A pair of surrogates is not cut in half.
    const QString clef = QString::fromUtf8("\xF0\x9D\x84\x9E");
    const QString address = QString(999, 'c') + clef + "d";
    EXPECT_EQ(hv::splitHostLine("T :  " + address).address, QString(999, 'c'));
}

TEST(HostList, LinesRoundTripAndCountEveryLine) {
    const QStringList lines{"A :  10.0.0.1", "B :  http://localhost", "C :  \\\\server",
                            "A :  10.0.0.1", "- :  127.0.0.1"};
    HostList list;
    list.rebuildFromLines(lines);
    EXPECT_EQ(list.itemsCount(), 5);
    EXPECT_EQ(list.count(), 5);
    EXPECT_EQ(list.hostLines(), lines);
    EXPECT_EQ(hv::hostLine("Mail", "10.0.0.5"), "Mail :  10.0.0.5");
}

TEST(HostList, StateImagesAndStop) {
    HostList list;
    list.rebuildFromLines({"A :  1", "B :  2", "C :  3"});
    QList<QPair<int, int>> changed;
    QObject::connect(&list, &HostList::stateImageChanged, [&](int index, int image) {
        changed.append({index, image});
    });
    list.setStateImage(1, hv::kImageAnswered);
    list.setStateImage(3, hv::kImageAnswered);   // out of range: ignored
    list.setStateImage(-1, hv::kImageAnswered);  // likewise
    ASSERT_EQ(changed.size(), 1);
    EXPECT_EQ(changed[0], (QPair<int, int>{1, hv::kImageAnswered}));
    EXPECT_EQ(list.hosts()[1].stateImage, hv::kImageAnswered);
    EXPECT_EQ(list.hosts()[0].stateImage, hv::kImageNotAnswering);

    list.setStateImage(0, hv::kImageAnswered);
    changed.clear();
    list.setAllStateImages(hv::kImageNotAnswering);
    EXPECT_EQ(changed.size(), 3);
    for (const Host& h : list.hosts()) EXPECT_EQ(h.stateImage, hv::kImageNotAnswering);

    list.setStateImage(2, hv::kImageAnswered);
    int rebuilt = 0;
    QObject::connect(&list, &HostList::rebuilt, [&] {
        ++rebuilt;
        // Emitted after the lock is released: the slot can read the list back.
        EXPECT_EQ(list.count(), 3);
    });
    list.rebuildFromEntries(entries({{"A", "1"}, {"B", "2"}, {"C", "3"}}));
    EXPECT_EQ(rebuilt, 1);
}

std::vector<int> imagesOf(const HostList& list) {
    std::vector<int> out;
    for (const Host& h : list.hosts()) out.push_back(h.stateImage);
    return out;
}

// A rebuild keeps the state of a host whose title and address are both as they were; every
// other host starts "not answering". Equal hosts pair up in list order.
TEST(HostList, ARebuildKeepsTheStateOfUnchangedHostsOnly) {
    const QStringList before{"A :  1", "B :  2", "A :  1", "C :  3"};
    const struct {
        const char* what;
        QStringList after;
        std::vector<int> images;
        bool keptEveryHost;
    } cases[] = {
        {"the same list", before, {0, 0, 0, 1}, true},
        {"reordered, one gone", {"C :  3", "A :  1", "B :  2"}, {1, 0, 0}, true},
        {"new address", {"A :  1", "B :  20"}, {0, 1}, false},
        {"title in other letter case", {"a :  1", "B :  2"}, {1, 0}, false},
        {"one more of two equal hosts", {"A :  1", "A :  1", "A :  1"}, {0, 0, 1}, false},
        {"a new host", {"B :  2", "D :  4"}, {0, 1}, false},
        {"empty", {}, {}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        HostList list;
        list.rebuildFromLines(before);
        for (int i : {0, 1, 2}) list.setStateImage(i, hv::kImageAnswered);
        ASSERT_TRUE(list.recordCheck(1, list.generation(), false, -1, 3, 3).has_value());
        list.rebuildFromLines(c.after);
        EXPECT_EQ(imagesOf(list), c.images);
        EXPECT_EQ(list.keptEveryHost(), c.keptEveryHost);
        // The kept B keeps the pass it counted towards being lost.
        const int b = static_cast<int>(c.after.indexOf("B :  2"));
        if (b >= 0) {
            EXPECT_EQ(list.figures().value(b).disagreeingPasses, 1);
        }
    }
    // From the settings file's entries the same holds.
    HostList list;
    list.rebuildFromEntries(entries({{"A", "1"}, {"B", "2"}}));
    list.setStateImage(0, hv::kImageAnswered);
    list.rebuildFromEntries(entries({{"A", " 1 "}, {"B", "2"}, {"E", "  "}}));
    EXPECT_EQ(imagesOf(list), (std::vector<int>{0, 1}));
}

TEST(HostList, HostAtFollowsGeneration) {
    HostList list;
    const auto g0 = list.generation();
    list.rebuildFromLines({"A :  1", "B :  2"});
    const auto g1 = list.generation();
    EXPECT_NE(g1, g0);
    ASSERT_TRUE(list.hostAt(1, g1).has_value());
    EXPECT_EQ(list.hostAt(1, g1)->address, "2");
    EXPECT_FALSE(list.hostAt(2, g1).has_value());
    EXPECT_FALSE(list.hostAt(-1, g1).has_value());
    EXPECT_FALSE(list.hostAt(0, g0).has_value());

    // Even a rebuild with the very same hosts ends the old generation.
    list.rebuildFromLines({"A :  1", "B :  2"});
    EXPECT_FALSE(list.hostAt(0, g1).has_value());
    EXPECT_TRUE(list.hostAt(0, list.generation()).has_value());
    // A state change is no rebuild.
    const auto g2 = list.generation();
    list.setStateImage(0, hv::kImageAnswered);
    EXPECT_EQ(list.generation(), g2);
    EXPECT_EQ(list.hostAt(0, g2)->stateImage, hv::kImageAnswered);
}

TEST(HostList, ReaderThreadSeesWholeHostsWhileMainRebuilds) {
    HostList list;
    list.rebuildFromLines({"A :  a", "B :  b"});
    std::atomic<bool> stop{false};
    std::atomic<int> reads{0};
    std::atomic<int> torn{0};
    std::thread reader([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!stop.load() && std::chrono::steady_clock::now() < deadline) {
            const auto g = list.generation();
            for (int i = 0; i < 4; ++i) {
                const auto h = list.hostAt(i, g);
                if (!h) break;
                ++reads;
                // Every rebuild keeps title and address of a host in step.
                if (h->address != h->title.toLower()) ++torn;
            }
        }
    });
    // Keep rebuilding until the reader has had its share, within a bound.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (int round = 0; round < 200000 && (round < 2000 || reads.load() < 1000) &&
                        std::chrono::steady_clock::now() < deadline;
         ++round) {
        if (round % 2)
            list.rebuildFromLines({"A :  a", "B :  b", "C :  c"});
        else
            list.rebuildFromEntries(entries({{"X", "x"}, {"Y", " y "}}));
        list.setStateImage(round % 3, hv::kImageAnswered);
    }
    stop = true;
    reader.join();
    EXPECT_EQ(torn.load(), 0);
    EXPECT_GT(reads.load(), 0);
}

TEST(HostList, DependencyLinesResolveToParentsOrAreIgnoredWithTheirReason) {
    using Kind = hv::DependencyProblem::Kind;
    const QStringList titles = {"Router", "Switch", "Server", "A", "B", "C", "Lone"};
    const struct {
        const char* what;
        QList<QPair<QString, QString>> lines;
        QList<int> parents;
        QList<hv::DependencyProblem> problems;
    } cases[] = {
        {"none", {}, {-1, -1, -1, -1, -1, -1, -1}, {}},
        {"chain, titles matched ignoring case and blanks",
         {{"switch", " ROUTER"}, {"Server", "Switch"}},
         {-1, 0, 1, -1, -1, -1, -1},
         {}},
        {"unknown hosts on either side",
         {{"Server", "Nowhere"}, {"Ghost", "Router"}},
         {-1, -1, -1, -1, -1, -1, -1},
         {{Kind::UnknownParent, "Server", "Nowhere"}, {Kind::UnknownDependent, "Ghost", "Router"}}},
        {"itself",
         {{"Lone", "lone"}},
         {-1, -1, -1, -1, -1, -1, -1},
         {{Kind::Itself, "Lone", "lone"}}},
        {"a loop of three, one host hanging below it keeps its parent",
         {{"A", "B"}, {"B", "C"}, {"C", "A"}, {"Lone", "A"}},
         {-1, -1, -1, -1, -1, -1, 3},
         {{Kind::Loop, "A", "B"}, {Kind::Loop, "B", "C"}, {Kind::Loop, "C", "A"}}},
    };
    for (const auto& c : cases) {
        const hv::DependencyMap map = hv::resolveDependencies(titles, c.lines);
        EXPECT_EQ(map.parents, c.parents) << c.what;
        EXPECT_EQ(map.problems, c.problems) << c.what;
    }
    // Every problem reads as one stderr line that names the line.
    EXPECT_EQ(hv::dependencyProblemText({Kind::UnknownParent, "Server", "Nowhere"}),
              "hostvane: [Dependencies] Server=Nowhere is ignored: \"Nowhere\" is not a host of "
              "the list; \"Server\" is checked as a plain host");
}

TEST(HostList, DependenciesFollowRebuildsAndUnreachableCountsAsDown) {
    HostList list;
    list.rebuildFromLines({"Router :  10.0.0.1", "Web :  10.0.0.2"});
    EXPECT_TRUE(list.setDependencies({{"Web", "Router"}}).isEmpty());
    EXPECT_EQ(list.parentOf(1), 0);
    EXPECT_TRUE(list.hasDependents(0));
    EXPECT_TRUE(list.behindDownHost(1));  // every host starts not answering
    list.setStateImage(0, hv::kImageAnswered);
    EXPECT_FALSE(list.behindDownHost(1));
    list.setStateImage(0, hv::kImageUnreachable);
    EXPECT_TRUE(list.behindDownHost(1));
    // The parent moves in the list: the line still names it.
    list.rebuildFromLines({"Web :  10.0.0.2", "Other :  10.0.0.3", "Router :  10.0.0.1"});
    EXPECT_EQ(list.parents(), (QList<int>{2, -1, -1}));
    list.rebuildFromLines({"Web :  10.0.0.2"});
    EXPECT_EQ(list.parents(), (QList<int>{-1}));
    EXPECT_EQ(list.parentOf(5), -1);
}

TEST(HostList, DependencyLinesFollowTheHostDialogsEdits) {
    using Lines = QList<QPair<QString, QString>>;
    const Lines start = {{"Web", "Router"}, {"Mail", "router"}, {"Router", "Gateway"}};
    EXPECT_EQ(hv::parentIn(start, " web"), "Router");
    EXPECT_EQ(hv::parentIn(start, "Gateway"), "");
    const struct {
        const char* what;
        std::function<void(Lines&)> edit;
        Lines after;
    } cases[] = {
        {"a parent renamed keeps its dependents, matched ignoring case",
         [](Lines& l) { hv::renameIn(l, "Router", "Core"); },
         {{"Web", "Core"}, {"Mail", "Core"}, {"Core", "Gateway"}}},
        {"a parent deleted drops every line naming it",
         [](Lines& l) { hv::dropIn(l, "ROUTER"); },
         {}},
        {"a dependent deleted drops its own line only",
         [](Lines& l) { hv::dropIn(l, "Web"); },
         {{"Mail", "router"}, {"Router", "Gateway"}}},
        {"a parent chosen replaces the line in place",
         [](Lines& l) { hv::setParentIn(l, "Mail", "Gateway"); },
         {{"Web", "Router"}, {"Mail", "Gateway"}, {"Router", "Gateway"}}},
        {"a new dependent goes at the end",
         [](Lines& l) { hv::setParentIn(l, "Files", "Router"); },
         {{"Web", "Router"}, {"Mail", "router"}, {"Router", "Gateway"}, {"Files", "Router"}}},
        {"no parent removes the line",
         [](Lines& l) { hv::setParentIn(l, "web", ""); },
         {{"Mail", "router"}, {"Router", "Gateway"}}},
    };
    for (const auto& c : cases) {
        Lines lines = start;
        c.edit(lines);
        EXPECT_EQ(lines, c.after) << c.what;
    }
}
