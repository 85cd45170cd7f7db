#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "checking/MainThreadInvoker.h"
#include "checking/Probe.h"
#include "checking/ProbeKinds.h"
#include "platform/CancelHandle.h"

namespace hv {

class HostList;

// What the hand-overs do on the main thread beyond the host list's state images.
class CheckSink {
public:
    virtual ~CheckSink() = default;
    // A new last line of memLog.
    virtual void appendLogLine(const QString& line) = 0;
    // memReport := report; positionReport; show without activating; enable tmrHide.
    virtual void showReport(const QString& report) = 0;
    // Time text of a log line, from the user's locale.
    virtual QString timeText() = 0;
    // Right after showReport: the same pass's lost and appeared titles, in list order, for a
    // sink that shows them another way too (a desktop notification).
    virtual void reportTitles(const QStringList& lost, const QStringList& appeared) {
        (void)lost;
        (void)appeared;
    }
    // Right after a change's log line: the change itself, for a sink that keeps the changes
    // as data. roundTripUs is the answering try's round trip, -1 for a lost host.
    virtual void hostChanged(const QString& title, const QString& address, bool appeared,
                             qint64 roundTripUs) {
        (void)title;
        (void)address;
        (void)appeared;
        (void)roundTripUs;
    }
    // In every summary, before the report if there is one: the pass over the host list of
    // that generation (HostList::generation) has ended.
    virtual void passEnded(std::uint64_t listGeneration) { (void)listGeneration; }
};

// One host's outcome in a pass: what the main-thread step of the hand-over gets, and what the
// check-once mode is told (on the checking thread).
struct HostCheckResult {
    int index = 0;  // host index (menu item index - 2)
    QString title;
    QString address;
    ProbeKind kind = ProbeKind::Skip;
    bool alive = false;
    qint64 elapsedMs = 0;     // both tries, from the first one's start
    qint64 roundTripUs = -1;  // the answering try's round trip; -1 when down or skipped
    QString error;            // the last failed try's message when down; may be empty
    QString checkedAddress;   // the address the last try went to; empty when none was reached
    int port = 0;             // the port a connect went to; 0 for an echo
};

// The checking thread: passes over the host list, two tries per host, every checked host's
// outcome handed to the main thread (the host's figures, and a change report once the outcome
// has differed from the reported state for lostAfter/appearedAfter passes in a row), a summary
// at the end of each pass, then suspended until resumed.
//
// With parallelChecks() above 1 a pass checks that many hosts at once, each on a worker thread
// of the pass with a probe of its own, while this thread hands the results over strictly in
// list order: a host's change report waits for every host before it, so the log, the images
// and the report read as if the hosts had been checked one after another. With 1 the hosts
// are checked on this thread, one after another.
//
// The hand-overs run on the thread that creates the cycle (the main thread); they get what
// they need as arguments, and the pass's report is kept and built there alone.
class CheckCycle {
public:
    CheckCycle(HostList& hosts, ProbeFactory probes, CheckSink& sink);
    // Stops and joins; needs no stop() before.
    ~CheckCycle();
    CheckCycle(const CheckCycle&) = delete;
    CheckCycle& operator=(const CheckCycle&) = delete;

    // The cancel handle every probe wait watches.
    CancelHandle& cancelHandle() { return m_cancel; }

    // Creates the thread, suspended (it runs no pass before resume()).
    void start();
    // Marked suspended: waiting between passes (or not yet started).
    bool isSuspended() const;
    // Begins a pass when the thread is suspended; does nothing during a pass or once the
    // thread has ended or been stopped.
    void resume();
    // After the host list was rebuilt: as resume(), but a pass under way (which stops handing
    // over at the rebuild) is followed at once by a pass over the new list.
    void resumeForNewList();
    // Any thread: how many hosts a pass checks at once (brought into the bounds of [CheckParams]
    // ParallelChecks); a pass under way
    // keeps the number it began with.
    void setParallelChecks(int count);
    int parallelChecks() const;
    // Any thread: passes in a row that must fail before an answering host is reported lost,
    // and answer before a host not answering is reported appeared (each brought into the bounds
    // of its [CheckParams] key; 1 and 1: every change is reported at once). A pass under way keeps
    // the numbers it began with.
    void setPassesToReport(int lostAfter, int appearedAfter);
    // Any thread: the family names resolve in ([CheckParams] IpVersion); literal addresses keep
    // their own. Hosts checked after the call use it.
    void setNamesFamily(AddressFamily family);
    AddressFamily namesFamily() const;
    int lostAfter() const;
    int appearedAfter() const;
    // Terminate request, cancels a waiting probe and a pending hand-over, joins. Final: the
    // cancel handle and the hand-overs stay cancelled. Never call it from inside a hand-over.
    void stop();
    // Set when an error ended the loop; its message is also written to stderr.
    bool hasEnded() const;
    QString errorMessage() const;

    // Called on the checking thread after each checked or skipped host of a pass.
    void setHostChecked(std::function<void(const HostCheckResult&)> callback);
    // Called on the checking thread after each pass's summary.
    void setPassFinished(std::function<void()> callback);

private:
    // What every hand-over of a pass carries besides its results: the host list's generation
    // the pass walks and the numbers it began with.
    struct PassRules {
        std::uint64_t generation = 0;
        int lostAfter = 1;
        int appearedAfter = 1;
    };
    using HostChecked = std::function<void(const HostCheckResult&)>;

    void run();
    void loop();
    // One pass; returns the generation of the list it walked.
    std::uint64_t pass();
    bool terminated() const;
    // Probes the host at index; nothing when the list was rebuilt or the thread stopped
    // meanwhile. Runs on the checking thread or a worker of the pass.
    std::optional<HostCheckResult> checkHost(int index, std::uint64_t generation,
                                             Probe& probe) const;
    // The hand-over of one checked host, on the checking thread; false when the pass must end
    // (stopped, rebuilt, hand-over cancelled).
    bool handOver(const HostCheckResult& result, const PassRules& rules,
                  const HostChecked& hostChecked);
    // The same for results in list order that are ready together, in one hand-over (parallel
    // passes only).
    bool handOverBatch(const std::vector<HostCheckResult>& batch, const PassRules& rules,
                       const HostChecked& hostChecked);
    void ensureProbes(int count);

    // Main thread, inside a hand-over: the figures and the change test of one checked host;
    // false when the list was rebuilt.
    bool takeResult(const HostCheckResult& result, const PassRules& rules);
    void reportChange(const HostCheckResult& result, std::uint64_t generation);
    void showSummary(std::uint64_t generation);

    // What the changes of one hand-over share: they happen at one moment, and reading the
    // clock, the time zone and the language file once per change cost a pass over hundreds
    // of hosts more than its probes did. Main thread, inside a hand-over only.
    struct HandOverTexts {
        QDateTime now;
        QString time;
        QString appeared;  // "AppearHost"
        QString lost;      // "LoseHost"
    };
    struct TextsScope {
        explicit TextsScope(std::optional<HandOverTexts>& t) : texts(t) {}
        ~TextsScope() { texts.reset(); }
        std::optional<HandOverTexts>& texts;
    };
    const HandOverTexts& handOverTexts();

    // The pass's changes so far, for its summary. Main thread only.
    struct PassReport {
        QString lostText;  // CR LF, two blanks and the title, per lost host
        QString appearedText;
        QStringList lostTitles;  // the same titles, one per entry
        QStringList appearedTitles;
    };

    HostList& m_hosts;
    ProbeFactory m_factory;
    CheckSink& m_sink;
    std::optional<HandOverTexts> m_texts;  // main thread
    PassReport m_report;                   // main thread

    // What the thread uses lives before it, so it is destroyed only once the thread is joined.
    MainThreadInvoker m_invoker;
    CancelHandle m_cancel;
    std::vector<std::unique_ptr<Probe>> m_probes;  // the checking thread's

    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_suspended = true;
    bool m_resumeRequested = false;
    bool m_passAgain = false;  // the list was rebuilt during the pass under way
    int m_parallelChecks = 1;
    int m_lostAfter = 1;
    int m_appearedAfter = 1;
    std::atomic<AddressFamily> m_namesFamily{AddressFamily::IPv4};
    bool m_terminated = false;
    bool m_ended = false;
    QString m_error;
    HostChecked m_hostChecked;
    std::function<void()> m_passFinished;
    std::thread m_thread;
};

}  // namespace hv
