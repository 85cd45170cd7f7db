#include "shell/StartupSequence.h"

#include <QApplication>
#include <QDateTime>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "help/HelpSystem.h"
#include "history/HistoryReader.h"
#include "lang/Languages.h"
#include "platform/DisplayPlatform.h"
#include "platform/InstanceLock.h"
#include "platform/ProgramFiles.h"
#include "platform/SettingsLocation.h"
#include "shell/MainWindow.h"
#include "shell/QuitSignals.h"
#include "translation/TranslateForm.h"
#include "views/LogWindow.h"
#include "views/ProgramIcon.h"
#include "views/StateWindow.h"
#include "widgets/ErrorBox.h"

namespace hv {

namespace {

// Each host's stored checks of the last [History] StatsMinutes go into its statistics, so the
// table's figures go on where the last run left them. A history that cannot be read leaves the
// statistics to the live checks (the history's own faults are told where it is written).
void fillStatsFromHistory(Monitor& monitor) {
    if (monitor.settings().keepDays <= 0) return;
    QString error;
    const std::unique_ptr<HistoryReader> reader =
        HistoryReader::open(monitor.historyPath(), &error);
    if (!reader) return;
    HostList& hosts = monitor.hosts();
    const std::uint64_t generation = hosts.generation();
    const std::int64_t now = QDateTime::currentMSecsSinceEpoch();
    const std::int64_t from = now - std::int64_t(hosts.statsMinutes()) * 60000;
    const QList<Host> list = hosts.hosts();
    for (qsizetype i = 0; i < list.size(); ++i) {
        std::vector<StatsSample> samples;
        for (const HistorySample& s : reader->samples(list[i].title, list[i].address, from, now))
            samples.push_back({s.timeMs, s.roundTripUs});
        if (!samples.empty()) hosts.addStoredChecks(int(i), generation, samples);
    }
}

}  // namespace

namespace {

bool envSet(const char* name) {
    const char* v = std::getenv(name);
    return v && *v;
}

}  // namespace

bool StartupSequence::hasDisplay() {
    return envSet("DISPLAY") || envSet("WAYLAND_DISPLAY") || envSet("QT_QPA_PLATFORM");
}

QString StartupSequence::noDisplayMessage() {
    return QStringLiteral(
        "hostvane: no display (DISPLAY and WAYLAND_DISPLAY are unset); run 'hostvane --once' "
        "to check the hosts from a terminal");
}

QWidget* StartupSequence::windowToActivate() {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    if (QWidget* active = QApplication::activeWindow(); active && active->isVisible())
        return active;
    // Else the most recently shown visible window: the pop-up and menus are passed over.
    QWidget* chosen = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!w->isVisible() || !w->isWindow()) continue;
        const Qt::WindowType type = w->windowType();
        if (type == Qt::Popup || type == Qt::ToolTip || type == Qt::SplashScreen) continue;
        if (w->objectName() == QStringLiteral("frmMain")) continue;
        chosen = w;
    }
    return chosen;
}

void StartupSequence::installTranslateAllForms(QWidget* frmMain, QWidget* frmLog,
                                               QWidget* frmState) {
    if (!frmMain) {
        Languages::instance().setTranslateAllForms({});
        return;
    }
    Languages::instance().setTranslateAllForms([frmMain, frmLog, frmState] {
        for (QWidget* window : {frmMain, frmLog, frmState}) translateForm(window);
        if (auto* main = qobject_cast<MainWindow*>(frmMain)) main->retranslateMessages();
        // The table's figure columns take their titles from messages.
        if (auto* state = qobject_cast<StateWindow*>(frmState)) state->retranslateColumns();
    });
}

int StartupSequence::run(int& argc, char** argv) {
    // 1. The application object; it stays up with every window hidden.
    DisplayPlatform::applyToProcess();
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const QString exe = ProgramFiles::executablePath();
    const QString derivedName = ProgramFiles::executableDerivedName(QFileInfo(exe).fileName());
    QCoreApplication::setApplicationName(derivedName);

    // 2. The chosen language; langMessage works from here on.
    // An installed copy starts the user's own settings file from its default first.
    SettingsLocation::prepareSettingsFile(QFileInfo(exe).absolutePath(),
                                          QStringLiteral("Hostvane.ini"));
    Languages& languages = Languages::instance();
    languages.setExecutable(exe);
    languages.loadLanguage(false);

    // 3. The single-instance guard.
    InstanceLock lock(InstanceLock::mutexName(derivedName));
    if (!lock.acquire()) {
        // A lock that cannot be taken at all counts as held (as a mutex that cannot be
        // created does), but the user should learn why nothing started.
        if (!lock.failureReason().isEmpty())
            std::fprintf(stderr, "hostvane: cannot take the single-instance lock (%s)\n",
                         qPrintable(lock.failureReason()));
        // 4. A later copy: bring the running one forward and end, with no window.
        lock.activatePreviousInstance();
        return 0;
    }
    // The help viewer registers with the help system after the guard.
    HelpSystem helpSystem(QFileInfo(exe).absolutePath());

    // SIGTERM and SIGINT do what Quit does; before the message loop runs (Quit cannot end a
    // loop that has not started) they end the start-up and close a message box it waits in.
    QuitSignals quitSignals;
    bool quitDuringStartup = false;
    bool looping = false;
    QObject::connect(&quitSignals, &QuitSignals::quitRequested, &app, [&] {
        if (looping) {
            QCoreApplication::quit();
            return;
        }
        quitDuringStartup = true;
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            dialog->reject();
    });

    // 6. The application title.
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Hostvane"));
    ProgramIcon::apply();

    // 7. The windows, in this order.
    MainWindow::Options options;
    options.executablePath = exe;
    auto frmMain = std::make_unique<MainWindow>(options);
    auto frmLog = std::make_unique<LogWindow>();
    auto frmState = std::make_unique<StateWindow>();
    frmState->attach(frmMain->monitor().hosts());
    // The table's size, column widths and sort: a file of their own beside the settings file,
    // which only the settings dialog's OK writes.
    frmState->restoreLayout(
        QFileInfo(SettingsLocation::settingsFile(QFileInfo(exe).absolutePath(),
                                                 QStringLiteral("Hostvane.ini")))
            .dir()
            .filePath(QStringLiteral("HostvaneLayout.ini")));
    frmMain->setWindows(frmLog.get(), frmState.get());
    // A history window reads the history file while one is kept; a reader of its own each
    // time, so the tray program's writer is never held up.
    frmState->setHistorySource(
        [monitor = &frmMain->monitor()](const QString& title, const QString& address) {
            HistoryWindow::Loader loader;
            if (monitor->settings().keepDays <= 0) return loader;
            loader = [path = monitor->historyPath(), title, address](
                         std::int64_t from, std::int64_t to, QString* error) {
                std::vector<StatsSample> out;
                const std::unique_ptr<HistoryReader> reader = HistoryReader::open(path, error);
                if (!reader) return out;
                for (const HistorySample& s : reader->samples(title, address, from, to))
                    out.push_back({s.timeMs, s.roundTripUs});
                return out;
            };
            return loader;
        });
    if (const Skin* skin = frmMain->skin()) {
        skin->applyTo(frmLog.get(), Skin::Element::Window);
        skin->applyTo(frmState.get(), Skin::Element::Window);
    }

    installTranslateAllForms(frmMain.get(), frmLog.get(), frmState.get());

    QObject::connect(&lock, &InstanceLock::activationRequested, &app, [] {
        if (QWidget* w = windowToActivate()) {
            if (w->isMinimized()) w->showNormal();
            w->raise();
            w->activateWindow();
        }
    });

    // 8. The settings: the first pass starts now.
    ErrorBox::guard([&] { frmMain->monitor().loadSettings(); });
    // The statistics of the minutes before this start, from the history when one is kept.
    fillStatsFromHistory(frmMain->monitor());
    // 9. The language again, translating the three windows.
    ErrorBox::guard([&] { languages.loadLanguage(true); });

    // 10. The message loop; broken program files end it before it starts.
    int status = 0;
    if (frmMain->terminateRequested()) {
        status = 1;
    } else if (!quitDuringStartup) {
        looping = true;
        status = app.exec();
    }

    // 11. The end: the checking thread before any window it reports to, then the windows,
    // then the lock (with the object).
    frmMain->stopChecking();
    installTranslateAllForms(nullptr, nullptr, nullptr);
    frmMain->setWindows(nullptr, nullptr);
    frmState->saveLayout();
    frmState.reset();
    frmLog.reset();
    frmMain.reset();
    return status;
}

}  // namespace hv
