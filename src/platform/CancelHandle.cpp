#include "platform/CancelHandle.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>

#include "platform/Error.h"

namespace hv {

CancelHandle::CancelHandle() : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (m_fd < 0)
        throw Error(QStringLiteral("Cannot create an event: %1")
                        .arg(QString::fromLocal8Bit(std::strerror(errno))));
}

CancelHandle::~CancelHandle() { ::close(m_fd); }

void CancelHandle::cancel() {
    std::lock_guard guard(m_change);
    if (m_cancelled.load(std::memory_order_relaxed)) return;
    // The flag first: whoever sees the descriptor readable also sees isCancelled().
    m_cancelled.store(true, std::memory_order_release);
    const std::uint64_t one = 1;
    // The counter cannot overflow from one write, so this only fails on EINTR.
    while (::write(m_fd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void CancelHandle::reset() {
    std::lock_guard guard(m_change);
    std::uint64_t value = 0;
    // Non-blocking: an already empty counter gives EAGAIN.
    while (::read(m_fd, &value, sizeof value) < 0 && errno == EINTR) {
    }
    m_cancelled.store(false, std::memory_order_release);
}

bool CancelHandle::waitFor(int timeoutMs) const {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        if (isCancelled()) return true;
        int wait = -1;
        if (timeoutMs >= 0) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            wait = left > 0 ? static_cast<int>(left) : 0;
        }
        pollfd p{m_fd, POLLIN, 0};
        const int rc = ::poll(&p, 1, wait);
        if (rc > 0) return true;
        if (rc == 0) return isCancelled();
        if (errno != EINTR) return isCancelled();
    }
}

}  // namespace hv
