#pragma once

#include <sys/socket.h>

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>

#include "checking/ProbeKinds.h"

namespace hv {

// What the name service answered: the first address of the family asked for, as text (dotted
// IPv4, or IPv6 with "%zone" when it has a scope), or, when code is not 0, the Windows Sockets
// code of the failure (11001 for a name it does not know).
struct ResolveResult {
    std::string dotted;
    int code = 0;
};
// family: AF_INET, AF_INET6, or AF_UNSPEC for either (the resolver's order).
using NameResolver = std::function<ResolveResult(const std::string& name, int family)>;

// An address a probe goes to: its family (IPv4 or IPv6, never Any) and its text.
struct ResolvedAddress {
    AddressFamily family = AddressFamily::IPv4;
    std::string text;
};

// The socket layer's one process-wide object: name resolution, address conversion and the
// translation of failed calls into numbered errors. It exists while at least one networking
// component does; the count and the object's creation are guarded by one process-wide lock.
class SocketStack {
public:
    // Called by every networking component when it is created / destroyed.
    static SocketStack& addComponent();
    static void removeComponent();
    static int componentCount();
    // The live object, or nullptr when no component exists.
    static SocketStack* instance();

    // Replaces the name service (getaddrinfo) for the whole process; an empty function
    // restores it. Lets tests resolve names without depending on DNS.
    static void setResolver(NameResolver resolver);
    // getaddrinfo, first address of the family (AF_UNSPEC: either, with AI_ADDRCONFIG, in the
    // system's RFC 6724 order); failures mapped to the Windows Sockets codes.
    static ResolveResult systemResolve(const std::string& name, int family = AF_INET);

    // "LOCALHOST" in any case → "127.0.0.1"; a dotted address unchanged; anything else from
    // the name service, whole. Throws SocketError with the name service's code.
    // With cancelFd (>= 0) the name service runs on a thread of its own and the wait watches
    // cancelFd too: readable means CancelledError at once, and the abandoned lookup ends (and
    // frees everything it holds) on its own when the name service gives up.
    std::string resolveToDotted(const std::string& host, int cancelFd = -1) const;
    // The same in a family: IPv4 exactly as resolveToDotted; IPv6 takes an IPv6 address as it
    // is and asks the name service for IPv6 addresses; Any takes either kind of address as it
    // is and asks for the name service's first address of either family.
    ResolvedAddress resolveAddress(const std::string& host, AddressFamily family,
                                   int cancelFd = -1) const;
    // An IPv6 address, with or without "%zone" (the zone is not looked at).
    static bool looksLikeIpv6(const std::string& text);

    // Four parts cut at the first three periods, each an integer 0..255 by the runtime's
    // integer reading ("0x0A.0.0.1" passes, "10.0.0.1.5" fails).
    static bool looksLikeDotted(const std::string& text);
    static std::string dottedFromAddr(const std::array<std::uint8_t, 4>& bytes);
    // Each part's low 8 bits, in order; a part that does not convert gives 0.
    static std::array<std::uint8_t, 4> addrFromDotted(const std::string& dotted);

    // socket(family, type, protocol); throws InvalidSocketError "Cannot allocate socket.".
    int newSocket(int type, int protocol, int family = AF_INET) const;

    // false when result is not -1; else the last error's code: true when it is in ignore,
    // otherwise SocketError is thrown.
    bool checkSocketCall(int result, std::initializer_list<int> ignore = {}) const;
    // The last error (errno) as a Windows Sockets code.
    static int lastErrorCode();
    static int wsaCodeFromErrno(int err);
    // "Socket Error # %d\r\n%s" with the code's description (empty for an unknown code).
    static QString socketErrorMessage(int code);

    // The 32-bit millisecond tick counter; differences are taken modulo 2^32.
    static std::uint32_t tickCount();

private:
    SocketStack() = default;
};

}  // namespace hv
