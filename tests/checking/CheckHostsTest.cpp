#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "CheckCycleFixture.h"
#include "checking/AddressKind.h"

namespace {

using hvtest::Answer;
using hvtest::pumpUntil;

class CheckHosts : public hvtest::CheckCycle {};

const QString kAppeared = QStringLiteral("14:05:09. Host appeared: ");
const QString kLost = QStringLiteral("14:05:09. Host lost: ");

TEST_F(CheckHosts, ReportsChangesAgainstTheLastStateInListOrderLostBeforeAppeared) {
    hosts.rebuildFromLines({"Alpha :  10.0.0.1", "Bravo :  \\\\Files", "Charlie :  HTTP://Web"});
    probes.script("10.0.0.1", {Answer::Down});
    probes.script("files", {Answer::Up});
    probes.script("web", {Answer::Up});

    // First pass: every host starts unanswered, so the answering ones appear.
    runPass();
    EXPECT_EQ(sink.lines, QStringList({kAppeared + "Bravo", kAppeared + "Charlie"}));
    EXPECT_EQ(sink.reports, QStringList({"Appeared hosts:\r\n  Bravo\r\n  Charlie"}));
    EXPECT_EQ(images(), (std::vector<int>{1, 0, 0}));
    const auto calls = probes.calls();
    ASSERT_EQ(calls.size(), 4u);  // the silent host is tried twice
    EXPECT_EQ(calls[0].host, "10.0.0.1");
    EXPECT_EQ(calls[0].kind, hv::ProbeKind::Icmp);
    EXPECT_EQ(calls[1].host, "10.0.0.1");
    EXPECT_EQ(calls[2].host, "files");
    EXPECT_EQ(calls[2].kind, hv::ProbeKind::Icmp);
    EXPECT_EQ(calls[3].host, "web");
    EXPECT_EQ(calls[3].kind, hv::ProbeKind::Tcp);

    // Staying up and staying down say nothing.
    runPass();
    EXPECT_EQ(sink.lines.size(), 2);
    EXPECT_EQ(sink.reports.size(), 1);

    // Several changes: log in list order, report lost first.
    probes.script("10.0.0.1", {Answer::Up});
    probes.script("files", {Answer::Down});
    probes.script("web", {Answer::Throw});
    runPass();
    EXPECT_EQ(sink.lines.mid(2),
              QStringList({kAppeared + "Alpha", kLost + "Bravo", kLost + "Charlie"}));
    ASSERT_EQ(sink.reports.size(), 2);
    EXPECT_EQ(sink.reports[1],
              "Lost hosts:\r\n  Bravo\r\n  Charlie\r\n\r\nAppeared hosts:\r\n  Alpha");
    EXPECT_EQ(images(), (std::vector<int>{0, 1, 1}));
    // The same titles apart, for a desktop notification, one set per report.
    EXPECT_EQ(sink.titles, QStringList({" / Bravo|Charlie", "Bravo|Charlie / Alpha"}));
}

TEST_F(CheckHosts, UpToTwoTriesStoppingAtTheFirstSuccess) {
    struct Case {
        const char* address;
        std::vector<Answer> answers;
        int image;
        std::size_t tries;
    };
    const std::vector<Case> cases = {
        {"down-up", {Answer::Down, Answer::Up}, 0, 2},
        {"throw-up", {Answer::Throw, Answer::Up}, 0, 2},
        {"down-down", {Answer::Down, Answer::Down, Answer::Up}, 1, 2},
        {"throw-throw", {Answer::Throw, Answer::Throw, Answer::Up}, 1, 2},
        {"up", {Answer::Up, Answer::Down}, 0, 1},
        {"http:tcp-down-up", {Answer::Down, Answer::Up}, 0, 2},
    };
    QStringList lines;
    for (const Case& c : cases) {
        lines << QStringLiteral("%1 :  %2").arg(c.address, c.address);
        const hv::ProbeTarget t = hv::classifyAddress(c.address);
        probes.script(t.host, c.answers);
    }
    hosts.rebuildFromLines(lines);
    runPass();
    const std::vector<int> got = images();
    const auto called = probes.hostsCalled();
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const std::string host = hv::classifyAddress(cases[i].address).host;
        EXPECT_EQ(got[i], cases[i].image) << cases[i].address;
        EXPECT_EQ(std::count(called.begin(), called.end(), host), cases[i].tries)
            << cases[i].address;
    }
}

TEST_F(CheckHosts, BlankAddressIsSkippedAndAnEmptyListShowsNothing) {
    runPass();  // no hosts at all
    EXPECT_TRUE(probes.calls().empty());
    EXPECT_TRUE(sink.reports.isEmpty());

    hosts.rebuildFromLines({"Printer :   \t ", "Alpha :  a"});
    hosts.setStateImage(0, hv::kImageAnswered);  // a change test would now report it lost
    probes.script("a", {Answer::Up});
    runPass();
    EXPECT_EQ(probes.hostsCalled(), std::vector<std::string>{"a"});
    EXPECT_EQ(images(), (std::vector<int>{0, 0}));
    EXPECT_EQ(sink.lines, QStringList{kAppeared + "Alpha"});
}

TEST_F(CheckHosts, BlankTitlesAreLoggedButLeftOutOfTheReport) {
    hosts.rebuildFromLines({" :  a", "\t :  b", "Named :  c"});
    probes.script("a", {Answer::Up});
    probes.script("b", {Answer::Up});
    runPass();
    EXPECT_EQ(sink.lines, QStringList({kAppeared, kAppeared + "\t"}));
    EXPECT_TRUE(sink.reports.isEmpty());

    probes.script("a", {Answer::Down});
    probes.script("c", {Answer::Up});
    runPass();
    EXPECT_EQ(sink.lines.mid(2), QStringList({kLost, kAppeared + "Named"}));
    EXPECT_EQ(sink.reports, QStringList{"Appeared hosts:\r\n  Named"});
}

TEST_F(CheckHosts, TheLanguageFileGivesTheTextsAndTheKeysStandInForMissingOnes) {
    m_exeDir.write(QStringLiteral("Languages/Terse.lng"), "[Messages]\r\nLoseHost=\r\n");
    hv::Languages::instance().setCurrentLanguage(QStringLiteral("Terse"));
    hosts.rebuildFromLines({"Alpha :  a", "Bravo :  b"});
    hosts.setStateImage(0, hv::kImageAnswered);
    probes.script("b", {Answer::Up});
    runPass();
    EXPECT_EQ(sink.lines, QStringList({"14:05:09.  Alpha", "14:05:09. AppearHost Bravo"}));
    EXPECT_EQ(sink.reports, QStringList{"LoseHosts\r\n  Alpha\r\n\r\nAppearHosts\r\n  Bravo"});
}

TEST_F(CheckHosts, StopDuringAPassReportsHostsNotYetProbedAgainstTheNewImages) {
    hosts.rebuildFromLines({"Alpha :  a", "Bravo :  b", "Charlie :  c"});
    for (const char* h : {"a", "b", "c"}) probes.script(h, {Answer::Up});
    runPass();
    ASSERT_EQ(images(), (std::vector<int>{0, 0, 0}));
    sink.lines.clear();
    sink.reports.clear();

    probes.script("b", {Answer::Hold});
    const int before = passes.load();
    thread.resume();
    ASSERT_TRUE(pumpUntil([&] { return probes.isHeld(); }));
    EXPECT_FALSE(thread.isSuspended());
    hosts.setAllStateImages(hv::kImageNotAnswering);  // Stop
    thread.resume();                                  // a tick during the pass: dropped
    probes.release();
    ASSERT_TRUE(pumpUntil([&] { return passes.load() > before && thread.isSuspended(); }));
    EXPECT_EQ(sink.lines, QStringList({kAppeared + "Bravo", kAppeared + "Charlie"}));
    EXPECT_EQ(sink.reports, QStringList{"Appeared hosts:\r\n  Bravo\r\n  Charlie"});
    EXPECT_EQ(images(), (std::vector<int>{1, 0, 0}));

    // The dropped resume started nothing afterwards.
    const std::size_t calls = probes.calls().size();
    pumpUntil([] { return false; }, 300);
    EXPECT_EQ(passes.load(), before + 1);
    EXPECT_EQ(probes.calls().size(), calls);

    // Start after Stop: the next pass reports every answering host as appeared.
    hosts.setAllStateImages(hv::kImageNotAnswering);
    sink.lines.clear();
    probes.script("b", {Answer::Up});
    runPass();
    EXPECT_EQ(sink.lines.size(), 3);
    EXPECT_EQ(images(), (std::vector<int>{0, 0, 0}));
}

TEST_F(CheckHosts, ARebuildDuringAProbeEndsThePassAndTheNextPassUsesTheNewList) {
    hosts.rebuildFromLines({"Alpha :  a", "Bravo :  b", "Charlie :  c"});
    probes.script("a", {Answer::Up});
    probes.script("b", {Answer::Hold});
    probes.script("c", {Answer::Up});
    probes.script("d", {Answer::Up});
    thread.resume();
    ASSERT_TRUE(pumpUntil([&] { return probes.isHeld(); }));
    hosts.rebuildFromLines({"Delta :  d", "Echo :  e"});
    probes.release();
    ASSERT_TRUE(pumpUntil([&] { return passes.load() == 1 && thread.isSuspended(); }));
    // Bravo's answer belongs to a list that is gone; Charlie is never probed.
    EXPECT_EQ(probes.hostsCalled(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(sink.lines, QStringList{kAppeared + "Alpha"});
    EXPECT_EQ(images(), (std::vector<int>{1, 1}));

    runPass();
    EXPECT_EQ(sink.lines.mid(1), QStringList{kAppeared + "Delta"});
    EXPECT_EQ(images(), (std::vector<int>{0, 1}));
}

TEST_F(CheckHosts, AChangeThatReachesTheMainThreadAfterARebuildIsDropped) {
    hosts.rebuildFromLines({"Alpha :  a", "Bravo :  b", "Charlie :  c"});
    probes.script("a", {Answer::Up});
    probes.script("b", {Answer::Hold});
    probes.script("c", {Answer::Up});
    thread.resume();
    ASSERT_TRUE(pumpUntil([&] { return probes.isHeld(); }));
    // Not pumping: Bravo's change waits in the hand-over while the list is rebuilt.
    probes.release();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    hosts.rebuildFromLines({"Delta :  d"});
    ASSERT_TRUE(pumpUntil([&] { return passes.load() == 1 && thread.isSuspended(); }));
    EXPECT_EQ(sink.lines, QStringList{kAppeared + "Alpha"});
    EXPECT_EQ(sink.reports, QStringList{"Appeared hosts:\r\n  Alpha"});
    EXPECT_EQ(images(), std::vector<int>{1});
    EXPECT_EQ(probes.hostsCalled(), (std::vector<std::string>{"a", "b"}));
}

TEST_F(CheckHosts, AFailingHandOverEndsTheThreadWithItsMessageOnStderr) {
    hosts.rebuildFromLines({"Alpha :  a", "Bravo :  b"});
    probes.script("a", {Answer::Up});
    probes.script("b", {Answer::Up});
    sink.failLog = QStringLiteral("List index out of bounds (3)");
    testing::internal::CaptureStderr();
    thread.resume();
    const bool ended = pumpUntil([&] { return thread.hasEnded(); });
    const std::string err = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(ended);
    EXPECT_EQ(err, "hostvane: checking stopped: List index out of bounds (3)\n");
    EXPECT_EQ(thread.errorMessage(), QStringLiteral("List index out of bounds (3)"));
    EXPECT_FALSE(thread.isSuspended());

    // No further pass: trmAsk finds the thread not suspended, and a resume does nothing.
    thread.resume();
    pumpUntil([] { return false; }, 200);
    EXPECT_EQ(probes.hostsCalled(), std::vector<std::string>{"a"});
    EXPECT_EQ(passes.load(), 0);
    EXPECT_TRUE(sink.reports.isEmpty());
}

TEST_F(CheckHosts, StopWakesAProbeThatWaitsAndReportsNothingOfIt) {
    hosts.rebuildFromLines({"Alpha :  a", "Bravo :  b"});
    probes.script("a", {Answer::Up});
    runPass();
    ASSERT_EQ(images(), (std::vector<int>{0, 1}));

    probes.script("a", {Answer::Slow});  // waits 30 s unless cancelled
    probes.clearCalls();
    thread.resume();
    ASSERT_TRUE(pumpUntil([&] { return !probes.calls().empty(); }));
    const auto began = std::chrono::steady_clock::now();
    thread.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(10));
    // No second try, no later host, and the cut-short try is not taken for a lost host.
    EXPECT_EQ(probes.hostsCalled(), std::vector<std::string>{"a"});
    pumpUntil([] { return false; }, 100);
    EXPECT_EQ(sink.lines.size(), 1);
    EXPECT_EQ(images(), (std::vector<int>{0, 1}));
    EXPECT_FALSE(thread.isSuspended());
    thread.resume();  // after stop(): nothing
}

TEST_F(CheckHosts, StopDoesNotDeadlockOnAHandOverTheMainThreadNeverServes) {
    hosts.rebuildFromLines({"Alpha :  a", "Bravo :  b"});
    probes.script("a", {Answer::Up});
    probes.script("b", {Answer::Up});
    thread.resume();
    // Not pumping: the thread blocks in Alpha's hand-over.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (probes.calls().empty() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    thread.stop();
    pumpUntil([] { return false; }, 100);  // a dropped step never runs later
    EXPECT_TRUE(sink.lines.isEmpty());
    EXPECT_EQ(images(), (std::vector<int>{1, 1}));
    EXPECT_EQ(probes.hostsCalled(), std::vector<std::string>{"a"});
}

TEST_F(CheckHosts, EachHostsOutcomeIsHandedToTheHostCheckedCallback) {
    std::mutex lock;
    std::vector<hv::HostCheckResult> results;
    thread.setHostChecked([&](const hv::HostCheckResult& r) {
        std::lock_guard guard(lock);
        results.push_back(r);
    });
    hosts.rebuildFromLines({"Printer :  ", "Web :  http://w", "Mail :  m"});
    probes.script("w", {Answer::Up});
    runPass();
    std::lock_guard guard(lock);
    ASSERT_EQ(results.size(), 3u);
    EXPECT_EQ(results[0].kind, hv::ProbeKind::Skip);
    EXPECT_EQ(results[1].index, 1);
    EXPECT_EQ(results[1].title, QStringLiteral("Web"));
    EXPECT_EQ(results[1].address, QStringLiteral("http://w"));
    EXPECT_EQ(results[1].kind, hv::ProbeKind::Tcp);
    EXPECT_TRUE(results[1].alive);
    EXPECT_EQ(results[2].kind, hv::ProbeKind::Icmp);
    EXPECT_FALSE(results[2].alive);
    EXPECT_GE(results[2].elapsedMs, 0);
}

// Parameter: [CheckParams] ParallelChecks (1: tries on the checking thread, 3: on workers).
class CheckHostsProbeErrors : public hvtest::CheckCycle, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        hvtest::CheckCycle::SetUp();
        thread.setParallelChecks(GetParam());
    }
};

TEST_P(CheckHostsProbeErrors, WhateverAProbeThrowsFailsThatCheckWithItsMessageAndChecksGoOn) {
    std::mutex lock;
    std::map<QString, hv::HostCheckResult> results;  // the last one per title
    thread.setHostChecked([&](const hv::HostCheckResult& r) {
        std::lock_guard guard(lock);
        results[r.title] = r;
    });
    hosts.rebuildFromLines({"Std :  std", "Other :  http://other", "Error :  error", "Up :  up"});
    probes.script("std", {Answer::ThrowStd});
    probes.script("other", {Answer::ThrowOther});
    probes.script("error", {Answer::Throw});
    probes.script("up", {Answer::Up});
    runPass();
    EXPECT_FALSE(thread.hasEnded()) << thread.errorMessage().toStdString();
    {
        const struct {
            const char* title;
            const char* error;
        } failed[] = {
            {"Std", "Route lost"}, {"Other", "unknown error"}, {"Error", "Host not found"}};
        std::lock_guard guard(lock);
        ASSERT_EQ(results.size(), 4u);
        for (const auto& f : failed) {
            EXPECT_FALSE(results[f.title].alive) << f.title;
            EXPECT_EQ(results[f.title].error, f.error) << f.title;
        }
        EXPECT_TRUE(results["Up"].alive);
    }
    EXPECT_EQ(sink.lines, QStringList({kAppeared + "Up"}));

    // The next pass runs as ever: a throwing first try is followed by a second one.
    probes.script("std", {Answer::Up});
    probes.script("other", {Answer::ThrowOther, Answer::Up});
    runPass();
    EXPECT_FALSE(thread.hasEnded());
    EXPECT_EQ(sink.lines.mid(1), QStringList({kAppeared + "Std", kAppeared + "Other"}));
    EXPECT_EQ(images(), (std::vector<int>{0, 0, 1, 0}));
}

// A malformed address never reaches a probe: it is down at once with the parser's text, one
// try, and the hosts around it are checked as ever.
TEST_P(CheckHostsProbeErrors, AMalformedAddressIsDownWithItsFaultAndNeverProbed) {
    std::mutex lock;
    std::map<QString, hv::HostCheckResult> results;
    thread.setHostChecked([&](const hv::HostCheckResult& r) {
        std::lock_guard guard(lock);
        results[r.title] = r;
    });
    hosts.rebuildFromLines({"Before :  before", "NoPort :  tcp://db", "Bracket :  http://[::1",
                            "After :  tcp://after:22"});
    probes.script("before", {Answer::Up});
    probes.script("after", {Answer::Up});
    runPass();
    EXPECT_EQ(probes.hostsCalled().size(), 2u);
    {
        std::lock_guard guard(lock);
        ASSERT_EQ(results.size(), 4u);
        EXPECT_EQ(results["NoPort"].error, "no port");
        EXPECT_EQ(results["Bracket"].error, "unclosed bracket");
        EXPECT_FALSE(results["NoPort"].alive);
        EXPECT_TRUE(results["After"].alive);
    }
    EXPECT_EQ(images(), (std::vector<int>{0, 1, 1, 0}));
}

// Where each check went and why it failed reach the host's figures on the main thread, from
// the checking thread and from workers alike; an answer clears the failure.
TEST_P(CheckHostsProbeErrors, TheFiguresCarryTheCheckedAddressAndTheLastFailure) {
    hosts.rebuildFromLines({"Name :  name", "Port :  tcp://v6:8443", "Lost :  lost",
                            "Bad :  tcp://db:70000", "Web :  http://10.0.0.7"});
    probes.script("name", {Answer::Up});
    probes.resolve("name", "10.1.2.3");
    probes.script("v6", {Answer::Up});
    probes.resolve("v6", "2001:db8::5");
    probes.script("lost", {Answer::Throw});
    probes.script("10.0.0.7", {Answer::Down});
    probes.resolve("10.0.0.7", "10.0.0.7");
    runPass();
    const struct {
        const char* checked;
        const char* error;
    } expected[] = {
        {"10.1.2.3", ""},          {"[2001:db8::5]:8443", ""}, {"", "Host not found"},
        {"", "port out of range"}, {"10.0.0.7:80", ""},  // down without a word from the probe
    };
    QList<hv::HostFigures> figures = hosts.figures();
    ASSERT_EQ(figures.size(), 5);
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(figures[i].checkedAddress, expected[i].checked);
        EXPECT_EQ(figures[i].lastError, expected[i].error);
    }

    probes.script("lost", {Answer::Up});
    probes.resolve("lost", "10.9.9.9");
    runPass();
    figures = hosts.figures();
    EXPECT_EQ(figures[2].checkedAddress, "10.9.9.9");
    EXPECT_EQ(figures[2].lastError, "");
}

INSTANTIATE_TEST_SUITE_P(SequentialAndParallel, CheckHostsProbeErrors, ::testing::Values(1, 3));

// A cycle destroyed while its thread waits, in a hand-over the main thread never serves or in
// a probe, ends that thread in its destructor alone, before anything the thread uses goes.
TEST(CheckCycleLifetime, DestroyedMidPassWithoutStop) {
    for (const Answer answer : {Answer::Up, Answer::Slow}) {
        SCOPED_TRACE(answer == Answer::Up ? "waiting in a hand-over" : "waiting in a probe");
        hv::HostList hosts;
        hvtest::ScriptedProbes probes;
        hvtest::RecordingSink sink;
        hosts.rebuildFromLines({"Alpha :  a", "Bravo :  b"});
        probes.script("a", {answer});
        auto cycle = std::make_unique<hv::CheckCycle>(hosts, hvtest::sharedProbes(probes), sink);
        probes.watch(cycle->cancelHandle());
        cycle->setParallelChecks(answer == Answer::Up ? 1 : 2);
        cycle->start();
        cycle->resume();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (probes.calls().empty() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const auto began = std::chrono::steady_clock::now();
        cycle.reset();
        EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(10));
        pumpUntil([] { return false; }, 100);  // a dropped step never runs later
        EXPECT_TRUE(sink.lines.isEmpty());
        EXPECT_EQ(hosts.hosts().front().stateImage, 1);
    }
}

}  // namespace
