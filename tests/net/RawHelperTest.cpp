// The raw-socket helper as a program: what it accepts, whom it serves, what it hands over, and
// that it keeps no capability once its sockets are open.
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "rawhelper/RawRequest.h"

namespace rh = hv::rawhelper;

namespace {

const std::string kHelper = HV_BUILD_DIR "/hostvane-icmp-helper";

std::vector<std::uint8_t> bytes(const char* text, std::size_t n) {
    return std::vector<std::uint8_t>(text, text + n);
}

std::vector<std::uint8_t> request(int family, int count) {
    std::uint8_t out[rh::kRequestSize];
    rh::encodeRequest({family, count}, out);
    return std::vector<std::uint8_t>(out, out + sizeof out);
}

}  // namespace

TEST(RawRequest, OnlyTheExactFixedFormIsAccepted) {
    std::vector<std::uint8_t> oversized = request(4, 1);
    oversized.push_back(0);
    const struct {
        const char* what;
        std::vector<std::uint8_t> data;
        std::optional<rh::Request> parsed;
    } cases[] = {
        {"IPv4, one", request(4, 1), rh::Request{4, 1}},
        {"IPv6, the most", request(6, rh::kMaxCount), rh::Request{6, rh::kMaxCount}},
        {"empty", {}, std::nullopt},
        {"one byte short", bytes("HVR1\x04\x01\x00", 7), std::nullopt},
        {"one byte more", oversized, std::nullopt},
        {"another tag", bytes("HVR2\x04\x01\x00\x00", 8), std::nullopt},
        {"the reply's tag", bytes("HVA1\x04\x01\x00\x00", 8), std::nullopt},
        {"family 0", bytes("HVR1\x00\x01\x00\x00", 8), std::nullopt},
        {"family 5", bytes("HVR1\x05\x01\x00\x00", 8), std::nullopt},
        {"family AF_INET6", bytes("HVR1\x0a\x01\x00\x00", 8), std::nullopt},
        {"no sockets", bytes("HVR1\x04\x00\x00\x00", 8), std::nullopt},
        {"one too many", request(4, rh::kMaxCount + 1), std::nullopt},
        {"255 sockets", bytes("HVR1\x04\xff\x00\x00", 8), std::nullopt},
        {"reserved byte set", bytes("HVR1\x04\x01\x00\x01", 8), std::nullopt},
        {"text", bytes("hello helper", 12), std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(rh::parseRequest(c.data.data(), c.data.size()), c.parsed);
    }
    EXPECT_EQ(rh::parseRequest(nullptr, 8), std::nullopt);
}

TEST(RawRequest, RepliesRoundTripAndInconsistentOnesAreRefused) {
    for (const rh::Reply& r :
         {rh::Reply{rh::Status::Sockets, 1, 0}, rh::Reply{rh::Status::Sockets, rh::kMaxCount, 0},
          rh::Reply{rh::Status::SocketFailed, 0, EPERM}, rh::Reply{rh::Status::BadRequest, 0, 0},
          rh::Reply{rh::Status::DropFailed, 0, 65535}}) {
        std::uint8_t out[rh::kReplySize];
        rh::encodeReply(r, out);
        EXPECT_EQ(rh::parseReply(out, sizeof out), r);
    }
    const struct {
        const char* what;
        std::vector<std::uint8_t> data;
    } refused[] = {
        {"sockets without a count", bytes("HVA1\x00\x00\x00\x00", 8)},
        {"more sockets than asked for at most", bytes("HVA1\x00\x11\x00\x00", 8)},
        {"a failure with sockets", bytes("HVA1\x02\x01\x01\x00", 8)},
        {"unknown status", bytes("HVA1\x04\x00\x00\x00", 8)},
        {"short", bytes("HVA1\x00\x01\x00", 7)},
        {"the request's tag", bytes("HVR1\x00\x01\x00\x00", 8)},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(rh::parseReply(c.data.data(), c.data.size()), std::nullopt);
    }
}

namespace {

// How a test plays the caller of the helper.
struct Caller {
    const char* what;
    std::vector<std::uint8_t> request;
    int channelType = SOCK_SEQPACKET;  // 0: a pipe instead of a socket
    bool sendDescriptor = false;       // a descriptor rides along with the request
    bool fromGrandchild = false;       // the helper is started by a child of the pair's maker
    bool otherUser = false;            // the helper runs as nobody, the pair's maker as root
};

struct Answer {
    int exitStatus = -1;
    std::optional<rh::Reply> reply;
    std::vector<int> fds;
    std::string status;  // /proc/PID/status of the helper once it has answered
};

void closeAll(std::vector<int>& fds) {
    for (const int fd : fds) ::close(fd);
    fds.clear();
}

// A copy of the helper that nobody may run too (the build folder may be closed to others),
// removed with the object.
struct OpenCopy {
    OpenCopy() {
        char dir[] = "/tmp/hv-helper-XXXXXX";
        if (!::mkdtemp(dir)) return;
        folder = dir;
        ::chmod(dir, 0755);
        path = folder + "/" + rh::kProgramFile;
        std::filesystem::copy_file(kHelper, path);
        ::chmod(path.c_str(), 0755);
    }
    ~OpenCopy() {
        if (!folder.empty()) std::filesystem::remove_all(folder);
    }
    std::string folder, path;
};

Answer callHelper(const Caller& c, const std::string& openCopy = {}) {
    Answer a;
    int pair[2];
    if (c.channelType == 0) {
        if (::pipe2(pair, O_CLOEXEC) != 0) return a;
        std::swap(pair[0], pair[1]);  // the helper gets the read end
    } else if (::socketpair(AF_UNIX, c.channelType | SOCK_CLOEXEC, 0, pair) != 0) {
        return a;
    }
    const int own = pair[0], theirs = pair[1];
    const std::string path = c.otherUser ? openCopy : kHelper;
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only calls that are safe after fork in a program with threads.
        const auto exec = [&] {
            if (c.otherUser && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(120);
            ::dup2(theirs, rh::kChannelFd);
            char* argv[] = {const_cast<char*>(path.c_str()), nullptr};
            char* envp[] = {nullptr};
            ::execve(path.c_str(), argv, envp);
            ::_exit(127);
        };
        if (!c.fromGrandchild) exec();
        const pid_t inner = ::fork();
        if (inner == 0) exec();
        int status = 0;
        ::waitpid(inner, &status, 0);
        ::_exit(WIFEXITED(status) ? WEXITSTATUS(status) : 126);
    }
    ::close(theirs);
    if (!c.request.empty()) {
        iovec io{const_cast<std::uint8_t*>(c.request.data()), c.request.size()};
        msghdr m{};
        m.msg_iov = &io;
        m.msg_iovlen = 1;
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
        if (c.sendDescriptor) {
            m.msg_control = control;
            m.msg_controllen = sizeof control;
            cmsghdr* h = CMSG_FIRSTHDR(&m);
            h->cmsg_level = SOL_SOCKET;
            h->cmsg_type = SCM_RIGHTS;
            h->cmsg_len = CMSG_LEN(sizeof(int));
            const int fd = STDERR_FILENO;
            std::memcpy(CMSG_DATA(h), &fd, sizeof fd);
        }
        ::sendmsg(own, &m, MSG_NOSIGNAL);
    } else {
        ::shutdown(own, SHUT_WR);  // the helper reads the end at once instead of waiting
    }
    // Waits for the helper's end without reaping it: its status stays readable, and whatever
    // it sent is queued by then. The helper gives up a silent caller within seconds.
    siginfo_t info{};
    ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT);
    if (c.channelType != 0) {
        std::uint8_t buffer[64];
        iovec io{buffer, sizeof buffer};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * rh::kMaxCount)] = {};
        msghdr m{};
        m.msg_iov = &io;
        m.msg_iovlen = 1;
        m.msg_control = control;
        m.msg_controllen = sizeof control;
        const ssize_t got = ::recvmsg(own, &m, MSG_CMSG_CLOEXEC | MSG_DONTWAIT);
        if (got > 0) a.reply = rh::parseReply(buffer, static_cast<std::size_t>(got));
        if (got < 0) m.msg_controllen = 0;
        for (cmsghdr* h = CMSG_FIRSTHDR(&m); h; h = CMSG_NXTHDR(&m, h)) {
            if (h->cmsg_level != SOL_SOCKET || h->cmsg_type != SCM_RIGHTS) continue;
            const std::size_t n = (h->cmsg_len - CMSG_LEN(0)) / sizeof(int);
            for (std::size_t i = 0; i < n; ++i) {
                int fd;
                std::memcpy(&fd, CMSG_DATA(h) + i * sizeof(int), sizeof fd);
                a.fds.push_back(fd);
            }
        }
        std::ifstream in("/proc/" + std::to_string(pid) + "/status");
        a.status.assign(std::istreambuf_iterator<char>(in), {});
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    a.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 200 + WTERMSIG(status);
    ::close(own);
    return a;
}

std::string statusLine(const std::string& status, const std::string& key) {
    const auto at = status.find("\n" + key + ":");
    if (at == std::string::npos) return {};
    const auto begin = status.find_first_not_of(" \t", at + key.size() + 2);
    return status.substr(begin, status.find('\n', begin) - begin);
}

}  // namespace

// Garbage, oversized requests, descriptors sent along and callers other than the parent
// under the same user get nothing.
TEST(RawHelperProgram, RefusesBadRequestsAndForeignCallers) {
    std::vector<std::uint8_t> oversized = request(4, 1);
    oversized.resize(4096, 0);
    const rh::Reply bad{rh::Status::BadRequest, 0, 0};
    const OpenCopy copy;
    const struct {
        Caller caller;
        int exitStatus;
        std::optional<rh::Reply> reply;
    } cases[] = {
        {{"garbage", bytes("hello helper", 12)}, 4, bad},
        {{"one byte short", bytes("HVR1\x04\x01\x00", 7)}, 4, bad},
        {{"oversized", oversized}, 4, bad},
        {{"too many sockets", request(4, rh::kMaxCount + 1)}, 4, bad},
        {{"no request at all", {}}, 4, bad},
        {{"a descriptor sent along", request(4, 1), SOCK_SEQPACKET, true}, 4, bad},
        {{"a stream socket", request(4, 1), SOCK_STREAM}, 3, std::nullopt},
        {{"a datagram socket", request(4, 1), SOCK_DGRAM}, 3, std::nullopt},
        {{"a pipe", request(4, 1), 0}, 3, std::nullopt},
        {{"not its parent", request(4, 1), SOCK_SEQPACKET, false, true}, 3, std::nullopt},
        {{"another user", request(4, 1), SOCK_SEQPACKET, false, false, true}, 3, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.caller.what);
        if (c.caller.otherUser && ::getuid() != 0) continue;  // needs root to change user
        Answer a = callHelper(c.caller, copy.path);
        EXPECT_EQ(a.exitStatus, c.exitStatus);
        EXPECT_EQ(a.reply, c.reply);
        EXPECT_TRUE(a.fds.empty());
        closeAll(a.fds);
    }
}

// A valid request gets raw sockets of its family, and the helper that hands them over has
// dropped every capability for good by then.
TEST(RawHelperProgram, HandsOverRawSocketsHavingDroppedEveryCapability) {
    const int probe = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (probe < 0) GTEST_SKIP() << "skipped: the helper needs CAP_NET_RAW here (run as root)";
    ::close(probe);
    for (const int family : {4, 6}) {
        SCOPED_TRACE(family);
        Answer a = callHelper({"valid", request(family, 3)});
        EXPECT_EQ(a.exitStatus, 0);
        EXPECT_EQ(a.reply, (rh::Reply{rh::Status::Sockets, 3, 0}));
        ASSERT_EQ(a.fds.size(), 3u);
        for (const int fd : a.fds) {
            int type = 0, domain = 0, protocol = 0;
            socklen_t n = sizeof(int);
            ::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &n);
            ::getsockopt(fd, SOL_SOCKET, SO_DOMAIN, &domain, &n);
            ::getsockopt(fd, SOL_SOCKET, SO_PROTOCOL, &protocol, &n);
            EXPECT_EQ(type, SOCK_RAW);
            EXPECT_EQ(domain, family == 6 ? int{AF_INET6} : int{AF_INET});
            EXPECT_EQ(protocol, family == 6 ? int{IPPROTO_ICMPV6} : int{IPPROTO_ICMP});
        }
        ASSERT_FALSE(a.status.empty());
        for (const char* key : {"CapInh", "CapPrm", "CapEff", "CapAmb"})
            EXPECT_EQ(statusLine(a.status, key), "0000000000000000") << key;
        EXPECT_EQ(statusLine(a.status, "NoNewPrivs"), "1");
        closeAll(a.fds);
    }
}
