#include "checking/CheckHosts.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <optional>

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

const QString kLineBreak = QStringLiteral("\r\n");
const QString kIndent = QStringLiteral("  ");

bool isBlankText(const QString& text) {
    for (QChar c : text) {
        if (c.unicode() > 0x20) return false;
    }
    return true;
}

}  // namespace

TCheckHosts::TCheckHosts(HostList& hosts, HostProbes& probes, CheckSink& sink,
                         MainThreadInvoker& invoker)
    : m_hosts(hosts), m_probes(probes), m_sink(sink), m_invoker(invoker) {}

TCheckHosts::~TCheckHosts() { stop(); }

void TCheckHosts::start() {
    std::lock_guard guard(m_lock);
    if (m_thread.joinable() || m_terminated) return;
    m_thread = std::thread(&TCheckHosts::run, this);
}

bool TCheckHosts::isSuspended() const {
    std::lock_guard guard(m_lock);
    return m_suspended && !m_ended && !m_terminated;
}

void TCheckHosts::resume() {
    std::lock_guard guard(m_lock);
    // Clearing the mark here, under the lock the thread marks itself with, means a tick that
    // follows at once finds the pass under way: passes neither overlap nor queue.
    if (!m_suspended || m_ended || m_terminated) return;
    m_suspended = false;
    m_resumeRequested = true;
    m_wake.notify_all();
}

void TCheckHosts::stop() {
    {
        std::lock_guard guard(m_lock);
        m_terminated = true;
        m_wake.notify_all();
    }
    m_cancel.cancel();
    m_invoker.cancel();
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id()) m_thread.join();
}

bool TCheckHosts::hasEnded() const {
    std::lock_guard guard(m_lock);
    return m_ended;
}

QString TCheckHosts::errorMessage() const {
    std::lock_guard guard(m_lock);
    return m_error;
}

void TCheckHosts::setHostChecked(std::function<void(const HostCheckResult&)> callback) {
    std::lock_guard guard(m_lock);
    m_hostChecked = std::move(callback);
}

void TCheckHosts::setPassFinished(std::function<void()> callback) {
    std::lock_guard guard(m_lock);
    m_passFinished = std::move(callback);
}

bool TCheckHosts::terminated() const {
    std::lock_guard guard(m_lock);
    return m_terminated;
}

void TCheckHosts::run() {
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
    {
        std::lock_guard guard(m_lock);
        m_ended = true;
        m_suspended = false;
        m_error = message;
    }
    // Nothing shows this error; a user who started the program from a terminal can at least
    // see why the checks stopped.
    std::fprintf(stderr, "hostvane: checking stopped: %s\n", message.toLocal8Bit().constData());
    std::fflush(stderr);
}

void TCheckHosts::loop() {
    for (;;) {
        std::function<void()> passFinished;
        {
            std::unique_lock guard(m_lock);
            m_wake.wait(guard, [this] { return m_resumeRequested || m_terminated; });
            m_resumeRequested = false;
            if (m_terminated) return;
            passFinished = m_passFinished;
        }
        pass();
        if (terminated()) return;
        if (!m_invoker.invoke([this] { ShowSummary(); })) return;
        if (passFinished) passFinished();
        std::lock_guard guard(m_lock);
        m_suspended = true;
    }
}

void TCheckHosts::pass() {
    std::function<void(const HostCheckResult&)> hostChecked;
    {
        std::lock_guard guard(m_lock);
        hostChecked = m_hostChecked;
    }
    // Taken in this order, a rebuild in between only makes the first hostAt() fail.
    const std::uint64_t generation = m_hosts.generation();
    const int count = m_hosts.count();

    for (int index = 0; index < count; ++index) {
        if (terminated()) return;
        CurrentIndex = index + kFirstHostItem;
        // The list was rebuilt: its hosts are not this pass's any more.
        const std::optional<Host> host = m_hosts.hostAt(index, generation);
        if (!host) return;

        HostCheckResult result;
        result.index = index;
        result.title = host->title;
        result.address = host->address;
        const ProbeTarget target = classifyAddress(host->address);
        result.kind = target.kind;
        if (target.kind == ProbeKind::Skip) {
            if (hostChecked) hostChecked(result);
            continue;
        }

        const auto began = std::chrono::steady_clock::now();
        for (int attempt = 0; attempt < kTries; ++attempt) {
            if (attempt > 0 && terminated()) return;
            HostAlive = true;
            try {
                HostAlive = target.kind == ProbeKind::Tcp ? m_probes.tcpTry(target.host)
                                                          : m_probes.icmpTry(target.host);
            } catch (...) {
                HostAlive = false;
            }
            if (HostAlive) break;
        }
        result.alive = HostAlive;
        result.elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::steady_clock::now() - began)
                               .count();
        // A try cut short by stop() says nothing about the host.
        if (terminated()) return;

        // The previous state is the image as it is now: Stop or a rebuild may have changed it
        // while the host was probed.
        const std::optional<Host> now = m_hosts.hostAt(index, generation);
        if (!now) return;
        const bool wasUp = now->stateImage == kImageAnswered;
        if (wasUp != HostAlive) {
            if (!m_invoker.invoke([this, generation] { ReportChange(generation); })) return;
        }
        if (hostChecked) hostChecked(result);
    }
}

void TCheckHosts::ReportChange(std::uint64_t generation) {
    // Reached the main thread after a rebuild: the host it names is gone.
    if (m_hosts.generation() != generation) return;
    const int index = CurrentIndex - kFirstHostItem;
    const std::optional<Host> host = m_hosts.hostAt(index, generation);
    if (!host) return;

    const QString& title = host->title;
    QString key;
    if (HostAlive) {
        m_hosts.setStateImage(index, kImageAnswered);
        AppearedText += kLineBreak + kIndent + title;
        key = QStringLiteral("AppearHost");
    } else {
        m_hosts.setStateImage(index, kImageNotAnswering);
        LostText += kLineBreak + kIndent + title;
        key = QStringLiteral("LoseHost");
    }
    m_sink.appendLogLine(m_sink.timeText() + QStringLiteral(". ") + LangMessage(key) +
                         QStringLiteral(" ") + title);
}

void TCheckHosts::ShowSummary() {
    QString report;
    if (!isBlankText(LostText)) {
        report += LangMessage(QStringLiteral("LoseHosts")) + LostText + kLineBreak + kLineBreak;
    }
    if (!isBlankText(AppearedText)) {
        report += LangMessage(QStringLiteral("AppearHosts")) + AppearedText;
    }
    AppearedText.clear();
    LostText.clear();
    if (report.isEmpty()) return;
    m_sink.showReport(report);
}

}  // namespace hv
