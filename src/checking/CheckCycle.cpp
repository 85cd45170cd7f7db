#include "checking/CheckCycle.h"

#include <QDateTime>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <optional>
#include <utility>

#include "checking/AddressKind.h"
#include "hosts/HostList.h"
#include "hosts/Settings.h"
#include "lang/Languages.h"
#include "platform/Error.h"

namespace hv {

namespace {

constexpr int kTries = 2;
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

QString messageOf(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const Error& e) {
        return e.message();
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
    }
    return QStringLiteral("unknown error");
}

}  // namespace

CheckCycle::CheckCycle(HostList& hosts, ProbeFactory probes, CheckSink& sink)
    : m_hosts(hosts), m_factory(std::move(probes)), m_sink(sink) {}

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
    static const SettingsKey& bounds =
        settingsKey(QStringLiteral("CheckParams"), QStringLiteral("ParallelChecks"));
    m_parallelChecks = bounds.clamp(count);
}

int CheckCycle::parallelChecks() const {
    std::lock_guard guard(m_lock);
    return m_parallelChecks;
}

void CheckCycle::setNamesFamily(AddressFamily family) { m_namesFamily = family; }

AddressFamily CheckCycle::namesFamily() const { return m_namesFamily; }

void CheckCycle::setPassesToReport(int lostAfter, int appearedAfter) {
    std::lock_guard guard(m_lock);
    static const SettingsKey& lostBounds =
        settingsKey(QStringLiteral("CheckParams"), QStringLiteral("LostAfter"));
    static const SettingsKey& appearedBounds =
        settingsKey(QStringLiteral("CheckParams"), QStringLiteral("AppearedAfter"));
    m_lostAfter = lostBounds.clamp(lostAfter);
    m_appearedAfter = appearedBounds.clamp(appearedAfter);
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
    // A hand-over waiting for the main thread would never run while it joins here.
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
    } catch (...) {
        message = messageOf(std::current_exception());
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
        const std::uint64_t generation = pass();
        if (terminated()) return;
        if (!m_invoker.invoke([this, generation] { showSummary(generation); })) return;
        if (passFinished) passFinished();

        std::unique_lock guard(m_lock);
        // Marked and tested under one lock: a rebuild either finds the pass under way (and
        // asks for another one) or finds the thread suspended (and resumes it).
        if (m_passAgain) continue;
        m_suspended = true;
        m_wake.wait(guard, [this] { return m_resumeRequested || m_terminated; });
    }
}

void CheckCycle::ensureProbes(int count) {
    while (static_cast<int>(m_probes.size()) < count) {
        std::unique_ptr<Probe> probe = m_factory ? m_factory(m_cancel) : nullptr;
        if (!probe) throw Error(QStringLiteral("no probes"));
        m_probes.push_back(std::move(probe));
    }
}

std::optional<HostCheckResult> CheckCycle::checkHost(int index, std::uint64_t generation,
                                                     Probe& probe) const {
    // The list was rebuilt: its hosts are not this pass's any more.
    const std::optional<Host> host = m_hosts.hostAt(index, generation);
    if (!host) return std::nullopt;

    HostCheckResult result;
    result.index = index;
    result.title = host->title;
    result.address = host->address;
    const ProbeTarget target = classifyAddress(host->address, m_namesFamily);
    result.kind = target.kind;
    if (target.kind == ProbeKind::Skip) return result;

    const auto began = std::chrono::steady_clock::now();
    ProbeOutcome outcome;
    for (int attempt = 0; attempt < kTries; ++attempt) {
        if (attempt > 0 && (terminated() || m_hosts.generation() != generation))
            return std::nullopt;
        // Whatever the probe throws fails this try alone.
        outcome = tryProbe(probe, target);
        // A malformed address fails the same way every time.
        if (outcome.alive || !target.error.empty()) break;
    }
    result.alive = outcome.alive;
    result.roundTripUs = outcome.roundTripUs;
    result.checkedAddress = QString::fromStdString(outcome.address);
    result.port = target.port;
    if (!outcome.alive) result.error = QString::fromStdString(outcome.error);
    result.elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - began)
                           .count();
    // A try cut short by stop() says nothing about the host.
    if (terminated()) return std::nullopt;
    return result;
}

namespace {

// The checked address as a user would write it again: a connect's port after it, an IPv6
// address in brackets then.
QString checkedEndpoint(const HostCheckResult& result) {
    if (result.checkedAddress.isEmpty() || result.port <= 0) return result.checkedAddress;
    const QString host = result.checkedAddress.contains(u':') ? u'[' + result.checkedAddress + u']'
                                                              : result.checkedAddress;
    return host + u':' + QString::number(result.port);
}

}  // namespace

bool CheckCycle::takeResult(const HostCheckResult& result, const PassRules& rules) {
    // The previous state is the image as it is now: Stop may have changed it while the host
    // was probed.
    const std::optional<bool> turn = m_hosts.recordCheck(
        result.index, rules.generation, result.alive, result.roundTripUs, rules.lostAfter,
        rules.appearedAfter, checkedEndpoint(result), result.error);
    if (!turn) return false;
    if (*turn) reportChange(result, rules.generation);
    return true;
}

bool CheckCycle::handOver(const HostCheckResult& result, const PassRules& rules,
                          const HostChecked& hostChecked) {
    if (terminated()) return false;
    if (result.kind != ProbeKind::Skip) {
        // Every checked host goes over, changed or not: its figures live on the main thread.
        bool taken = false;
        if (!m_invoker.invoke([&] {
                const TextsScope texts(m_texts);
                taken = takeResult(result, rules);
            }))
            return false;
        if (!taken) return false;
    }
    if (hostChecked) hostChecked(result);
    return true;
}

std::uint64_t CheckCycle::pass() {
    HostChecked hostChecked;
    int width = 1;
    PassRules rules;
    {
        std::lock_guard guard(m_lock);
        hostChecked = m_hostChecked;
        width = m_parallelChecks;
        rules.lostAfter = m_lostAfter;
        rules.appearedAfter = m_appearedAfter;
    }
    // Taken in this order, a rebuild in between only makes the first hostAt() fail.
    rules.generation = m_hosts.generation();
    const int count = m_hosts.count();
    if (count <= 0) return rules.generation;
    width = std::min(width, count);
    ensureProbes(width);
    // Probes a narrower pass does not use go, with whatever they hold open.
    m_probes.resize(static_cast<std::size_t>(width));
    for (const auto& probe : m_probes) probe->setConcurrent(width > 1);

    if (width == 1) {
        for (int index = 0; index < count; ++index) {
            if (terminated()) break;
            const std::optional<HostCheckResult> result =
                checkHost(index, rules.generation, *m_probes.front());
            if (!result || !handOver(*result, rules, hostChecked)) break;
        }
        return rules.generation;
    }

    // Workers take the hosts in list order and leave each result in its slot; this thread
    // hands the results over in list order as they fill.
    struct Slot {
        bool done = false;
        std::optional<HostCheckResult> result;  // none: the pass is cut short here
        std::exception_ptr error;               // what a worker met outside the probes
    };
    std::mutex lock;
    std::condition_variable filled;
    int next = 0;        // the next host a worker takes
    bool ended = false;  // no more hosts are taken: the pass is over or cut short
    std::vector<Slot> results(static_cast<std::size_t>(count));

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
        Probe* probe = m_probes[static_cast<std::size_t>(w)].get();
        workers.emplace_back([&, probe] {
            for (;;) {
                int index = 0;
                {
                    std::lock_guard guard(lock);
                    if (ended || next >= count) return;
                    index = next++;
                }
                // An exception must not leave a worker: it would end the program. It ends the
                // pass instead, on the checking thread, as it would in a sequential pass.
                Slot slot;
                try {
                    slot.result = checkHost(index, rules.generation, *probe);
                } catch (...) {
                    slot.error = std::current_exception();
                }
                const bool stopHere = !slot.result;
                {
                    std::lock_guard guard(lock);
                    slot.done = true;
                    results[static_cast<std::size_t>(index)] = std::move(slot);
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
        std::exception_ptr error;
        {
            std::unique_lock guard(lock);
            // Every taken host fills its slot once its probe returns, and stop() makes every
            // waiting probe return at once.
            filled.wait(guard, [&] { return results[static_cast<std::size_t>(index)].done; });
            while (index < count && results[static_cast<std::size_t>(index)].done &&
                   batch.size() < kMostPerHandOver) {
                const Slot& slot = results[static_cast<std::size_t>(index)];
                if (!slot.result) {
                    cut = true;
                    error = slot.error;
                    break;
                }
                batch.push_back(*slot.result);
                ++index;
            }
        }
        if (!handOverBatch(batch, rules, hostChecked)) break;
        if (error) std::rethrow_exception(error);
        if (cut) break;
    }
    return rules.generation;
}

bool CheckCycle::handOverBatch(const std::vector<HostCheckResult>& batch, const PassRules& rules,
                               const HostChecked& hostChecked) {
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
                if (r.kind != ProbeKind::Skip && !takeResult(r, rules)) return;
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

void CheckCycle::reportChange(const HostCheckResult& result, std::uint64_t generation) {
    // Reached the main thread after a rebuild: the host it names is gone.
    if (m_hosts.generation() != generation) return;
    const std::optional<Host> host = m_hosts.hostAt(result.index, generation);
    if (!host) return;

    const QString& title = host->title;
    const HandOverTexts& texts = handOverTexts();
    m_hosts.setLastChange(result.index, texts.now);
    if (result.alive) {
        m_hosts.setStateImage(result.index, kImageAnswered);
        m_report.appearedText += kLineBreak + kIndent + title;
        m_report.appearedTitles << title;
    } else {
        m_hosts.setStateImage(result.index, kImageNotAnswering);
        m_report.lostText += kLineBreak + kIndent + title;
        m_report.lostTitles << title;
    }
    m_sink.appendLogLine(texts.time + QStringLiteral(". ") +
                         (result.alive ? texts.appeared : texts.lost) + QStringLiteral(" ") +
                         title);
    m_sink.hostChanged(title, host->address, result.alive, result.alive ? result.roundTripUs : -1);
}

void CheckCycle::showSummary(std::uint64_t generation) {
    const PassReport pass = std::exchange(m_report, {});
    QString report;
    if (!isBlankText(pass.lostText)) {
        report +=
            langMessage(QStringLiteral("LoseHosts")) + pass.lostText + kLineBreak + kLineBreak;
    }
    if (!isBlankText(pass.appearedText)) {
        report += langMessage(QStringLiteral("AppearHosts")) + pass.appearedText;
    }
    m_sink.passEnded(generation);
    if (report.isEmpty()) return;
    m_sink.showReport(report);
    m_sink.reportTitles(pass.lostTitles, pass.appearedTitles);
}

}  // namespace hv
