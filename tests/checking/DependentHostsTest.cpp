#include <gtest/gtest.h>

#include <vector>

#include "CheckCycleFixture.h"

namespace {

using hvtest::Answer;

const QString kAppeared = QStringLiteral("14:05:09. Host appeared: ");
const QString kLost = QStringLiteral("14:05:09. Host lost: ");
constexpr int kUp = hv::kImageAnswered;
constexpr int kDown = hv::kImageNotAnswering;
constexpr int kBehind = hv::kImageUnreachable;

// Parameter: [CheckParams] ParallelChecks (1: one after another, 3: on workers).
class DependentHosts : public hvtest::CheckCycle, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        hvtest::CheckCycle::SetUp();
        m_exeDir.write(QStringLiteral("Languages/English.lng"),
                       "[Messages]\r\n"
                       "AppearHost=Host appeared:\r\n"
                       "LoseHost=Host lost:\r\n"
                       "LoseHosts=Lost hosts:\r\n"
                       "AppearHosts=Appeared hosts:\r\n"
                       "BehindUnreachable=, %1 hosts behind it unreachable\r\n"
                       "BehindUnreachable1=, 1 host behind it unreachable\r\n");
        thread.setParallelChecks(GetParam());
    }

    void answer(std::initializer_list<std::pair<const char*, Answer>> answers) {
        for (const auto& [host, a] : answers) probes.script(host, {a});
    }
};

// A dependent before its parent in the list as well as after it: the fold must wait for the
// whole pass.
TEST_P(DependentHosts, AParentLostWithItsDependentsIsOneLineAndTheyTurnUnreachable) {
    hosts.rebuildFromLines({"Web :  10.0.0.2", "Router :  10.0.0.1", "Mail :  10.0.0.3",
                            "Files :  10.0.0.4", "Other :  10.0.0.9"});
    hosts.setDependencies({{"Web", "Router"}, {"Mail", "Router"}, {"Files", "Router"}});
    answer({{"10.0.0.1", Answer::Up},
            {"10.0.0.2", Answer::Up},
            {"10.0.0.3", Answer::Up},
            {"10.0.0.4", Answer::Up},
            {"10.0.0.9", Answer::Up}});

    // The first pass reports every answering host, dependents included.
    runPass();
    EXPECT_EQ(sink.lines.size(), 5);
    EXPECT_EQ(images(), (std::vector<int>{kUp, kUp, kUp, kUp, kUp}));

    // All four go away at once, beside a plain host that goes too.
    answer({{"10.0.0.1", Answer::Down},
            {"10.0.0.2", Answer::Down},
            {"10.0.0.3", Answer::Down},
            {"10.0.0.4", Answer::Down},
            {"10.0.0.9", Answer::Down}});
    runPass();
    EXPECT_EQ(sink.lines.mid(5),
              QStringList({kLost + "Other", kLost + "Router, 3 hosts behind it unreachable"}));
    ASSERT_EQ(sink.reports.size(), 2);
    EXPECT_EQ(sink.reports[1],
              "Lost hosts:\r\n  Router, 3 hosts behind it unreachable\r\n  Other\r\n\r\n");
    EXPECT_EQ(sink.titles.last(), "Router|Other / ");
    EXPECT_EQ(images(), (std::vector<int>{kBehind, kDown, kBehind, kBehind, kDown}));

    // Staying away says nothing more.
    runPass();
    EXPECT_EQ(sink.lines.size(), 7);
    EXPECT_EQ(images(), (std::vector<int>{kBehind, kDown, kBehind, kBehind, kDown}));

    // The parent returns; Web (before it) and Mail answer and come back silently, Files (after
    // it) still does not answer and is reported lost from now on.
    answer({{"10.0.0.1", Answer::Up}, {"10.0.0.2", Answer::Up}, {"10.0.0.3", Answer::Up}});
    runPass();
    EXPECT_EQ(sink.lines.mid(7), QStringList({kAppeared + "Router", kLost + "Files"}));
    EXPECT_EQ(sink.reports.last(), "Lost hosts:\r\n  Files\r\n\r\nAppeared hosts:\r\n  Router");
    EXPECT_EQ(images(), (std::vector<int>{kUp, kUp, kUp, kDown, kDown}));
    runPass();
    EXPECT_EQ(sink.lines.size(), 9);
}

TEST_P(DependentHosts, AChainFoldsUnderItsTopAndOneBehindCountsInTheSingular) {
    hosts.rebuildFromLines(
        {"Server :  10.0.0.3", "Switch :  10.0.0.2", "Gateway :  10.0.0.1", "Lab :  10.0.0.4"});
    hosts.setDependencies({{"Server", "Switch"}, {"Switch", "Gateway"}, {"Lab", "Switch"}});
    answer({{"10.0.0.1", Answer::Up},
            {"10.0.0.2", Answer::Up},
            {"10.0.0.3", Answer::Up},
            {"10.0.0.4", Answer::Up}});
    runPass();

    answer({{"10.0.0.1", Answer::Down},
            {"10.0.0.2", Answer::Down},
            {"10.0.0.3", Answer::Down},
            {"10.0.0.4", Answer::Down}});
    runPass();
    EXPECT_EQ(sink.lines.mid(4), QStringList({kLost + "Gateway, 3 hosts behind it unreachable"}));
    EXPECT_EQ(images(), (std::vector<int>{kBehind, kBehind, kDown, kBehind}));

    // The top returns: the middle one answers silently, the hosts behind it that do not
    // answer are lost now (Server was checked before Switch returned, so its turn is the next
    // pass).
    answer({{"10.0.0.1", Answer::Up}, {"10.0.0.2", Answer::Up}});
    runPass();
    runPass();
    EXPECT_EQ(sink.lines.mid(5),
              QStringList({kAppeared + "Gateway", kLost + "Lab", kLost + "Server"}));

    // Everything back, then the middle one alone goes away with one of the two behind it;
    // the other keeps answering and stays up.
    answer({{"10.0.0.3", Answer::Up}, {"10.0.0.4", Answer::Up}});
    runPass();
    EXPECT_EQ(images(), (std::vector<int>{kUp, kUp, kUp, kUp}));
    const qsizetype before = sink.lines.size();
    answer({{"10.0.0.2", Answer::Down}, {"10.0.0.4", Answer::Down}});
    runPass();
    EXPECT_EQ(sink.lines.mid(before),
              QStringList({kLost + "Switch, 1 host behind it unreachable"}));
    EXPECT_EQ(images(), (std::vector<int>{kUp, kDown, kUp, kBehind}));
}

TEST_P(DependentHosts, ADependentLostBeforeItsParentIsReportedByItself) {
    hosts.rebuildFromLines({"Router :  10.0.0.1", "Web :  10.0.0.2"});
    hosts.setDependencies({{"Web", "Router"}});
    answer({{"10.0.0.1", Answer::Up}, {"10.0.0.2", Answer::Up}});
    runPass();
    answer({{"10.0.0.2", Answer::Down}});
    runPass();
    answer({{"10.0.0.1", Answer::Down}});
    runPass();
    EXPECT_EQ(sink.lines.mid(2), QStringList({kLost + "Web", kLost + "Router"}));
    // Reported lost already, it stays lost rather than unreachable: it returns with a report.
    EXPECT_EQ(images(), (std::vector<int>{kDown, kDown}));
}

TEST_P(DependentHosts, PassesToReportCountForParentAndDependentsAlike) {
    thread.setPassesToReport(2, 2);
    hosts.rebuildFromLines({"Router :  10.0.0.1", "Web :  10.0.0.2"});
    hosts.setDependencies({{"Web", "Router"}});
    answer({{"10.0.0.1", Answer::Up}, {"10.0.0.2", Answer::Up}});
    runPass();
    runPass();
    ASSERT_EQ(sink.lines.size(), 2);
    answer({{"10.0.0.1", Answer::Down}, {"10.0.0.2", Answer::Down}});
    runPass();
    EXPECT_EQ(sink.lines.size(), 2);
    runPass();
    EXPECT_EQ(sink.lines.mid(2), QStringList({kLost + "Router, 1 host behind it unreachable"}));
    // Back: Web answers twice before it is up, silently.
    answer({{"10.0.0.1", Answer::Up}, {"10.0.0.2", Answer::Up}});
    runPass();
    runPass();
    runPass();
    EXPECT_EQ(sink.lines.mid(3), QStringList({kAppeared + "Router"}));
    EXPECT_EQ(images(), (std::vector<int>{kUp, kUp}));
}

TEST_P(DependentHosts, IgnoredLinesLeavePlainHosts) {
    hosts.rebuildFromLines({"A :  10.0.0.1", "B :  10.0.0.2", "C :  10.0.0.3"});
    // A loop of two and one naming an unknown parent: every host is plain.
    hosts.setDependencies({{"A", "B"}, {"B", "A"}, {"C", "Nowhere"}});
    answer({{"10.0.0.1", Answer::Up}, {"10.0.0.2", Answer::Up}, {"10.0.0.3", Answer::Up}});
    runPass();
    answer({{"10.0.0.1", Answer::Down}, {"10.0.0.2", Answer::Down}, {"10.0.0.3", Answer::Down}});
    runPass();
    EXPECT_EQ(sink.lines.mid(3), QStringList({kLost + "A", kLost + "B", kLost + "C"}));
    EXPECT_EQ(images(), (std::vector<int>{kDown, kDown, kDown}));
}

INSTANTIATE_TEST_SUITE_P(SequentialAndParallel, DependentHosts, ::testing::Values(1, 3));

}  // namespace
