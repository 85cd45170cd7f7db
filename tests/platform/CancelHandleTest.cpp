#include <gtest/gtest.h>

#include <poll.h>

#include <chrono>
#include <thread>

#include "platform/CancelHandle.h"

using hv::CancelHandle;
using Clock = std::chrono::steady_clock;

namespace {

bool readable(int fd) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & POLLIN);
}

}  // namespace

TEST(CancelHandle, WaitTimesOutWhenNotCancelled) {
    CancelHandle handle;
    EXPECT_FALSE(handle.isCancelled());
    EXPECT_FALSE(readable(handle.fd()));
    EXPECT_FALSE(handle.waitFor(0));
    const auto start = Clock::now();
    EXPECT_FALSE(handle.waitFor(100));
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(95));
}

TEST(CancelHandle, CancelWakesWaitingThreadAndStaysUntilReset) {
    CancelHandle handle;
    bool woke = false;
    Clock::duration waited{};
    std::thread waiter([&] {
        const auto start = Clock::now();
        woke = handle.waitFor(20000);
        waited = Clock::now() - start;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    handle.cancel();
    waiter.join();
    EXPECT_TRUE(woke);
    EXPECT_LT(waited, std::chrono::seconds(15));  // woken by cancel, not by the time-out

    // Cancelled stays cancelled for every later wait, and cancelling twice changes nothing.
    handle.cancel();
    EXPECT_TRUE(handle.isCancelled());
    EXPECT_TRUE(readable(handle.fd()));
    EXPECT_TRUE(handle.waitFor(0));
    EXPECT_TRUE(handle.waitFor(-1));

    // One reset clears it (even after two cancels), and it can be cancelled again.
    handle.reset();
    EXPECT_FALSE(handle.isCancelled());
    EXPECT_FALSE(readable(handle.fd()));
    EXPECT_FALSE(handle.waitFor(10));
    handle.reset();
    EXPECT_FALSE(handle.waitFor(0));
    handle.cancel();
    EXPECT_TRUE(readable(handle.fd()));
    EXPECT_TRUE(handle.waitFor(0));
}
