// Any datagram, as a raw or datagram ICMP socket could deliver it: the parse may raise its
// own errors but must never read outside the datagram, and a datagram it accepts must be one
// that really carries our numbers.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "net/EIdException.h"
#include "net/TIdIcmpClient.h"

using hv::TIdIcmpClient;
using hv::TReplyOutcome;
using hv::TReplyStatus;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    // The first bytes choose the expected sequence and the socket kind; the rest is the
    // datagram, copied so that the sanitizer sees its exact end.
    const std::uint16_t sequence = static_cast<std::uint16_t>(data[0] | (data[1] << 8));
    const bool raw = data[2] & 1;
    const std::uint16_t id = 0x4D2;
    std::vector<std::uint8_t> datagram(data + 3, data + size);
    if (datagram.size() > 1024) datagram.resize(1024);
    TReplyStatus record;
    try {
        const bool done = TIdIcmpClient::ParseReply(
            datagram.data(), static_cast<int>(datagram.size()), sequence,
            raw ? std::optional<std::uint16_t>(id) : std::nullopt, record);
        if (done && !datagram.empty()) {
            if (record.SeqNumber != sequence) std::abort();
            if (record.ByteCount != static_cast<int>(datagram.size())) std::abort();
            if (record.Outcome == TReplyOutcome::roEchoReply && record.IcmpType != 0) std::abort();
        }
        if (datagram.empty() && (!done || record.Outcome != TReplyOutcome::roTimedOut))
            std::abort();
    } catch (const hv::EIdIcmpException&) {
    }
    return 0;
}
