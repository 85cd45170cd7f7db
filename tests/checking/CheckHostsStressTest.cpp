#include <gtest/gtest.h>

#include <QRegularExpression>
#include <chrono>

#include "CheckCycleFixture.h"

namespace {

using hvtest::Answer;
using hvtest::pumpUntil;

// Parameter: [CheckParams] ParallelChecks.
class CheckHostsStress : public hvtest::CheckCycle, public ::testing::WithParamInterface<int> {};

// Hosts h0, h2, ... answer, the others never do; titles name the list they belong to.
QStringList hostLinesOfRound(int round, int count) {
    QStringList lines;
    for (int k = 0; k < count; ++k) lines << QStringLiteral("g%1-%2 :  h%2").arg(round).arg(k);
    return lines;
}

TEST_P(CheckHostsStress, RebuildsWhilePassesRunNeverReportAHostOfAnOldList) {
    thread.setParallelChecks(GetParam());
    for (int k = 0; k < 8; k += 2) probes.script("h" + std::to_string(k), {Answer::Up});

    int round = 0;
    QStringList faults;
    const QRegularExpression form(QStringLiteral("^14:05:09\\. Host appeared: g(\\d+)-(\\d+)$"));
    sink.onLog = [&](const QString& line) {
        // Runs inside the change report: the host it names must be one of the current list, up.
        const QRegularExpressionMatch m = form.match(line);
        if (!m.hasMatch()) return faults.append(QStringLiteral("form: ") + line);
        const int k = m.captured(2).toInt();
        if (m.captured(1).toInt() != round) faults.append(QStringLiteral("old list: ") + line);
        const QList<hv::Host> now = hosts.hosts();
        if (k % 2 != 0 || k >= now.size() || now[k].stateImage != hv::kImageAnswered) {
            faults.append(QStringLiteral("state: ") + line);
        }
    };

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (round = 1; round <= 400 && std::chrono::steady_clock::now() < deadline; ++round) {
        hosts.rebuildFromLines(hostLinesOfRound(round, round % 8));
        if (round % 5 == 0) hosts.setAllStateImages(hv::kImageNotAnswering);  // Stop
        if (round % 3 == 0) {
            thread.resumeForNewList();  // a confirmed settings dialog
        } else if (thread.isSuspended()) {
            thread.resume();  // a tick
        }
        // Serve hand-overs for 0 to 3 ms, so rebuilds fall before, in and between passes.
        pumpUntil([] { return false; }, round % 4);
    }
    ASSERT_TRUE(pumpUntil([&] { return thread.isSuspended(); }));
    EXPECT_TRUE(faults.isEmpty()) << faults.join('\n').toStdString();
    EXPECT_FALSE(thread.hasEnded()) << thread.errorMessage().toStdString();
    EXPECT_GT(passes.load(), 0);

    // After the storm a pass is exactly as always.
    ++round;
    sink.reports.clear();
    hosts.rebuildFromLines(hostLinesOfRound(round, 4));
    runPass();
    EXPECT_EQ(sink.reports,
              QStringList{QStringLiteral("Appeared hosts:\r\n  g%1-0\r\n  g%1-2").arg(round)});
    EXPECT_EQ(images(), (std::vector<int>{0, 1, 0, 1}));
}

INSTANTIATE_TEST_SUITE_P(ParallelChecks, CheckHostsStress, ::testing::Values(1, 4, 64));

}  // namespace
