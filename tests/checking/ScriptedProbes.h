#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "checking/CheckCycle.h"
#include "checking/Probe.h"
#include "platform/CancelHandle.h"
#include "platform/Error.h"

namespace hvtest {

// What one scripted try does.
enum class Answer {
    Up,
    Down,
    Throw,       // an hv::Error, as the real probes' errors are
    ThrowStd,    // a std::runtime_error
    ThrowOther,  // something that is no std::exception at all
    Hold,        // waits until release() or the cancel handle, then Up (Down when cancelled)
    Slow,        // waits up to 30 s on the cancel handle, then Down: a host that never answers
    Gate,        // waits until openGateAt()'s count of tries were under way at one time, then Up;
                 // Down when the cancel handle or 15 s come first (the gate then opens for all)
};

struct ProbeCall {
    std::string host;
    hv::ProbeKind kind;
};

// Probes that answer from a script per host (one answer per try, the last one repeating;
// unscripted hosts are down) and record every call in order.
class ScriptedProbes : public hv::Probe {
public:
    void watch(const hv::CancelHandle& cancel) { m_cancel = &cancel; }

    void script(const std::string& host, std::vector<Answer> answers) {
        std::lock_guard guard(m_lock);
        m_scripts[host] = std::move(answers);
        m_used[host] = 0;
    }

    std::vector<ProbeCall> calls() const {
        std::lock_guard guard(m_lock);
        return m_calls;
    }
    std::vector<std::string> hostsCalled() const {
        std::vector<std::string> out;
        for (const ProbeCall& c : calls()) out.push_back(c.host);
        return out;
    }
    void clearCalls() {
        std::lock_guard guard(m_lock);
        m_calls.clear();
    }

    // The host's tries wait this long (ending early, down, when the cycle is stopped) before
    // they answer: hosts that finish out of list order.
    void delay(const std::string& host, int ms) {
        std::lock_guard guard(m_lock);
        m_delays[host] = ms;
    }
    // The host's tries say they went to this address, as a probe that resolved a name does.
    void resolve(const std::string& host, const std::string& address) {
        std::lock_guard guard(m_lock);
        m_addresses[host] = address;
    }
    // The most tries that were under way at one time.
    int mostAtOnce() const { return m_mostAtOnce.load(); }

    // Gate answers wait until this many tries were under way at one time.
    void openGateAt(int tries) { m_gateAt = tries; }
    // A Gate answer gave up waiting: fewer tries than openGateAt() ever ran at once.
    bool gateTimedOut() const { return m_gateTimedOut.load(); }

    bool isHeld() const { return m_held.load(); }
    void release() {
        std::lock_guard guard(m_lock);
        m_released = true;
        m_releasedCv.notify_all();
    }

    hv::ProbeOutcome tryTarget(const hv::ProbeTarget& target) override {
        hv::ProbeOutcome outcome(answer(target.host, target.kind));
        std::lock_guard guard(m_lock);
        if (auto a = m_addresses.find(target.host); a != m_addresses.end())
            outcome.address = a->second;
        return outcome;
    }

private:
    bool answer(const std::string& host, hv::ProbeKind kind) {
        const int now = ++m_atOnce;
        int most = m_mostAtOnce.load();
        while (now > most && !m_mostAtOnce.compare_exchange_weak(most, now)) {
        }
        struct Leave {
            std::atomic<int>& n;
            ~Leave() { --n; }
        } leave{m_atOnce};
        return scriptedAnswer(host, kind);
    }

    bool scriptedAnswer(const std::string& host, hv::ProbeKind kind) {
        Answer a = Answer::Down;
        int delayMs = 0;
        {
            std::lock_guard guard(m_lock);
            m_calls.push_back({host, kind});
            if (auto d = m_delays.find(host); d != m_delays.end()) delayMs = d->second;
            auto it = m_scripts.find(host);
            if (it != m_scripts.end() && !it->second.empty()) {
                std::size_t& used = m_used[host];
                a = it->second[std::min(used, it->second.size() - 1)];
                ++used;
            }
        }
        if (delayMs > 0 && m_cancel && m_cancel->waitFor(delayMs)) return false;
        switch (a) {
            case Answer::Up:
                return true;
            case Answer::Down:
                return false;
            case Answer::Throw:
                throw hv::Error(QStringLiteral("Host not found"));
            case Answer::ThrowStd:
                throw std::runtime_error("Route lost");
            case Answer::ThrowOther:
                throw 42;
            case Answer::Hold:
                return hold();
            case Answer::Slow:
                if (m_cancel) m_cancel->waitFor(30000);
                return false;
            case Answer::Gate:
                return gate();
        }
        return false;
    }

    bool hold() {
        m_held = true;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        std::unique_lock guard(m_lock);
        while (!m_released && std::chrono::steady_clock::now() < deadline) {
            if (m_cancel && m_cancel->isCancelled()) break;
            m_releasedCv.wait_for(guard, std::chrono::milliseconds(5));
        }
        m_held = false;
        const bool released = m_released;
        m_released = false;
        return released;
    }

    bool gate() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (m_mostAtOnce.load() < m_gateAt.load() && !m_gateTimedOut.load()) {
            if (m_cancel && m_cancel->isCancelled()) return false;
            if (std::chrono::steady_clock::now() >= deadline) {
                m_gateTimedOut = true;  // the others need not wait out their own deadline
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return !m_gateTimedOut.load();
    }

    const hv::CancelHandle* m_cancel = nullptr;
    mutable std::mutex m_lock;
    std::condition_variable m_releasedCv;
    std::map<std::string, std::vector<Answer>> m_scripts;
    std::map<std::string, std::size_t> m_used;
    std::map<std::string, int> m_delays;
    std::map<std::string, std::string> m_addresses;
    std::atomic<int> m_atOnce{0};
    std::atomic<int> m_mostAtOnce{0};
    std::vector<ProbeCall> m_calls;
    std::atomic<bool> m_held{false};
    std::atomic<int> m_gateAt{0};
    std::atomic<bool> m_gateTimedOut{false};
    bool m_released = false;
};

// A probe per concurrent check that forwards to one shared (thread-safe) probe object.
class ForwardingProbes : public hv::Probe {
public:
    explicit ForwardingProbes(hv::Probe& to) : m_to(to) {}
    hv::ProbeOutcome tryTarget(const hv::ProbeTarget& target) override {
        return m_to.tryTarget(target);
    }

private:
    hv::Probe& m_to;
};

inline hv::ProbeFactory sharedProbes(hv::Probe& probes) {
    return
        [&probes](const hv::CancelHandle&) { return std::make_unique<ForwardingProbes>(probes); };
}

// The windows' side of the hand-overs, recorded; runs on the main thread only.
class RecordingSink : public hv::CheckSink {
public:
    void appendLogLine(const QString& line) override {
        if (!failLog.isEmpty()) throw hv::Error(failLog);
        if (onLog) onLog(line);
        lines << line;
    }
    void showReport(const QString& report) override { reports << report; }
    void reportTitles(const QStringList& lost, const QStringList& appeared) override {
        titles << lost.join('|') + QStringLiteral(" / ") + appeared.join('|');
    }
    QString timeText() override { return QStringLiteral("14:05:09"); }
    void passEnded(std::uint64_t listGeneration) override { passGenerations << listGeneration; }

    QStringList lines;
    QStringList reports;
    QStringList titles;  // per report: "lost|lost / appeared|appeared"
    QString failLog;     // when set, appendLogLine throws it
    std::function<void(const QString&)> onLog;
    // Per summary: the generation of the host list the pass walked.
    QList<std::uint64_t> passGenerations;
};

// Runs the main thread's event loop (so hand-overs are served) until pred holds or timeoutMs
// has passed; returns pred().
template <typename Pred>
bool pumpUntil(Pred pred, int timeoutMs = 10000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pred()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace hvtest
