#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "checking/ChangeEvents.h"
#include "checking/CheckCycle.h"
#include "checking/OverallStatus.h"
#include "checking/Probe.h"
#include "history/HistoryStore.h"
#include "hosts/HostList.h"
#include "hosts/Settings.h"
#include "platform/TimeFormat.h"

namespace hv {

class AskTimer;

// The monitor without its windows: the host list, the check cycle and the check timer that
// wakes it, Start/Stop, the settings as one value (read from and written to the settings
// file), this run's changes and the overall status. It is the check cycle's sink and tells
// the views what happened through its signals. Main thread.
class Monitor : public QObject, public CheckSink {
    Q_OBJECT
public:
    using ProbeFactory = hv::ProbeFactory;

    struct Options {
        // The running executable when empty; its folder holds the settings file.
        QString executablePath;
        // The real ICMP and TCP probes when empty.
        ProbeFactory probes;
        // The history's clock; the system's when empty.
        std::function<std::int64_t()> historyClock;
        // False: no history is written whatever [History] KeepDays says (--once).
        bool keepHistory = true;
    };

    // Creates the check cycle, suspended, and the check timer "trmAsk" (enabled, 3000 ms until
    // the settings give the check period). The monitor starts running with an empty host list.
    explicit Monitor(Options options, QObject* parent = nullptr);
    ~Monitor() override;

    QString executablePath() const { return m_exePath; }
    QString executableDir() const { return m_exeDir; }

    HostList& hosts() { return m_hosts; }
    const HostList& hosts() const { return m_hosts; }
    // This run's reported changes, for Log > Export.
    const ChangeEvents& changes() const { return m_changes; }
    // Null once stopChecking() has run.
    CheckCycle* checkCycle() const { return m_cycle.get(); }
    AskTimer* askTimer() const { return m_trmAsk; }
    // The history being written; null while [History] KeepDays has been 0 all along.
    HistoryStore* history() const { return m_history.get(); }
    // Where the history is kept.
    QString historyPath() const;

    // The settings in effect. Their host entries are the host list's hosts (title, address)
    // and every number is within its range, so saving writes what is in effect.
    const Settings& settings() const { return m_settings; }
    // Reads the settings file and applies it as applySettings does: the first pass begins. A
    // missing or unreadable file, and host titles it repeats, are told on stderr.
    void loadSettings();
    // Writes settings() to the settings file; throws IniWriteError and leaves the file as it
    // was.
    void saveSettings() const;
    // Takes a whole new value, as a confirmed settings dialog does: the host list is rebuilt
    // from the entries (blank addresses give no host; the count counts every entry; a host
    // whose title and address are unchanged keeps its state, so it is not reported again), every
    // other value is applied, the check timer's countdown starts anew, and a running monitor
    // checks the new list at once (after a pass under way over the old one).
    void applySettings(const Settings& settings);
    // The same with the host list rebuilt from the settings dialog's host lines, taken as
    // typed (title " :  " address).
    void applySettings(const Settings& settings, const QStringList& hostLines);
    // Takes a changed value: only what differs is applied; the host list is rebuilt and the
    // countdown restarted only when their values changed.
    void updateSettings(const Settings& settings);

    // Running: the check timer wakes the check cycle. Stopping turns the timer off and marks
    // every host "not answering", so the first pass after the next start reports every
    // answering host again; a pass under way runs to its end. Starting begins a pass at once
    // unless one is under way.
    bool isRunning() const { return m_running; }
    void setRunning(bool running);

    // The check timer's tick: a suspended check cycle begins a pass; a tick during a pass is
    // dropped, never queued.
    void trmAskTimer();
    // The settings dialog keeps the timer off while it is open (Start included), and the
    // status reads paused meanwhile; releasing it starts the countdown anew when the monitor
    // is running.
    void holdTimer();
    void releaseTimer();

    // The hosts' state as a whole, for the tray icon.
    OverallStatus overallStatus() const;

    // The user's regional settings changed: log lines take the new time form.
    void localeChanged();

    // shutdown: the check cycle is stopped (a waiting probe and a pending hand-over are
    // cancelled) and joined; no pass runs after it. Idempotent; the destructor calls it too.
    void stopChecking();

    // CheckSink (the hand-overs, on the main thread).
    void appendLogLine(const QString& line) override;
    void showReport(const QString& report) override;
    void reportTitles(const QStringList& lost, const QStringList& appeared) override;
    void hostChanged(const QString& title, const QString& address, bool appeared,
                     qint64 roundTripUs) override;
    void passEnded(std::uint64_t listGeneration) override;
    QString timeText() override;

signals:
    // A new last line of the event log.
    void logLine(const QString& line);
    // The end of a pass that has something to report: the report text and the same pass's
    // lost and appeared titles, in list order.
    void reportReady(const QString& report, const QStringList& lost, const QStringList& appeared);
    // One reported change, right after its log line.
    void changeReported(const hv::ChangeEvent& change);
    // A pass has ended (with or without a report).
    void passFinished();
    void runningChanged(bool running);
    // settings() was replaced; `previous` is the value before.
    void settingsChanged(const hv::Settings& previous);
    // overallStatus() may read differently now.
    void statusChanged();

private:
    enum class Take { Whole, Changes };
    // rebuild: brings the host list to the new value's, or null to keep it.
    void take(Settings next, const std::function<void()>& rebuild, Take how);
    // Starts, or changes, the history as [History] KeepDays says.
    void applyHistory(int keepDays);
    // A notice of the history's writer, on the main thread: stderr and the event log.
    void historyNotice(const HistoryNotice& notice);

    QString m_exePath;
    QString m_exeDir;
    Settings m_settings;
    bool m_running = true;
    // A pass over the current host list has ended since start, Start or the last rebuild that
    // brought a new or changed host; until then the status reads "checking" rather than every host
    // lost.
    bool m_passOver = false;
    bool m_timerHeld = false;  // holdTimer() until releaseTimer()
    TimeFormat m_timeFormat;
    // The moment the last log line's time was taken: a change carries the same one.
    QDateTime m_lastLogTime;
    QString m_report;  // between showReport and reportTitles of one summary
    ChangeEvents m_changes;
    AskTimer* m_trmAsk = nullptr;
    // What the check cycle uses is declared above it: the cycle is stopped and joined first.
    HostList m_hosts;
    std::function<std::int64_t()> m_historyClock;
    bool m_keepHistory = true;
    // Created on the main thread the first time KeepDays is above 0 and kept until the end; the
    // checking thread reaches it through the atomic pointer.
    std::unique_ptr<HistoryStore> m_history;
    std::atomic<HistoryStore*> m_historyFeed{nullptr};
    std::unique_ptr<CheckCycle> m_cycle;
};

}  // namespace hv
