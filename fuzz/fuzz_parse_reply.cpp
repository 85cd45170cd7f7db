// Any datagram, as a raw or datagram ICMP socket could deliver it: the parse may raise its
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
    // The first bytes choose the expected sequence and the socket kind; the rest is the
    // datagram, copied so that the sanitizer sees its exact end.
    const std::uint16_t sequence = static_cast<std::uint16_t>(data[0] | (data[1] << 8));
    const bool raw = data[2] & 1;
    const std::uint16_t id = 0x4D2;
    std::vector<std::uint8_t> datagram(data + 3, data + size);
    if (datagram.size() > 1024) datagram.resize(1024);
    ReplyStatus record;
    try {
        const bool done =
            IcmpClient::parseReply(datagram.data(), static_cast<int>(datagram.size()), sequence,
                                   raw ? std::optional<std::uint16_t>(id) : std::nullopt, record);
        if (done && !datagram.empty()) {
            if (record.seqNumber != sequence) std::abort();
            if (record.byteCount != static_cast<int>(datagram.size())) std::abort();
            if (record.outcome == ReplyOutcome::EchoReply && record.icmpType != 0) std::abort();
        }
        if (datagram.empty() && (!done || record.outcome != ReplyOutcome::TimedOut)) std::abort();
    } catch (const hv::IcmpError&) {
    }
    return 0;
}
