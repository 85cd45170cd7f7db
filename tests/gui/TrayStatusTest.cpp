#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QSystemTrayIcon>
#include <QTextDocument>
#include <atomic>
#include <mutex>
#include <set>
#include <thread>

#include "TestSupport.h"
#include "dialogs/SettingsDialog.h"
#include "lang/Languages.h"
#include "platform/AutostartEntry.h"
#include "platform/CancelHandle.h"
#include "shell/MainWindow.h"
#include "views/LogWindow.h"
#include "views/TrayIcon.h"
#include "views/TrayStatusImages.h"
#include "widgets/ErrorBox.h"

namespace {

using hv::MainWindow;
using hv::OverallState;

// Hosts in `up` answer; while the gate is closed every try waits (bounded, and cut short by
// the check cycle's cancel).
struct Script {
    std::mutex lock;
    std::set<std::string> up;
    std::atomic<bool> gateOpen{true};
    void setUp(std::set<std::string> hosts) {
        std::lock_guard g(lock);
        up = std::move(hosts);
    }
};

class GatedProbes : public hv::Probe {
public:
    GatedProbes(std::shared_ptr<Script> s, const hv::CancelHandle& cancel)
        : m_s(std::move(s)), m_cancel(cancel) {}
    hv::ProbeOutcome tryTarget(const hv::ProbeTarget& target) override {
        return hv::ProbeOutcome(answer(target.host));
    }

private:
    bool answer(const std::string& host) {
        for (int i = 0; i < 600 && !m_s->gateOpen && !m_cancel.isCancelled(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::lock_guard g(m_s->lock);
        return m_s->up.count(host) > 0;
    }
    std::shared_ptr<Script> m_s;
    const hv::CancelHandle& m_cancel;
};

QImage pixels(const QIcon& icon) {
    return icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
}

class TrayStatusTest : public ::testing::Test {
protected:
    void SetUp() override {
        exe = hvtest::layProgramFolder(dir);
        hv::Languages::instance().setExecutable(exe);
        hv::Languages::instance().loadLanguage(false);
        hv::AutostartEntry().remove();
        hv::ErrorBox::setPresenter([](const QString&) {});
    }
    void TearDown() override {
        main.reset();
        hv::ErrorBox::setPresenter(nullptr);
        hv::AutostartEntry().remove();
    }

    // Three hosts, no timed passes: a pass runs at start, on Start and when the test asks.
    MainWindow& make(const QByteArray& viewLines) {
        dir.write("Hostvane.ini",
                  "[HostList]\nA=10.0.0.1\nB=10.0.0.2\n<b>C</b> & co=10.0.0.3\n\n[View]\n" +
                      viewLines +
                      "\n[CheckParams]\nCheckPeriod=0\n\n[General]\nLanguage=English\n");
        MainWindow::Options o;
        o.executablePath = exe;
        o.trayIcon = true;  // no notification area offscreen: the icon waits for one
        o.probes = [s = script](const hv::CancelHandle& c) {
            return std::make_unique<GatedProbes>(s, c);
        };
        o.brokenFilesMessage = [] {};
        testing::internal::CaptureStderr();
        main = std::make_unique<MainWindow>(o);
        testing::internal::GetCapturedStderr();
        main->setWindows(&log, nullptr);
        main->monitor().checkCycle()->setPassFinished([this] { ++passes; });
        icon = main->findChild<QSystemTrayIcon*>();
        if (icon) startKey = icon->icon().cacheKey();
        return *main;
    }

    // Runs one pass and lets the queued status update through.
    void pass() {
        const int before = passes;
        main->monitor().trmAskTimer();
        ASSERT_TRUE(hvtest::waitFor([&] { return passes > before; }));
        settle();
    }
    void settle() {
        hvtest::waitFor([] { return false; }, 100);
    }

    void expectShows(OverallState state, const QString& tip) {
        EXPECT_EQ(pixels(icon->icon()),
                  hv::TrayStatusImages::pixmap(state, 16).toImage().convertToFormat(
                      QImage::Format_ARGB32))
            << "state " << int(state);
        EXPECT_EQ(icon->toolTip(), tip);
    }

    hvtest::TempDir dir;
    QString exe;
    std::shared_ptr<Script> script = std::make_shared<Script>();
    hv::LogWindow log;
    std::unique_ptr<MainWindow> main;
    QSystemTrayIcon* icon = nullptr;
    qint64 startKey = 0;  // the icon's cache key at creation
    std::atomic<int> passes{0};
};

TEST_F(TrayStatusTest, WithTrayStatusTheIconAndToolTipFollowTheHosts) {
    MainWindow& m = make("TrayStatus=1\n");
    ASSERT_NE(icon, nullptr);
    script->setUp({"10.0.0.1", "10.0.0.2"});
    script->gateOpen = false;
    m.monitor().loadSettings();
    settle();
    // Until the first pass ends every host shows "not answering": the icon says "checking".
    expectShows(OverallState::Checking, "Checking the hosts...");

    script->gateOpen = true;
    ASSERT_TRUE(hvtest::waitFor([&] { return passes >= 1; }));
    settle();
    expectShows(OverallState::SomeLost, "2 of 3 hosts answering\n  <b>C</b> & co");
    // The title is shown as typed: the tooltip does not take the text for markup.
    EXPECT_FALSE(Qt::mightBeRichText(icon->toolTip()));

    script->setUp({"10.0.0.1", "10.0.0.2", "10.0.0.3"});
    pass();
    expectShows(OverallState::AllAnswering, "3 of 3 hosts answering");

    m.miStartClick();  // Stop
    settle();
    expectShows(OverallState::Stopped, "Checking stopped");
    script->gateOpen = false;
    m.miStartClick();  // Start: a pass begins at once
    settle();
    expectShows(OverallState::Checking, "Checking the hosts...");
    script->gateOpen = true;
    ASSERT_TRUE(hvtest::waitFor([&] { return passes >= 3; }));
    settle();
    expectShows(OverallState::AllAnswering, "3 of 3 hosts answering");

    script->setUp({});
    pass();
    expectShows(OverallState::AllLost, "0 of 3 hosts answering\n  A\n  B\n  <b>C</b> & co");

    // Switched off (the settings dialog's OK): today's icon and no tooltip again.
    hv::Settings off = m.monitor().settings();
    off.trayStatus = 0;
    m.monitor().updateSettings(off);
    settle();
    EXPECT_EQ(icon->icon().cacheKey(), startKey);
    EXPECT_EQ(pixels(icon->icon()), pixels(hv::TrayIcon::trayImage()));
    EXPECT_TRUE(icon->toolTip().isEmpty());
}

// Without the key the icon is the very one of the start throughout, and has no tooltip.
TEST_F(TrayStatusTest, WithoutTheKeyTheIconStaysAsToday) {
    for (const QByteArray& view : {QByteArray(), QByteArray("TrayStatus=0\n")}) {
        SCOPED_TRACE(view.constData());
        passes = 0;
        MainWindow& m = make(view);
        ASSERT_NE(icon, nullptr);
        EXPECT_EQ(pixels(icon->icon()), pixels(hv::TrayIcon::trayImage()));
        const auto unchanged = [&] {
            EXPECT_EQ(icon->icon().cacheKey(), startKey);
            EXPECT_TRUE(icon->toolTip().isEmpty()) << icon->toolTip().toStdString();
        };
        script->setUp({"10.0.0.1"});
        m.monitor().loadSettings();
        EXPECT_EQ(m.monitor().settings().trayStatus, 0);
        ASSERT_TRUE(hvtest::waitFor([&] { return passes >= 1; }));
        settle();
        unchanged();
        m.miStartClick();
        settle();
        unchanged();
        m.miStartClick();
        ASSERT_TRUE(hvtest::waitFor([&] { return passes >= 2; }));
        settle();
        unchanged();
        main.reset();
    }
}

// A host list rebuilt while a pass walks the old one: the pass's end does not count for the
// new list, which reads "checking" until a pass over it has ended.
TEST_F(TrayStatusTest, ARebuiltListIsCheckingUntilAPassOverItEnds) {
    MainWindow& m = make("TrayStatus=1\n");
    script->setUp({"10.0.0.1", "10.0.0.2", "10.0.0.3", "10.0.0.9"});
    m.monitor().loadSettings();
    ASSERT_TRUE(hvtest::waitFor([&] { return passes >= 1; }));
    settle();
    expectShows(OverallState::AllAnswering, "3 of 3 hosts answering");

    script->gateOpen = false;
    m.monitor().trmAskTimer();
    settle();
    m.monitor().hosts().rebuildFromLines({"D :  10.0.0.9", "E :  10.0.0.8"});
    settle();
    expectShows(OverallState::Checking, "Checking the hosts...");
    script->gateOpen = true;
    ASSERT_TRUE(hvtest::waitFor([&] { return passes >= 2; }));
    settle();
    expectShows(OverallState::Checking, "Checking the hosts...");
    m.monitor().trmAskTimer();
    ASSERT_TRUE(
        hvtest::waitFor([&] { return passes >= 3 && m.monitor().checkCycle()->isSuspended(); }));
    settle();
    expectShows(OverallState::SomeLost, "1 of 2 hosts answering\n  E");
}

// Counts the queued calls a window receives: the status updates MainWindow posts to itself.
class QueuedCalls : public QObject {
public:
    int count = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::MetaCall) ++count;
        return false;
    }
};

// 500 hosts changing in one hand-over make one update of the icon, not 500.
TEST_F(TrayStatusTest, ManyChangesInOneTurnAreOneUpdate) {
    MainWindow& m = make("TrayStatus=1\n");
    m.monitor().loadSettings();
    ASSERT_TRUE(
        hvtest::waitFor([&] { return passes >= 1 && m.monitor().checkCycle()->isSuspended(); }));
    QStringList lines;
    for (int i = 0; i < 500; ++i)
        lines << QStringLiteral("H%1 :  10.1.%2.%3").arg(i).arg(i / 250).arg(i % 250);
    m.monitor().hosts().rebuildFromLines(lines);
    m.monitor().trmAskTimer();  // nobody answers
    ASSERT_TRUE(
        hvtest::waitFor([&] { return passes >= 2 && m.monitor().checkCycle()->isSuspended(); }));
    settle();
    EXPECT_TRUE(icon->toolTip().startsWith("0 of 500 hosts answering\n  H0\n"))
        << icon->toolTip().toStdString();

    QueuedCalls calls;
    m.installEventFilter(&calls);
    for (int i = 0; i < 500; ++i) m.monitor().hosts().setStateImage(i, hv::kImageAnswered);
    EXPECT_EQ(icon->toolTip().left(8), "0 of 500") << "worked out later, not per host";
    settle();
    m.removeEventFilter(&calls);
    EXPECT_EQ(calls.count, 1);
    expectShows(OverallState::AllAnswering, "500 of 500 hosts answering");
}

// While the settings dialog is open the checks are held, and the icon and its tooltip say so;
// closing it brings back what they showed before. A stopped monitor reads stopped throughout.
TEST_F(TrayStatusTest, TheIconSaysPausedWhileTheSettingsDialogIsOpen) {
    MainWindow& m = make("TrayStatus=1\n");
    script->setUp({"10.0.0.1", "10.0.0.2", "10.0.0.3"});
    m.monitor().loadSettings();
    ASSERT_TRUE(hvtest::waitFor([&] { return passes >= 1; }));
    settle();
    expectShows(OverallState::AllAnswering, "3 of 3 hosts answering");
    const struct {
        const char* what;
        bool stopped;
        OverallState during;
        QString duringTip;
        OverallState after;
        QString afterTip;
    } cases[] = {
        {"running", false, OverallState::Paused, "Checking paused while Settings is open",
         OverallState::AllAnswering, "3 of 3 hosts answering"},
        {"stopped", true, OverallState::Stopped, "Checking stopped", OverallState::Stopped,
         "Checking stopped"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.stopped) m.miStartClick();
        settle();
        bool ran = false;
        m.runSettingsDialog = [&](hv::SettingsDialog&) {
            settle();
            expectShows(c.during, c.duringTip);
            ran = true;
            return int(hv::SettingsDialog::kCancel);
        };
        m.miSettingsClick();
        ASSERT_TRUE(ran);
        settle();
        expectShows(c.after, c.afterTip);
    }
}

TEST_F(TrayStatusTest, SettingsDialogCheckBoxIsAppliedAndSavedOnOk) {
    MainWindow& m = make(QByteArray());
    m.monitor().loadSettings();
    bool seen = false;
    m.runSettingsDialog = [&](hv::SettingsDialog& d) {
        EXPECT_FALSE(d.cbTrayStatus->isChecked());
        EXPECT_EQ(d.cbTrayStatus->accessibleName(), "Show the hosts' state on the tray icon");
        EXPECT_EQ(d.cbTrayStatus->parentWidget(), static_cast<QWidget*>(d.gbView));
        d.cbTrayStatus->setChecked(true);
        seen = true;
        return int(hv::SettingsDialog::kOk);
    };
    m.miSettingsClick();
    ASSERT_TRUE(seen);
    EXPECT_EQ(m.monitor().settings().trayStatus, 1);
    EXPECT_TRUE(dir.read("Hostvane.ini").contains("TrayStatus=1"));
    settle();
    EXPECT_FALSE(icon->toolTip().isEmpty());

    // Cancel keeps it; OK with the box cleared turns it off and keeps the key in the file.
    m.runSettingsDialog = [&](hv::SettingsDialog& d) {
        EXPECT_TRUE(d.cbTrayStatus->isChecked());
        d.cbTrayStatus->setChecked(false);
        return int(hv::SettingsDialog::kCancel);
    };
    m.miSettingsClick();
    EXPECT_EQ(m.monitor().settings().trayStatus, 1);
    m.runSettingsDialog = [&](hv::SettingsDialog& d) {
        d.cbTrayStatus->setChecked(false);
        return int(hv::SettingsDialog::kOk);
    };
    m.miSettingsClick();
    EXPECT_EQ(m.monitor().settings().trayStatus, 0);
    EXPECT_TRUE(dir.read("Hostvane.ini").contains("TrayStatus=0"));
    settle();
    EXPECT_TRUE(icon->toolTip().isEmpty());
}

// Every state's image at every size: drawn, of the size asked, and told apart from the others
// by its shape alone (the alpha mask, as a monochrome panel shows it): at least a tenth of the
// pixels differ between any two.
TEST(TrayStatusImages, EveryStateHasItsOwnShapeAtEverySize) {
    const OverallState states[] = {OverallState::Checking, OverallState::AllAnswering,
                                   OverallState::SomeLost, OverallState::AllLost,
                                   OverallState::Stopped,  OverallState::Paused};
    for (int side : hv::TrayStatusImages::kSides) {
        QList<QImage> masks;
        for (OverallState s : states) {
            const QImage image = hv::TrayStatusImages::pixmap(s, side).toImage();
            ASSERT_EQ(image.size(), QSize(side, side));
            masks << image.convertToFormat(QImage::Format_ARGB32);
        }
        // A pixel counts as "ink" when it is mostly opaque and not white: the white glyphs
        // inside the filled shapes are holes in a one-colour rendering.
        const auto ink = [](QRgb p) { return qAlpha(p) > 128 && qGray(p) < 200; };
        for (int i = 0; i < masks.size(); ++i)
            for (int j = i + 1; j < masks.size(); ++j) {
                int differ = 0;
                for (int y = 0; y < side; ++y)
                    for (int x = 0; x < side; ++x)
                        differ += ink(masks[i].pixel(x, y)) != ink(masks[j].pixel(x, y));
                EXPECT_GE(differ * 10, side * side) << side << " px: states " << i << ", " << j;
            }
    }
    EXPECT_TRUE(hv::TrayStatusImages::pixmap(OverallState::NoHosts, 16).isNull());
}

}  // namespace
