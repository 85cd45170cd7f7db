// Any datagram, as a raw or datagram ICMP or ICMPv6 socket could deliver it (ICMPv6 in the
// layout the client gives it): the parse may raise its
// own errors but must never read outside the datagram, and a datagram it accepts must be one
// that really carries our numbers.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "net/IcmpClient.h"
#include "net/NetError.h"

using hv::IcmpClient;
using hv::ReplyOutcome;
using hv::ReplyStatus;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    // The first bytes choose the expected sequence, the socket kind and the family; the rest is
    // the datagram, copied so that the sanitizer sees its exact end.
    const std::uint16_t sequence = static_cast<std::uint16_t>(data[0] | (data[1] << 8));
    const bool raw = data[2] & 1;
    const bool v6 = data[2] & 2;
    const std::uint16_t id = 0x4D2;
    std::vector<std::uint8_t> datagram(data + 3, data + size);
    if (datagram.size() > 1024) datagram.resize(1024);
    ReplyStatus record;
    try {
        const auto parse = v6 ? &IcmpClient::parseReply6
                              : static_cast<bool (*)(const std::uint8_t*, int, std::uint16_t,
                                                     std::optional<std::uint16_t>, ReplyStatus&)>(
                                    &IcmpClient::parseReply);
        const bool done = parse(datagram.data(), static_cast<int>(datagram.size()), sequence,
                                raw ? std::optional<std::uint16_t>(id) : std::nullopt, record);
        if (done && !datagram.empty()) {
            if (record.seqNumber != sequence) std::abort();
            if (record.byteCount != static_cast<int>(datagram.size())) std::abort();
            if (record.outcome == ReplyOutcome::EchoReply && record.icmpType != (v6 ? 129 : 0))
                std::abort();
        }
        if (datagram.empty() && (!done || record.outcome != ReplyOutcome::TimedOut)) std::abort();
    } catch (const hv::IcmpError&) {
    }
    return 0;
}
