#include "CheckCycleFixture.h"

namespace {

using hvtest::Answer;
using CheckHostsPassEnded = hvtest::CheckCycle;

// Every pass tells the windows that it ended and which host list it walked, whether or not it
// reported anything: a pass cut short by a rebuild names the old list, not the new one.
TEST_F(CheckHostsPassEnded, EveryPassNamesTheListItWalked) {
    runPass();  // no hosts: nothing shown, the end is still told
    ASSERT_EQ(sink.passGenerations, (QList<std::uint64_t>{hosts.generation()}));
    EXPECT_TRUE(sink.reports.isEmpty());

    hosts.rebuildFromLines({"Alpha :  a", "Bravo :  b"});
    const std::uint64_t first = hosts.generation();
    probes.script("a", {Answer::Down, Answer::Down});
    probes.script("b", {Answer::Hold});
    thread.resume();
    ASSERT_TRUE(hvtest::pumpUntil([&] { return probes.isHeld(); }));
    hosts.rebuildFromLines({"Charlie :  c"});
    probes.release();
    ASSERT_TRUE(hvtest::pumpUntil([&] { return passes.load() == 2 && thread.isSuspended(); }));
    ASSERT_EQ(sink.passGenerations.size(), 2);
    EXPECT_EQ(sink.passGenerations[1], first);
    EXPECT_NE(sink.passGenerations[1], hosts.generation());

    probes.script("c", {Answer::Up});
    runPass();
    ASSERT_EQ(sink.passGenerations.size(), 3);
    EXPECT_EQ(sink.passGenerations[2], hosts.generation());
}

}  // namespace
