#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CheckCycleFixture.h"
#include "hosts/HostFigures.h"

namespace {

using hvtest::Answer;

const QString kAppeared = QStringLiteral("14:05:09. Host appeared: ");
const QString kLost = QStringLiteral("14:05:09. Host lost: ");

// The tries of passes whose outcomes are given as 'U' (answers at once) and 'D' (both tries
// fail), for a scripted probe.
std::vector<Answer> tries(const std::string& outcomes) {
    std::vector<Answer> out;
    for (char c : outcomes) {
        if (c == 'U') {
            out.push_back(Answer::Up);
        } else {
            out.push_back(Answer::Down);
            out.push_back(Answer::Down);
        }
    }
    return out;
}

// Sequential (1) and parallel (4) passes hand over every result the same way.
class Figures : public hvtest::CheckCycle, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        hvtest::CheckCycle::SetUp();
        thread.setParallelChecks(GetParam());
    }
    hv::HostFigures figuresOf(int index) const { return hosts.figures().value(index); }
};

INSTANTIATE_TEST_SUITE_P(Width, Figures, ::testing::Values(1, 4));

TEST_P(Figures, EveryCheckCountsAndSkippedHostsDoNot) {
    hosts.rebuildFromLines({"Web :  http://w", "Printer :  ", "Mail :  m", "Box :  b"});
    probes.script("w", tries("UUD"));
    probes.script("m", tries("DUU"));
    probes.script("b", tries("UUU"));
    probes.delay("b", 30);
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);

    runPass();
    hv::HostFigures web = figuresOf(0);
    EXPECT_EQ(web.checks, 1);
    EXPECT_EQ(web.failures, 0);
    EXPECT_GE(web.roundTripUs, 0);
    EXPECT_TRUE(web.lastChange.isValid());  // appeared
    EXPECT_GE(web.lastChange, before);
    EXPECT_EQ(figuresOf(1), hv::HostFigures{});  // never checked
    EXPECT_EQ(figuresOf(2).roundTripUs, -1);
    EXPECT_FALSE(figuresOf(2).lastChange.isValid());  // stayed "not answering"
    EXPECT_GE(figuresOf(3).roundTripUs, 30'000);

    runPass();
    runPass();
    web = figuresOf(0);
    EXPECT_EQ(web.checks, 3);
    EXPECT_EQ(web.failures, 1);
    EXPECT_EQ(web.roundTripUs, -1);  // the last check failed
    EXPECT_NEAR(web.answeredPercent(), 200.0 / 3, 1e-9);
    const hv::HostFigures mail = figuresOf(2);
    EXPECT_EQ(mail.checks, 3);
    EXPECT_EQ(mail.failures, 1);
    EXPECT_GE(mail.roundTripUs, 0);
    EXPECT_EQ(figuresOf(1).checks, 0);
    EXPECT_EQ(figuresOf(1).answeredPercent(), -1);
    EXPECT_EQ(figuresOf(3).failures, 0);
    EXPECT_EQ(figuresOf(3).answeredPercent(), 100);
}

TEST_P(Figures, ARebuildKeepsTheFiguresOfUnchangedHostsOnly) {
    thread.setPassesToReport(1, 2);
    hosts.rebuildFromLines({"A :  a", "B :  b", "A :  a"});
    for (const char* h : {"a", "b", "b2", "c"}) probes.script(h, {Answer::Up});
    runPass();
    runPass();
    EXPECT_EQ(images(), (std::vector<int>{0, 0, 0}));
    // After the rebuild the two kept hosts keep their state; every other host is "not
    // answering" and needs two answering passes to appear.
    hosts.rebuildFromLines({"C :  c", "A :  a", "B :  b2", "b :  b", "A :  a", "A :  a"});
    EXPECT_EQ(images(), (std::vector<int>{1, 0, 1, 1, 0, 1}));
    std::vector<int> checks;
    for (const hv::HostFigures& f : hosts.figures()) checks.push_back(f.checks);
    // Same title and address: kept, two equal ones in list order; the third A is new; a new
    // address or a title in other letter case starts afresh.
    EXPECT_EQ(checks, (std::vector<int>{0, 2, 0, 0, 2, 0}));
    EXPECT_TRUE(hosts.figures().value(1).lastChange.isValid());

    sink.lines.clear();
    runPass();
    EXPECT_TRUE(sink.lines.isEmpty()) << sink.lines.join('\n').toStdString();
    runPass();
    EXPECT_EQ(sink.lines,
              QStringList({kAppeared + "C", kAppeared + "B", kAppeared + "b", kAppeared + "A"}));
    checks.clear();
    for (const hv::HostFigures& f : hosts.figures()) checks.push_back(f.checks);
    EXPECT_EQ(checks, (std::vector<int>{2, 4, 2, 2, 4, 2}));
}

// 1 and 1 is the plain rule (the other check-cycle tests run with it); 3 and 2 with a flapping
// host reports exactly the turns that held long enough, while the figures count every pass.
TEST_P(Figures, ThresholdsReportOnlyTurnsThatLastEnoughPassesInARow) {
    thread.setPassesToReport(3, 2);
    hosts.rebuildFromLines({"Flap :  f", "Steady :  s"});
    //                      1234567890123
    const std::string flap = "UUDDUDDDUDUUD";
    probes.script("f", tries(flap));
    probes.script("s", {Answer::Up});
    std::vector<int> imageAfter;
    for (std::size_t p = 0; p < flap.size(); ++p) {
        runPass();
        imageAfter.push_back(images()[0]);
    }
    EXPECT_EQ(sink.lines, QStringList({kAppeared + "Flap", kAppeared + "Steady", kLost + "Flap",
                                       kAppeared + "Flap"}));
    // Appeared after passes 2 (and Steady), lost after 8, appeared after 12.
    EXPECT_EQ(imageAfter, (std::vector<int>{1, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 0, 0}));
    EXPECT_EQ(sink.reports.size(), 3);
    const hv::HostFigures f = hosts.figures().value(0);
    EXPECT_EQ(f.checks, 13);
    EXPECT_EQ(f.failures, 7);
}

// A rebuild that keeps a host keeps the passes it has counted towards a change: with 2 and 2,
// one silent pass before Settings > OK and one after report the host lost.
TEST_P(Figures, ARebuildKeepsTheCountTowardsAChangeOfAKeptHost) {
    thread.setPassesToReport(2, 2);
    hosts.rebuildFromLines({"A :  a", "B :  b"});
    probes.script("a", {Answer::Up});
    probes.script("b", {Answer::Up});
    runPass();
    runPass();
    ASSERT_EQ(images(), (std::vector<int>{0, 0}));
    probes.script("a", {Answer::Down});
    runPass();
    EXPECT_EQ(images(), (std::vector<int>{0, 0}));
    hosts.rebuildFromLines({"A :  a", "B :  b"});
    sink.lines.clear();
    runPass();
    EXPECT_EQ(sink.lines, QStringList({kLost + "A"}));
    EXPECT_EQ(images(), (std::vector<int>{1, 0}));
}

TEST_P(Figures, StopStartsTheCountTowardsAChangeAgain) {
    thread.setPassesToReport(2, 2);
    hosts.rebuildFromLines({"A :  a"});
    probes.script("a", {Answer::Up});
    runPass();
    EXPECT_EQ(images(), std::vector<int>{1});
    hosts.setAllStateImages(hv::kImageNotAnswering);  // Stop
    runPass();
    EXPECT_TRUE(sink.lines.isEmpty());  // the pass before Stop does not count
    runPass();
    EXPECT_EQ(sink.lines, QStringList({kAppeared + "A"}));
    EXPECT_EQ(hosts.figures().value(0).checks, 3);  // the figures stay
}

TEST(HostFiguresRecord, ThresholdsAreTheLengthOfTheDisagreeingRun) {
    const struct {
        const char* outcomes;  // against a host reported up; a turn flips the reported state
        int lostAfter, appearedAfter;
        const char* turns;  // '^' where the reported state turned
    } cases[] = {
        {"UDUD", 1, 1, " ^^^"},      // today: every difference is reported
        {"DUDDU", 2, 1, "   ^^"},    // one lost reply changes nothing
        {"DDUDU", 2, 2, " ^   "},    // ... nor does one answer among failures
        {"DDDUU", 100, 1, "     "},  //
    };
    for (const auto& c : cases) {
        hv::HostFigures f;
        bool up = true;
        std::string turns;
        for (const char* o = c.outcomes; *o; ++o) {
            const bool turn = f.record(*o == 'U', 1, up, c.lostAfter, c.appearedAfter);
            if (turn) up = !up;
            turns += turn ? '^' : ' ';
        }
        EXPECT_EQ(turns, c.turns) << c.outcomes << " " << c.lostAfter << "/" << c.appearedAfter;
    }
}

}  // namespace
