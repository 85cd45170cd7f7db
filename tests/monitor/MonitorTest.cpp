#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

#include "../checking/ScriptedProbes.h"
#include "TestSupport.h"
#include "history/HistoryReader.h"
#include "lang/Languages.h"
#include "monitor/AskTimer.h"
#include "monitor/Monitor.h"
#include "platform/Error.h"
#include "platform/IniFile.h"
#include "platform/TimeFormat.h"

namespace {

using hv::Monitor;
using hv::OverallState;
using hvtest::Answer;

using Entries = QList<QPair<QString, QString>>;

// The monitor alone, without a window: scripted probes, its signals recorded.
class MonitorTest : public ::testing::Test {
protected:
    void SetUp() override {
        exe = hvtest::layProgramFolder(dir);
        hv::Languages::instance().setExecutable(exe);
        hv::Languages::instance().loadLanguage(false);
    }
    void TearDown() override { monitor.reset(); }

    Monitor& make(const QByteArray& ini) {
        dir.write("Hostvane.ini", ini);
        Monitor::Options options;
        options.executablePath = exe;
        watched = std::make_unique<std::once_flag>();
        options.probes = [this](const hv::CancelHandle& cancel) {
            // Every probe set of this monitor's cycle watches the same handle, the cycle's.
            std::call_once(*watched, [&] { probes.watch(cancel); });
            return std::make_unique<hvtest::ForwardingProbes>(probes);
        };
        monitor = std::make_unique<Monitor>(options);
        Monitor* m = monitor.get();
        m->checkCycle()->setPassFinished([this] { ++passes; });
        QObject::connect(m, &Monitor::logLine, [this](const QString& line) { lines << line; });
        QObject::connect(
            m, &Monitor::reportReady,
            [this](const QString& report, const QStringList& lost, const QStringList& appeared) {
                reports << report;
                titles << lost.join('|') + " / " + appeared.join('|');
            });
        QObject::connect(m, &Monitor::changeReported,
                         [this](const hv::ChangeEvent& change) { changes.push_back(change); });
        QObject::connect(m, &Monitor::runningChanged,
                         [this](bool running) { runningSignals << running; });
        QObject::connect(m, &Monitor::settingsChanged,
                         [this](const hv::Settings& previous) { previousSettings << previous; });
        QObject::connect(&m->hosts(), &hv::HostList::rebuilt, [this] { ++rebuilds; });
        return *m;
    }

    // The log lines without their time.
    QStringList events() const {
        QStringList out;
        for (const QString& line : lines) out << line.mid(line.indexOf(". ") + 2);
        return out;
    }
    std::vector<int> images() const {
        std::vector<int> out;
        for (const hv::Host& h : monitor->hosts().hosts()) out.push_back(h.stateImage);
        return out;
    }
    // Serves the hand-overs until n passes have ended and the cycle waits again.
    bool passesDone(int n) {
        return hvtest::waitFor([&] { return passes >= n && monitor->checkCycle()->isSuspended(); });
    }
    static void settle(int ms = 200) {
        hvtest::waitFor([] { return false; }, ms);
    }

    hvtest::TempDir dir;
    QString exe;
    hvtest::ScriptedProbes probes;
    std::unique_ptr<std::once_flag> watched;
    std::unique_ptr<Monitor> monitor;
    std::atomic<int> passes{0};
    QStringList lines;
    QStringList reports;
    QStringList titles;
    std::vector<hv::ChangeEvent> changes;
    QList<bool> runningSignals;
    QList<hv::Settings> previousSettings;
    int rebuilds = 0;
};

const QByteArray kTwoHosts =
    "[HostList]\nup=127.0.0.1\ndown=127.0.0.2\nblank=  \n[CheckParams]\nCheckPeriod=0\n";

TEST_F(MonitorTest, PassesTellTheirChangesThroughTheSignals) {
    Monitor& m = make(kTwoHosts);
    probes.script("127.0.0.1", {Answer::Up});
    m.loadSettings();  // the first pass begins at once
    ASSERT_TRUE(passesDone(1));
    EXPECT_EQ(images(), (std::vector<int>{0, 1}));
    EXPECT_EQ(events(), QStringList({"Host appeared: up"}));
    EXPECT_EQ(reports, QStringList({"Appeared hosts:\r\n  up"}));
    EXPECT_EQ(titles, QStringList({" / up"}));
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].title, "up");
    EXPECT_EQ(changes[0].address, "127.0.0.1");
    EXPECT_TRUE(changes[0].appeared);
    // The log line and the kept change carry the same moment.
    EXPECT_EQ(lines[0].left(lines[0].indexOf(". ")),
              hv::TimeFormat::fromLocale(QLocale::system()).format(changes[0].time.time()));
    EXPECT_EQ(m.overallStatus().state, OverallState::SomeLost);

    // Both turn: the report lists the lost host first, the log follows the list's order.
    probes.script("127.0.0.1", {Answer::Down});
    probes.script("127.0.0.2", {Answer::Up});
    m.trmAskTimer();
    ASSERT_TRUE(passesDone(2));
    EXPECT_EQ(events(), QStringList({"Host appeared: up", "Host lost: up", "Host appeared: down"}));
    ASSERT_EQ(reports.size(), 2);
    EXPECT_EQ(reports[1], "Lost hosts:\r\n  up\r\n\r\nAppeared hosts:\r\n  down");
    EXPECT_EQ(titles[1], "up / down");
    ASSERT_EQ(m.changes().events().size(), 3u);
    EXPECT_FALSE(m.changes().events()[1].appeared);
    EXPECT_EQ(m.changes().events()[1].roundTripUs, -1);

    // A pass without a change reports nothing.
    m.trmAskTimer();
    ASSERT_TRUE(passesDone(3));
    EXPECT_EQ(reports.size(), 2);
    EXPECT_EQ(lines.size(), 3);
}

TEST_F(MonitorTest, StopMarksEveryHostNotAnsweringAndStartChecksAtOnce) {
    Monitor& m = make(kTwoHosts);
    probes.script("127.0.0.1", {Answer::Up});
    ASSERT_TRUE(m.isRunning());
    m.loadSettings();
    ASSERT_TRUE(passesDone(1));
    ASSERT_EQ(images(), (std::vector<int>{0, 1}));

    m.setRunning(false);
    EXPECT_FALSE(m.isRunning());
    EXPECT_FALSE(m.askTimer()->isEnabled());
    EXPECT_EQ(images(), (std::vector<int>{1, 1}));
    EXPECT_EQ(m.overallStatus().state, OverallState::Stopped);
    m.setRunning(false);  // no change, no signal
    EXPECT_EQ(runningSignals, QList<bool>({false}));
    settle();
    EXPECT_EQ(passes, 1);

    m.setRunning(true);
    EXPECT_TRUE(m.askTimer()->isEnabled());
    EXPECT_EQ(runningSignals, QList<bool>({false, true}));
    // Until the pass Start began has ended, the hosts are being checked, not lost.
    EXPECT_EQ(m.overallStatus().state, OverallState::Checking);
    ASSERT_TRUE(passesDone(2));
    // The answering host is reported again.
    EXPECT_EQ(events(), QStringList({"Host appeared: up", "Host appeared: up"}));
    EXPECT_EQ(m.overallStatus().state, OverallState::SomeLost);
}

TEST_F(MonitorTest, TheCheckTimerWakesTheCycleUnlessHeldOrStopped) {
    Monitor& m = make("[HostList]\nup=127.0.0.1\n[CheckParams]\nCheckPeriod=20\n");
    EXPECT_EQ(m.askTimer()->objectName(), "trmAsk");
    m.loadSettings();
    EXPECT_EQ(m.askTimer()->interval(), 20);
    ASSERT_TRUE(hvtest::waitFor([&] { return passes >= 3; }));  // ticks, no calls

    const struct {
        const char* what;
        std::function<void()> quiet;
    } cases[] = {
        {"held", [&] { m.holdTimer(); }},
        {"stopped", [&] { m.setRunning(false); }},
        {"stopped, then released",
         [&] {
             m.setRunning(false);
             m.holdTimer();
             m.releaseTimer();
         }},
        // Start while the settings dialog is open checks once and keeps the timer held.
        {"held, then stopped and started",
         [&] {
             m.holdTimer();
             m.setRunning(false);
             m.setRunning(true);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.quiet();
        ASSERT_TRUE(hvtest::waitFor([&] { return m.checkCycle()->isSuspended(); }));
        settle(50);
        const int before = passes;
        settle(300);
        EXPECT_EQ(passes, before);
        EXPECT_FALSE(m.askTimer()->isActive());
        m.setRunning(true);
        m.releaseTimer();
        EXPECT_TRUE(m.askTimer()->isActive());
        ASSERT_TRUE(hvtest::waitFor([&] { return passes >= before + 2; }));
    }
}

TEST_F(MonitorTest, ApplyingSettingsRebuildsTheListAndChecksItAtOnce) {
    Monitor& m = make("[HostList]\nslow=127.0.0.9\n[CheckParams]\nCheckPeriod=0\n");
    probes.script("127.0.0.9", {Answer::Hold});
    probes.script("127.0.0.5", {Answer::Up});
    m.loadSettings();
    ASSERT_TRUE(hvtest::waitFor([&] { return probes.isHeld(); }));

    hv::Settings s = m.settings();
    s.hostEntries = {{"New", "127.0.0.5"}, {"Blank", "  "}};
    s.parallelChecks = 999;
    s.lostAfter = 250;
    s.appearedAfter = 0;
    s.popUpStyle = 9;
    s.trayStatus = -1;
    s.popUpInterval = 9000;
    previousSettings.clear();
    m.applySettings(s);

    EXPECT_EQ(m.hosts().hostLines(), QStringList({"New :  127.0.0.5"}));
    EXPECT_EQ(m.hosts().itemsCount(), 2);
    // What is in effect, within range, as it would be saved.
    const hv::Settings& now = m.settings();
    EXPECT_EQ(now.hostEntries, (Entries{{"New", "127.0.0.5"}}));
    EXPECT_EQ(now.parallelChecks, 256);
    EXPECT_EQ(now.lostAfter, 100);
    EXPECT_EQ(now.appearedAfter, 1);
    EXPECT_EQ(now.popUpStyle, 2);
    EXPECT_EQ(now.trayStatus, 0);
    EXPECT_EQ(now.popUpInterval, 9000);
    EXPECT_EQ(m.checkCycle()->parallelChecks(), 256);
    EXPECT_EQ(m.checkCycle()->lostAfter(), 100);
    ASSERT_EQ(previousSettings.size(), 1);
    EXPECT_EQ(previousSettings[0].hostEntries, (Entries{{"slow", "127.0.0.9"}}));

    // The pass over the old list ends, and one over the new list follows without a tick.
    probes.release();
    ASSERT_TRUE(hvtest::waitFor([&] { return events().contains("Host appeared: New"); }));
    EXPECT_FALSE(events().join('\n').contains("slow"));

    // A stopped monitor takes the new list but checks nothing until Start.
    ASSERT_TRUE(passesDone(2));
    m.setRunning(false);
    const int before = passes;
    s.hostEntries = {{"Other", "127.0.0.6"}};
    m.applySettings(s);
    EXPECT_EQ(m.hosts().hostLines(), QStringList({"Other :  127.0.0.6"}));
    settle();
    EXPECT_EQ(passes, before);
    EXPECT_FALSE(m.askTimer()->isEnabled());
}

TEST_F(MonitorTest, TheDialogsHostLinesAreTakenAsTyped) {
    Monitor& m = make(kTwoHosts);
    m.loadSettings();
    ASSERT_TRUE(passesDone(1));
    // A line without the separator is a host without an address: listed, never checked.
    m.applySettings(m.settings(), {"A :  127.0.0.1 ", "Nameless"});
    EXPECT_EQ(m.hosts().hostLines(), QStringList({"A :  127.0.0.1 ", "Nameless :  "}));
    EXPECT_EQ(m.settings().hostEntries, (Entries{{"A", "127.0.0.1 "}, {"Nameless", ""}}));
    ASSERT_TRUE(passesDone(2));
    EXPECT_EQ(m.overallStatus().watched, 1);
}

TEST_F(MonitorTest, UpdatingSettingsAppliesOnlyWhatChanged) {
    Monitor& m = make("[HostList]\nup=127.0.0.1\n[CheckParams]\nCheckPeriod=0\n");
    probes.script("127.0.0.1", {Answer::Up});
    m.loadSettings();
    ASSERT_TRUE(passesDone(1));
    ASSERT_EQ(images(), (std::vector<int>{0}));
    const int rebuildsBefore = rebuilds;

    hv::Settings s = m.settings();
    s.trayStatus = 1;
    m.updateSettings(s);
    EXPECT_EQ(m.settings().trayStatus, 1);
    EXPECT_EQ(rebuilds, rebuildsBefore);
    EXPECT_EQ(images(), (std::vector<int>{0}));  // no host reported again
    settle();
    EXPECT_EQ(passes, 1);

    // New entries: rebuilt and checked at once.
    s.hostEntries.append(qMakePair(QStringLiteral("more"), QStringLiteral("127.0.0.3")));
    m.updateSettings(s);
    EXPECT_EQ(rebuilds, rebuildsBefore + 1);
    ASSERT_TRUE(passesDone(2));
    // "up" is as it was and is not reported again; "more" does not answer.
    EXPECT_EQ(events(), QStringList({"Host appeared: up"}));
    EXPECT_EQ(images(), (std::vector<int>{0, 1}));

    // A whole value, as a confirmed dialog gives it, rebuilds even when nothing changed; the
    // hosts keep their state.
    m.applySettings(m.settings());
    EXPECT_EQ(rebuilds, rebuildsBefore + 2);
    EXPECT_EQ(images(), (std::vector<int>{0, 1}));
    ASSERT_TRUE(passesDone(3));
}

// Settings > OK rebuilds the list from the dialog's lines. Hosts it leaves as they were are not
// reported again; a new host, or one whose title or address changed, starts afresh.
TEST_F(MonitorTest, ConfirmingTheDialogReportsOnlyNewAndChangedHosts) {
    Monitor& m = make(
        "[HostList]\nA=127.0.0.1\nB=127.0.0.2\nC=127.0.0.3\n"
        "[CheckParams]\nCheckPeriod=0\n");
    for (const char* h : {"127.0.0.1", "127.0.0.2", "127.0.0.4"}) probes.script(h, {Answer::Up});
    probes.script("127.0.0.3", {Answer::Down});
    m.loadSettings();
    ASSERT_TRUE(passesDone(1));
    ASSERT_EQ(images(), (std::vector<int>{0, 0, 1}));
    ASSERT_EQ(m.overallStatus().state, OverallState::SomeLost);
    const QStringList typed = m.hosts().hostLines();

    // OK with no change: the same hosts, nothing to report, and the overall state stays known.
    lines.clear();
    reports.clear();
    m.applySettings(m.settings(), typed);
    EXPECT_EQ(images(), (std::vector<int>{0, 0, 1}));
    EXPECT_EQ(m.overallStatus().state, OverallState::SomeLost);
    ASSERT_TRUE(passesDone(2));
    EXPECT_EQ(events(), QStringList());
    EXPECT_EQ(reports, QStringList());
    EXPECT_EQ(images(), (std::vector<int>{0, 0, 1}));
    EXPECT_TRUE(m.hosts().figures().value(0).lastChange.isValid());
    EXPECT_EQ(m.hosts().figures().value(0).checks, 2);

    // B's address changes, a new host D comes, C goes and comes back renamed: only B and D
    // are reported (C' does not answer, so it has nothing to report).
    m.applySettings(m.settings(),
                    {"A :  127.0.0.1", "B :  127.0.0.4", "C2 :  127.0.0.3", "D :  127.0.0.2"});
    EXPECT_EQ(images(), (std::vector<int>{0, 1, 1, 1}));
    EXPECT_EQ(m.overallStatus().state, OverallState::Checking);
    ASSERT_TRUE(passesDone(3));
    EXPECT_EQ(events(), QStringList({"Host appeared: B", "Host appeared: D"}));
    EXPECT_EQ(reports, QStringList({"Appeared hosts:\r\n  B\r\n  D"}));
    EXPECT_EQ(m.hosts().figures().value(0).checks, 3);
    EXPECT_EQ(m.hosts().figures().value(1).checks, 1);

    // Stop > Start still reports every answering host again.
    lines.clear();
    m.setRunning(false);
    m.setRunning(true);
    ASSERT_TRUE(passesDone(4));
    EXPECT_EQ(events(), QStringList({"Host appeared: A", "Host appeared: B", "Host appeared: D"}));
}

// A pass that the dialog's rebuild cuts short hands nothing over: a held answer about a host
// whose address changed meanwhile is not taken for the new address, and a host kept as it was
// is not reported from the old pass.
TEST_F(MonitorTest, APassCutShortByTheDialogReportsNothingStale) {
    Monitor& m = make("[HostList]\nA=127.0.0.1\nB=127.0.0.2\n[CheckParams]\nCheckPeriod=0\n");
    probes.script("127.0.0.1", {Answer::Up});
    probes.script("127.0.0.2", {Answer::Up});
    m.loadSettings();
    ASSERT_TRUE(passesDone(1));
    ASSERT_EQ(images(), (std::vector<int>{0, 0}));

    // The next pass waits on A; B would now be found lost.
    probes.script("127.0.0.1", {Answer::Hold});
    probes.script("127.0.0.2", {Answer::Down});
    probes.script("127.0.0.8", {Answer::Down});
    lines.clear();
    m.trmAskTimer();
    ASSERT_TRUE(hvtest::waitFor([&] { return probes.isHeld(); }));
    m.applySettings(m.settings(), {"A :  127.0.0.8", "B :  127.0.0.2"});
    EXPECT_EQ(images(), (std::vector<int>{1, 0}));
    probes.release();  // the old A "answers"
    ASSERT_TRUE(passesDone(3));
    // The pass over the new list found the new A silent (nothing to report, it starts so) and
    // B lost, once.
    EXPECT_EQ(events(), QStringList({"Host lost: B"}));
    EXPECT_EQ(images(), (std::vector<int>{1, 1}));
    EXPECT_EQ(m.hosts().figures().value(0).checks, 1);
}

// Loading tells on stderr what the tray shows nowhere: the file it looked for when there is
// none, a file it could not read, titles it cannot keep apart. Each once.
TEST_F(MonitorTest, LoadingTellsWhyHostsAreMissing) {
    const struct {
        const char* what;
        QByteArray ini;  // empty: no file
        bool folder;     // a folder in the file's place
        QString err;     // %1: the file's path
        QStringList hostLines;
    } cases[] = {
        {"missing",
         "",
         false,
         "hostvane: no settings file %1: no hosts to check until the settings are saved\n",
         {}},
        {"a folder", "", true, "hostvane: cannot read the settings file %1: Is a directory\n", {}},
        {"titles apart only in letter case",
         "[HostList]\nLoop two=127.0.0.2\nloop two=127.0.0.4\n",
         false,
         "hostvane: %1: [HostList] \"loop two\" is the title \"Loop two\" again (letter case "
         "aside); titles must differ, so only \"Loop two\" is checked\n",
         {"Loop two :  127.0.0.2"}},
        {"read", "[HostList]\nA=127.0.0.1\n", false, "", {"A :  127.0.0.1"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Monitor& m = make(c.ini);
        const QString path = dir.file("Hostvane.ini");
        QFile::remove(path);
        if (!c.ini.isEmpty()) dir.write("Hostvane.ini", c.ini);
        if (c.folder) QDir().mkdir(path);
        testing::internal::CaptureStderr();
        m.loadSettings();
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(err, c.err.arg(path).toStdString());
        EXPECT_EQ(m.hosts().hostLines(), c.hostLines);
        // What could not be read is not replaced by what little is known of it.
        if (c.folder) {
            EXPECT_THROW(m.saveSettings(), hv::IniWriteError);
            EXPECT_TRUE(QFileInfo(path).isDir());
        }
        monitor.reset();
        if (c.folder) QDir().rmdir(path);
    }
}

TEST_F(MonitorTest, SettingsGoThroughTheFileAndBackUnchanged) {
    const QByteArray ini =
        "[HostList]\r\nA=10.0.0.1\r\nB=   \r\nC= 10.0.0.2 \r\n\r\n"
        "[View]\r\nFontStyleBold=1\r\nFontSize=12\r\nFontColor=$FF\r\nFontName=DejaVu Sans\r\n"
        "PopUpStyle=2\r\nTrayStatus=1\r\n\r\n"
        "[CheckParams]\r\nCheckPeriod=123456\r\nPopUpInterval=7000\r\nParallelChecks=4\r\n"
        "LostAfter=2\r\nAppearedAfter=3\r\n\r\n[General]\r\nLanguage=English\r\n";
    Monitor& m = make(ini);
    m.loadSettings();
    const hv::Settings loaded = m.settings();
    EXPECT_EQ(loaded.hostEntries, (Entries{{"A", "10.0.0.1"}, {"C", "10.0.0.2"}}));
    EXPECT_EQ(loaded.font.size, 12);
    EXPECT_EQ(loaded.font.color, 0xFFu);
    EXPECT_EQ(loaded.checkPeriod, 123456);
    EXPECT_EQ(m.askTimer()->interval(), 123456);
    EXPECT_EQ(m.checkCycle()->parallelChecks(), 4);
    EXPECT_EQ(m.checkCycle()->appearedAfter(), 3);

    m.saveSettings();
    EXPECT_EQ(hv::readSettings(dir.file("Hostvane.ini")), loaded);
    monitor.reset();
    EXPECT_EQ(make(QByteArray(dir.read("Hostvane.ini"))).settings(), hv::defaultSettings());
    monitor->loadSettings();
    EXPECT_EQ(monitor->settings(), loaded);

    // A folder in the file's place: the error reaches the caller.
    monitor.reset();
    ASSERT_TRUE(QFile::remove(dir.file("Hostvane.ini")));
    ASSERT_TRUE(QDir().mkpath(dir.file("Hostvane.ini")));
    Monitor::Options options;
    options.executablePath = exe;
    options.probes = [this](const hv::CancelHandle&) {
        return std::make_unique<hvtest::ForwardingProbes>(probes);
    };
    Monitor other(options);
    try {
        other.saveSettings();
        ADD_FAILURE() << "no error";
    } catch (const hv::Error& e) {
        EXPECT_TRUE(e.message().startsWith("Unable to write to ")) << e.message().toStdString();
    }
}

// The monitor goes away while its cycle waits in a probe, or waits for a hand-over the main
// thread never serves: the cycle is stopped and joined before anything it uses is gone.
TEST_F(MonitorTest, EndingDuringAPassJoinsTheCycle) {
    for (Answer answer : {Answer::Hold, Answer::Up}) {
        Monitor& m = make("[HostList]\nh=127.0.0.1\n[CheckParams]\nCheckPeriod=0\n");
        probes.script("127.0.0.1", {answer});
        m.loadSettings();
        if (answer == Answer::Hold) {
            ASSERT_TRUE(hvtest::waitFor([&] { return probes.isHeld(); }));
        } else {
            // The probe answers; the change's hand-over waits for this thread, which sleeps.
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (probes.calls().empty() && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            ASSERT_FALSE(probes.calls().empty());
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        m.stopChecking();
        EXPECT_EQ(m.checkCycle(), nullptr);
        m.trmAskTimer();  // nothing left to wake
        m.setRunning(false);
        m.setRunning(true);
        monitor.reset();
        EXPECT_TRUE(lines.isEmpty());
        probes.clearCalls();
    }
}

// Every checked host of every pass goes into the history beside the program's settings, one
// sample per check with its round trip or none; a host without an address is not stored.
TEST_F(MonitorTest, KeepDaysWritesEveryCheckIntoTheHistoryAndZeroWritesNoFile) {
    for (const bool keep : {false, true}) {
        SCOPED_TRACE(keep);
        QFile::remove(dir.file("history.sqlite"));
        Monitor& m = make(kTwoHosts + (keep ? "[History]\nKeepDays=30\n" : ""));
        passes = 0;
        probes.script("127.0.0.1", {Answer::Up, Answer::Up});
        m.loadSettings();
        ASSERT_TRUE(passesDone(1));
        m.trmAskTimer();
        ASSERT_TRUE(passesDone(2));
        EXPECT_EQ(m.history() != nullptr, keep);
        EXPECT_EQ(m.historyPath(), dir.file("history.sqlite"));
        if (!keep) {
            EXPECT_FALSE(QFile::exists(dir.file("history.sqlite")));
            continue;
        }
        ASSERT_TRUE(m.history()->flush(10'000));
        QString error;
        const auto reader = hv::HistoryReader::open(dir.file("history.sqlite"), &error);
        ASSERT_TRUE(reader) << error.toStdString();
        const auto up = reader->samples("up", "127.0.0.1", 0, std::numeric_limits<qint64>::max());
        const auto down =
            reader->samples("down", "127.0.0.2", 0, std::numeric_limits<qint64>::max());
        ASSERT_EQ(up.size(), 2u);
        ASSERT_EQ(down.size(), 2u);
        EXPECT_GE(up[0].roundTripUs, 0);
        EXPECT_LT(up[0].timeMs, up[1].timeMs);
        EXPECT_EQ(down[0].roundTripUs, -1);
        EXPECT_TRUE(reader->hostsWithTitle("blank").isEmpty());
        monitor.reset();
    }
}

// A damaged history file is moved aside and the event log says so; checking goes on.
TEST_F(MonitorTest, ADamagedHistoryIsToldInTheEventLog) {
    dir.write("history.sqlite", QByteArray("not a database at all\n").repeated(100));
    Monitor& m = make(kTwoHosts + "[History]\nKeepDays=30\n");
    m.loadSettings();
    ASSERT_TRUE(passesDone(1));
    ASSERT_TRUE(m.history()->flush(10'000));
    ASSERT_TRUE(hvtest::waitFor([&] { return !events().filter("history").isEmpty(); }, 5'000));
    const QString told = events().filter("history").join('\n');
    EXPECT_TRUE(told.contains(dir.file("history.sqlite.damaged-"))) << told.toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList({"history.sqlite.damaged-*"}).size(), 1);
    m.trmAskTimer();
    EXPECT_TRUE(passesDone(2));
}

}  // namespace
