#pragma once

#include <QObject>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class QSocketNotifier;

namespace hv {

// Runs steps of another thread on the thread that created it (the main thread), and makes
// the caller wait until the step has run. An exception thrown by the step is thrown again in
// the caller. cancel() wakes every waiting caller at once and makes later invoke() calls
// return false without running anything, so shutdown never deadlocks on a hand-over.
//
// Wake-ups travel through an eventfd watched by a QSocketNotifier; the steps themselves
// travel under our own mutex, so the hand-over is visible to ThreadSanitizer.
class MainThreadInvoker : public QObject {
    Q_OBJECT
public:
    explicit MainThreadInvoker(QObject* parent = nullptr);
    ~MainThreadInvoker() override;

    // From any thread but the owner's: queue step and wait. true when the step ran, false
    // when cancelled before it ran. On the owner thread the step runs at once.
    bool invoke(std::function<void()> step);

    // Final: every step still queued is dropped (its caller gets false) and later invoke()
    // calls return false at once. A step the owner thread is running already is let finish.
    void cancel();
    bool isCancelled() const;

private:
    struct Task;
    void runPending();

    int m_fd = -1;  // eventfd: readable while steps wait for the owner thread
    QSocketNotifier* m_notifier = nullptr;
    std::thread::id m_owner;
    mutable std::mutex m_lock;
    std::condition_variable m_done;
    std::deque<std::shared_ptr<Task>> m_queue;
    bool m_cancelled = false;
};

}  // namespace hv
