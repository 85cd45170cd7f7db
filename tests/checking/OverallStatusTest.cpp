#include <gtest/gtest.h>

#include <QDir>

#include "TestSupport.h"
#include "checking/OverallStatus.h"
#include "lang/Languages.h"

namespace {

using hv::Host;
using hv::OverallState;
using hv::OverallStatus;

Host up(const QString& title, const QString& address = QStringLiteral("10.0.0.1")) {
    return Host{title, address, hv::kImageAnswered};
}
Host down(const QString& title, const QString& address = QStringLiteral("10.0.0.1")) {
    return Host{title, address, hv::kImageNotAnswering};
}

// Messages from a language file of the test's own, so the texts and the "%n" filling are the
// file's and not the keys themselves.
class OverallStatusTest : public ::testing::Test {
protected:
    void SetUp() override {
        QDir().mkpath(dir.file("Languages"));
        dir.write("Languages/Test.lng",
                  "[Messages]\n"
                  "TrayAnswering=%1 of %2 hosts answering\n"
                  "TrayMore=and %1 more\n"
                  "TrayChecking=Checking the hosts...\n"
                  "TrayStopped=Checking stopped\n"
                  "TrayNoHosts=No hosts to check\n"
                  "TrayPaused=Checking paused while Settings is open\n"
                  "TrayUnreachable=%1 (unreachable)\n");
        hv::Languages::instance().setExecutable(dir.file("hostvane"));
        hv::Languages::instance().setCurrentLanguage("Test");
    }
    void TearDown() override { hv::Languages::instance().setCurrentLanguage(QString()); }
    hvtest::TempDir dir;
};

TEST_F(OverallStatusTest, StateAndToolTipFromStatesAndRunning) {
    const QList<Host> none;
    const QList<Host> allUp{up("A"), up("B"), up("C"), up("D")};
    const QList<Host> oneDown{up("A"), up("B"), down("Mail server"), up("D")};
    const QList<Host> allDown{down("A"), down("B")};
    const QList<Host> oneUp{down("A"), down("B"), up("C"), down("D")};
    // A host without an address is never checked: it is neither answering nor lost.
    const QList<Host> withBlank{up("A"), down("Blank", "   "), down("Empty", "")};
    const QList<Host> onlyBlank{down("Blank", " ")};
    const struct {
        const char* name;
        const QList<Host>& hosts;
        bool running;
        bool passOver;
        bool paused;
        OverallState state;
        int answering, watched;
        QString tip;
    } cases[] = {
        {"no hosts", none, true, true, false, OverallState::NoHosts, 0, 0, "No hosts to check"},
        {"no hosts before a pass", none, true, false, false, OverallState::NoHosts, 0, 0,
         "No hosts to check"},
        {"only blank addresses", onlyBlank, true, true, false, OverallState::NoHosts, 0, 0,
         "No hosts to check"},
        {"all up", allUp, true, true, false, OverallState::AllAnswering, 4, 4,
         "4 of 4 hosts answering"},
        {"some lost", oneDown, true, true, false, OverallState::SomeLost, 3, 4,
         "3 of 4 hosts answering\n  Mail server"},
        // One answer among many losses is still not "all lost".
        {"one answering", oneUp, true, true, false, OverallState::SomeLost, 1, 4,
         "1 of 4 hosts answering\n  A\n  B\n  D"},
        {"all lost", allDown, true, true, false, OverallState::AllLost, 0, 2,
         "0 of 2 hosts answering\n  A\n  B"},
        {"blank addresses left out", withBlank, true, true, false, OverallState::AllAnswering, 1, 1,
         "1 of 1 hosts answering"},
        // Before the first pass ends every host still shows "not answering": not a red alert.
        {"first pass under way", allDown, true, false, false, OverallState::Checking, 0, 2,
         "Checking the hosts..."},
        {"stopped", allUp, false, true, false, OverallState::Stopped, 4, 4, "Checking stopped"},
        {"stopped, no hosts", none, false, false, false, OverallState::Stopped, 0, 0,
         "Checking stopped"},
        // The settings dialog holds the checks: paused whatever the hosts say, but a stopped
        // monitor stays stopped.
        {"paused", oneDown, true, true, true, OverallState::Paused, 3, 4,
         "Checking paused while Settings is open"},
        {"paused before a pass", allDown, true, false, true, OverallState::Paused, 0, 2,
         "Checking paused while Settings is open"},
        {"paused, no hosts", none, true, true, true, OverallState::Paused, 0, 0,
         "Checking paused while Settings is open"},
        {"stopped while paused", allUp, false, true, true, OverallState::Stopped, 4, 4,
         "Checking stopped"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const OverallStatus s = OverallStatus::of(c.hosts, c.running, c.passOver, c.paused);
        EXPECT_EQ(s.state, c.state);
        EXPECT_EQ(s.answering, c.answering);
        EXPECT_EQ(s.watched, c.watched);
        EXPECT_EQ(s.toolTip(), c.tip);
    }
}

TEST_F(OverallStatusTest, ToolTipListsFiveLostTitlesThenHowManyMore) {
    QList<Host> hosts{up("Up")};
    for (int i = 1; i <= 8; ++i) hosts << down(QStringLiteral("H%1").arg(i));
    const struct {
        int lost;
        QString tip;
    } cases[] = {
        {5, "1 of 6 hosts answering\n  H1\n  H2\n  H3\n  H4\n  H5"},
        {6, "1 of 7 hosts answering\n  H1\n  H2\n  H3\n  H4\n  H5\n  and 1 more"},
        {8, "1 of 9 hosts answering\n  H1\n  H2\n  H3\n  H4\n  H5\n  and 3 more"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lost);
        const OverallStatus s = OverallStatus::of(hosts.mid(0, 1 + c.lost), true, true);
        EXPECT_EQ(s.state, OverallState::SomeLost);
        EXPECT_EQ(s.lost.size(), c.lost) << "all of them are kept, only the tooltip cuts";
        EXPECT_EQ(s.toolTip(), c.tip);
    }
}

// A host behind a lost host is no answering host either, and the tooltip says why it is down.
TEST_F(OverallStatusTest, UnreachableHostsCountAsNotAnsweringAndSaySo) {
    const QList<Host> hosts{up("Web"), down("Router"),
                            Host{"Mail", "10.0.0.3", hv::kImageUnreachable}};
    const OverallStatus s = OverallStatus::of(hosts, true, true);
    EXPECT_EQ(s.state, OverallState::SomeLost);
    EXPECT_EQ(s.answering, 1);
    EXPECT_EQ(s.toolTip(), "1 of 3 hosts answering\n  Router\n  Mail (unreachable)");
}

TEST_F(OverallStatusTest, TitlesAreShownAsTheyAreOnOneLineEach) {
    const QString longTitle(100, QLatin1Char('x'));
    const QList<Host> hosts{
        up("ok"),
        down("<b>lab</b> & \"rack\" %1 %2"),  // markup, ampersand, quotes and placeholders
        down("Café Ünïcode ✓"),
        down("two\r\nlines"),
        down("   ", "192.0.2.7"),  // blank title: the address stands for it
        down(longTitle),
    };
    const OverallStatus s = OverallStatus::of(hosts, true, true);
    EXPECT_EQ(s.lost, QStringList({"<b>lab</b> & \"rack\" %1 %2", "Café Ünïcode ✓", "two  lines",
                                   "192.0.2.7", QString(63, QLatin1Char('x')) + QChar(0x2026)}));
    // Placeholders in a title are not filled: only the message's own are.
    EXPECT_EQ(s.toolTip().section('\n', 0, 1),
              "1 of 6 hosts answering\n  <b>lab</b> & \"rack\" %1 %2");
}

// A translation may order the placeholders as its grammar wants, or leave one out.
TEST_F(OverallStatusTest, PlaceholdersFollowTheTranslation) {
    dir.write("Languages/Test2.lng",
              "[Messages]\nTrayAnswering=Answering: %1 (of %2), %3 stays\nTrayMore=+%1\n");
    hv::Languages::instance().setCurrentLanguage("Test2");
    QList<Host> hosts;
    for (int i = 0; i < 7; ++i) hosts << down(QStringLiteral("H%1").arg(i));
    hosts << up("U");
    const QString tip = OverallStatus::of(hosts, true, true).toolTip();
    EXPECT_TRUE(tip.startsWith("Answering: 1 (of 8), %3 stays\n")) << tip.toStdString();
    EXPECT_TRUE(tip.endsWith("\n  +2")) << tip.toStdString();

    dir.write("Languages/Test3.lng", "[Messages]\nTrayAnswering=%2 hosts, %1 answering\n");
    hv::Languages::instance().setCurrentLanguage("Test3");
    EXPECT_TRUE(OverallStatus::of(hosts, true, true).toolTip().startsWith("8 hosts, 1 answering"));
}

}  // namespace
