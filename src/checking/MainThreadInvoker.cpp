#include "checking/MainThreadInvoker.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "platform/Error.h"

namespace hv {

struct MainThreadInvoker::Task {
    enum class State { Queued, Running, Done, Dropped };
    std::function<void()> step;
    State state = State::Queued;
    std::exception_ptr error;
};

MainThreadInvoker::MainThreadInvoker(QObject* parent)
    : QObject(parent), m_owner(std::this_thread::get_id()) {
    m_fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_fd < 0) {
        throw Error(QStringLiteral("Cannot create the hand-over event: %1")
                        .arg(QString::fromLocal8Bit(std::strerror(errno))));
    }
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &MainThreadInvoker::runPending);
}

MainThreadInvoker::~MainThreadInvoker() {
    cancel();
    // The notifier must let go of the descriptor before it is closed.
    delete m_notifier;
    m_notifier = nullptr;
    ::close(m_fd);
}

bool MainThreadInvoker::invoke(std::function<void()> step) {
    if (std::this_thread::get_id() == m_owner) {
        step();
        return true;
    }
    auto task = std::make_shared<Task>();
    task->step = std::move(step);
    std::exception_ptr error;
    {
        std::unique_lock guard(m_lock);
        if (m_cancelled) return false;
        m_queue.push_back(task);
        const std::uint64_t one = 1;
        // EAGAIN only when the counter is saturated, and then the owner is woken anyway.
        [[maybe_unused]] const ssize_t n = ::write(m_fd, &one, sizeof one);
        m_done.wait(guard, [&] {
            return task->state == Task::State::Done || task->state == Task::State::Dropped;
        });
        if (task->state == Task::State::Dropped) return false;
        // Taken under the lock: the owner thread, which may let go of the task after this one
        // has caught the error, never holds the last reference to the error object.
        error = std::move(task->error);
    }
    if (error) std::rethrow_exception(error);
    return true;
}

void MainThreadInvoker::cancel() {
    std::lock_guard guard(m_lock);
    m_cancelled = true;
    for (const auto& task : m_queue) task->state = Task::State::Dropped;
    m_queue.clear();
    m_done.notify_all();
}

bool MainThreadInvoker::isCancelled() const {
    std::lock_guard guard(m_lock);
    return m_cancelled;
}

void MainThreadInvoker::runPending() {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(m_fd, &count, sizeof count);
    for (;;) {
        std::shared_ptr<Task> task;
        {
            std::lock_guard guard(m_lock);
            if (m_queue.empty()) return;
            task = m_queue.front();
            m_queue.pop_front();
            task->state = Task::State::Running;
        }
        try {
            task->step();
        } catch (...) {
            task->error = std::current_exception();
        }
        std::lock_guard guard(m_lock);
        task->state = Task::State::Done;
        m_done.notify_all();
    }
}

}  // namespace hv
