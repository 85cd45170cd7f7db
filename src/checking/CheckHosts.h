#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "checking/AddressKind.h"
#include "platform/CancelHandle.h"

namespace hv {

class HostList;
class HostProbes;
class MainThreadInvoker;

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
    // as data. roundTripMs is the answering try's round trip, -1 for a lost host.
    virtual void hostChanged(const QString& title, const QString& address, bool appeared,
                             qint64 roundTripMs) {
        (void)title;
        (void)address;
        (void)appeared;
        (void)roundTripMs;
    }
    // In every ShowSummary, before the report if there is one: the pass over the host list of
    // that generation (HostList::generation) has ended.
    virtual void passEnded(std::uint64_t listGeneration) { (void)listGeneration; }
};

// One host's outcome in a pass, for the check-once mode (called on the checking thread).
struct HostCheckResult {
    int index = 0;  // host index (menu item index - 2)
    QString title;
    QString address;
    ProbeKind kind = ProbeKind::Skip;
    bool alive = false;
    qint64 elapsedMs = 0;     // both tries, from the first one's start
    qint64 roundTripMs = -1;  // the answering try's round trip; -1 when down or skipped
    QString error;            // the last failed try's message when down; may be empty
};

// The checking thread: passes over the host list, two tries per host, every checked host's
// outcome handed to the main thread (the host's figures, and a change report once the outcome
// has differed from the reported state for lostAfter/appearedAfter passes in a row), a summary
// at the end of each pass, then suspended until resumed.
//
// With parallelChecks() above 1 a pass checks that many hosts at once, each on a worker thread
// of the pass with a probe set of its own, while this thread hands the results over strictly
// in list order: a host's ReportChange waits for every host before it, so the log, the images
// and the report read as if the hosts had been checked one after another. With 1 the hosts
// are checked on this thread, one after another.
class CheckCycle {
public:
    // Called on the checking thread for each probe set a pass needs (one per concurrent
    // check, kept for later passes); the probes must watch the given cancel handle.
    using ProbeFactory = std::function<std::unique_ptr<HostProbes>(const CancelHandle&)>;

    CheckCycle(HostList& hosts, ProbeFactory probes, CheckSink& sink, MainThreadInvoker& invoker);
    ~CheckCycle();  // stops and joins

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
    // Any thread: how many hosts a pass checks at once (brought into 1..256); a pass under way
    // keeps the number it began with.
    void setParallelChecks(int count);
    int parallelChecks() const;
    // Any thread: passes in a row that must fail before an answering host is reported lost,
    // and answer before a host not answering is reported appeared (each brought into 1..100;
    // 1 and 1: every change is reported at once). A pass under way keeps the numbers it began
    // with.
    void setPassesToReport(int lostAfter, int appearedAfter);
    int lostAfter() const;
    int appearedAfter() const;
    // Terminate request, cancels a waiting probe and a pending hand-over, joins. Final: the
    // cancel handle and the invoker stay cancelled. Never call it from inside a hand-over.
    void stop();
    // Set when an error ended the loop; its message is also written to stderr.
    bool hasEnded() const;
    QString errorMessage() const;

    // Called on the checking thread after each checked or skipped host of a pass.
    void setHostChecked(std::function<void(const HostCheckResult&)> callback);
    // Called on the checking thread after each pass's ShowSummary.
    void setPassFinished(std::function<void()> callback);

    // Fields of the pass; touched by the main thread only inside the hand-overs.
    QString LostText;
    QString AppearedText;
    QStringList LostTitles;  // the same titles, one per entry
    QStringList AppearedTitles;
    int CurrentIndex = 0;  // menu index of the host being checked (2 and up)
    bool HostAlive = false;
    qint64 HostRoundTripMs = -1;  // the round trip of the result HostAlive came from
    // The host list's generation the pass walks.
    std::uint64_t PassGeneration = 0;

private:
    void run();
    void loop();
    void pass();
    bool terminated() const;
    // Probes the host at index with one probe set; nothing when the list was rebuilt or the
    // thread stopped meanwhile. Runs on the checking thread or a worker of the pass.
    std::optional<HostCheckResult> checkHost(int index, std::uint64_t generation,
                                             HostProbes& probes) const;
    // Main thread, inside a hand-over: the figures and the change test of one checked host;
    // false when the list was rebuilt.
    bool takeResult(const HostCheckResult& result, std::uint64_t generation);
    // The hand-over of one checked host, on the checking thread; false when the pass must end
    // (stopped, rebuilt, hand-over cancelled).
    bool handOver(const HostCheckResult& result, std::uint64_t generation,
                  const std::function<void(const HostCheckResult&)>& hostChecked);
    // The same for results in list order that are ready together, in one hand-over (parallel
    // passes only).
    bool handOverBatch(const std::vector<HostCheckResult>& batch, std::uint64_t generation,
                       const std::function<void(const HostCheckResult&)>& hostChecked);
    void ensureProbeSets(int count);
    void ReportChange(std::uint64_t generation);

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
    std::optional<HandOverTexts> m_texts;
    void ShowSummary();

    HostList& m_hosts;
    ProbeFactory m_factory;
    std::vector<std::unique_ptr<HostProbes>> m_probeSets;  // the checking thread's
    CheckSink& m_sink;
    MainThreadInvoker& m_invoker;
    CancelHandle m_cancel;

    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_suspended = true;
    bool m_resumeRequested = false;
    bool m_passAgain = false;  // the list was rebuilt during the pass under way
    int m_parallelChecks = 1;
    int m_lostAfter = 1;
    int m_appearedAfter = 1;
    // The numbers of the pass under way: written by the checking thread before the pass,
    // read by the main thread inside its hand-overs.
    int m_passLostAfter = 1;
    int m_passAppearedAfter = 1;
    bool m_terminated = false;
    bool m_ended = false;
    QString m_error;
    std::function<void(const HostCheckResult&)> m_hostChecked;
    std::function<void()> m_passFinished;
    std::thread m_thread;
};

}  // namespace hv
