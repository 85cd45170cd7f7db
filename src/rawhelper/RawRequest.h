#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

// The messages between the program and hostvane-icmp-helper, the small program that alone holds
// CAP_NET_RAW: the program asks for raw ICMP sockets of one family, the helper answers with
// them (as SCM_RIGHTS) or with why not. Both messages have a fixed size and layout, so the
// privileged side parses nothing of variable length. No Qt: the helper links this alone.
namespace hv::rawhelper {

// The file name of the helper, beside the program's executable.
inline constexpr const char* kProgramFile = "hostvane-icmp-helper";
// The descriptor on which the helper finds its end of the program's socket pair.
inline constexpr int kChannelFd = 3;
// The most sockets one request may ask for.
inline constexpr int kMaxCount = 16;
inline constexpr std::size_t kRequestSize = 8;
inline constexpr std::size_t kReplySize = 8;

struct Request {
    int family = 4;  // 4: ICMP, 6: ICMPv6
    int count = 1;   // 1..kMaxCount
    bool operator==(const Request&) const = default;
};

// "HVR1", the family (4 or 6), the count, two zero bytes. Parsing refuses anything else:
// another size, another tag, family or count, a reserved byte that is not zero.
void encodeRequest(const Request& request, std::uint8_t (&out)[kRequestSize]);
std::optional<Request> parseRequest(const std::uint8_t* data, std::size_t size);

enum class Status : std::uint8_t {
    Sockets = 0,       // count descriptors come with the reply
    BadRequest = 1,    // the request was refused
    SocketFailed = 2,  // socket() failed: error holds its errno
    DropFailed = 3,    // the capabilities could not be dropped: nothing is handed over
};

struct Reply {
    Status status = Status::Sockets;
    int count = 0;  // descriptors that come with it (only with Status::Sockets)
    int error = 0;  // errno, 0..65535
    bool operator==(const Reply&) const = default;
};

// "HVA1", the status, the count, the error as 16 bits least significant byte first.
void encodeReply(const Reply& reply, std::uint8_t (&out)[kReplySize]);
std::optional<Reply> parseReply(const std::uint8_t* data, std::size_t size);

}  // namespace hv::rawhelper
