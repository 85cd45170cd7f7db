#pragma once

#include <cstdint>
#include <string>

namespace hv {

enum class TReplyOutcome : std::uint8_t {
    roEchoReply = 0,
    roError = 1,
    roTimedOut = 2,
    roUnreachable = 3,  // destination unreachable quoting our request
    roTtlExpired = 4,   // time exceeded quoting our request
};

// The record of one ICMP echo, handed to the reply handler.
struct TReplyStatus {
    std::int32_t ByteCount = 0;  // matched datagram with its IP header; 0 on time-out
    std::string SourceAddress;   // "0.0.0.0" on time-out; empty after only foreign datagrams
    std::uint8_t IcmpType = 0;
    std::uint16_t SeqNumber = 0;
    std::uint32_t RoundTripMs = 0;
    std::uint8_t ReplyTtl = 0;
    TReplyOutcome Outcome = TReplyOutcome::roEchoReply;
};

}  // namespace hv
