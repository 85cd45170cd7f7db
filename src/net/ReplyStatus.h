#pragma once

#include <cstdint>
#include <string>

namespace hv {

enum class ReplyOutcome : std::uint8_t {
    EchoReply = 0,
    Error = 1,
    TimedOut = 2,
    Unreachable = 3,  // destination unreachable quoting our request
    TtlExpired = 4,   // time exceeded quoting our request
};

// The record of one ICMP echo, handed to the reply handler.
struct ReplyStatus {
    std::int32_t byteCount = 0;  // matched datagram with its IP header; 0 on time-out
    std::string sourceAddress;   // "0.0.0.0" on time-out; empty after only foreign datagrams
    std::uint8_t icmpType = 0;
    std::uint16_t seqNumber = 0;
    std::uint32_t roundTripMs = 0;
    // Steady clock from the send to the matching datagram, in µs; -1 when none came.
    std::int64_t roundTripUs = -1;
    std::uint8_t replyTtl = 0;
    ReplyOutcome outcome = ReplyOutcome::EchoReply;
};

}  // namespace hv
