#include "shell/TfrmMain.h"

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

#include "dialogs/DropDownComboBox.h"
#include "dialogs/ExecModal.h"
#include "dialogs/SpinEdit.h"
#include "dialogs/TfrmSettings.h"
#include "help/HelpContext.h"
#include "help/core/HelpManager.h"
#include "lang/Languages.h"
#include "net/NetProbes.h"
#include "platform/AutostartEntry.h"
#include "platform/DesktopNotifications.h"
#include "platform/ProgramFiles.h"
#include "shell/AskTimer.h"
#include "shell/OwnerDrawItem.h"
#include "views/ErrorBox.h"
#include "views/ImageList.h"
#include "views/NoTrayFallback.h"
#include "views/TfrmAbout.h"
#include "views/TfrmLog.h"
#include "views/TfrmState.h"
#include "views/TrayIcon.h"

namespace hv {

namespace {

constexpr int kImageStopped = 2;
constexpr int kImageRunning = 3;
constexpr int kImageHostsState = 4;
constexpr int kImageLog = 5;
constexpr int kImageHelp = 6;
constexpr int kImageAbout = 7;
constexpr int kImageSettings = 8;

constexpr int kHelpContextHelpItem = 1;
constexpr int kHelpContextMain = 2;

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
    if (image >= 0) a->setIcon(ImageList1::icon(image));
    return a;
}

void showBrokenFiles() {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Hostvane"),
                    QStringLiteral("Several files are broken"), QMessageBox::Ok);
    box.setObjectName(QStringLiteral("msgBrokenFiles"));
    box.exec();
}

}  // namespace

TfrmMain::TfrmMain(Options options)
    : ReportWindow(nullptr),
      m_exePath(options.executablePath.isEmpty() ? ProgramFiles::executablePath()
                                                 : options.executablePath) {
    setObjectName(QStringLiteral("frmMain"));
    // The balloon hides on any click, also while a dialog is open.
    setNeverBlocked(this);
    m_exeDir = QFileInfo(m_exePath).absolutePath();

    // Created enabled with 3000 ms; LoadSettings sets the check period.
    trmAsk = new AskTimer(3000, true, this);
    trmAsk->setObjectName(QStringLiteral("trmAsk"));
    connect(trmAsk, &AskTimer::timeout, this,
            [this] { ErrorBox::guard([this] { trmAskTimer(); }); });
    m_timeFormat = TimeFormat::fromLocale(QLocale::system());

    buildMenu();
    connect(&hosts, &HostList::rebuilt, this, [this] { rebuildHostMenu(); });
    connect(&hosts, &HostList::stateImageChanged, this, [this](int index, int image) {
        if (index >= 0 && index < m_hostItems.size())
            m_hostItems[index]->setIcon(ImageList1::icon(image));
    });
    // The overall state on the tray icon follows the state images and the list.
    connect(&hosts, &HostList::rebuilt, this, [this] {
        m_passOver = false;
        queueTrayStatus();
    });
    connect(&hosts, &HostList::stateImageChanged, this, [this] { queueTrayStatus(); });
    rebuildHostMenu();

    if (options.trayIcon) {
        m_tray = std::make_unique<TrayIcon>(pmMain, this);
        connect(m_tray.get(), &TrayIcon::defaultItemRequested, this,
                [this] { ErrorBox::guard([this] { miStartClick(); }); });
    }

    // FormCreate 1: the help file, not tested for existence here.
    m_helpFile = ProgramFiles::resolvePath(m_exeDir, QStringLiteral("help/hostvane.chm"));
    HelpManager::setApplicationHelpFile(m_helpFile);
    setHelpContext(this, kHelpContextMain);
    setHelpContext(memReport, kHelpContextMain);
    // F1 that finds no focused widget (the tray menu has just closed) comes here.
    setF1FallbackWidget(this);

    // FormCreate 2: the skin; any failure ends the program once start-up is through.
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

    // FormCreate 3: the checking thread, suspended; it asks for a probe set per concurrent
    // check, the real ICMP and TCP probes unless the options bring others.
    ProbeFactory probes = options.probes;
    if (!probes)
        probes = [](const CancelHandle& cancel) { return std::make_unique<NetProbes>(cancel); };
    CheckThread = std::make_unique<TCheckHosts>(hosts, std::move(probes), *this, m_invoker);
    CheckThread->start();
}

TfrmMain::~TfrmMain() {
    stopChecking();
    m_tray.reset();
}

void TfrmMain::stopChecking() {
    if (!CheckThread) return;
    trmAsk->setEnabled(false);
    // A hand-over that is waiting for this thread would never run while we join: cancel first.
    m_invoker.cancel();
    CheckThread->stop();
    CheckThread.reset();
}

void TfrmMain::setWindows(TfrmLog* log, TfrmState* state) {
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

void TfrmMain::buildMenu() {
    pmMain = new QMenu(this);
    pmMain->setObjectName(QStringLiteral("pmMain"));

    miStart = new OwnerDrawItem(pmMain);
    miStart->setObjectName(QStringLiteral("miStart"));
    miStart->setDrawItem([this](QPainter& canvas, const QRect& rect, bool selected) {
        miStartDrawItem(canvas, rect, selected);
    });
    connect(miStart, &QAction::triggered, this,
            [this] { ErrorBox::guard([this] { miStartClick(); }); });
    pmMain->addAction(miStart);
    pmMain->setDefaultAction(miStart);
    setMiStart(kImageRunning);

    miHoststate =
        pmMain->addMenu(ImageList1::icon(kImageHostsState), QStringLiteral("Hosts state "));
    miHoststate->setObjectName(QStringLiteral("miHoststate"));
    miHoststate->menuAction()->setObjectName(QStringLiteral("miHoststate"));

    miLog = pmMain->addMenu(ImageList1::icon(kImageLog), QStringLiteral("Log"));
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
            if (frmLog) frmLog->miExportLogClick(m_exeDir, changes);
        });
    });

    N1 = pmMain->addSeparator();
    N1->setObjectName(QStringLiteral("N1"));
    miSettings = item(pmMain, QStringLiteral("Settings"), "miSettings", kImageSettings);
    connect(miSettings, &QAction::triggered, this,
            [this] { ErrorBox::guard([this] { miSettingsClick(); }); });
    miHelp = item(pmMain, QStringLiteral("Help"), "miHelp", kImageHelp);
    setHelpContext(miHelp, kHelpContextHelpItem);
    connect(miHelp, &QAction::triggered, this,
            [this] { ErrorBox::guard([this] { miHelpClick(); }); });
    miAbout = item(pmMain, QStringLiteral("About"), "miAbout", kImageAbout);
    connect(miAbout, &QAction::triggered, this,
            [this] { ErrorBox::guard([this] { miAboutClick(); }); });
    N2 = pmMain->addSeparator();
    N2->setObjectName(QStringLiteral("N2"));
    miQuit = item(pmMain, QStringLiteral("Quit"), "miQuit", -1);
    connect(miQuit, &QAction::triggered, this,
            [this] { ErrorBox::guard([this] { miQuitClick(); }); });
}

void TfrmMain::rebuildHostMenu() {
    miHoststate->clear();
    m_hostItems.clear();
    QAction* table =
        item(miHoststate, LangMessage(QStringLiteral("Table")), "miTable", kImageHostsState);
    connect(table, &QAction::triggered, this, [this] {
        ErrorBox::guard([this] {
            if (frmState) frmState->miShowStateTable();
        });
    });
    miHoststate->addSeparator();
    for (const Host& host : hosts.hosts()) {
        QAction* a = miHoststate->addAction(ImageList1::icon(host.stateImage), host.title);
        a->setData(host.address);
        a->setStatusTip(host.address);
        // A caption of "-" makes a menu item a separator; the host keeps its place.
        if (host.title == QStringLiteral("-")) a->setSeparator(true);
        m_hostItems.append(a);
    }
}

void TfrmMain::setMiStart(int image) {
    m_miStartImage = image;
    miStart->setIcon(ImageList1::icon(image));
    miStart->setText(
        LangMessage(image == kImageStopped ? QStringLiteral("Start") : QStringLiteral("Stop")));
}

void TfrmMain::trmAskTimer() {
    // A tick during a pass is dropped, never queued.
    if (CheckThread && CheckThread->isSuspended()) CheckThread->resume();
}

void TfrmMain::miStartClick() {
    if (m_miStartImage == kImageStopped) {
        trmAsk->setEnabled(true);
        setMiStart(kImageRunning);
        m_passOver = false;
        if (CheckThread) CheckThread->resume();
    } else {
        trmAsk->setEnabled(false);
        hosts.setAllStateImages(kImageNotAnswering);
        setMiStart(kImageStopped);
    }
    queueTrayStatus();
}

void TfrmMain::miStartDrawItem(QPainter& canvas, const QRect& rect, bool selected) {
    // The fill is the menu's brush; the hover highlight is ours so users see where they are.
    const QColor base = m_skin ? m_skin->menu : pmMain->palette().color(QPalette::Window);
    canvas.fillRect(rect, selected ? base.darker(112) : base);
    canvas.drawPixmap(QPoint(7, 3), ImageList1::pixmap(m_miStartImage));
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

void TfrmMain::miQuitClick() { QCoreApplication::quit(); }

void TfrmMain::miHelpClick() { PressF1(); }

void TfrmMain::miAboutClick() {
    // Only one About window: choosing About again while it is shown does nothing.
    if (frmAbout) return;
    auto about = std::make_unique<TfrmAbout>(skin());
    frmAbout = about.get();
    const ScopeExit done([&about] {
        about.reset();
        frmAbout = nullptr;
    });
    about->exec();
}

void TfrmMain::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LocaleChange)
        m_timeFormat = TimeFormat::fromLocale(QLocale::system());
    ReportWindow::changeEvent(event);
}

// --- settings -------------------------------------------------------------------------

QFont TfrmMain::toQFont(const ReportFont& f) {
    QFont font(f.name);
    // A size that is not a positive number of points keeps the default one.
    if (f.size > 0) font.setPointSize(f.size);
    font.setBold(f.bold);
    font.setItalic(f.italic);
    return font;
}

QColor TfrmMain::fromColorRef(quint32 bgr) {
    return QColor(int(bgr & 0xff), int((bgr >> 8) & 0xff), int((bgr >> 16) & 0xff));
}

quint32 TfrmMain::toColorRef(const QColor& c) {
    return quint32(c.red()) | (quint32(c.green()) << 8) | (quint32(c.blue()) << 16);
}

ReportFont TfrmMain::reportFont() const {
    const QFont f = memReport->font();
    ReportFont r;
    r.bold = f.bold();
    r.italic = f.italic();
    r.size = f.pointSize() > 0 ? f.pointSize() : qRound(f.pointSizeF());
    r.color = toColorRef(memReport->palette().color(QPalette::Text));
    r.name = f.family();
    return r;
}

void TfrmMain::setReportFont(const ReportFont& f) {
    applyReportFont(toQFont(f), fromColorRef(f.color));
}

void TfrmMain::applyReportFont(const QFont& font, const QColor& color) {
    memReport->setFont(font);
    QPalette pal = memReport->palette();
    pal.setColor(QPalette::Text, color);
    memReport->setPalette(pal);
}

void TfrmMain::setPopUpInterval(int ms) {
    m_popUpInterval = ms;
    // 0 (or less) leaves the pop-up up until it is clicked; QTimer would fire at once.
    tmrHide->setInterval(ms > 0 ? ms : std::numeric_limits<int>::max());
}

void TfrmMain::setParallelChecks(int count) {
    m_parallelChecks = clampParallelChecks(count);
    if (CheckThread) CheckThread->setParallelChecks(m_parallelChecks);
}

void TfrmMain::setPassesToReport(int lostAfter, int appearedAfter) {
    m_lostAfter = clampPassesToReport(lostAfter);
    m_appearedAfter = clampPassesToReport(appearedAfter);
    if (CheckThread) CheckThread->setPassesToReport(m_lostAfter, m_appearedAfter);
}

void TfrmMain::LoadSettings() {
    const Settings s = readSettings(settingsFilePath(m_exeDir));
    hosts.rebuildFromEntries(s.hostEntries);
    setReportFont(s.font);
    trmAsk->setInterval(s.checkPeriod);
    setPopUpInterval(s.popUpInterval);
    setPopUpStyle(s.popUpStyle);
    setTrayStatus(s.trayStatus);
    setParallelChecks(s.parallelChecks);
    setPassesToReport(s.lostAfter, s.appearedAfter);
    trmAskTimer();
}

Settings TfrmMain::currentSettings() const {
    Settings s;
    for (const Host& host : hosts.hosts()) s.hostEntries.append({host.title, host.address});
    s.font = reportFont();
    s.checkPeriod = trmAsk->interval();
    s.popUpInterval = m_popUpInterval;
    s.popUpStyle = m_popUpStyle;
    s.trayStatus = m_trayStatus;
    s.parallelChecks = m_parallelChecks;
    s.lostAfter = m_lostAfter;
    s.appearedAfter = m_appearedAfter;
    s.language = Languages::instance().currentLanguage();
    return s;
}

void TfrmMain::SaveSettings() {
    writeSettings(settingsFilePath(m_exeDir), currentSettings());
    if (!frmSettings) return;
    const AutostartEntry autorun;
    if (frmSettings->cbAutorun->isChecked())
        autorun.set(m_exePath);
    else
        autorun.remove();
}

void TfrmMain::fillSettingsDialog(TfrmSettings& d) {
    d.Notebook1->setCurrentIndex(0);
    d.lbSettings->setCurrentRow(0);
    d.lbxHosts->clear();
    d.lbxHosts->addItems(hosts.hostLines());
    d.cbAutorun->setChecked(AutostartEntry().isSetTo(m_exePath));
    d.sePopUpInt->setSpinValue(m_popUpInterval);
    d.seCheckPeriod->setSpinValue(trmAsk->interval());
    d.seParallelChecks->setSpinValue(m_parallelChecks);
    d.seLostAfter->setSpinValue(m_lostAfter);
    d.seAppearedAfter->setSpinValue(m_appearedAfter);
    d.cbPopUpStyle->setCurrentIndex(m_popUpStyle);
    d.cbTrayStatus->setChecked(m_trayStatus == 1);
    d.setFontChoice(memReport->font(), memReport->palette().color(QPalette::Text));
    d.cbLang->setEditText(Languages::instance().currentLanguage());
    d.reportFont = [this] {
        return qMakePair(memReport->font(), memReport->palette().color(QPalette::Text));
    };
    d.setReportFont = [this](const QFont& font, const QColor& color) {
        applyReportFont(font, color);
    };
}

void TfrmMain::applySettingsDialog(TfrmSettings& d) {
    QStringList lines;
    for (int i = 0; i < d.lbxHosts->count(); ++i) lines << d.lbxHosts->item(i)->text();
    hosts.rebuildFromLines(lines);
    setParallelChecks(d.seParallelChecks->spinValue());
    setPassesToReport(d.seLostAfter->spinValue(), d.seAppearedAfter->spinValue());
    // A stopped monitor stays stopped: the new list is checked at the next Start. A pass under
    // way stops at the rebuild and is followed at once by a pass over the new list.
    if (isRunning() && CheckThread) CheckThread->resumeForNewList();
    // The font as given or last confirmed: browsing in a cancelled font dialog changes nothing.
    applyReportFont(d.chosenFont(), d.FontDialog1Color);
    setPopUpInterval(d.sePopUpInt->spinValue());
    setPopUpStyle(d.cbPopUpStyle->currentIndex());
    setTrayStatus(d.cbTrayStatus->isChecked() ? 1 : 0);
    trmAsk->setInterval(d.seCheckPeriod->spinValue());
    SaveSettings();
}

void TfrmMain::miSettingsClick() {
    if (frmSettings) return;
    trmAsk->setEnabled(false);
    auto dialog = std::make_unique<TfrmSettings>(nullptr);
    frmSettings = dialog.get();
    const ScopeExit done([this, &dialog] {
        dialog.reset();
        frmSettings = nullptr;
        // The countdown starts anew; a stopped monitor keeps its timer off.
        trmAsk->setEnabled(isRunning());
    });
    fillSettingsDialog(*dialog);
    const int result = runSettingsDialog ? runSettingsDialog(*dialog) : execModal(*dialog);
    if (result == TfrmSettings::kOk)
        applySettingsDialog(*dialog);
    else
        Languages::instance().loadLanguage(true);
}

// --- CheckSink ------------------------------------------------------------------------

void TfrmMain::appendLogLine(const QString& line) {
    if (frmLog) frmLog->appendLine(line);
}

void TfrmMain::showReport(const QString& report) {
    if (effectivePopUpStyle() != 1) ReportWindow::showReport(report);
}

void TfrmMain::reportTitles(const QStringList& lost, const QStringList& appeared) {
    if (effectivePopUpStyle() == 0) return;
    notifications()->show(
        notificationForReport(LangMessage(QStringLiteral("LoseHosts")), lost,
                              LangMessage(QStringLiteral("AppearHosts")), appeared),
        m_popUpInterval);
}

void TfrmMain::hostChanged(const QString& title, const QString& address, bool appeared,
                           qint64 roundTripMs) {
    // The change's log line was written just before, with this moment's time.
    const QDateTime at = m_lastLogTime.isValid() ? m_lastLogTime : QDateTime::currentDateTime();
    const bool dropped = changes.add({at, title, address, appeared, roundTripMs});
    if (dropped && changes.dropped() == 1) {
        std::fprintf(stderr,
                     "hostvane: Log > Export keeps the last %zu changes; older ones are "
                     "dropped from now on\n",
                     changes.capacity());
    }
}

void TfrmMain::setPopUpStyle(int style) { m_popUpStyle = std::clamp(style, 0, 2); }

int TfrmMain::effectivePopUpStyle() const {
    const bool balloonImpossible = QGuiApplication::platformName() == QLatin1String("wayland") ||
                                   (m_tray && !m_tray->trayAvailable());
    return balloonImpossible ? 1 : m_popUpStyle;
}

void TfrmMain::passEnded(std::uint64_t listGeneration) {
    // A pass cut short by a rebuild walked the old list: the new one is still unknown.
    if (listGeneration != hosts.generation()) return;
    m_passOver = true;
    queueTrayStatus();
}

void TfrmMain::setTrayStatus(int value) {
    m_trayStatus = std::clamp(value, 0, 1);
    queueTrayStatus();
}

OverallStatus TfrmMain::overallStatus() const {
    return OverallStatus::of(hosts.hosts(), isRunning(), m_passOver);
}

void TfrmMain::queueTrayStatus() {
    if (!m_tray || m_trayStatusQueued) return;
    m_trayStatusQueued = true;
    QMetaObject::invokeMethod(
        this, [this] { updateTrayStatus(); }, Qt::QueuedConnection);
}

void TfrmMain::updateTrayStatus() {
    m_trayStatusQueued = false;
    if (!m_tray) return;
    // The texts are built anew each time, so they follow the current language.
    m_tray->setStatus(m_trayStatus == 1 ? std::optional(overallStatus()) : std::nullopt);
}

DesktopNotifications* TfrmMain::notifications() {
    if (!m_notifications) setNotifications(std::make_unique<DesktopNotifications>());
    return m_notifications.get();
}

void TfrmMain::setNotifications(std::unique_ptr<DesktopNotifications> notifications) {
    m_notifications = std::move(notifications);
    // A click on the notification opens the state table.
    connect(m_notifications.get(), &DesktopNotifications::activated, this, [this] {
        if (frmState) frmState->miShowStateTable();
    });
}

QString TfrmMain::timeText() {
    m_lastLogTime = QDateTime::currentDateTime();
    return m_timeFormat.format(m_lastLogTime.time());
}

}  // namespace hv
