#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "CheckCycleFixture.h"

namespace {

using hvtest::Answer;
using hvtest::pumpUntil;

const QString kAppeared = QStringLiteral("14:05:09. Host appeared: ");
const QString kLost = QStringLiteral("14:05:09. Host lost: ");

// Parameter: [CheckParams] ParallelChecks.
class CheckHostsAtOnce : public hvtest::CheckCycle, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        hvtest::CheckCycle::SetUp();
        thread.setParallelChecks(GetParam());
        thread.setHostChecked([this](const hv::HostCheckResult& r) {
            std::lock_guard guard(m_checkedLock);
            m_checked.push_back(r.index);
        });
    }
    std::vector<int> checkedOrder() {
        std::lock_guard guard(m_checkedLock);
        return m_checked;
    }
    void clearChecked() {
        std::lock_guard guard(m_checkedLock);
        m_checked.clear();
    }

private:
    std::mutex m_checkedLock;
    std::vector<int> m_checked;
};

std::vector<int> upTo(int n) {
    std::vector<int> out;
    for (int i = 0; i < n; ++i) out.push_back(i);
    return out;
}

TEST_P(CheckHostsAtOnce, ResultsThatFinishInShuffledOrderAreHandedOverInListOrder) {
    // Twelve hosts whose tries take 0 to 165 ms in a shuffled order, so with several checks at
    // once later hosts finish first. Host 5 has a blank address, host 9 is a web server.
    const int n = 12;
    QStringList lines;
    for (int i = 0; i < n; ++i) {
        const QString address = i == 5   ? QString()
                                : i == 9 ? QStringLiteral("http://h9")
                                         : QStringLiteral("h%1").arg(i);
        lines << QStringLiteral("T%1 :  %2").arg(i).arg(address);
        probes.delay("h" + std::to_string(i), (i * 7) % n * 15);
    }
    hosts.rebuildFromLines(lines);
    // Pass 1: the even hosts answer (host 6 only at its second try), host 3 fails with an error.
    for (int i = 0; i < n; i += 2) probes.script("h" + std::to_string(i), {Answer::Up});
    probes.script("h6", {Answer::Down, Answer::Up});
    probes.script("h3", {Answer::Throw});
    runPass();
    EXPECT_EQ(sink.lines, QStringList({kAppeared + "T0", kAppeared + "T2", kAppeared + "T4",
                                       kAppeared + "T6", kAppeared + "T8", kAppeared + "T10"}));
    EXPECT_EQ(sink.reports,
              QStringList{"Appeared hosts:\r\n  T0\r\n  T2\r\n  T4\r\n  T6\r\n  T8\r\n  T10"});
    EXPECT_EQ(images(), (std::vector<int>{0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1}));
    EXPECT_EQ(checkedOrder(), upTo(n));
    // Two tries for each silent host and for host 6, one for the others, none for host 5.
    EXPECT_EQ(probes.calls().size(), 2u * 5 + 6 + 1);
    EXPECT_LE(probes.mostAtOnce(), GetParam());
    if (GetParam() > 1) {
        EXPECT_GT(probes.mostAtOnce(), 1);
    }

    // Pass 2: every host turns: lost and appeared both in list order, lost first.
    for (int i = 0; i < n; ++i)
        probes.script("h" + std::to_string(i), {i % 2 ? Answer::Up : Answer::Down});
    sink.lines.clear();
    clearChecked();
    runPass();
    QStringList expected;
    for (int i = 0; i < n; ++i) {
        if (i != 5) expected << (i % 2 ? kAppeared : kLost) + QStringLiteral("T%1").arg(i);
    }
    EXPECT_EQ(sink.lines, expected);
    ASSERT_EQ(sink.reports.size(), 2);
    EXPECT_EQ(sink.reports[1],
              "Lost hosts:\r\n  T0\r\n  T2\r\n  T4\r\n  T6\r\n  T8\r\n  T10\r\n\r\n"
              "Appeared hosts:\r\n  T1\r\n  T3\r\n  T7\r\n  T9\r\n  T11");
    EXPECT_EQ(images(), (std::vector<int>{1, 0, 1, 0, 1, 1, 1, 0, 1, 0, 1, 0}));
    EXPECT_EQ(checkedOrder(), upTo(n));
    EXPECT_EQ(passes.load(), 2);
}

TEST_P(CheckHostsAtOnce, ARebuildStopsTheHandOversAndAWakeForTheNewListRunsItAtOnce) {
    hosts.rebuildFromLines({"Alpha :  a", "Bravo :  b", "Charlie :  c", "Dora :  d"});
    for (const char* h : {"a", "c", "d", "n1"}) probes.script(h, {Answer::Up});
    probes.script("b", {Answer::Hold});
    thread.resume();
    ASSERT_TRUE(pumpUntil([&] { return probes.isHeld() && checkedOrder().size() == 1; }));
    // Charlie and Dora may have been probed meanwhile; their results belong to the old list.
    hosts.rebuildFromLines({"New :  n1", "Next :  n2"});
    thread.resumeForNewList();
    thread.resume();  // a tick during the pass changes nothing
    probes.release();
    ASSERT_TRUE(pumpUntil([&] { return passes.load() == 2 && thread.isSuspended(); }));
    EXPECT_EQ(sink.lines, QStringList({kAppeared + "Alpha", kAppeared + "New"}));
    EXPECT_EQ(sink.reports,
              QStringList({"Appeared hosts:\r\n  Alpha", "Appeared hosts:\r\n  New"}));
    EXPECT_EQ(images(), (std::vector<int>{0, 1}));
    EXPECT_EQ(checkedOrder(), (std::vector<int>{0, 0, 1}));

    // Once suspended, the same wake is an ordinary one: one pass, no second.
    hosts.rebuildFromLines({"Only :  n1"});
    thread.resumeForNewList();
    ASSERT_TRUE(pumpUntil([&] { return passes.load() == 3 && thread.isSuspended(); }));
    pumpUntil([] { return false; }, 100);
    EXPECT_EQ(passes.load(), 3);
    EXPECT_EQ(images(), std::vector<int>{0});
}

TEST_P(CheckHostsAtOnce, StopDuringAPassMakesTheHostsNotYetHandedOverAppear) {
    hosts.rebuildFromLines({"A :  a", "B :  b", "C :  c", "D :  d", "E :  e"});
    for (const char* h : {"a", "b", "c", "d", "e"}) probes.script(h, {Answer::Up});
    probes.delay("d", 50);
    runPass();
    ASSERT_EQ(images(), (std::vector<int>{0, 0, 0, 0, 0}));

    sink.lines.clear();
    clearChecked();
    probes.script("c", {Answer::Hold});
    thread.resume();
    ASSERT_TRUE(pumpUntil([&] { return probes.isHeld() && checkedOrder().size() == 2; }));
    hosts.setAllStateImages(hv::kImageNotAnswering);  // Stop
    probes.release();
    ASSERT_TRUE(pumpUntil([&] { return passes.load() == 2 && thread.isSuspended(); }));
    EXPECT_EQ(sink.lines, QStringList({kAppeared + "C", kAppeared + "D", kAppeared + "E"}));
    EXPECT_EQ(images(), (std::vector<int>{1, 1, 0, 0, 0}));
}

INSTANTIATE_TEST_SUITE_P(ParallelChecks, CheckHostsAtOnce, ::testing::Values(1, 2, 64));

class CheckHostsWidth : public hvtest::CheckCycle {};

// The widest pass the settings allow really runs that many checks at once: each try waits
// until 64 are under way together, which a narrower pass never reaches.
TEST_F(CheckHostsWidth, SixtyFourChecksAreUnderWayAtOnce) {
    const int n = 80;
    QStringList lines;
    for (int i = 0; i < n; ++i) {
        lines << QStringLiteral("T%1 :  g%1").arg(i);
        probes.script("g" + std::to_string(i), {Answer::Gate});
    }
    hosts.rebuildFromLines(lines);
    probes.openGateAt(64);
    thread.setParallelChecks(64);
    thread.resume();
    ASSERT_TRUE(pumpUntil([&] { return passes.load() == 1 && thread.isSuspended(); }, 60000));
    EXPECT_FALSE(probes.gateTimedOut()) << "at most " << probes.mostAtOnce() << " at once";
    EXPECT_EQ(probes.mostAtOnce(), 64);
    EXPECT_EQ(probes.calls().size(), std::size_t(n));  // every host answered its first try
    EXPECT_EQ(images(), std::vector<int>(n, hv::kImageAnswered));
    EXPECT_EQ(sink.lines.size(), n);
}

class CheckHostsQuit : public hvtest::CheckCycle {};

TEST_F(CheckHostsQuit, QuitWhileSixtyFourProbesWaitEndsAtOnce) {
    QStringList lines;
    for (int i = 0; i < 70; ++i) {
        lines << QStringLiteral("T%1 :  s%1").arg(i);
        probes.script("s" + std::to_string(i), {Answer::Slow});  // 30 s unless cancelled
    }
    hosts.rebuildFromLines(lines);
    thread.setParallelChecks(64);
    thread.resume();
    ASSERT_TRUE(pumpUntil([&] { return probes.mostAtOnce() == 64; }));
    const auto began = std::chrono::steady_clock::now();
    thread.stop();
    // Generous for loaded sanitizer runs; the probes alone would wait 30 s.
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(5));
    EXPECT_EQ(probes.calls().size(), 64u);  // nobody took a further host or a second try
    pumpUntil([] { return false; }, 100);
    EXPECT_TRUE(sink.lines.isEmpty());
    EXPECT_TRUE(sink.reports.isEmpty());
}

}  // namespace
