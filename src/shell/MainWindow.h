#pragma once

#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "hosts/Settings.h"
#include "monitor/Monitor.h"
#include "skin/Skin.h"
#include "views/ReportWindow.h"

class QAction;
class QMenu;
class QPainter;

namespace hv {

class OwnerDrawItem;
class LogWindow;
class SettingsDialog;
class StateWindow;
class TrayIcon;
class NoTrayFallback;
class DesktopNotifications;

// The main window: the pop-up report, the tray menu and icon, and the settings dialog's run;
// the monitor it holds does the checking and keeps the settings.
class MainWindow : public ReportWindow {
    Q_OBJECT
public:
    using ProbeFactory = Monitor::ProbeFactory;

    struct Options {
        QString executablePath;  // the running executable; its folder holds every program file
        ProbeFactory probes;     // empty: the real ICMP and TCP probes
        bool trayIcon = true;
        // Shows "Several files are broken"; empty: the modal message window.
        std::function<void()> brokenFilesMessage;
    };

    // formCreate: help file, skin, the monitor with its check cycle (suspended).
    explicit MainWindow(Options options);
    ~MainWindow() override;

    Monitor& monitor() { return *m_monitor; }
    const Monitor& monitor() const { return *m_monitor; }

    // The long-lived windows created after this one.
    void setWindows(LogWindow* log, StateWindow* state);

    // shutdown: the monitor's check cycle is stopped and joined. Idempotent; the destructor
    // calls it too.
    void stopChecking();

    // The skin loading failed during formCreate: the program must end.
    bool terminateRequested() const { return m_terminateRequested; }
    const Skin* skin() const { return m_skin ? &*m_skin : nullptr; }
    QString executablePath() const { return m_exePath; }
    QString executableDir() const { return m_exeDir; }
    QString helpFile() const { return m_helpFile; }

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
    SettingsDialog* frmSettings = nullptr;  // while the settings dialog exists
    LogWindow* frmLog = nullptr;
    StateWindow* frmState = nullptr;

    // Monitor state as miStart shows it: image 3 running ("Stop"), 2 stopped ("Start").
    int miStartImage() const;

    // After a change of language: miStart's Start or Stop, a message, is set anew.
    void retranslateMessages();

    // Handlers.
    void miStartClick();
    void miStartDrawItem(QPainter& canvas, const QRect& rect, bool selected);
    void miSettingsClick();
    void miQuitClick();
    void miHelpClick();
    void miAboutClick();

    // The monitor's settings file, then the autorun entry as frmSettings->cbAutorun says.
    // Throws Error.
    void saveSettings();

    // The report font as the settings file keeps it (memReport's font and text colour).
    ReportFont reportFont() const;
    void setReportFont(const ReportFont& font);

    // A pass's report, as the monitor hands it over: the balloon and the desktop
    // notification, as the pop-up style asks.
    void showReport(const QString& report);
    void reportTitles(const QStringList& lost, const QStringList& appeared);

    // [View] PopUpStyle as used now: where the balloon cannot be shown (the Wayland platform,
    // no notification area) it is 1.
    int effectivePopUpStyle() const;
    // The desktop notifications the reports go to (created on first use); tests give their own.
    DesktopNotifications* notifications();
    void setNotifications(std::unique_ptr<DesktopNotifications> notifications);

    // Tests: runs right after the settings dialog has been filled, instead of showing it;
    // returns the dialog's result.
    std::function<int(SettingsDialog&)> runSettingsDialog;

protected:
    void changeEvent(QEvent* event) override;

private:
    void buildMenu();
    void connectMonitor();
    void rebuildHostMenu();
    void setMiStart(bool running);
    void setPopUpInterval(int ms);
    // The monitor took new settings: the report's font, the pop-up interval, the tray status.
    void showSettings(const Settings& previous);
    // memReport's font and text colour, as the report shows them.
    void applyReportFont(const QFont& font, const QColor& color);
    // The dialog shows s, the report's font as shown, the autorun entry and the language.
    void fillSettingsDialog(SettingsDialog& dialog, const Settings& s);
    // What the confirmed dialog says, written into s; returns its host lines as typed.
    QStringList applySettingsDialog(SettingsDialog& dialog, Settings& s);
    // The tray icon's status is worked out once per turn of the event loop however many
    // changes a hand-over brings.
    void queueTrayStatus();
    void updateTrayStatus();
    // The notification of the latest report could not be shown: the balloon shows it, and
    // stderr says why, once.
    void notificationFailed(const QString& reason);

    QString m_exePath;
    QString m_exeDir;
    QString m_helpFile;
    std::optional<Skin> m_skin;
    bool m_terminateRequested = false;
    bool m_trayStatusQueued = false;
    std::unique_ptr<DesktopNotifications> m_notifications;
    QString m_lastReport;  // the latest report, for the balloon should its notification fail
    bool m_notificationFailureSaid = false;
    QList<QAction*> m_hostItems;  // miHoststate's items from index 2 on

    std::unique_ptr<TrayIcon> m_tray;
    NoTrayFallback* m_noTray = nullptr;  // owned by the state table
    std::unique_ptr<Monitor> m_monitor;
};

}  // namespace hv
