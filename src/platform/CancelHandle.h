#pragma once

#include <atomic>
#include <mutex>

namespace hv {

// A one-way cancel signal that a blocking wait can watch with poll(): fd() becomes readable
// once cancel() has been called, and stays so until reset().
class CancelHandle {
public:
    // Throws Error when no eventfd can be had (the process is out of descriptors).
    CancelHandle();
    ~CancelHandle();
    CancelHandle(const CancelHandle&) = delete;
    CancelHandle& operator=(const CancelHandle&) = delete;

    void cancel();
    void reset();
    bool isCancelled() const { return m_cancelled.load(std::memory_order_acquire); }
    int fd() const { return m_fd; }

    // Waits up to timeoutMs (negative: no limit) for cancel(); true when cancelled.
    bool waitFor(int timeoutMs) const;

private:
    int m_fd = -1;        // eventfd
    std::mutex m_change;  // keeps the flag and the eventfd's counter in step
    std::atomic<bool> m_cancelled{false};
};

}  // namespace hv
