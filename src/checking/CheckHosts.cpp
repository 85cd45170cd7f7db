#include "checking/CheckHosts.h"

#include <QDateTime>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <optional>
#include <utility>

#include "checking/HostProbes.h"
#include "checking/MainThreadInvoker.h"
#include "hosts/HostList.h"
#include "lang/Languages.h"
#include "platform/Error.h"

namespace hv {

namespace {

// The menu index of host 0: the Table command and a separator come first.
constexpr int kFirstHostItem = 2;
constexpr int kTries = 2;
constexpr int kMaxParallelChecks = 256;
constexpr int kMaxPassesToReport = 100;
// Hosts handed over in one step at most, so the main thread stays responsive.
constexpr std::size_t kMostPerHandOver = 64;

const QString kLineBreak = QStringLiteral("\r\n");
const QString kIndent = QStringLiteral("  ");

bool isBlankText(const QString& text) {
    for (QChar c : text) {
        if (c.unicode() > 0x20) return false;
    }
    return true;
}

}  // namespace

CheckCycle::CheckCycle(HostList& hosts, ProbeFactory probes, CheckSink& sink,
                         MainThreadInvoker& invoker)
    : m_hosts(hosts), m_factory(std::move(probes)), m_sink(sink), m_invoker(invoker) {}

CheckCycle::~CheckCycle() { stop(); }

void CheckCycle::start() {
    std::lock_guard guard(m_lock);
    if (m_thread.joinable() || m_terminated) return;
    m_thread = std::thread(&CheckCycle::run, this);
}

bool CheckCycle::isSuspended() const {
    std::lock_guard guard(m_lock);
    return m_suspended && !m_ended && !m_terminated;
}

void CheckCycle::resume() {
    std::lock_guard guard(m_lock);
    // Clearing the mark here, under the lock the thread marks itself with, means a tick that
    // follows at once finds the pass under way: passes neither overlap nor queue.
    if (!m_suspended || m_ended || m_terminated) return;
    m_suspended = false;
    m_resumeRequested = true;
    m_wake.notify_all();
}

void CheckCycle::resumeForNewList() {
    std::lock_guard guard(m_lock);
    if (m_ended || m_terminated) return;
    if (!m_suspended) {
        // The pass under way walks the old list and stops at the rebuild; without this the
        // new hosts would wait a whole check period.
        m_passAgain = true;
        return;
    }
    m_suspended = false;
    m_resumeRequested = true;
    m_wake.notify_all();
}

void CheckCycle::setParallelChecks(int count) {
    std::lock_guard guard(m_lock);
    m_parallelChecks = std::clamp(count, 1, kMaxParallelChecks);
}

int CheckCycle::parallelChecks() const {
    std::lock_guard guard(m_lock);
    return m_parallelChecks;
}

void CheckCycle::setPassesToReport(int lostAfter, int appearedAfter) {
    std::lock_guard guard(m_lock);
    m_lostAfter = std::clamp(lostAfter, 1, kMaxPassesToReport);
    m_appearedAfter = std::clamp(appearedAfter, 1, kMaxPassesToReport);
}

int CheckCycle::lostAfter() const {
    std::lock_guard guard(m_lock);
    return m_lostAfter;
}

int CheckCycle::appearedAfter() const {
    std::lock_guard guard(m_lock);
    return m_appearedAfter;
}

void CheckCycle::stop() {
    {
        std::lock_guard guard(m_lock);
        m_terminated = true;
        m_wake.notify_all();
    }
    m_cancel.cancel();
    m_invoker.cancel();
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id()) m_thread.join();
}

bool CheckCycle::hasEnded() const {
    std::lock_guard guard(m_lock);
    return m_ended;
}

QString CheckCycle::errorMessage() const {
    std::lock_guard guard(m_lock);
    return m_error;
}

void CheckCycle::setHostChecked(std::function<void(const HostCheckResult&)> callback) {
    std::lock_guard guard(m_lock);
    m_hostChecked = std::move(callback);
}

void CheckCycle::setPassFinished(std::function<void()> callback) {
    std::lock_guard guard(m_lock);
    m_passFinished = std::move(callback);
}

bool CheckCycle::terminated() const {
    std::lock_guard guard(m_lock);
    return m_terminated;
}

void CheckCycle::run() {
    QString message;
    try {
        loop();
        return;
    } catch (const Error& e) {
        message = e.message();
    } catch (const std::exception& e) {
        message = QString::fromUtf8(e.what());
    } catch (...) {
        message = QStringLiteral("unknown error");
    }
    // Nothing shows this error; a user who started the program from a terminal can at least
    // see why the checks stopped. Written before the end is marked, so whoever sees the end
    // finds the line written.
    std::fprintf(stderr, "hostvane: checking stopped: %s\n", message.toLocal8Bit().constData());
    std::fflush(stderr);
    std::lock_guard guard(m_lock);
    m_ended = true;
    m_suspended = false;
    m_error = message;
}

void CheckCycle::loop() {
    {
        std::unique_lock guard(m_lock);
        m_wake.wait(guard, [this] { return m_resumeRequested || m_terminated; });
    }
    for (;;) {
        std::function<void()> passFinished;
        {
            std::lock_guard guard(m_lock);
            m_resumeRequested = false;
            m_passAgain = false;
            if (m_terminated) return;
            passFinished = m_passFinished;
        }
        pass();
        if (terminated()) return;
        if (!m_invoker.invoke([this] { ShowSummary(); })) return;
        if (passFinished) passFinished();

        std::unique_lock guard(m_lock);
        // Marked and tested under one lock: a rebuild either finds the pass under way (and
        // asks for another one) or finds the thread suspended (and resumes it).
        if (m_passAgain) continue;
        m_suspended = true;
        m_wake.wait(guard, [this] { return m_resumeRequested || m_terminated; });
    }
}

void CheckCycle::ensureProbeSets(int count) {
    while (static_cast<int>(m_probeSets.size()) < count) {
        std::unique_ptr<HostProbes> set = m_factory ? m_factory(m_cancel) : nullptr;
        if (!set) throw Error(QStringLiteral("no probes"));
        m_probeSets.push_back(std::move(set));
    }
}

std::optional<HostCheckResult> CheckCycle::checkHost(int index, std::uint64_t generation,
                                                      HostProbes& probes) const {
    // The list was rebuilt: its hosts are not this pass's any more.
    const std::optional<Host> host = m_hosts.hostAt(index, generation);
    if (!host) return std::nullopt;

    HostCheckResult result;
    result.index = index;
    result.title = host->title;
    result.address = host->address;
    const ProbeTarget target = classifyAddress(host->address);
    result.kind = target.kind;
    if (target.kind == ProbeKind::Skip) return result;

    const auto began = std::chrono::steady_clock::now();
    ProbeOutcome outcome;
    for (int attempt = 0; attempt < kTries; ++attempt) {
        if (attempt > 0 && (terminated() || m_hosts.generation() != generation))
            return std::nullopt;
        outcome = probes.tryTarget(target);
        if (outcome.alive) break;
    }
    result.alive = outcome.alive;
    result.roundTripMs = outcome.roundTripMs;
    if (!outcome.alive) result.error = QString::fromStdString(outcome.error);
    result.elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - began)
                           .count();
    // A try cut short by stop() says nothing about the host.
    if (terminated()) return std::nullopt;
    return result;
}

bool CheckCycle::takeResult(const HostCheckResult& result, std::uint64_t generation) {
    // The previous state is the image as it is now: Stop may have changed it while the host
    // was probed.
    const std::optional<bool> turn =
        m_hosts.recordCheck(result.index, generation, result.alive, result.roundTripMs,
                            m_passLostAfter, m_passAppearedAfter);
    if (!turn) return false;
    if (*turn) {
        CurrentIndex = result.index + kFirstHostItem;
        HostAlive = result.alive;
        HostRoundTripMs = result.roundTripMs;
        ReportChange(generation);
    }
    return true;
}

bool CheckCycle::handOver(const HostCheckResult& result, std::uint64_t generation,
                           const std::function<void(const HostCheckResult&)>& hostChecked) {
    if (terminated()) return false;
    CurrentIndex = result.index + kFirstHostItem;
    if (result.kind != ProbeKind::Skip) {
        HostAlive = result.alive;
        // Every checked host goes over, changed or not: its figures live on the main thread.
        bool taken = false;
        if (!m_invoker.invoke([&] {
                const TextsScope texts(m_texts);
                taken = takeResult(result, generation);
            }))
            return false;
        if (!taken) return false;
    }
    if (hostChecked) hostChecked(result);
    return true;
}

void CheckCycle::pass() {
    std::function<void(const HostCheckResult&)> hostChecked;
    int width = 1;
    {
        std::lock_guard guard(m_lock);
        hostChecked = m_hostChecked;
        width = m_parallelChecks;
        m_passLostAfter = m_lostAfter;
        m_passAppearedAfter = m_appearedAfter;
    }
    // Taken in this order, a rebuild in between only makes the first hostAt() fail.
    const std::uint64_t generation = m_hosts.generation();
    PassGeneration = generation;
    const int count = m_hosts.count();
    if (count <= 0) return;
    width = std::min(width, count);
    ensureProbeSets(width);
    // Sets a narrower pass does not use go, with whatever they hold open.
    m_probeSets.resize(static_cast<std::size_t>(width));
    for (const auto& set : m_probeSets) set->setConcurrent(width > 1);

    if (width == 1) {
        for (int index = 0; index < count; ++index) {
            if (terminated()) return;
            CurrentIndex = index + kFirstHostItem;
            const std::optional<HostCheckResult> result =
                checkHost(index, generation, *m_probeSets.front());
            if (!result || !handOver(*result, generation, hostChecked)) return;
        }
        return;
    }

    // Workers take the hosts in list order and leave each result in its slot; this thread
    // hands the slots over in list order as they fill.
    std::mutex lock;
    std::condition_variable filled;
    int next = 0;        // the next host a worker takes
    bool ended = false;  // no more hosts are taken: the pass is over or cut short
    std::vector<std::optional<HostCheckResult>> results(static_cast<std::size_t>(count));
    std::vector<char> done(static_cast<std::size_t>(count), 0);

    std::vector<std::thread> workers;
    workers.reserve(static_cast<std::size_t>(width));
    auto endWorkers = [&] {
        {
            std::lock_guard guard(lock);
            ended = true;
        }
        filled.notify_all();
        for (std::thread& t : workers) t.join();
        workers.clear();
    };
    struct JoinAtExit {
        std::function<void()> f;
        ~JoinAtExit() { f(); }
    } joinAtExit{endWorkers};

    for (int w = 0; w < width; ++w) {
        // Hosts that answer at once may all be taken before the last worker would start.
        {
            std::lock_guard guard(lock);
            if (ended || next >= count) break;
        }
        HostProbes* probes = m_probeSets[static_cast<std::size_t>(w)].get();
        workers.emplace_back([&, probes] {
            for (;;) {
                int index = 0;
                {
                    std::lock_guard guard(lock);
                    if (ended || next >= count) return;
                    index = next++;
                }
                std::optional<HostCheckResult> result = checkHost(index, generation, *probes);
                const bool stopHere = !result;
                {
                    std::lock_guard guard(lock);
                    results[static_cast<std::size_t>(index)] = std::move(result);
                    done[static_cast<std::size_t>(index)] = 1;
                    if (stopHere) ended = true;
                }
                filled.notify_all();
                if (stopHere) return;
            }
        });
    }

    int index = 0;
    while (index < count) {
        // Every result that is ready in list order goes over in one hand-over: the main thread
        // wakes once for many hosts, and each waits for every host before it all the same.
        std::vector<HostCheckResult> batch;
        bool cut = false;
        {
            std::unique_lock guard(lock);
            // Every taken host fills its slot once its probe returns, and stop() makes every
            // waiting probe return at once.
            filled.wait(guard, [&] { return done[static_cast<std::size_t>(index)] != 0; });
            while (index < count && done[static_cast<std::size_t>(index)] != 0 &&
                   batch.size() < kMostPerHandOver) {
                const std::optional<HostCheckResult>& result =
                    results[static_cast<std::size_t>(index)];
                if (!result) {
                    cut = true;
                    break;
                }
                batch.push_back(*result);
                ++index;
            }
        }
        if (!handOverBatch(batch, generation, hostChecked) || cut) return;
    }
}

bool CheckCycle::handOverBatch(const std::vector<HostCheckResult>& batch, std::uint64_t generation,
                                const std::function<void(const HostCheckResult&)>& hostChecked) {
    if (terminated()) return false;
    const bool anyChecked = std::any_of(batch.begin(), batch.end(), [](const HostCheckResult& r) {
        return r.kind != ProbeKind::Skip;
    });
    std::size_t handed = batch.size();
    if (anyChecked) {
        handed = 0;
        // The change test is made here, on the main thread, against the images as they are at
        // the hand-over: Stop may have changed them meanwhile.
        const bool ran = m_invoker.invoke([&] {
            const TextsScope texts(m_texts);
            for (const HostCheckResult& r : batch) {
                if (r.kind != ProbeKind::Skip && !takeResult(r, generation)) return;
                ++handed;
            }
        });
        if (!ran) return false;
    }
    if (hostChecked) {
        for (std::size_t i = 0; i < handed; ++i) hostChecked(batch[i]);
    }
    return handed == batch.size();
}

const CheckCycle::HandOverTexts& CheckCycle::handOverTexts() {
    if (!m_texts) {
        m_texts = HandOverTexts{QDateTime::currentDateTime(), m_sink.timeText(),
                                langMessage(QStringLiteral("AppearHost")),
                                langMessage(QStringLiteral("LoseHost"))};
    }
    return *m_texts;
}

void CheckCycle::ReportChange(std::uint64_t generation) {
    // Reached the main thread after a rebuild: the host it names is gone.
    if (m_hosts.generation() != generation) return;
    const int index = CurrentIndex - kFirstHostItem;
    const std::optional<Host> host = m_hosts.hostAt(index, generation);
    if (!host) return;

    const QString& title = host->title;
    const HandOverTexts& texts = handOverTexts();
    m_hosts.setLastChange(index, texts.now);
    if (HostAlive) {
        m_hosts.setStateImage(index, kImageAnswered);
        AppearedText += kLineBreak + kIndent + title;
        AppearedTitles << title;
    } else {
        m_hosts.setStateImage(index, kImageNotAnswering);
        LostText += kLineBreak + kIndent + title;
        LostTitles << title;
    }
    m_sink.appendLogLine(texts.time + QStringLiteral(". ") +
                         (HostAlive ? texts.appeared : texts.lost) + QStringLiteral(" ") + title);
    m_sink.hostChanged(title, host->address, HostAlive, HostAlive ? HostRoundTripMs : -1);
}

void CheckCycle::ShowSummary() {
    QString report;
    if (!isBlankText(LostText)) {
        report += langMessage(QStringLiteral("LoseHosts")) + LostText + kLineBreak + kLineBreak;
    }
    if (!isBlankText(AppearedText)) {
        report += langMessage(QStringLiteral("AppearHosts")) + AppearedText;
    }
    AppearedText.clear();
    LostText.clear();
    const QStringList lost = std::exchange(LostTitles, {});
    const QStringList appeared = std::exchange(AppearedTitles, {});
    m_sink.passEnded(PassGeneration);
    if (report.isEmpty()) return;
    m_sink.showReport(report);
    m_sink.reportTitles(lost, appeared);
}

}  // namespace hv
