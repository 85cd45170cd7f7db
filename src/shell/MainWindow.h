#pragma once

#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "checking/ChangeEvents.h"
#include "checking/CheckHosts.h"
#include "checking/HostProbes.h"
#include "checking/MainThreadInvoker.h"
#include "checking/OverallStatus.h"
#include "hosts/HostList.h"
#include "hosts/Settings.h"
#include "platform/TimeFormat.h"
#include "skin/Skin.h"
#include "views/ReportWindow.h"

class QAction;
class QMenu;
class QPainter;

namespace hv {

class AskTimer;
class CancelHandle;
class OwnerDrawItem;
class LogWindow;
class SettingsDialog;
class StateWindow;
class TrayIcon;
class NoTrayFallback;
class DesktopNotifications;

// The main window: the pop-up report and the controller that owns the tray menu, the check
// timer and the checking thread.
class MainWindow : public ReportWindow, public CheckSink {
    Q_OBJECT
public:
    using ProbeFactory = CheckCycle::ProbeFactory;

    struct Options {
        QString executablePath;  // the running executable; its folder holds every program file
        ProbeFactory probes;     // empty: the real ICMP and TCP probes
        bool trayIcon = true;
        // Shows "Several files are broken"; empty: the modal message window.
        std::function<void()> brokenFilesMessage;
    };

    // formCreate: help file, skin, CheckThread (suspended).
    explicit MainWindow(Options options);
    ~MainWindow() override;

    // The long-lived windows created after this one.
    void setWindows(LogWindow* log, StateWindow* state);

    // shutdown: the checking thread is stopped (a waiting probe and a pending hand-over are
    // cancelled) and joined. Idempotent; the destructor calls it too.
    void stopChecking();

    // The skin loading failed during formCreate: the program must end.
    bool terminateRequested() const { return m_terminateRequested; }
    const Skin* skin() const { return m_skin ? &*m_skin : nullptr; }
    QString executablePath() const { return m_exePath; }
    QString executableDir() const { return m_exeDir; }
    QString helpFile() const { return m_helpFile; }

    HostList hosts;
    // This run's reported changes, for Log > Export (main thread).
    ChangeEvents changes;

    QMenu* pmMain = nullptr;
    OwnerDrawItem* miStart = nullptr;
    QMenu* miHoststate = nullptr;
    QMenu* miLog = nullptr;
    QAction* miViewLog = nullptr;
    QAction* miSaveLog = nullptr;
    QAction* miExportLog = nullptr;
    QAction* settingsSeparator = nullptr;
    QAction* miSettings = nullptr;
    QAction* miHelp = nullptr;
    QAction* miAbout = nullptr;
    QAction* quitSeparator = nullptr;
    QAction* miQuit = nullptr;
    AskTimer* trmAsk = nullptr;
    std::unique_ptr<CheckCycle> CheckThread;
    SettingsDialog* frmSettings = nullptr;  // while the settings dialog exists
    LogWindow* frmLog = nullptr;
    StateWindow* frmState = nullptr;

    // Monitor state, held by miStart's image: 3 running ("Stop"), 2 stopped ("Start").
    int miStartImage() const { return m_miStartImage; }
    bool isRunning() const { return m_miStartImage != 2; }
    int popUpInterval() const { return m_popUpInterval; }
    // [CheckParams] ParallelChecks: hosts a pass checks at once (1..256), from the next pass.
    int parallelChecks() const { return m_parallelChecks; }
    void setParallelChecks(int count);
    // [CheckParams] LostAfter / AppearedAfter: passes in a row before a host is reported lost /
    // appeared (1..100), from the next pass.
    int lostAfter() const { return m_lostAfter; }
    int appearedAfter() const { return m_appearedAfter; }
    void setPassesToReport(int lostAfter, int appearedAfter);

    // Handlers.
    void trmAskTimer();
    void miStartClick();
    void miStartDrawItem(QPainter& canvas, const QRect& rect, bool selected);
    void miSettingsClick();
    void miQuitClick();
    void miHelpClick();
    void miAboutClick();

    void loadSettings();
    void saveSettings();  // throws Error; the autorun entry follows frmSettings->cbAutorun
    // The settings as they live now, as saveSettings writes them.
    Settings currentSettings() const;

    // The report font as the settings file keeps it (memReport's font and text colour).
    ReportFont reportFont() const;
    void setReportFont(const ReportFont& font);
    static QFont toQFont(const ReportFont& font);
    static QColor fromColorRef(quint32 bgr);
    static quint32 toColorRef(const QColor& color);

    // CheckSink (the hand-overs, on the main thread).
    void appendLogLine(const QString& line) override;
    void showReport(const QString& report) override;
    void reportTitles(const QStringList& lost, const QStringList& appeared) override;
    void hostChanged(const QString& title, const QString& address, bool appeared,
                     qint64 roundTripMs) override;
    void passEnded(std::uint64_t listGeneration) override;
    QString timeText() override;

    // [View] PopUpStyle as set (0 the balloon, 1 notifications, 2 both) and as used now: where
    // the balloon cannot be shown (the Wayland platform, no notification area) it is 1.
    int popUpStyle() const { return m_popUpStyle; }
    void setPopUpStyle(int style);
    int effectivePopUpStyle() const;
    // The desktop notifications the reports go to (created on first use); tests give their own.
    DesktopNotifications* notifications();
    void setNotifications(std::unique_ptr<DesktopNotifications> notifications);

    // [View] TrayStatus: 1 the tray icon shows the overall state of the hosts and a tooltip;
    // 0 the plain icon without a tooltip.
    int trayStatus() const { return m_trayStatus; }
    void setTrayStatus(int value);
    // The overall state as the tray icon shows it with TrayStatus=1.
    OverallStatus overallStatus() const;

    // Tests: runs right after the settings dialog has been filled, instead of showing it;
    // returns the dialog's result.
    std::function<int(SettingsDialog&)> runSettingsDialog;

protected:
    void changeEvent(QEvent* event) override;

private:
    void buildMenu();
    void rebuildHostMenu();
    void setMiStart(int image);
    void setPopUpInterval(int ms);
    // memReport's font and text colour, as the report shows them.
    void applyReportFont(const QFont& font, const QColor& color);
    void fillSettingsDialog(SettingsDialog& dialog);
    void applySettingsDialog(SettingsDialog& dialog);
    // The tray icon's status is worked out once per turn of the event loop however many
    // changes a hand-over brings.
    void queueTrayStatus();
    void updateTrayStatus();

    QString m_exePath;
    QString m_exeDir;
    QString m_helpFile;
    std::optional<Skin> m_skin;
    bool m_terminateRequested = false;
    int m_miStartImage = 3;
    int m_popUpInterval = 5000;
    int m_popUpStyle = 0;
    int m_trayStatus = 0;
    // A pass over the current host list has ended since start, Start or the last rebuild;
    // until then the status reads "checking" rather than every host lost.
    bool m_passOver = false;
    bool m_trayStatusQueued = false;
    std::unique_ptr<DesktopNotifications> m_notifications;
    int m_parallelChecks = 1;
    int m_lostAfter = 1;
    int m_appearedAfter = 1;
    TimeFormat m_timeFormat;
    // The moment the last log line's time was taken: an exported change carries the same one.
    QDateTime m_lastLogTime;
    QList<QAction*> m_hostItems;  // miHoststate's items from index 2 on

    MainThreadInvoker m_invoker;
    std::unique_ptr<TrayIcon> m_tray;
    NoTrayFallback* m_noTray = nullptr;  // owned by the state table
};

}  // namespace hv
