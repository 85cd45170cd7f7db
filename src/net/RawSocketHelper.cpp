#include "net/RawSocketHelper.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <utility>

#include "rawhelper/RawRequest.h"

namespace hv {
namespace RawSocketHelper {

namespace {

namespace rh = rawhelper;

// Enough for a pass of sequential echoes, or for most clients at once, per start.
constexpr int kBatch = rh::kMaxCount;
// The helper answers within milliseconds; a hung one is killed after this.
constexpr int kReplyTimeoutMs = 5000;

// Below this many waiting sockets the next batch is asked for at once, without waiting for it:
// an echo then seldom waits for the helper to start.
constexpr std::size_t kLowWater = 4;

// A helper started and asked, whose answer has not been taken yet.
struct Pending {
    int channel = -1;
    pid_t pid = -1;
};

struct Pool {
    std::deque<int> fds;
    bool refused = false;
    Pending pending;
};

std::mutex g_mutex;
std::string g_program;  // empty: beside the executable
std::map<std::pair<unsigned long, int>, Pool> g_pools;
int g_starts = 0;

// The network namespace of the calling thread (setns acts per thread).
unsigned long namespaceId() {
    struct stat st {};
    if (::stat("/proc/thread-self/ns/net", &st) != 0) return 0;
    return static_cast<unsigned long>(st.st_ino);
}

std::string defaultProgram() {
    char exe[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return {};
    std::string path(exe, static_cast<std::size_t>(n));
    return path.substr(0, path.rfind('/') + 1) + rh::kProgramFile;
}

void closeAll(std::deque<int>& fds) {
    for (const int fd : fds) ::close(fd);
    fds.clear();
}

// Receives the reply and its descriptors into pool; false when none came.
bool receiveSockets(int channel, Pool& pool) {
    pollfd p{channel, POLLIN, 0};
    if (::poll(&p, 1, kReplyTimeoutMs) != 1) return false;
    std::uint8_t bytes[rh::kReplySize + 1] = {};
    iovec io{bytes, sizeof bytes};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * rh::kMaxCount)] = {};
    msghdr message{};
    message.msg_iov = &io;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t got = ::recvmsg(channel, &message, MSG_CMSG_CLOEXEC | MSG_DONTWAIT);
    if (got < 0) return false;
    std::deque<int> received;
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS) continue;
        const std::size_t n = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (std::size_t i = 0; i < n; ++i) {
            int fd;
            std::memcpy(&fd, CMSG_DATA(c) + i * sizeof(int), sizeof fd);
            received.push_back(fd);
        }
    }
    const auto reply = rh::parseReply(bytes, static_cast<std::size_t>(got));
    if (!reply || reply->status != rh::Status::Sockets ||
        static_cast<std::size_t>(reply->count) != received.size()) {
        closeAll(received);
        return false;
    }
    for (const int fd : received) pool.fds.push_back(fd);
    return true;
}

// At exit: a helper asked in advance would outlive its parent and refuse its new one, aloud.
void endPending() {
    std::unique_lock lock(g_mutex, std::try_to_lock);
    if (!lock.owns_lock()) return;  // another thread is in takeSocket: leave it alone
    for (auto& [key, pool] : g_pools) {
        if (pool.pending.channel < 0) continue;
        ::kill(pool.pending.pid, SIGKILL);
        while (::waitpid(pool.pending.pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        ::close(pool.pending.channel);
        pool.pending = {};
    }
}

// Starts the helper for one batch and sends the request; the answer is taken by collect. The
// helper gets the channel as descriptor 3, an empty environment and no arguments.
bool start(Pool& pool, int family, const std::string& path) {
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) return false;
    int own = pair[0], theirs = pair[1];
    if (theirs == rh::kChannelFd) {
        // dup2 onto itself would leave close-on-exec set: move it out of the way first.
        const int moved = ::fcntl(theirs, F_DUPFD_CLOEXEC, 10);
        ::close(theirs);
        theirs = moved;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, theirs, rh::kChannelFd);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    char* argv[] = {const_cast<char*>(path.c_str()), nullptr};
    char* envp[] = {nullptr};
    pid_t pid = -1;
    const int spawned =
        theirs < 0 ? EBADF : ::posix_spawn(&pid, path.c_str(), &actions, &attributes, argv, envp);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (theirs >= 0) ::close(theirs);
    if (spawned != 0) {
        ::close(own);
        return false;
    }
    if (g_starts++ == 0) std::atexit(endPending);
    pool.pending = {own, pid};
    std::uint8_t request[rh::kRequestSize];
    rh::encodeRequest({family == AF_INET6 ? 6 : 4, kBatch}, request);
    // A failed send shows in collect: no answer comes.
    ::send(own, request, sizeof request, MSG_NOSIGNAL);
    return true;
}

// Takes the pending helper's answer into the pool (waiting for it when wait is set) and reaps
// the helper; false when no sockets came.
bool collect(Pool& pool, bool wait) {
    Pending& p = pool.pending;
    if (!wait) {
        pollfd ready{p.channel, POLLIN, 0};
        if (::poll(&ready, 1, 0) != 1) return true;  // not yet: still pending
    }
    const bool ok = receiveSockets(p.channel, pool);
    if (!ok) ::kill(p.pid, SIGKILL);  // a helper that did not answer in time
    int status = 0;
    while (::waitpid(p.pid, &status, 0) < 0 && errno == EINTR) {
    }
    ::close(p.channel);
    p = {};
    return ok;
}

}  // namespace

int takeSocket(int family) {
    const std::lock_guard lock(g_mutex);
    Pool& pool = g_pools[{namespaceId(), family}];
    const int saved = errno;
    if (pool.pending.channel >= 0 && !collect(pool, pool.fds.empty())) pool.refused = true;
    if (pool.fds.empty() && !pool.refused) {
        const std::string path = g_program.empty() ? defaultProgram() : g_program;
        pool.refused = path.empty() || !start(pool, family, path) || !collect(pool, true);
    }
    int fd = -1;
    if (!pool.fds.empty()) {
        fd = pool.fds.front();
        pool.fds.pop_front();
        if (pool.fds.size() < kLowWater && !pool.refused && pool.pending.channel < 0) {
            const std::string path = g_program.empty() ? defaultProgram() : g_program;
            if (!start(pool, family, path)) pool.refused = true;
        }
    }
    errno = saved;
    return fd;
}

void setProgram(const std::string& path) {
    const std::lock_guard lock(g_mutex);
    for (auto& [key, pool] : g_pools) {
        if (pool.pending.channel >= 0) collect(pool, true);
        closeAll(pool.fds);
    }
    g_pools.clear();
    g_program = path;
}

std::string program() {
    const std::lock_guard lock(g_mutex);
    return g_program.empty() ? defaultProgram() : g_program;
}

int starts() {
    const std::lock_guard lock(g_mutex);
    return g_starts;
}

}  // namespace RawSocketHelper
}  // namespace hv
