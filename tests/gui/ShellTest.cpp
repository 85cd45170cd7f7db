#include <gtest/gtest.h>

#include <unistd.h>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFontDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <set>

#include <QApplication>
#include <QColorDialog>
#include <QTest>
#include "TestSupport.h"

#include "dialogs/HostEntryDialog.h"
#include "dialogs/SettingsDialog.h"
#include "lang/Languages.h"
#include "monitor/AskTimer.h"
#include "platform/AutostartEntry.h"
#include "platform/CancelHandle.h"
#include "platform/DesktopNotifications.h"
#include "shell/MainWindow.h"
#include "shell/OwnerDrawItem.h"
#include "shell/StartupSequence.h"
#include "views/AboutWindow.h"
#include "views/ImageList.h"
#include "views/LogWindow.h"
#include "widgets/ErrorBox.h"
#include "widgets/MaskEdit.h"
#include "widgets/SpinEdit.h"

namespace {

using hv::MainWindow;

void settle(int ms = 300) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// Probes that answer from a script: hosts in `up` answer, all others do not; the host
// `gated` blocks inside its try until released or cancelled.
struct Script {
    std::mutex lock;
    std::condition_variable cv;
    std::set<std::string> up;
    std::string gated;
    bool released = false;
    bool inGate = false;
    bool sawCancel = false;
    std::atomic<int> calls{0};

    void release() {
        std::lock_guard g(lock);
        released = true;
        cv.notify_all();
    }
    bool waitingInGate() {
        std::lock_guard g(lock);
        return inGate;
    }
};

class ScriptedProbes : public hv::Probe {
public:
    ScriptedProbes(std::shared_ptr<Script> s, const hv::CancelHandle& cancel)
        : m_s(std::move(s)), m_cancel(cancel) {}
    hv::ProbeOutcome tryTarget(const hv::ProbeTarget& target) override {
        return hv::ProbeOutcome(answer(target.host));
    }

private:
    bool answer(const std::string& host) {
        ++m_s->calls;
        if (host == m_s->gated) {
            std::unique_lock g(m_s->lock);
            m_s->inGate = true;
            for (int i = 0; i < 600 && !m_s->released && !m_cancel.isCancelled(); ++i)
                m_s->cv.wait_for(g, std::chrono::milliseconds(50));
            m_s->inGate = false;
            if (m_cancel.isCancelled()) m_s->sawCancel = true;
        }
        std::lock_guard g(m_s->lock);
        return m_s->up.count(host) > 0;
    }
    std::shared_ptr<Script> m_s;
    const hv::CancelHandle& m_cancel;
};

const QByteArray kIni =
    "[HostList]\r\nA=10.0.0.1\r\nB=   \r\nC= 10.0.0.2 \r\n-=10.0.0.3\r\n\r\n"
    "[View]\r\nFontStyleBold=1\r\nFontStyleItalic=1\r\nFontSize=12\r\nFontColor=$FF\r\n"
    "FontName=DejaVu Sans\r\n\r\n[CheckParams]\r\nCheckPeriod=123456\r\nPopUpInterval=7000\r\n\r\n"
    "[General]\r\nLanguage=English\r\n";

bool sameImage(const QIcon& icon, int image) {
    return icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32) ==
           hv::ImageList::pixmap(image).toImage().convertToFormat(QImage::Format_ARGB32);
}

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        exe = hvtest::layProgramFolder(dir);
        hv::Languages::instance().setExecutable(exe);
        hv::Languages::instance().loadLanguage(false);
        hv::AutostartEntry().remove();
        hv::ErrorBox::setPresenter([this](const QString& t) { errors << t; });
    }
    void TearDown() override {
        main.reset();
        hv::ErrorBox::setPresenter(nullptr);
        hv::AutostartEntry().remove();
    }

    MainWindow& make(const QByteArray* ini = &kIni) {
        if (ini) dir.write("Hostvane.ini", *ini);
        MainWindow::Options o;
        o.executablePath = exe;
        o.trayIcon = false;
        o.probes = [s = script](const hv::CancelHandle& c) {
            return std::make_unique<ScriptedProbes>(s, c);
        };
        o.brokenFilesMessage = [this] { ++brokenMessages; };
        main = std::make_unique<MainWindow>(o);
        main->setWindows(&log, nullptr);
        main->monitor().checkCycle()->setPassFinished([this] { ++passes; });
        return *main;
    }

    QStringList menuTexts() const {
        QStringList out;
        for (QAction* a : main->miHoststate->actions())
            out << (a->isSeparator() ? QStringLiteral("|") + a->text() : a->text());
        return out;
    }

    hvtest::TempDir dir;
    QString exe;
    std::shared_ptr<Script> script = std::make_shared<Script>();
    hv::LogWindow log;
    std::unique_ptr<MainWindow> main;
    std::atomic<int> passes{0};
    int brokenMessages = 0;
    QStringList errors;
};

TEST_F(ShellTest, LoadSettingsBuildsHostMenuIntervalsAndFont) {
    MainWindow& m = make();
    m.monitor().loadSettings();
    // Table, separator, A and C; B had a blank address; "-" is a separator line in its place.
    EXPECT_EQ(menuTexts(), QStringList({"Table", "|", "A", "C", "|-"}));
    const QList<QAction*> items = m.miHoststate->actions();
    EXPECT_TRUE(sameImage(items[0]->icon(), 4));
    EXPECT_EQ(items[2]->data().toString(), "10.0.0.1");
    EXPECT_EQ(items[3]->data().toString(), "10.0.0.2");
    for (int i : {2, 3}) EXPECT_TRUE(sameImage(items[i]->icon(), 1));
    EXPECT_EQ(m.monitor().hosts().itemsCount(), 4);
    EXPECT_EQ(m.monitor().askTimer()->interval(), 123456);
    EXPECT_TRUE(m.monitor().askTimer()->isActive());
    EXPECT_EQ(m.monitor().settings().popUpInterval, 7000);
    EXPECT_EQ(m.tmrHide->interval(), 7000);
    const hv::ReportFont f = m.reportFont();
    EXPECT_TRUE(f.bold);
    EXPECT_TRUE(f.italic);
    EXPECT_EQ(f.size, 12);
    EXPECT_EQ(f.name, "DejaVu Sans");
    EXPECT_EQ(m.memReport->palette().color(QPalette::Text), QColor(255, 0, 0));
    // The first pass starts at once and probes the three hosts with addresses.
    EXPECT_TRUE(hvtest::waitFor([&] { return passes >= 1; }));
    EXPECT_EQ(script->calls, 3 * 2);  // nobody answers: two tries each
}

TEST_F(ShellTest, MissingSettingsFileGivesDefaults) {
    MainWindow& m = make(nullptr);
    m.monitor().loadSettings();
    EXPECT_EQ(menuTexts(), QStringList({"Table", "|"}));
    EXPECT_EQ(m.monitor().askTimer()->interval(), 60000);
    EXPECT_EQ(m.monitor().settings().popUpInterval, 5000);
    EXPECT_EQ(m.reportFont(), hv::defaultSettings().font);
    EXPECT_TRUE(hvtest::waitFor([&] { return passes >= 1; }));
}

TEST_F(ShellTest, StopAndStartSwitchMonitorStateAndImages) {
    script->up = {"127.0.0.1"};
    const QByteArray ini =
        "[HostList]\nup=127.0.0.1\ndown=127.0.0.2\n[CheckParams]\nCheckPeriod=0\n";
    MainWindow& m = make(&ini);
    EXPECT_EQ(m.miStartImage(), 3);
    EXPECT_EQ(m.miStart->text(), "Stop");
    m.monitor().loadSettings();
    ASSERT_TRUE(hvtest::waitFor([&] { return passes >= 1; }));
    ASSERT_TRUE(hvtest::waitFor([&] { return m.monitor().hosts().hosts()[0].stateImage == 0; }));
    EXPECT_TRUE(sameImage(m.miHoststate->actions()[2]->icon(), 0));
    EXPECT_TRUE(sameImage(m.miHoststate->actions()[3]->icon(), 1));

    m.miStartClick();  // Stop
    EXPECT_EQ(m.miStartImage(), 2);
    EXPECT_EQ(m.miStart->text(), "Start");
    EXPECT_TRUE(sameImage(m.miStart->icon(), 2));
    EXPECT_FALSE(m.monitor().askTimer()->isEnabled());
    for (const hv::Host& h : m.monitor().hosts().hosts()) EXPECT_EQ(h.stateImage, 1);
    for (int i : {2, 3}) EXPECT_TRUE(sameImage(m.miHoststate->actions()[i]->icon(), 1));
    settle();
    EXPECT_EQ(passes, 1);

    m.miStartClick();  // Start: a pass at once that reports the answering host again
    EXPECT_EQ(m.miStartImage(), 3);
    EXPECT_EQ(m.miStart->text(), "Stop");
    EXPECT_TRUE(m.monitor().askTimer()->isEnabled());
    ASSERT_TRUE(hvtest::waitFor(
        [&] { return passes >= 2 && m.monitor().hosts().hosts()[0].stateImage == 0; }));
    EXPECT_EQ(log.text().count("Host appeared: up"), 2);
    EXPECT_EQ(log.text().count("down"), 0);
}

TEST_F(ShellTest, TicksDuringAPassAreDroppedNotQueued) {
    script->gated = "127.0.0.9";
    script->up = {"127.0.0.9"};
    const QByteArray ini = "[HostList]\nslow=127.0.0.9\n[CheckParams]\nCheckPeriod=0\n";
    MainWindow& m = make(&ini);
    m.monitor().loadSettings();
    ASSERT_TRUE(hvtest::waitFor([&] { return script->waitingInGate(); }));
    for (int i = 0; i < 5; ++i) m.monitor().trmAskTimer();
    m.miStartClick();  // Stop during the pass: the pass still ends and reports
    m.miStartClick();  // Start: the thread is in a pass, so nothing more
    script->release();
    ASSERT_TRUE(hvtest::waitFor([&] { return passes >= 1; }));
    settle();
    EXPECT_EQ(passes, 1);
    EXPECT_EQ(script->calls, 1);
    m.monitor().trmAskTimer();  // suspended now: a tick wakes it
    EXPECT_TRUE(hvtest::waitFor([&] { return passes >= 2; }));
}

TEST_F(ShellTest, StopCheckingWakesAWaitingProbeAndJoins) {
    script->gated = "127.0.0.9";
    const QByteArray ini = "[HostList]\nslow=127.0.0.9\nnext=127.0.0.10\n";
    MainWindow& m = make(&ini);
    m.monitor().loadSettings();
    ASSERT_TRUE(hvtest::waitFor([&] { return script->waitingInGate(); }));
    m.stopChecking();
    EXPECT_EQ(m.monitor().checkCycle(), nullptr);
    EXPECT_TRUE(script->sawCancel);
    m.monitor().trmAskTimer();  // no thread any more: nothing happens
    m.stopChecking();
}

TEST_F(ShellTest, StartItemIsDrawnBoldInItsColourWithItsImage) {
    MainWindow& m = make();
    for (int state : {3, 2}) {
        if (state == 2) m.miStartClick();
        const QImage img = m.miStart->render(false).convertToFormat(QImage::Format_ARGB32);
        const QImage icon =
            hv::ImageList::pixmap(state).toImage().convertToFormat(QImage::Format_ARGB32);
        ASSERT_GE(img.width(), 40);
        ASSERT_GE(img.height(), 19);
        int opaque = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                if (qAlpha(icon.pixel(x, y)) == 255) {
                    ++opaque;
                    EXPECT_EQ(img.pixel(7 + x, 3 + y), icon.pixel(x, y)) << x << "," << y;
                }
        EXPECT_GT(opaque, 20);
        // Caption pixels in the item colour, all right of left + 22 and below top + 2.
        int captionPixels = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const QColor c = img.pixelColor(x, y);
                if (qAbs(c.red() - 113) + qAbs(c.green() - 75) + qAbs(c.blue() - 57) < 12) {
                    ++captionPixels;
                    EXPECT_GE(x, 22);
                    EXPECT_GE(y, 2);
                }
            }
        EXPECT_GT(captionPixels, 10) << "state " << state;
    }
    // Hovering shows a highlight behind the item.
    EXPECT_NE(m.miStart->render(true).pixel(2, 2), m.miStart->render(false).pixel(2, 2));
}

TEST_F(ShellTest, SaveSettingsWritesFileAndAutorunEntry) {
    MainWindow& m = make();
    m.monitor().loadSettings();
    hv::SettingsDialog dialog;
    m.frmSettings = &dialog;
    dialog.cbAutorun->setChecked(true);
    m.saveSettings();
    const QString saved = QString::fromUtf8(dir.read("Hostvane.ini"));
    for (const char* line : {"FontStyleBold=1", "FontStyleItalic=1", "FontSize=12", "FontColor=255",
                             "FontName=DejaVu Sans", "CheckPeriod=123456", "PopUpInterval=7000",
                             "Language=English", "A=10.0.0.1", "C= 10.0.0.2 ", "-=10.0.0.3"})
        EXPECT_TRUE(saved.contains(line)) << line;
    // Rewritten where it stood, an unchanged host's line as it was; the blank B gave no host.
    EXPECT_TRUE(saved.startsWith("[HostList]\r\nA=10.0.0.1\r\nC= 10.0.0.2 \r\n-=10.0.0.3\r\n\r\n"))
        << saved.toStdString();
    EXPECT_TRUE(hv::AutostartEntry().isSetTo(exe));

    dialog.cbAutorun->setChecked(false);
    m.saveSettings();
    EXPECT_FALSE(QFile::exists(hv::AutostartEntry().entryPath()));
    m.frmSettings = nullptr;

    // What was saved loads back the same.
    const hv::ReportFont font = m.reportFont();
    main.reset();
    MainWindow& again = make(nullptr);
    again.monitor().loadSettings();
    EXPECT_EQ(again.reportFont(), font);
    EXPECT_EQ(again.monitor().askTimer()->interval(), 123456);
    EXPECT_EQ(again.monitor().settings().popUpInterval, 7000);
    EXPECT_EQ(menuTexts(), QStringList({"Table", "|", "A", "C", "|-"}));
}

TEST_F(ShellTest, SaveSettingsFailuresReachTheErrorBox) {
    // A folder in the settings file's place cannot be replaced, not even by root.
    MainWindow& m = make(nullptr);
    QDir().mkpath(dir.file("Hostvane.ini"));
    m.monitor().loadSettings();
    m.runSettingsDialog = [](hv::SettingsDialog& d) {
        d.cbAutorun->setChecked(true);
        return int(hv::SettingsDialog::kOk);
    };
    m.miSettings->trigger();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].startsWith("Unable to write to ")) << errors[0].toStdString();
    EXPECT_TRUE(errors[0].contains("Hostvane.ini"));
    EXPECT_FALSE(QFile::exists(hv::AutostartEntry().entryPath()));  // nothing after the failure
    EXPECT_EQ(m.frmSettings, nullptr);
    EXPECT_TRUE(m.monitor().askTimer()->isEnabled());

    // The autostart entry cannot be written: the settings file still is.
    QDir(dir.file("Hostvane.ini")).removeRecursively();
    hvtest::TempDir config;
    config.write("autostart", "a file where the folder should be");
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    m.miSettings->trigger();
    qputenv("XDG_CONFIG_HOME", oldConfig);
    ASSERT_EQ(errors.size(), 2);
    EXPECT_EQ(errors[1], "Failed to set data for 'Hostvane'");
    EXPECT_TRUE(QString::fromUtf8(dir.read("Hostvane.ini")).contains("Language=English"));
}

TEST_F(ShellTest, SettingsDialogIsFilledAndOkAppliesEverything) {
    script->up = {"127.0.0.5"};
    MainWindow& m = make();
    hv::AutostartEntry().set(exe);
    m.monitor().loadSettings();
    ASSERT_TRUE(hvtest::waitFor([&] { return passes >= 1; }));
    int shown = 0;
    m.runSettingsDialog = [&](hv::SettingsDialog& d) {
        ++shown;
        EXPECT_EQ(m.frmSettings, &d);
        EXPECT_FALSE(m.monitor().askTimer()->isEnabled());
        EXPECT_EQ(d.pages->currentIndex(), 0);
        EXPECT_EQ(d.lbSettings->currentRow(), 0);
        QStringList lines;
        for (int i = 0; i < d.lbxHosts->count(); ++i) lines << d.lbxHosts->item(i)->text();
        EXPECT_EQ(lines, QStringList({"A :  10.0.0.1", "C :  10.0.0.2", "- :  10.0.0.3"}));
        EXPECT_TRUE(d.cbAutorun->isChecked());
        EXPECT_EQ(d.sePopUpInt->spinValue(), 7000);
        EXPECT_EQ(d.seCheckPeriod->spinValue(), 123456);
        EXPECT_EQ(d.fontDialog->currentFont().family(), "DejaVu Sans");
        EXPECT_EQ(d.fontDialog->currentFont().pointSize(), 12);
        EXPECT_EQ(d.btnFontInPopUp->font().pointSize(), 12);
        EXPECT_EQ(d.fontDialogColor, QColor(255, 0, 0));
        EXPECT_EQ(d.cbLang->currentText(), "English");
        m.miSettingsClick();  // a second Settings command while open does nothing
        d.lbxHosts->clear();
        d.lbxHosts->addItems({"New :  127.0.0.5", "Other :  127.0.0.6"});
        d.sePopUpInt->setSpinText("9000");
        d.seCheckPeriod->setSpinText("");  // a cleared box hands back 0
        QFont f = d.fontDialog->currentFont();
        f.setPointSize(9);
        d.setFontChoice(f, d.fontDialogColor);  // as a confirmed font dialog does
        d.cbAutorun->setChecked(false);
        return int(hv::SettingsDialog::kOk);
    };
    m.miSettingsClick();
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(m.frmSettings, nullptr);
    EXPECT_EQ(m.monitor().hosts().hostLines(),
              QStringList({"New :  127.0.0.5", "Other :  127.0.0.6"}));
    EXPECT_EQ(m.monitor().hosts().itemsCount(), 2);
    EXPECT_EQ(menuTexts(), QStringList({"Table", "|", "New", "Other"}));
    ASSERT_TRUE(hvtest::waitFor(
        [&] { return passes >= 2 && m.monitor().hosts().hosts()[0].stateImage == 0; }));
    EXPECT_EQ(m.monitor().settings().popUpInterval, 9000);
    EXPECT_EQ(m.monitor().askTimer()->interval(), 0);
    EXPECT_TRUE(m.monitor().askTimer()->isEnabled());
    EXPECT_FALSE(m.monitor().askTimer()->isActive());  // a period of 0 never fires
    EXPECT_EQ(m.reportFont().size, 9);
    const QString saved = QString::fromUtf8(dir.read("Hostvane.ini"));
    EXPECT_TRUE(saved.contains("New=127.0.0.5"));
    EXPECT_TRUE(saved.contains("CheckPeriod=0"));
    EXPECT_TRUE(saved.contains("FontSize=9"));
    EXPECT_FALSE(saved.contains("A=10.0.0.1"));
    EXPECT_FALSE(QFile::exists(hv::AutostartEntry().entryPath()));
    EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
}

TEST_F(ShellTest, CancelRestoresLanguageAndTakesNothing) {
    MainWindow& m = make();
    m.monitor().loadSettings();
    ASSERT_TRUE(hvtest::waitFor([&] { return passes >= 1; }));
    const QByteArray before = dir.read("Hostvane.ini");
    m.runSettingsDialog = [&](hv::SettingsDialog& d) {
        hv::Languages::instance().setCurrentLanguage("Germ");  // as typing into cbLang does
        d.lbxHosts->clear();
        d.seCheckPeriod->setSpinValue(5);
        return int(hv::SettingsDialog::kCancel);
    };
    m.miSettingsClick();
    EXPECT_EQ(hv::Languages::instance().currentLanguage(), "English");
    EXPECT_EQ(dir.read("Hostvane.ini"), before);
    EXPECT_EQ(m.monitor().hosts().hostLines().size(), 3);
    EXPECT_EQ(m.monitor().askTimer()->interval(), 123456);
    EXPECT_TRUE(m.monitor().askTimer()->isActive());  // the countdown starts anew
    settle();
    EXPECT_EQ(passes, 1);
}

TEST_F(ShellTest, StoppedMonitorStaysStoppedAcrossTheDialog) {
    MainWindow& m = make();
    m.monitor().loadSettings();
    ASSERT_TRUE(hvtest::waitFor([&] { return passes >= 1; }));
    m.miStartClick();
    m.runSettingsDialog = [](hv::SettingsDialog&) { return int(hv::SettingsDialog::kOk); };
    m.miSettingsClick();
    EXPECT_FALSE(m.monitor().askTimer()->isEnabled());
    EXPECT_EQ(m.miStartImage(), 2);
    settle();
    EXPECT_EQ(passes, 1);
    m.miStartClick();
    EXPECT_TRUE(hvtest::waitFor([&] { return passes >= 2; }));
}

TEST_F(ShellTest, OkDuringAPassChecksTheNewListAtOnce) {
    // The pass over the old list is held in its probe while the dialog is confirmed; the
    // period is 0, so no tick would ever bring the new list's first pass.
    script->gated = "127.0.0.9";
    script->up = {"127.0.0.5"};
    const QByteArray ini =
        "[HostList]\nslow=127.0.0.9\n[CheckParams]\nCheckPeriod=0\nParallelChecks=8\n";
    MainWindow& m = make(&ini);
    m.monitor().loadSettings();
    EXPECT_EQ(m.monitor().checkCycle()->parallelChecks(), 8);
    ASSERT_TRUE(hvtest::waitFor([&] { return script->waitingInGate(); }));
    m.runSettingsDialog = [](hv::SettingsDialog& d) {
        d.lbxHosts->clear();
        d.lbxHosts->addItems({"New :  127.0.0.5"});
        return int(hv::SettingsDialog::kOk);
    };
    m.miSettingsClick();
    script->release();
    EXPECT_TRUE(hvtest::waitFor(
        [&] { return passes >= 2 && m.monitor().hosts().hosts()[0].stateImage == 0; }));
    EXPECT_TRUE(dir.read("Hostvane.ini").contains("ParallelChecks=8"));
    settle();
    EXPECT_EQ(passes, 2);
}

TEST_F(ShellTest, OkKeepsAReportFontTheSystemLacksWhenTheFontWasLeftAlone) {
    // The font dialog shows a family it does not have as another one, without bold or italic;
    // a dialog confirmed for other reasons must not save that stand-in.
    const QByteArray ini =
        "[HostList]\nA=10.0.0.1\n\n[View]\nFontStyleBold=1\nFontStyleItalic=1\nFontSize=11\n"
        "FontColor=255\nFontName=Hostvane No Such Font\n";
    MainWindow& m = make(&ini);
    m.monitor().loadSettings();
    const hv::ReportFont before = m.reportFont();
    ASSERT_TRUE(before.bold && before.italic);
    m.runSettingsDialog = [](hv::SettingsDialog& d) {
        d.seCheckPeriod->setSpinValue(90000);
        return int(hv::SettingsDialog::kOk);
    };
    m.miSettingsClick();
    EXPECT_EQ(m.reportFont(), before);
    const QString saved = QString::fromUtf8(dir.read("Hostvane.ini"));
    for (const char* line : {"FontStyleBold=1", "FontStyleItalic=1", "FontSize=11",
                             "FontName=Hostvane No Such Font", "CheckPeriod=90000"})
        EXPECT_TRUE(saved.contains(line)) << line << "\n" << saved.toStdString();
    EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
}

TEST_F(ShellTest, UnreadableAutorunEntryKeepsTheDialogClosed) {
    MainWindow& m = make();
    m.monitor().loadSettings();
    QDir().mkpath(QFileInfo(hv::AutostartEntry().entryPath()).absolutePath());
    QFile f(hv::AutostartEntry().entryPath());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("this is no desktop entry\n");
    f.close();
    bool shown = false;
    m.runSettingsDialog = [&](hv::SettingsDialog&) {
        shown = true;
        return 1;
    };
    m.miSettings->trigger();
    EXPECT_FALSE(shown);
    EXPECT_EQ(errors, QStringList({"Invalid data type for 'Hostvane'"}));
    EXPECT_EQ(m.frmSettings, nullptr);
    EXPECT_TRUE(m.monitor().askTimer()->isEnabled());
}

TEST_F(ShellTest, BrokenSkinRequestsTermination) {
    QDir(dir.file("skins")).removeRecursively();
    MainWindow& m = make();
    EXPECT_EQ(brokenMessages, 1);
    EXPECT_TRUE(m.terminateRequested());
    EXPECT_EQ(m.skin(), nullptr);
    ASSERT_NE(m.monitor().checkCycle(), nullptr);  // formCreate goes on
    main.reset();

    dir.write("skins/hostvane.skn", "[Skin]\nVersion=1\nWindow=#zzzzzz\n");
    make();
    EXPECT_EQ(brokenMessages, 2);
    main.reset();

    // Found ignoring case, as a program file.
    QDir(dir.file("skins")).removeRecursively();
    QDir().mkpath(dir.file("SKINS"));
    QFile::copy(hvtest::sourceDir() + "/dist/skins/hostvane.skn", dir.file("SKINS/HostVane.SKN"));
    EXPECT_FALSE(make().terminateRequested());
    EXPECT_EQ(brokenMessages, 2);
}

TEST(AskTimerTest, NonPositiveIntervalNeverFiresAndChangesRestart) {
    const struct {
        int interval;
        bool enabled;
        bool active;
    } cases[] = {{3000, true, true}, {3000, false, false}, {0, true, false}, {-5, true, false}};
    for (const auto& c : cases) {
        hv::AskTimer t(c.interval, c.enabled);
        EXPECT_EQ(t.isActive(), c.active) << c.interval << " " << c.enabled;
    }
    hv::AskTimer t(0, true);
    int fired = 0;
    QObject::connect(&t, &hv::AskTimer::timeout, [&] { ++fired; });
    settle(100);
    EXPECT_EQ(fired, 0);
    t.setInterval(20);
    EXPECT_TRUE(hvtest::waitFor([&] { return fired >= 1; }, 5000));
    t.setEnabled(false);
    const int now = fired;
    settle(100);
    EXPECT_EQ(fired, now);
    t.setEnabled(true);
    EXPECT_EQ(t.interval(), 20);
    EXPECT_TRUE(t.isActive());
}

}  // namespace

namespace {

// Answers the font dialog once it is up: `change` edits its current font, then it is accepted
// or rejected; a colour dialog that follows is cancelled.
void whenFontDialogUp(const std::function<void(QFontDialog&)>& change, bool accept) {
    QTimer::singleShot(0, [change, accept] {
        auto* fd = qobject_cast<QFontDialog*>(QApplication::activeModalWidget());
        if (!fd) {
            ADD_FAILURE() << "no font dialog";
            return;
        }
        change(*fd);
        if (!accept) {
            fd->reject();
            return;
        }
        QTimer::singleShot(0, [] {
            if (auto* colours = qobject_cast<QColorDialog*>(QApplication::activeModalWidget()))
                colours->reject();
        });
        fd->accept();
    });
}

TEST_F(ShellTest, BrowsingInACancelledFontDialogChangesNothing) {
    MainWindow& m = make();
    m.monitor().loadSettings();
    const hv::ReportFont before = m.reportFont();
    m.runSettingsDialog = [&](hv::SettingsDialog& d) {
        whenFontDialogUp(
            [](QFontDialog& fd) {
                QFont f = fd.currentFont();
                f.setPointSize(20);
                f.setBold(false);
                fd.setCurrentFont(f);
            },
            false);
        d.btnFontInPopUpClick();
        return int(hv::SettingsDialog::kOk);
    };
    m.miSettingsClick();
    EXPECT_EQ(m.reportFont(), before);
    const QString saved = QString::fromUtf8(dir.read("Hostvane.ini"));
    EXPECT_TRUE(saved.contains("FontSize=12"));
    EXPECT_TRUE(saved.contains("FontStyleBold=1"));
}

TEST_F(ShellTest, AnUntouchedFontDialogConfirmedHandsBackTheSameFont) {
    const QByteArray ini = "[View]\nFontSize=10\nFontName=DejaVu Sans\n";
    MainWindow& m = make(&ini);
    m.monitor().loadSettings();
    const QFont before = m.memReport->font();
    m.runSettingsDialog = [&](hv::SettingsDialog& d) {
        whenFontDialogUp([](QFontDialog&) {}, true);
        d.btnFontInPopUpClick();
        return int(hv::SettingsDialog::kOk);
    };
    m.miSettingsClick();
    const QFont after = m.memReport->font();
    EXPECT_EQ(after.family(), before.family());
    EXPECT_EQ(after.pointSize(), 10);
    EXPECT_FALSE(after.italic());
    EXPECT_FALSE(after.bold());
    EXPECT_EQ(after.styleName(), before.styleName());  // no "Oblique" stand-in
}

TEST_F(ShellTest, AFontChosenBeforeCancelStaysButIsSavedOnlyByALaterOk) {
    MainWindow& m = make();
    m.monitor().loadSettings();
    const QByteArray before = dir.read("Hostvane.ini");
    m.runSettingsDialog = [&](hv::SettingsDialog& d) {
        whenFontDialogUp(
            [](QFontDialog& fd) {
                QFont f = fd.currentFont();
                f.setPointSize(15);
                fd.setCurrentFont(f);
            },
            true);
        d.btnFontInPopUpClick();
        EXPECT_EQ(m.reportFont().size, 15);  // at once, before the dialog closes
        return int(hv::SettingsDialog::kCancel);
    };
    m.miSettingsClick();
    EXPECT_EQ(m.reportFont().size, 15);
    EXPECT_EQ(dir.read("Hostvane.ini"), before);

    m.runSettingsDialog = [&](hv::SettingsDialog& d) {
        EXPECT_EQ(d.fontDialog->currentFont().pointSize(), 15);
        return int(hv::SettingsDialog::kOk);
    };
    m.miSettingsClick();
    EXPECT_TRUE(QString::fromUtf8(dir.read("Hostvane.ini")).contains("FontSize=15"));
}

TEST_F(ShellTest, TypingALanguageTranslatesAtEveryKeyAndCancelBringsTheStoredOneBack) {
    MainWindow& m = make();
    m.monitor().loadSettings();
    QStringList seen;
    hv::Languages::instance().setTranslateAllForms(
        [&] { seen << hv::Languages::instance().currentLanguage(); });
    m.runSettingsDialog = [&](hv::SettingsDialog& d) {
        d.lbSettings->setCurrentRow(4);
        seen.clear();
        d.cbLang->lineEdit()->selectAll();
        QTest::keyClicks(d.cbLang->lineEdit(), "Germ");
        EXPECT_EQ(seen, QStringList({"G", "Ge", "Ger", "Germ"}));
        EXPECT_EQ(m.miSettings->text(), "Settings");  // no file of that name: texts stay
        return int(hv::SettingsDialog::kCancel);
    };
    m.miSettingsClick();
    hv::Languages::instance().setTranslateAllForms(nullptr);
    EXPECT_EQ(hv::Languages::instance().currentLanguage(), "English");
}

// Opening the dialog puts the language in use into its box: that translates no window. A
// language picked in the box translates at once, and Cancel translates back.
TEST_F(ShellTest, OpeningSettingsTranslatesNoWindowPickingALanguageDoes) {
    dir.write("Languages/Deutsch.lng", "[Messages]\nStart=Starten\n");
    MainWindow& m = make();
    m.monitor().loadSettings();
    QStringList seen;
    hv::Languages::instance().setTranslateAllForms(
        [&] { seen << hv::Languages::instance().currentLanguage(); });
    QStringList atOpen, afterPick;
    m.runSettingsDialog = [&](hv::SettingsDialog& d) {
        atOpen = seen;
        EXPECT_EQ(d.cbLang->currentText(), "English");
        d.cbLang->showPopup();  // lists the language files
        d.cbLang->hidePopup();
        d.cbLang->setCurrentIndex(d.cbLang->findText("Deutsch"));
        afterPick = seen;
        return int(hv::SettingsDialog::kCancel);
    };
    m.miSettingsClick();
    hv::Languages::instance().setTranslateAllForms(nullptr);
    EXPECT_EQ(atOpen, QStringList());
    EXPECT_EQ(afterPick, QStringList({"Deutsch"}));
    EXPECT_EQ(seen, QStringList({"Deutsch", "English"}));
    EXPECT_EQ(hv::Languages::instance().currentLanguage(), "English");
}

TEST_F(ShellTest, AnUnreadableAutorunEntryOpensTheDialogUnticked) {
    MainWindow& m = make();
    m.monitor().loadSettings();
    QDir().mkpath(hv::AutostartEntry().entryPath());  // a folder where the entry would be
    bool shown = false;
    m.runSettingsDialog = [&](hv::SettingsDialog& d) {
        shown = true;
        EXPECT_FALSE(d.cbAutorun->isChecked());
        return int(hv::SettingsDialog::kCancel);
    };
    m.miSettings->trigger();
    EXPECT_TRUE(shown);
    EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
    QDir(hv::AutostartEntry().entryPath()).removeRecursively();
}

// While the settings dialog is open the balloon still hides on a click and the other windows
// of the program are blocked until it closes.
TEST_F(ShellTest, TheBalloonTakesClicksWhileTheSettingsDialogIsOpen) {
    MainWindow& m = make();
    m.monitor().loadSettings();
    m.showReport("Lost hosts:\nA");
    log.show();
    ASSERT_TRUE(m.isVisible());
    bool hidden = false, logBlocked = false, balloonUsable = false;
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<hv::SettingsDialog*>(QApplication::activeModalWidget());
        if (!d) {
            ADD_FAILURE() << "no settings dialog";
            return;
        }
        QTimer::singleShot(5000, d, [d] { d->done(-1); });
        logBlocked = !log.isEnabled();
        balloonUsable = m.isEnabled();
        QTest::mouseClick(m.memReport->viewport(), Qt::RightButton);
        hidden = hvtest::waitFor([&] { return !m.isVisible(); }, 3000);
        d->btnCancel->click();
    });
    m.miSettingsClick();
    EXPECT_TRUE(balloonUsable);
    EXPECT_TRUE(hidden);
    EXPECT_TRUE(logBlocked);
    EXPECT_TRUE(log.isEnabled());
    log.hide();
}

// Counts the mouse presses a window receives.
class PressCounter : public QObject {
public:
    int presses = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::MouseButtonPress) ++presses;
        return false;
    }
};

// While About is open the tray icon and the balloon still take clicks, as beside the settings
// dialog: the clicks go through the window system, where a window blocked by a modal one loses
// them. About in the menu meanwhile opens no second window; OK closes the one.
TEST_F(ShellTest, TheTrayIconAndBalloonTakeClicksWhileAboutIsOpen) {
    MainWindow& m = make();
    m.monitor().loadSettings();
    m.showReport("Lost hosts:\nA");
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m));
    // Stands in for the window Qt docks into the notification area for the icon.
    QWidget trayWindow;
    trayWindow.setObjectName(QStringLiteral("QSystemTrayIconSys"));
    trayWindow.resize(22, 22);
    trayWindow.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&trayWindow));
    PressCounter trayPresses;
    trayWindow.installEventFilter(&trayPresses);
    int aboutWindows = 0;
    bool balloonHidden = false;
    QTimer::singleShot(0, [&] {
        auto* about = qobject_cast<hv::AboutWindow*>(QApplication::activeModalWidget());
        if (!about) {
            ADD_FAILURE() << "no About window";
            return;
        }
        QTimer::singleShot(5000, about, [about] { about->done(-1); });
        m.miAboutClick();
        for (QWidget* w : QApplication::topLevelWidgets())
            aboutWindows += qobject_cast<hv::AboutWindow*>(w) && w->isVisible();
        QTest::mouseClick(trayWindow.windowHandle(), Qt::RightButton, {}, QPoint(11, 11));
        const QPoint inReport = m.memReport->viewport()->mapTo(&m, QPoint(5, 5));
        QTest::mouseClick(m.windowHandle(), Qt::LeftButton, {}, inReport);
        balloonHidden = hvtest::waitFor([&] { return !m.isVisible(); }, 3000);
        about->btnOK->click();
    });
    m.miAboutClick();
    EXPECT_EQ(aboutWindows, 1);
    EXPECT_EQ(trayPresses.presses, 1) << "the tray icon's window was blocked";
    EXPECT_TRUE(balloonHidden) << "the balloon was blocked";
    EXPECT_EQ(hv::frmAbout, nullptr);
}

// Settings while the dialog is open and minimised brings it back, and opens no second one.
TEST_F(ShellTest, SettingsBringsTheMinimisedDialogBack) {
    MainWindow& m = make();
    m.monitor().loadSettings();
    bool restored = false, sameDialog = false;
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<hv::SettingsDialog*>(QApplication::activeModalWidget());
        if (!d) {
            ADD_FAILURE() << "no settings dialog";
            return;
        }
        QTimer::singleShot(5000, d, [d] { d->done(-1); });
        d->setWindowState(Qt::WindowMinimized);
        m.miSettings->trigger();
        restored = d->isVisible() && !d->isMinimized();
        sameDialog = m.frmSettings == d && QApplication::activeModalWidget() == d;
        d->btnCancel->click();
    });
    m.miSettingsClick();
    EXPECT_TRUE(restored);
    EXPECT_TRUE(sameDialog);
    EXPECT_EQ(m.frmSettings, nullptr);
}

// Hosts of each kind added through the real host entry dialog reach the host list, the menu
// and the settings file. Only loopback addresses; the probes are scripted anyway.
TEST_F(ShellTest, HostsAddedInTheDialogReachTheListMenuAndFile) {
    MainWindow& m = make(nullptr);
    m.monitor().loadSettings();
    const auto whenHostDialogUp = [](const std::function<void(hv::HostEntryDialog&)>& act) {
        QTimer::singleShot(0, [act] {
            auto* h = qobject_cast<hv::HostEntryDialog*>(QApplication::activeModalWidget());
            if (!h) {
                ADD_FAILURE() << "no host entry dialog";
                return;
            }
            act(*h);
            h->btnOK->click();
        });
    };
    m.runSettingsDialog = [&](hv::SettingsDialog& d) {
        whenHostDialogUp([](hv::HostEntryDialog& h) {
            QTest::keyClicks(h.edTitle, "Loop");
            QTest::keyClicks(h.MaskEdit1, "127.0.0.1");
        });
        d.btnAddIP->click();
        whenHostDialogUp([](hv::HostEntryDialog& h) {
            QTest::keyClicks(h.edTitle, "Web");
            h.edHTTP->end(false);
            QTest::keyClicks(h.edHTTP, "127.0.0.2");
        });
        d.btnAddHTTP->click();
        whenHostDialogUp([](hv::HostEntryDialog& h) {
            QTest::keyClicks(h.edTitle, "Me");
            h.edHTTP->end(false);
            QTest::keyClicks(h.edHTTP, "localhost");
        });
        d.btnAddLan->click();
        return int(hv::SettingsDialog::kOk);
    };
    m.miSettingsClick();
    EXPECT_EQ(menuTexts(), QStringList({"Table", "|", "Loop", "Web", "Me"}));
    EXPECT_EQ(hv::readSettings(dir.file("Hostvane.ini")).hostEntries,
              (QList<QPair<QString, QString>>{
                  {"Loop", "127.0.0.1"}, {"Web", "http://127.0.0.2"}, {"Me", "\\\\localhost"}}));
}

}  // namespace

namespace {

// Records the notifications instead of sending them.
class RecordedNotifications : public hv::DesktopNotifications {
public:
    using hv::DesktopNotifications::DesktopNotifications;
    bool show(const hv::Notification& n, int expireMs) override {
        shown << n.summary + QStringLiteral(" | ") + n.body + QStringLiteral(" | ") +
                     QString::number(expireMs);
        return true;
    }
    QStringList shown;
};

}  // namespace

// [View] PopUpStyle: missing or 0 the balloon alone, 1 the desktop's notifications alone, 2
// both; the key is written only once it differs from 0.
TEST_F(ShellTest, PopUpStyleSendsTheReportToTheBalloonTheNotificationsOrBoth) {
    const struct {
        const char* stored;
        bool balloon;
        bool notification;
    } cases[] = {{"", true, false},
                 {"PopUpStyle=0\r\n", true, false},
                 {"PopUpStyle=1\r\n", false, true},
                 {"PopUpStyle=2\r\n", true, true},
                 {"PopUpStyle=9\r\n", true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        const QByteArray ini =
            QByteArray(kIni).replace("[View]\r\n", "[View]\r\n" + QByteArray(c.stored));
        MainWindow& m = make(&ini);
        m.monitor().loadSettings();
        auto recorded = std::make_unique<RecordedNotifications>();
        RecordedNotifications* notes = recorded.get();
        m.setNotifications(std::move(recorded));
        m.hide();
        m.showReport("Lost hosts:\r\n  A\r\n\r\nAppeared hosts:\r\n  C");
        m.reportTitles({"A"}, {"C"});
        EXPECT_EQ(m.isVisible(), c.balloon);
        EXPECT_EQ(notes->shown, c.notification
                                    ? QStringList{"Lost hosts: / Appeared hosts: | A\nC | 7000"}
                                    : QStringList{});
        m.saveSettings();
        EXPECT_EQ(dir.read("Hostvane.ini").contains("PopUpStyle"), QByteArray(c.stored) != "")
            << dir.read("Hostvane.ini").constData();
        main.reset();
    }
}

// LostAfter=2: a host that misses one pass changes nothing the user sees (no balloon, no log
// line, no icon), while its figures count the failure; the second failed pass reports it.
TEST_F(ShellTest, OneLostReplyRaisesNoBalloonWithLostAfterTwo) {
    {
        std::lock_guard g(script->lock);
        script->up = {"127.0.0.1"};
    }
    const QByteArray ini = "[HostList]\nup=127.0.0.1\n[CheckParams]\nCheckPeriod=0\nLostAfter=2\n";
    MainWindow& m = make(&ini);
    m.monitor().loadSettings();
    EXPECT_EQ(m.monitor().settings().lostAfter, 2);
    EXPECT_EQ(m.monitor().settings().appearedAfter, 1);
    ASSERT_TRUE(
        hvtest::waitFor([&] { return passes >= 1 && m.monitor().checkCycle()->isSuspended(); }));
    ASSERT_TRUE(m.isVisible());  // appeared at once
    m.hide();
    const QString logBefore = log.text();

    {
        std::lock_guard g(script->lock);
        script->up.clear();  // one pass without an answer
    }
    m.monitor().trmAskTimer();
    ASSERT_TRUE(
        hvtest::waitFor([&] { return passes >= 2 && m.monitor().checkCycle()->isSuspended(); }));
    settle();
    EXPECT_FALSE(m.isVisible());
    EXPECT_EQ(log.text(), logBefore);
    EXPECT_EQ(m.monitor().hosts().hosts()[0].stateImage, 0);
    EXPECT_TRUE(sameImage(m.miHoststate->actions()[2]->icon(), 0));
    EXPECT_EQ(m.monitor().hosts().figures()[0].checks, 2);
    EXPECT_EQ(m.monitor().hosts().figures()[0].failures, 1);

    m.monitor().trmAskTimer();  // the second one in a row is reported
    ASSERT_TRUE(
        hvtest::waitFor([&] { return passes >= 3 && m.monitor().checkCycle()->isSuspended(); }));
    EXPECT_TRUE(m.isVisible());
    EXPECT_EQ(log.text().count("Host lost: up"), 1);
    EXPECT_EQ(m.monitor().hosts().hosts()[0].stateImage, 1);
}

TEST_F(ShellTest, TheDialogShowsAndSavesThePassesToReport) {
    const QByteArray ini = "[HostList]\nA=10.0.0.1\n[CheckParams]\nLostAfter=0\n";
    MainWindow& m = make(&ini);
    m.monitor().loadSettings();
    m.runSettingsDialog = [&](hv::SettingsDialog& d) {
        EXPECT_EQ(d.seLostAfter->spinValue(), 1);  // 0 reads as 1
        EXPECT_EQ(d.seAppearedAfter->spinValue(), 1);
        EXPECT_EQ(d.seLostAfter->accessibleName(), d.lbLostAfter->text());
        d.seLostAfter->setSpinText("3");
        d.seAppearedAfter->setSpinText("250");
        return int(hv::SettingsDialog::kOk);
    };
    m.miSettingsClick();
    EXPECT_EQ(m.monitor().settings().lostAfter, 3);
    EXPECT_EQ(m.monitor().settings().appearedAfter, 100);
    EXPECT_EQ(m.monitor().checkCycle()->lostAfter(), 3);
    EXPECT_EQ(m.monitor().checkCycle()->appearedAfter(), 100);
    const QString saved = QString::fromUtf8(dir.read("Hostvane.ini"));
    EXPECT_TRUE(saved.contains("LostAfter=3")) << saved.toStdString();
    EXPECT_TRUE(saved.contains("AppearedAfter=100")) << saved.toStdString();
}

namespace {

// A notification service that is not there, or refuses: show() either finds no bus at all, or
// sends the call and hears the error afterwards, as the bus answers.
class FailingNotifications : public hv::DesktopNotifications {
public:
    explicit FailingNotifications(bool noBus) : m_noBus(noBus) {}
    bool show(const hv::Notification&, int) override {
        ++calls;
        if (m_noBus) return false;
        QTimer::singleShot(0, this, [this] {
            emit failed(QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown: nobody"));
        });
        return true;
    }
    int calls = 0;

private:
    bool m_noBus;
};

// What the code under test writes to stderr while the object lives.
class StderrCapture {
public:
    StderrCapture() {
        std::fflush(stderr);
        m_saved = ::dup(2);
        m_file = std::tmpfile();
        ::dup2(::fileno(m_file), 2);
    }
    ~StderrCapture() { restore(); }
    QString text() {
        restore();
        std::rewind(m_file);
        QByteArray out;
        char buf[512];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, m_file)) > 0;) out.append(buf, n);
        return QString::fromUtf8(out);
    }

private:
    void restore() {
        if (m_saved < 0) return;
        std::fflush(stderr);
        ::dup2(m_saved, 2);
        ::close(m_saved);
        m_saved = -1;
    }
    int m_saved = -1;
    std::FILE* m_file = nullptr;
};

}  // namespace

// PopUpStyle=1 and no notification can be shown: the balloon shows the report rather than
// nothing, and stderr says why once however many reports follow.
TEST_F(ShellTest, AFailedNotificationFallsBackToTheBalloonAndSaysWhyOnce) {
    for (const bool noBus : {false, true}) {
        SCOPED_TRACE(noBus ? "no session bus" : "the service is missing");
        const QByteArray ini = QByteArray(kIni).replace("[View]\r\n", "[View]\r\nPopUpStyle=1\r\n");
        MainWindow& m = make(&ini);
        m.monitor().loadSettings();
        auto failing = std::make_unique<FailingNotifications>(noBus);
        FailingNotifications* notes = failing.get();
        m.setNotifications(std::move(failing));
        m.hide();
        StderrCapture err;
        for (const QString& report : {QStringLiteral("Lost hosts:\r\n  A\r\n\r\n"),
                                      QStringLiteral("Appeared hosts:\r\n  C")}) {
            m.showReport(report);
            m.reportTitles({"A"}, {});
            EXPECT_TRUE(hvtest::waitFor([&] { return m.isVisible(); }));
            EXPECT_EQ(m.memReport->toPlainText(), QString(report).replace("\r\n", "\n"));
            m.memReportMouseDown();
            settle(50);
            EXPECT_FALSE(m.isVisible());  // shown once per report, not again later
        }
        EXPECT_EQ(notes->calls, 2);  // every report still tries the desktop first
        const QString said = err.text();
        EXPECT_EQ(said.count("cannot show a desktop notification"), 1) << said.toStdString();
        EXPECT_TRUE(said.contains(noBus ? "no session bus" : "ServiceUnknown"))
            << said.toStdString();
        main.reset();
    }
}

// The bold Start/Stop item takes its text from [Messages]: switching the language (the
// settings dialog's language box) sets it anew at once, running or stopped.
TEST_F(ShellTest, SwitchingTheLanguageRetranslatesTheStartStopItem) {
    dir.write("Languages/Deutsch.lng",
              "[Messages]\nStart=Starten\nStop=Anhalten\n[frmMain]\nmiQuit=Beenden\n");
    MainWindow& m = make();
    m.monitor().loadSettings();
    hv::StartupSequence::installTranslateAllForms(&m, &log, nullptr);
    hv::Languages& languages = hv::Languages::instance();
    const auto switchTo = [&](const QString& language) {
        languages.setCurrentLanguage(language);
        languages.translateAllForms();
    };
    ASSERT_EQ(m.miStart->text(), "Stop");

    switchTo("Deutsch");
    EXPECT_EQ(m.miQuit->text(), "Beenden");
    EXPECT_EQ(m.miStart->text(), "Anhalten");
    m.miStartClick();
    EXPECT_EQ(m.miStart->text(), "Starten");

    switchTo("English");  // stopped: the item says Start, in English again
    EXPECT_EQ(m.miStart->text(), "Start");
    EXPECT_EQ(m.miStartImage(), 2);
    hv::StartupSequence::installTranslateAllForms(nullptr, nullptr, nullptr);
}
