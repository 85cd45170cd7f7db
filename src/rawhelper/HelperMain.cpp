// hostvane-icmp-helper: the one file of the package with cap_net_raw. Started by the program
// with one end of a socket pair as descriptor 3, it reads one request, opens the raw ICMP
// sockets asked for, drops every capability, hands the sockets over and exits. It serves only
// the process that started it, under the same user, and nothing privileged outlives one
// request.
#include <linux/capability.h>
#include <linux/filter.h>
#include <linux/icmp.h>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "rawhelper/RawRequest.h"

namespace {

using namespace hv::rawhelper;

enum Exit { kServed = 0, kUsage = 2, kUntrustedCaller = 3, kRefused = 4, kFailed = 5 };

int refuse(int status, const char* why) {
    std::fprintf(stderr, "%s: %s\n", kProgramFile, why);
    return status;
}

// The caller must be our parent, under our own user, on a SOCK_SEQPACKET Unix socket: a
// stream would let a request run into the next, and another process could only be somebody
// trying to borrow the capability.
bool trustedChannel(const char*& why) {
    struct stat st {};
    if (::fstat(kChannelFd, &st) != 0 || !S_ISSOCK(st.st_mode)) {
        why = "descriptor 3 is not a socket";
        return false;
    }
    int value = 0;
    socklen_t length = sizeof value;
    if (::getsockopt(kChannelFd, SOL_SOCKET, SO_DOMAIN, &value, &length) != 0 || value != AF_UNIX) {
        why = "descriptor 3 is not a Unix socket";
        return false;
    }
    length = sizeof value;
    if (::getsockopt(kChannelFd, SOL_SOCKET, SO_TYPE, &value, &length) != 0 ||
        value != SOCK_SEQPACKET) {
        why = "descriptor 3 is not a packet socket";
        return false;
    }
    ucred peer{};
    length = sizeof peer;
    if (::getsockopt(kChannelFd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0) {
        why = "the caller is unknown";
        return false;
    }
    if (peer.pid != ::getppid()) {
        why = "the caller is not the process that started the helper";
        return false;
    }
    if (peer.uid != ::getuid()) {
        why = "the caller runs as another user";
        return false;
    }
    return true;
}

// One message of exactly the request's size and nothing else: a longer one is cut short by
// the kernel and told by MSG_TRUNC, descriptors sent along by MSG_CTRUNC (and closed).
bool receiveRequest(Request& request) {
    // A caller that never writes must not keep a privileged process waiting.
    const timeval limit{5, 0};
    ::setsockopt(kChannelFd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    std::uint8_t bytes[kRequestSize + 1] = {};
    iovec io{bytes, sizeof bytes};
    msghdr message{};
    message.msg_iov = &io;
    message.msg_iovlen = 1;
    const ssize_t got = ::recvmsg(kChannelFd, &message, MSG_TRUNC | MSG_CMSG_CLOEXEC);
    if (got < 0 || (message.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) != 0) return false;
    const auto parsed = parseRequest(bytes, static_cast<std::size_t>(got));
    if (!parsed) return false;
    request = *parsed;
    return true;
}

// Drops all of this process's capabilities, for good: permitted, effective, inheritable and
// ambient empty, and no new privileges through any later exec.
bool dropCapabilities() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    if (::prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0) != 0 && errno != EINVAL)
        return false;
    if (::syscall(SYS_capset, &header, data) != 0) return false;
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) return false;
    __user_cap_data_struct check[_LINUX_CAPABILITY_U32S_3]{};
    if (::syscall(SYS_capget, &header, check) != 0) return false;
    for (const auto& d : check) {
        if (d.permitted != 0 || d.effective != 0 || d.inheritable != 0) return false;
    }
    return true;
}

// A raw socket that lets through only the ICMP kinds that can answer an echo, and queues
// nothing at all until the program attaches the filter for its own identifier.
int openRaw(int family) {
    const int fd = ::socket(family == 6 ? AF_INET6 : AF_INET, SOCK_RAW | SOCK_CLOEXEC,
                            family == 6 ? IPPROTO_ICMPV6 : IPPROTO_ICMP);
    if (fd < 0) return -1;
    if (family == 6) {
        icmp6_filter filter;
        ICMP6_FILTER_SETBLOCKALL(&filter);
        ICMP6_FILTER_SETPASS(ICMP6_ECHO_REPLY, &filter);
        ICMP6_FILTER_SETPASS(ICMP6_DST_UNREACH, &filter);
        ICMP6_FILTER_SETPASS(ICMP6_TIME_EXCEEDED, &filter);
        ::setsockopt(fd, IPPROTO_ICMPV6, ICMP6_FILTER, &filter, sizeof filter);
    } else {
        icmp_filter filter{};
        filter.data =
            ~((1u << ICMP_ECHOREPLY) | (1u << ICMP_DEST_UNREACH) | (1u << ICMP_TIME_EXCEEDED));
        ::setsockopt(fd, SOL_RAW, ICMP_FILTER, &filter, sizeof filter);
    }
    sock_filter none[] = {BPF_STMT(BPF_RET | BPF_K, 0)};
    const sock_fprog program{1, none};
    ::setsockopt(fd, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program);
    return fd;
}

bool sendReply(const Reply& reply, const int* fds) {
    std::uint8_t bytes[kReplySize];
    encodeReply(reply, bytes);
    iovec io{bytes, sizeof bytes};
    msghdr message{};
    message.msg_iov = &io;
    message.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * kMaxCount)] = {};
    if (reply.count > 0) {
        const std::size_t length = sizeof(int) * static_cast<std::size_t>(reply.count);
        message.msg_control = control;
        message.msg_controllen = CMSG_SPACE(length);
        cmsghdr* c = CMSG_FIRSTHDR(&message);
        c->cmsg_level = SOL_SOCKET;
        c->cmsg_type = SCM_RIGHTS;
        c->cmsg_len = CMSG_LEN(length);
        std::memcpy(CMSG_DATA(c), fds, length);
    }
    return ::sendmsg(kChannelFd, &message, MSG_NOSIGNAL) == static_cast<ssize_t>(sizeof bytes);
}

}  // namespace

int main(int argc, char**) {
    if (argc != 1) return refuse(kUsage, "takes no arguments; the program starts it");
    const char* why = "";
    if (!trustedChannel(why)) {
        dropCapabilities();
        return refuse(kUntrustedCaller, why);
    }
    Request request;
    if (!receiveRequest(request)) {
        dropCapabilities();
        sendReply({Status::BadRequest, 0, 0}, nullptr);
        return refuse(kRefused, "refused a malformed request");
    }
    int fds[kMaxCount];
    for (int i = 0; i < request.count; ++i) {
        fds[i] = openRaw(request.family);
        if (fds[i] < 0) {
            const int error = errno;
            dropCapabilities();
            sendReply({Status::SocketFailed, 0, error & 0xFFFF}, nullptr);
            return refuse(kFailed, std::strerror(error));
        }
    }
    if (!dropCapabilities()) {
        sendReply({Status::DropFailed, 0, errno & 0xFFFF}, nullptr);
        return refuse(kFailed, "cannot drop its capabilities");
    }
    if (!sendReply({Status::Sockets, request.count, 0}, fds))
        return refuse(kFailed, "lost the caller");
    return kServed;
}
