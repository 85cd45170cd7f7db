#include "shell/MainWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFileInfo>
#include <QFontDialog>
#include <QGuiApplication>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <limits>

#include "dialogs/ReportFontQt.h"
#include "dialogs/SettingsDialog.h"
#include "helpcore/HelpManager.h"
#include "lang/Languages.h"
#include "platform/AutostartEntry.h"
#include "platform/DesktopNotifications.h"
#include "platform/ProgramFiles.h"
#include "shell/OwnerDrawItem.h"
#include "views/AboutWindow.h"
#include "views/ImageList.h"
#include "views/LogWindow.h"
#include "views/NoTrayFallback.h"
#include "views/StateWindow.h"
#include "views/TrayIcon.h"
#include "widgets/DropDownComboBox.h"
#include "widgets/ErrorBox.h"
#include "widgets/ExecModal.h"
#include "widgets/HelpContext.h"
#include "widgets/SpinEdit.h"

namespace hv {

namespace {

constexpr int kImageStopped = 2;
constexpr int kImageRunning = 3;
constexpr int kImageHostsState = 4;
constexpr int kImageLog = 5;
constexpr int kImageHelp = 6;
constexpr int kImageAbout = 7;
constexpr int kImageSettings = 8;

// F1 on a highlighted tray menu item: the page on what the item opens; items without a page
// of their own get the menu's, the tray menu page, which is also what Help opens.
constexpr int kHelpContextMain = 2;
constexpr int kHelpContextSettings = 3;
constexpr int kHelpContextAbout = 5;

const QColor kStartItemColour(113, 75, 57);  // colour value 0x394B71

// Runs at the end of a scope whatever happens, errors included.
template <typename F>
class ScopeExit {
public:
    explicit ScopeExit(F f) : m_f(std::move(f)) {}
    ~ScopeExit() { m_f(); }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

private:
    F m_f;
};

QAction* item(QMenu* menu, const QString& caption, const char* name, int image) {
    QAction* a = menu->addAction(caption);
    a->setObjectName(QString::fromLatin1(name));
    if (image >= 0) a->setIcon(ImageList::icon(image));
    return a;
}

void showBrokenFiles() {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Hostvane"),
                    QStringLiteral("Several files are broken"), QMessageBox::Ok);
    box.setObjectName(QStringLiteral("msgBrokenFiles"));
    box.exec();
}

}  // namespace

MainWindow::MainWindow(Options options)
    : ReportWindow(nullptr),
      m_exePath(options.executablePath.isEmpty() ? ProgramFiles::executablePath()
                                                 : options.executablePath) {
    setObjectName(QStringLiteral("frmMain"));
    // The balloon hides on any click, also while a dialog is open.
    setNeverBlocked(this);
    m_exeDir = QFileInfo(m_exePath).absolutePath();

    buildMenu();

    if (options.trayIcon) {
        m_tray = std::make_unique<TrayIcon>(pmMain, this);
        connect(m_tray.get(), &TrayIcon::defaultItemRequested, this,
                [this] { ErrorBox::guard([this] { miStartClick(); }); });
    }

    // formCreate 1: the help file, not tested for existence here.
    m_helpFile = ProgramFiles::resolvePath(m_exeDir, QStringLiteral("help/hostvane.chm"));
    HelpManager::setApplicationHelpFile(m_helpFile);
    setHelpContext(this, kHelpContextMain);
    setHelpContext(memReport, kHelpContextMain);
    // F1 that finds no focused widget (the tray menu has just closed) comes here.
    setF1FallbackWidget(this);

    // formCreate 2: the skin; any failure ends the program once start-up is through.
    try {
        m_skin =
            Skin::load(ProgramFiles::resolvePath(m_exeDir, QStringLiteral("skins/hostvane.skn")));
        m_skin->applyTo(this, Skin::Element::Balloon);
        m_skin->applyTo(pmMain, Skin::Element::Menu);
    } catch (const Error& e) {
        std::fprintf(stderr, "hostvane: %s\n", qPrintable(e.message()));
        if (options.brokenFilesMessage)
            options.brokenFilesMessage();
        else
            showBrokenFiles();
        m_terminateRequested = true;
    }

    // formCreate 3: the monitor with its check cycle, suspended, and the check timer.
    Monitor::Options monitorOptions;
    monitorOptions.executablePath = m_exePath;
    monitorOptions.probes = std::move(options.probes);
    m_monitor = std::make_unique<Monitor>(std::move(monitorOptions));
    connectMonitor();
}

MainWindow::~MainWindow() {
    stopChecking();
    m_tray.reset();
}

void MainWindow::stopChecking() { m_monitor->stopChecking(); }

void MainWindow::connectMonitor() {
    Monitor* monitor = m_monitor.get();
    HostList* hosts = &monitor->hosts();
    connect(hosts, &HostList::rebuilt, this, [this] { rebuildHostMenu(); });
    connect(hosts, &HostList::stateImageChanged, this, [this](int index, int image) {
        if (index >= 0 && index < m_hostItems.size())
            m_hostItems[index]->setIcon(ImageList::icon(image));
    });
    connect(monitor, &Monitor::runningChanged, this, [this](bool running) { setMiStart(running); });
    // The overall state on the tray icon.
    connect(monitor, &Monitor::statusChanged, this, [this] { queueTrayStatus(); });
    connect(monitor, &Monitor::logLine, this, [this](const QString& line) {
        if (frmLog) frmLog->appendLine(line);
    });
    connect(monitor, &Monitor::reportReady, this,
            [this](const QString& report, const QStringList& lost, const QStringList& appeared) {
                showReport(report);
                reportTitles(lost, appeared);
            });
    connect(monitor, &Monitor::settingsChanged, this,
            [this](const Settings& previous) { showSettings(previous); });
    rebuildHostMenu();
    // What the monitor starts with (the defaults) replaces the design font and interval.
    showSettings(Settings{});
}

void MainWindow::setWindows(LogWindow* log, StateWindow* state) {
    frmLog = log;
    frmState = state;
    if (m_tray && state) {
        TrayIcon* tray = m_tray.get();
        m_noTray = new NoTrayFallback(state, pmMain, [tray] { return tray->trayAvailable(); });
        connect(tray, &TrayIcon::availabilityChanged, m_noTray,
                &NoTrayFallback::trayAvailabilityChanged);
        connect(m_noTray, &NoTrayFallback::quitRequested, miQuit, &QAction::trigger);
    }
}

void MainWindow::buildMenu() {
    pmMain = new QMenu(this);
    pmMain->setObjectName(QStringLiteral("pmMain"));
    setHelpContext(pmMain, kHelpContextMain);

    miStart = new OwnerDrawItem(pmMain);
    miStart->setObjectName(QStringLiteral("miStart"));
    miStart->setDrawItem([this](QPainter& canvas, const QRect& rect, bool selected) {
        miStartDrawItem(canvas, rect, selected);
    });
    connect(miStart, &QAction::triggered, this,
            [this] { ErrorBox::guard([this] { miStartClick(); }); });
    pmMain->addAction(miStart);
    pmMain->setDefaultAction(miStart);
    setMiStart(true);

    miHoststate =
        pmMain->addMenu(ImageList::icon(kImageHostsState), QStringLiteral("Hosts state "));
    miHoststate->setObjectName(QStringLiteral("miHoststate"));
    miHoststate->menuAction()->setObjectName(QStringLiteral("miHoststate"));

    miLog = pmMain->addMenu(ImageList::icon(kImageLog), QStringLiteral("Log"));
    miLog->setObjectName(QStringLiteral("miLog"));
    miLog->menuAction()->setObjectName(QStringLiteral("miLog"));
    miViewLog = item(miLog, QStringLiteral("View"), "miViewLog", -1);
    miSaveLog = item(miLog, QStringLiteral("Save"), "miSaveLog", -1);
    miExportLog = item(miLog, QStringLiteral("Export"), "miExportLog", -1);
    connect(miViewLog, &QAction::triggered, this, [this] {
        ErrorBox::guard([this] {
            if (frmLog) frmLog->miViewLogClick();
        });
    });
    connect(miSaveLog, &QAction::triggered, this, [this] {
        ErrorBox::guard([this] {
            if (frmLog) frmLog->miSaveLogClick(m_exeDir);
        });
    });
    connect(miExportLog, &QAction::triggered, this, [this] {
        ErrorBox::guard([this] {
            if (frmLog) frmLog->miExportLogClick(m_exeDir, m_monitor->changes());
        });
    });

    settingsSeparator = pmMain->addSeparator();
    settingsSeparator->setObjectName(QStringLiteral("N1"));
    miSettings = item(pmMain, QStringLiteral("Settings"), "miSettings", kImageSettings);
    setHelpContext(miSettings, kHelpContextSettings);
    connect(miSettings, &QAction::triggered, this,
            [this] { ErrorBox::guard([this] { miSettingsClick(); }); });
    miHelp = item(pmMain, QStringLiteral("Help"), "miHelp", kImageHelp);
    setHelpContext(miHelp, kHelpContextMain);
    connect(miHelp, &QAction::triggered, this,
            [this] { ErrorBox::guard([this] { miHelpClick(); }); });
    miAbout = item(pmMain, QStringLiteral("About"), "miAbout", kImageAbout);
    setHelpContext(miAbout, kHelpContextAbout);
    connect(miAbout, &QAction::triggered, this,
            [this] { ErrorBox::guard([this] { miAboutClick(); }); });
    quitSeparator = pmMain->addSeparator();
    quitSeparator->setObjectName(QStringLiteral("N2"));
    miQuit = item(pmMain, QStringLiteral("Quit"), "miQuit", -1);
    connect(miQuit, &QAction::triggered, this,
            [this] { ErrorBox::guard([this] { miQuitClick(); }); });
}

void MainWindow::rebuildHostMenu() {
    miHoststate->clear();
    m_hostItems.clear();
    QAction* table =
        item(miHoststate, langMessage(QStringLiteral("Table")), "miTable", kImageHostsState);
    connect(table, &QAction::triggered, this, [this] {
        ErrorBox::guard([this] {
            if (frmState) frmState->miShowStateTable();
        });
    });
    miHoststate->addSeparator();
    for (const Host& host : m_monitor->hosts().hosts()) {
        QAction* a = miHoststate->addAction(ImageList::icon(host.stateImage), host.title);
        a->setData(host.address);
        a->setStatusTip(host.address);
        // A caption of "-" makes a menu item a separator; the host keeps its place.
        if (host.title == QStringLiteral("-")) a->setSeparator(true);
        m_hostItems.append(a);
    }
}

void MainWindow::setMiStart(bool running) {
    miStart->setIcon(ImageList::icon(running ? kImageRunning : kImageStopped));
    miStart->setText(langMessage(running ? QStringLiteral("Stop") : QStringLiteral("Start")));
}

void MainWindow::retranslateMessages() {
    // The frmMain section of a language file does not name miStart: its text is a message.
    setMiStart(m_monitor->isRunning());
}

int MainWindow::miStartImage() const {
    return !m_monitor || m_monitor->isRunning() ? kImageRunning : kImageStopped;
}

void MainWindow::miStartClick() { m_monitor->setRunning(!m_monitor->isRunning()); }

void MainWindow::miStartDrawItem(QPainter& canvas, const QRect& rect, bool selected) {
    // The fill is the menu's brush; the hover highlight is ours so users see where they are.
    const QColor base = m_skin ? m_skin->menu : pmMain->palette().color(QPalette::Window);
    canvas.fillRect(rect, selected ? base.darker(112) : base);
    canvas.drawPixmap(QPoint(7, 3), ImageList::pixmap(miStartImage()));
    QFont bold = canvas.font();
    bold.setBold(true);
    canvas.setFont(bold);
    canvas.setPen(kStartItemColour);
    canvas.save();
    canvas.setClipRect(rect);
    const QFontMetrics fm(bold);
    canvas.drawText(QPoint(rect.left() + 22, rect.top() + 2 + fm.ascent()), miStart->text());
    canvas.restore();
}

void MainWindow::miQuitClick() { QCoreApplication::quit(); }

void MainWindow::miHelpClick() { pressF1(); }

void MainWindow::miAboutClick() {
    // Only one About window: choosing About again while it is shown does nothing.
    if (frmAbout) return;
    auto about = std::make_unique<AboutWindow>(skin());
    frmAbout = about.get();
    const ScopeExit done([&about] {
        about.reset();
        frmAbout = nullptr;
    });
    // Modal like the settings dialog: the tray icon and its menu stay usable meanwhile.
    execModal(*about);
}

void MainWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LocaleChange && m_monitor) m_monitor->localeChanged();
    ReportWindow::changeEvent(event);
}

// --- settings -------------------------------------------------------------------------

ReportFont MainWindow::reportFont() const {
    return toReportFont(memReport->font(), memReport->palette().color(QPalette::Text));
}

void MainWindow::setReportFont(const ReportFont& f) {
    applyReportFont(toQFont(f), fromColorRef(f.color));
}

void MainWindow::applyReportFont(const QFont& font, const QColor& color) {
    memReport->setFont(font);
    QPalette pal = memReport->palette();
    pal.setColor(QPalette::Text, color);
    memReport->setPalette(pal);
}

void MainWindow::setPopUpInterval(int ms) {
    // 0 (or less) leaves the pop-up up until it is clicked; QTimer would fire at once.
    tmrHide->setInterval(ms > 0 ? ms : std::numeric_limits<int>::max());
}

void MainWindow::showSettings(const Settings& previous) {
    const Settings& s = m_monitor->settings();
    if (s.popUpInterval != previous.popUpInterval) setPopUpInterval(s.popUpInterval);
    // A font the report shows already is left alone: it may carry more than the settings file
    // keeps (a style name, a fractional size).
    if (s.font != previous.font && s.font != reportFont()) {
        setReportFont(s.font);
        // The report shows what it can of the font (no size gives the default one, colour
        // bits beyond red, green and blue are dropped); that is what is in effect and saved.
        const ReportFont shown = reportFont();
        if (shown != s.font) {
            Settings normalized = s;
            normalized.font = shown;
            m_monitor->updateSettings(normalized);
            return;
        }
    }
    queueTrayStatus();
}

void MainWindow::saveSettings() {
    m_monitor->saveSettings();
    if (!frmSettings) return;
    const AutostartEntry autorun;
    if (frmSettings->cbAutorun->isChecked())
        autorun.set(m_exePath);
    else
        autorun.remove();
}

void MainWindow::fillSettingsDialog(SettingsDialog& d, const Settings& s) {
    d.fill(s, AutostartEntry().isSetTo(m_exePath));
    // The font the report shows, which a font chosen in a cancelled dialog may have replaced,
    // and which may carry a style its saved parts do not name.
    d.setFontChoice(memReport->font(), memReport->palette().color(QPalette::Text));
    d.reportFont = [this] {
        return qMakePair(memReport->font(), memReport->palette().color(QPalette::Text));
    };
    d.setReportFont = [this](const QFont& font, const QColor& color) {
        applyReportFont(font, color);
    };
}

QStringList MainWindow::applySettingsDialog(SettingsDialog& d, Settings& s) {
    d.apply(s);
    QStringList lines;
    for (int i = 0; i < d.lbxHosts->count(); ++i) lines << d.lbxHosts->item(i)->text();
    // The font as given or last confirmed: browsing in a cancelled font dialog changes nothing.
    applyReportFont(d.chosenFont(), d.fontDialogColor);
    s.font = reportFont();
    // The language box changed the current language at every edit already.
    s.language = Languages::instance().currentLanguage();
    return lines;
}

void MainWindow::miSettingsClick() {
    if (frmSettings) {
        // The open dialog comes forward, also from minimised; no second one opens.
        if (frmSettings->isVisible()) {
            frmSettings->showNormal();
            frmSettings->raise();
            frmSettings->activateWindow();
        }
        return;
    }
    m_monitor->holdTimer();
    auto dialog = std::make_unique<SettingsDialog>(nullptr);
    frmSettings = dialog.get();
    const ScopeExit done([this, &dialog] {
        dialog.reset();
        frmSettings = nullptr;
        // The countdown starts anew; a stopped monitor keeps its timer off.
        m_monitor->releaseTimer();
    });
    fillSettingsDialog(*dialog, m_monitor->settings());
    const int result = runSettingsDialog ? runSettingsDialog(*dialog) : execModal(*dialog);
    if (result == SettingsDialog::kOk) {
        Settings s = m_monitor->settings();
        const QStringList lines = applySettingsDialog(*dialog, s);
        // The host list is rebuilt from the lines as typed.
        m_monitor->applySettings(s, lines);
        saveSettings();
    } else {
        Languages::instance().loadLanguage(true);
    }
}

// --- reports --------------------------------------------------------------------------

void MainWindow::showReport(const QString& report) {
    m_lastReport = report;
    if (effectivePopUpStyle() != 1) ReportWindow::showReport(report);
}

void MainWindow::reportTitles(const QStringList& lost, const QStringList& appeared) {
    if (effectivePopUpStyle() == 0) return;
    const bool sent = notifications()->show(
        notificationForReport(langMessage(QStringLiteral("LoseHosts")), lost,
                              langMessage(QStringLiteral("AppearHosts")), appeared),
        m_monitor->settings().popUpInterval);
    if (!sent) notificationFailed(QStringLiteral("no session bus"));
}

void MainWindow::notificationFailed(const QString& reason) {
    if (!m_notificationFailureSaid) {
        m_notificationFailureSaid = true;
        std::fprintf(stderr,
                     "hostvane: cannot show a desktop notification (%s); the balloon shows the "
                     "reports instead\n",
                     qPrintable(reason));
    }
    // The report would otherwise be shown nowhere; with both styles the balloon has it already.
    if (effectivePopUpStyle() == 1 && !m_lastReport.isEmpty())
        ReportWindow::showReport(m_lastReport);
}

int MainWindow::effectivePopUpStyle() const {
    const bool balloonImpossible = QGuiApplication::platformName() == QLatin1String("wayland") ||
                                   (m_tray && !m_tray->trayAvailable());
    return balloonImpossible ? 1 : m_monitor->settings().popUpStyle;
}

void MainWindow::queueTrayStatus() {
    if (!m_tray || m_trayStatusQueued) return;
    m_trayStatusQueued = true;
    QMetaObject::invokeMethod(
        this, [this] { updateTrayStatus(); }, Qt::QueuedConnection);
}

void MainWindow::updateTrayStatus() {
    m_trayStatusQueued = false;
    if (!m_tray) return;
    // The texts are built anew each time, so they follow the current language.
    m_tray->setStatus(m_monitor->settings().trayStatus == 1
                          ? std::optional(m_monitor->overallStatus())
                          : std::nullopt);
}

DesktopNotifications* MainWindow::notifications() {
    if (!m_notifications) setNotifications(std::make_unique<DesktopNotifications>());
    return m_notifications.get();
}

void MainWindow::setNotifications(std::unique_ptr<DesktopNotifications> notifications) {
    m_notifications = std::move(notifications);
    // A click on the notification opens the state table.
    connect(m_notifications.get(), &DesktopNotifications::activated, this, [this] {
        if (frmState) frmState->miShowStateTable();
    });
    connect(m_notifications.get(), &DesktopNotifications::failed, this,
            &MainWindow::notificationFailed);
}

}  // namespace hv
