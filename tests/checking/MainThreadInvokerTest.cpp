#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <stdexcept>
#include <thread>

#include "ScriptedProbes.h"
#include "checking/MainThreadInvoker.h"
#include "platform/Error.h"

namespace {

using hvtest::pumpUntil;

TEST(MainThreadInvoker, RunsTheStepOnTheOwnerThreadAndWaitsForIt) {
    hv::MainThreadInvoker invoker;
    const auto owner = std::this_thread::get_id();
    std::thread::id ranOn;
    int value = 0;
    std::atomic<bool> returned{false};
    bool ran = false;
    std::thread caller([&] {
        ran = invoker.invoke([&] {
            ranOn = std::this_thread::get_id();
            value = 42;
        });
        // Only after the step: the caller sees what it wrote without further locking.
        EXPECT_EQ(value, 42);
        returned = true;
    });
    ASSERT_TRUE(pumpUntil([&] { return returned.load(); }));
    caller.join();
    EXPECT_TRUE(ran);
    EXPECT_EQ(ranOn, owner);

    // On the owner thread itself the step runs at once.
    EXPECT_TRUE(invoker.invoke([&] { value = 7; }));
    EXPECT_EQ(value, 7);
}

TEST(MainThreadInvoker, ThrowsTheStepsErrorAgainInTheCaller) {
    hv::MainThreadInvoker invoker;
    std::atomic<bool> returned{false};
    QString caught;
    std::thread caller([&] {
        try {
            invoker.invoke([] { throw hv::Error(QStringLiteral("List index out of bounds (3)")); });
        } catch (const hv::Error& e) {
            caught = e.message();
        }
        returned = true;
    });
    ASSERT_TRUE(pumpUntil([&] { return returned.load(); }));
    caller.join();
    EXPECT_EQ(caught, QStringLiteral("List index out of bounds (3)"));
}

TEST(MainThreadInvoker, CancelWakesAWaitingCallerAndTheStepNeverRuns) {
    auto invoker = std::make_unique<hv::MainThreadInvoker>();
    std::atomic<bool> stepRan{false};
    // The owner does not pump: the step stays queued until cancel().
    auto pending =
        std::async(std::launch::async, [&] { return invoker->invoke([&] { stepRan = true; }); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    invoker->cancel();
    ASSERT_EQ(pending.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_FALSE(pending.get());

    // Later calls do nothing, and events served afterwards do not run the dropped step.
    std::thread late([&] { EXPECT_FALSE(invoker->invoke([&] { stepRan = true; })); });
    late.join();
    pumpUntil([] { return false; }, 100);
    EXPECT_FALSE(stepRan.load());

    // Destroying a cancelled invoker with its notifier is clean.
    invoker.reset();
}

}  // namespace
