#include "net/SocketStack.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <string_view>
#include <system_error>
#include <thread>

#include "net/NetError.h"
#include "platform/DottedAddress.h"
#include "platform/IntegerText.h"

namespace hv {

namespace {

std::mutex& componentLock() {
    static std::mutex lock;
    return lock;
}
int g_componentCount = 0;              // guarded by componentLock()
std::unique_ptr<SocketStack> g_stack;  // guarded by componentLock()

std::mutex& resolverLock() {
    static std::mutex lock;
    return lock;
}
NameResolver& resolverSlot() {
    static NameResolver resolver;
    return resolver;
}

struct CodeText {
    int code;
    const char* text;
};

constexpr CodeText kDescriptions[] = {
    {10004, "Interrupted system call."},
    {10009, "Bad file number."},
    {10013, "Access denied."},
    {10014, "Bad address."},
    {10022, "Invalid argument."},
    {10024, "Too many open files."},
    {10035, "Operation would block. "},
    {10036, "Operation now in progress."},
    {10037, "Operation already in progress."},
    {10038, "Socket operation on non-socket."},
    {10039, "Destination address required."},
    {10040, "Message too long."},
    {10041, "Protocol wrong type for socket."},
    {10042, "Bad protocol option."},
    {10043, "Protocol not supported."},
    {10044, "Socket type not supported."},
    {10045, "Operation not supported on socket."},
    {10046, "Protocol family not supported."},
    {10047, "Address family not supported by protocol family."},
    {10048, "Address already in use."},
    {10049, "Cannot assign requested address."},
    {10050, "Network is down."},
    {10051, "Network is unreachable."},
    {10052, "Net dropped connection or reset."},
    {10053, "Software caused connection abort."},
    {10054, "Connection reset by peer."},
    {10055, "No buffer space available."},
    {10056, "Socket is already connected."},
    {10057, "Socket is not connected."},
    {10058, "Cannot send or receive after socket is closed."},
    {10059, "Too many references, cannot splice."},
    {10060, "Connection timed out."},
    {10061, "Connection refused."},
    {10062, "Too many levels of symbolic links."},
    {10063, "File name too long."},
    {10064, "Host is down."},
    {10065, "No route to host."},
    {10066, "Directory not empty"},
    {11001, "Host not found."},
};

struct ErrnoCode {
    int err;
    int code;
};

// Linux errno → the Windows Sockets code of the same meaning.
constexpr ErrnoCode kErrnoCodes[] = {
    {EINTR, 10004},        {EBADF, 10009},           {EACCES, 10013},
    {EPERM, 10013},        {EFAULT, 10014},          {EINVAL, 10022},
    {EMFILE, 10024},       {ENFILE, 10024},          {EAGAIN, 10035},
    {EINPROGRESS, 10036},  {EALREADY, 10037},        {ENOTSOCK, 10038},
    {EDESTADDRREQ, 10039}, {EMSGSIZE, 10040},        {EPROTOTYPE, 10041},
    {ENOPROTOOPT, 10042},  {EPROTONOSUPPORT, 10043}, {ESOCKTNOSUPPORT, 10044},
    {EOPNOTSUPP, 10045},   {EPFNOSUPPORT, 10046},    {EAFNOSUPPORT, 10047},
    {EADDRINUSE, 10048},   {EADDRNOTAVAIL, 10049},   {ENETDOWN, 10050},
    {ENETUNREACH, 10051},  {ENETRESET, 10052},       {ECONNABORTED, 10053},
    {ECONNRESET, 10054},   {ENOBUFS, 10055},         {ENOMEM, 10055},
    {EISCONN, 10056},      {ENOTCONN, 10057},        {ESHUTDOWN, 10058},
    {EPIPE, 10058},        {ETOOMANYREFS, 10059},    {ETIMEDOUT, 10060},
    {ECONNREFUSED, 10061}, {ELOOP, 10062},           {ENAMETOOLONG, 10063},
    {EHOSTDOWN, 10064},    {EHOSTUNREACH, 10065},    {ENOTEMPTY, 10066},
};

ResolveResult runResolver(const NameResolver& resolver, const std::string& name, int family) {
    return resolver ? resolver(name, family) : SocketStack::systemResolve(name, family);
}

// getaddrinfo cannot be interrupted: the lookup runs on a thread of its own that sends its
// answer ("code dotted") down a socket pair and ends. The caller waits for the answer or for
// cancelFd, whichever comes first, and walks away from a lookup it no longer needs: closing
// its end makes the thread's send fail quietly. They share nothing else.
ResolveResult resolveAbandonable(const NameResolver& resolver, const std::string& name, int family,
                                 int cancelFd) {
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return runResolver(resolver, name, family);  // out of descriptors: wait as before
    try {
        std::thread([answer = ends[1], resolver, name, family] {
            const ResolveResult r = runResolver(resolver, name, family);
            const std::string text = std::to_string(r.code) + ' ' + r.dotted;
            [[maybe_unused]] const ssize_t n =
                ::send(answer, text.data(), text.size(), MSG_NOSIGNAL);
            ::close(answer);
        }).detach();
    } catch (const std::system_error&) {
        ::close(ends[0]);
        ::close(ends[1]);
        return runResolver(resolver, name, family);  // no thread to be had: wait as before
    }
    const int wait = ends[0];
    std::string text;
    for (int reads = 0; reads < 64;) {
        pollfd fds[2] = {{wait, POLLIN, 0}, {cancelFd, POLLIN, 0}};
        const int rc = ::poll(fds, 2, -1);
        if (rc < 0 && errno == EINTR) continue;
        if (rc < 0 || (fds[1].revents & POLLIN)) {
            ::close(wait);
            throw CancelledError();
        }
        char buffer[128];
        const ssize_t n = ::recv(wait, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR) continue;
        ++reads;
        if (n <= 0) break;  // the thread has closed its end: the answer is whole
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(wait);
    ResolveResult result;
    const auto blank = text.find(' ');
    const auto code = parseInteger(std::string_view(text).substr(0, blank));
    result.code = code ? *code : 11003;
    if (blank != std::string::npos) result.dotted = text.substr(blank + 1);
    return result;
}

}  // namespace

SocketStack& SocketStack::addComponent() {
    std::lock_guard guard(componentLock());
    if (!g_stack) g_stack.reset(new SocketStack);
    ++g_componentCount;
    return *g_stack;
}

void SocketStack::removeComponent() {
    std::lock_guard guard(componentLock());
    if (g_componentCount > 0 && --g_componentCount == 0) g_stack.reset();
}

int SocketStack::componentCount() {
    std::lock_guard guard(componentLock());
    return g_componentCount;
}

SocketStack* SocketStack::instance() {
    std::lock_guard guard(componentLock());
    return g_stack.get();
}

void SocketStack::setResolver(NameResolver resolver) {
    std::lock_guard guard(resolverLock());
    resolverSlot() = std::move(resolver);
}

ResolveResult SocketStack::systemResolve(const std::string& name, int family) {
    addrinfo hints{};
    hints.ai_family = family;
    // Either family: only those this machine has an address of, in the resolver's order.
    if (family == AF_UNSPEC) hints.ai_flags = AI_ADDRCONFIG;
    // One socket type, so each address comes once and the first is the name service's first.
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    const int rc = ::getaddrinfo(name.c_str(), nullptr, &hints, &list);
    ResolveResult result;
    if (rc != 0) {
        switch (rc) {
            case EAI_NONAME:
                result.code = 11001;
                break;  // WSAHOST_NOT_FOUND
            case EAI_AGAIN:
                result.code = 11002;
                break;  // WSATRY_AGAIN
            case EAI_FAIL:
                result.code = 11003;
                break;  // WSANO_RECOVERY
#ifdef EAI_NODATA
            case EAI_NODATA:
                result.code = 11004;
                break;  // WSANO_DATA
#endif
#ifdef EAI_ADDRFAMILY
            case EAI_ADDRFAMILY:
                result.code = 11004;
                break;
#endif
            case EAI_MEMORY:
                result.code = 10055;
                break;
            case EAI_SYSTEM:
                result.code = wsaCodeFromErrno(errno);
                break;
            default:
                result.code = 11003;
                break;
        }
        if (result.code == 0) result.code = 11003;
        return result;
    }
    for (const addrinfo* a = list; a; a = a->ai_next) {
        if (!a->ai_addr || (a->ai_family != AF_INET && a->ai_family != AF_INET6)) continue;
        if (family != AF_UNSPEC && a->ai_family != family) continue;
        if (a->ai_family == AF_INET) {
            const auto* sin = reinterpret_cast<const sockaddr_in*>(a->ai_addr);
            std::array<std::uint8_t, 4> bytes{};
            std::memcpy(bytes.data(), &sin->sin_addr, 4);
            result.dotted = dottedFromAddr(bytes);
        } else {
            const auto* sin6 = reinterpret_cast<const sockaddr_in6*>(a->ai_addr);
            char text[INET6_ADDRSTRLEN] = {};
            ::inet_ntop(AF_INET6, &sin6->sin6_addr, text, sizeof text);
            result.dotted = text;
            char zone[IF_NAMESIZE] = {};
            if (sin6->sin6_scope_id != 0 && ::if_indextoname(sin6->sin6_scope_id, zone))
                result.dotted += std::string("%") + zone;
        }
        break;
    }
    ::freeaddrinfo(list);
    if (result.dotted.empty()) result.code = 11004;
    return result;
}

std::string SocketStack::resolveToDotted(const std::string& host, int cancelFd) const {
    return resolveAddress(host, AddressFamily::IPv4, cancelFd).text;
}

ResolvedAddress SocketStack::resolveAddress(const std::string& host, AddressFamily family,
                                            int cancelFd) const {
    int asked = AF_INET;
    if (family == AddressFamily::IPv4) {
        std::string upper = host;
        std::transform(upper.begin(), upper.end(), upper.begin(),
                       [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; });
        if (upper == "LOCALHOST") return {AddressFamily::IPv4, "127.0.0.1"};
        if (looksLikeDotted(host)) return {AddressFamily::IPv4, host};
    } else {
        // "localhost" is a name like any other here: the hosts file says what it is in IPv6.
        if (looksLikeIpv6(host)) return {AddressFamily::IPv6, host};
        if (family == AddressFamily::Any && looksLikeDotted(host))
            return {AddressFamily::IPv4, host};
        asked = family == AddressFamily::IPv6 ? AF_INET6 : AF_UNSPEC;
    }

    NameResolver resolver;
    {
        std::lock_guard guard(resolverLock());
        resolver = resolverSlot();
    }
    const ResolveResult r = cancelFd >= 0 ? resolveAbandonable(resolver, host, asked, cancelFd)
                                          : runResolver(resolver, host, asked);
    if (r.code != 0 || r.dotted.empty()) throw SocketError(r.code != 0 ? r.code : 11001);
    const bool v6 = looksLikeIpv6(r.dotted);
    // A resolver that answers in another family than asked is not believed.
    if ((asked == AF_INET && v6) || (asked == AF_INET6 && !v6)) throw SocketError(11004);
    return {v6 ? AddressFamily::IPv6 : AddressFamily::IPv4, r.dotted};
}

bool SocketStack::looksLikeIpv6(const std::string& text) {
    const std::string address = text.substr(0, text.find('%'));
    // inet_pton would stop at a NUL and take "::1<NUL>junk" for ::1.
    if (address.find(':') == std::string::npos || text.find('\0') != std::string::npos)
        return false;
    in6_addr bytes{};
    return ::inet_pton(AF_INET6, address.c_str(), &bytes) == 1;
}

bool SocketStack::looksLikeDotted(const std::string& text) { return hv::looksLikeDotted(text); }

std::string SocketStack::dottedFromAddr(const std::array<std::uint8_t, 4>& bytes) {
    std::string out;
    for (int i = 0; i < 4; ++i) {
        if (i) out += '.';
        out += std::to_string(bytes[static_cast<std::size_t>(i)]);
    }
    return out;
}

std::array<std::uint8_t, 4> SocketStack::addrFromDotted(const std::string& dotted) {
    std::array<std::uint8_t, 4> bytes{};
    std::string_view rest(dotted);
    for (std::size_t i = 0; i < 4; ++i) {
        const auto dot = rest.find('.');
        const std::string_view piece = rest.substr(0, dot);
        const auto value = parseInteger(piece);
        bytes[i] = value ? static_cast<std::uint8_t>(static_cast<std::uint32_t>(*value) & 0xFF) : 0;
        if (dot == std::string_view::npos) break;
        rest.remove_prefix(dot + 1);
    }
    return bytes;
}

int SocketStack::newSocket(int type, int protocol, int family) const {
    const int fd = ::socket(family, type | SOCK_CLOEXEC, protocol);
    if (fd < 0) throw InvalidSocketError(errno);
    return fd;
}

bool SocketStack::checkSocketCall(int result, std::initializer_list<int> ignore) const {
    if (result != -1) return false;
    const int code = lastErrorCode();
    if (std::find(ignore.begin(), ignore.end(), code) != ignore.end()) return true;
    throw SocketError(code);
}

int SocketStack::lastErrorCode() { return wsaCodeFromErrno(errno); }

int SocketStack::wsaCodeFromErrno(int err) {
    for (const ErrnoCode& e : kErrnoCodes) {
        if (e.err == err) return e.code;
    }
    // No Windows Sockets equivalent: keep the number, whose description is then empty.
    return err;
}

QString SocketStack::socketErrorMessage(int code) {
    const char* text = "";
    for (const CodeText& c : kDescriptions) {
        if (c.code == code) {
            text = c.text;
            break;
        }
    }
    return QStringLiteral("Socket Error # %1\r\n%2").arg(code).arg(QString::fromLatin1(text));
}

std::uint32_t SocketStack::tickCount() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    const auto ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
                    static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

}  // namespace hv
