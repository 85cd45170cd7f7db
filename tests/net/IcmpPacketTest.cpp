#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "net/EchoProbe.h"
#include "net/IcmpClient.h"
#include "net/NetError.h"

using namespace hv;

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t kId = 0x1234;
constexpr std::uint16_t kSeq = 3489;

void putLe16(Bytes& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

// An IPv4 header of h bytes from src with the given TTL.
Bytes ipHeader(int h, std::uint8_t ttl, std::array<std::uint8_t, 4> src) {
    Bytes b(static_cast<std::size_t>(h), 0);
    b[0] = static_cast<std::uint8_t>(0x40 | (h / 4));
    b[8] = ttl;
    b[9] = 1;
    std::copy(src.begin(), src.end(), b.begin() + 12);
    return b;
}

Bytes echoHeader(std::uint8_t type, std::uint16_t id, std::uint16_t seq) {
    Bytes b(8, 0);
    b[0] = type;
    putLe16(b, 4, id);
    putLe16(b, 6, seq);
    return b;
}

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

const std::array<std::uint8_t, 4> kPeer{198, 51, 100, 2};

Bytes echo(std::uint8_t type, std::uint16_t id, std::uint16_t seq, int h = 20,
           std::uint8_t ttl = 64) {
    return cat({ipHeader(h, ttl, kPeer), echoHeader(type, id, seq), Bytes(32, 'E')});
}

// A router's message of type quoting our request (quoted header qh bytes long).
Bytes quoting(std::uint8_t type, std::uint16_t id, std::uint16_t seq, int h = 20, int qh = 20) {
    Bytes icmp(8, 0);
    icmp[0] = type;
    return cat(
        {ipHeader(h, 63, kPeer), icmp, ipHeader(qh, 1, {198, 51, 100, 1}), echoHeader(8, id, seq)});
}

Bytes cut(Bytes b, std::size_t size) {
    b.resize(size);
    return b;
}

struct Parsed {
    bool done = false;
    ReplyStatus record;
};

Parsed parse(const Bytes& b, std::optional<std::uint16_t> id = kId) {
    Parsed p;
    p.record.sourceAddress = "";
    p.done = IcmpClient::parseReply(b.data(), static_cast<int>(b.size()), kSeq, id, p.record);
    return p;
}

}  // namespace

TEST(IcmpRequest, FiftyTwoBytesLittleEndianWithValidChecksum) {
    IcmpClient client;
    client.echoSequence = 3489;
    client.buildEchoRequest("");
    const auto& r = client.request();
    EXPECT_EQ(r[0], 8);
    EXPECT_EQ(r[1], 0);
    EXPECT_EQ(r[4], client.identifier() & 0xFF);
    EXPECT_EQ(r[5], client.identifier() >> 8);
    EXPECT_EQ(r[6], 0xA1);
    EXPECT_EQ(r[7], 0x0D);
    for (int i = 12; i < 20; ++i) EXPECT_EQ(r[i], 0) << i;
    for (int i = 20; i < 52; ++i) EXPECT_EQ(r[i], 'E') << i;
    // Summed with its checksum in place, a valid message gives 0 in complement.
    EXPECT_EQ(IcmpClient::checksum(r.data(), r.size()), 0);

    client.buildEchoRequest(std::string(40, 'a'));
    for (int i = 20; i < 52; ++i) EXPECT_EQ(client.request()[i], 'a') << i;
    client.buildEchoRequest("hi");
    EXPECT_EQ(client.request()[20], 'h');
    EXPECT_EQ(client.request()[22], 'E');
    EXPECT_EQ(IcmpClient::checksum(client.request().data(), 52), 0);
}

TEST(IcmpRequest, ChecksumMatchesRfc1071Example) {
    // RFC 1071's example words 0001 f203 f4f5 f6f7 sum to ddf2, complement 220d (network
    // order); stored as the two bytes 0x22 0x0d.
    const std::uint8_t data[] = {0x00, 0x01, 0xf2, 0x03, 0xf4, 0xf5, 0xf6, 0xf7};
    const std::uint16_t c = IcmpClient::checksum(data, sizeof data);
    EXPECT_EQ(c & 0xFF, 0x22);
    EXPECT_EQ(c >> 8, 0x0d);
}

TEST(IcmpParse, OnlyOurEchoReplyOrAQuotedRequestEndsTheWait) {
    const struct {
        const char* what;
        Bytes datagram;
        std::optional<std::uint16_t> id;
        bool done;
        ReplyOutcome outcome;
        bool alive;
    } cases[] = {
        {"our reply", echo(0, kId, kSeq), kId, true, ReplyOutcome::EchoReply, true},
        {"reply after a 24-byte header", echo(0, kId, kSeq, 24), kId, true, ReplyOutcome::EchoReply,
         true},
        {"reply with a 60-byte header", echo(0, kId, kSeq, 60), kId, true, ReplyOutcome::EchoReply,
         true},
        {"reply with TTL 0", echo(0, kId, kSeq, 20, 0), kId, true, ReplyOutcome::EchoReply, false},
        {"late reply to an earlier echo", echo(0, kId, kSeq - 1), kId, false,
         ReplyOutcome::EchoReply, false},
        {"another program's reply", echo(0, kId + 1, kSeq), kId, false, ReplyOutcome::EchoReply,
         false},
        {"any identifier on a datagram socket", echo(0, 0x9999, kSeq), std::nullopt, true,
         ReplyOutcome::EchoReply, true},
        {"our own request looped back", echo(8, kId, kSeq), kId, false, ReplyOutcome::EchoReply,
         false},
        {"unreachable quoting ours", quoting(3, kId, kSeq), kId, true, ReplyOutcome::Unreachable,
         false},
        {"time exceeded quoting ours", quoting(11, kId, kSeq), kId, true, ReplyOutcome::TtlExpired,
         false},
        {"unreachable, outer header 24, quoted 20", quoting(3, kId, kSeq, 24, 20), kId, true,
         ReplyOutcome::Unreachable, false},
        {"time exceeded, quoted header 28", quoting(11, kId, kSeq, 20, 28), kId, true,
         ReplyOutcome::TtlExpired, false},
        {"unreachable quoting another echo", quoting(3, kId, kSeq + 1), kId, false,
         ReplyOutcome::Unreachable, false},
        {"unreachable quoting another program", quoting(3, kId + 1, kSeq), kId, false,
         ReplyOutcome::Unreachable, false},
        {"unreachable cut before the quoted request", cut(quoting(3, kId, kSeq), 20 + 8 + 20 + 4),
         kId, false, ReplyOutcome::Unreachable, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Parsed p = parse(c.datagram, c.id);
        EXPECT_EQ(p.done, c.done);
        EXPECT_EQ(p.record.outcome, c.outcome);
        if (c.done) {
            EXPECT_EQ(p.record.byteCount, static_cast<int>(c.datagram.size()));
            EXPECT_EQ(p.record.sourceAddress, "198.51.100.2");
            EXPECT_EQ(p.record.seqNumber, kSeq);
            EXPECT_EQ(p.record.icmpType, c.datagram[4 * (c.datagram[0] & 0xF)]);
        } else {
            // The record keeps what it had: nothing of ours arrived.
            EXPECT_EQ(p.record.sourceAddress, "");
            EXPECT_EQ(p.record.byteCount, 0);
        }
        EXPECT_EQ(EchoProbe::replyMeansAlive(p.record), c.alive);
    }
}

TEST(IcmpParse, NothingReceivedGivesTheTimeOutRecord) {
    ReplyStatus r;
    r.sourceAddress = "198.51.100.2";
    r.replyTtl = 64;
    EXPECT_TRUE(IcmpClient::parseReply(nullptr, 0, kSeq, kId, r));
    EXPECT_EQ(r.byteCount, 0);
    EXPECT_EQ(r.sourceAddress, "0.0.0.0");
    EXPECT_EQ(r.icmpType, 0);
    EXPECT_EQ(r.seqNumber, kSeq);
    EXPECT_EQ(r.replyTtl, 0);
    EXPECT_EQ(r.outcome, ReplyOutcome::TimedOut);
    EXPECT_FALSE(EchoProbe::replyMeansAlive(r));
}

TEST(IcmpParse, ShortDatagramsAndOtherTypesAreSkipped) {
    // Anything a raw socket may see that is not about our request leaves the wait running.
    const std::pair<const char*, Bytes> skipped[] = {
        {"reply cut inside its header", cut(echo(0, kId, kSeq), 27)},
        {"24-byte IP header and 7 of ICMP", cut(echo(0, kId, kSeq, 24), 31)},
        {"IP header length beyond the datagram", Bytes{0x4F, 0, 0, 0}},
        {"unreachable of 4 bytes", cut(quoting(3, kId, kSeq), 24)},
        {"redirect", echo(5, kId, kSeq)},
        {"source quench", echo(4, kId, kSeq)},
        {"parameter problem", echo(12, kId, kSeq)},
        {"timestamp", echo(13, kId, kSeq)},
        {"timestamp reply", echo(14, kId, kSeq)},
        {"type 255", echo(255, kId, kSeq)},
    };
    for (const auto& [what, datagram] : skipped) {
        SCOPED_TRACE(what);
        const Parsed p = parse(datagram);
        EXPECT_FALSE(p.done);
        EXPECT_EQ(p.record.sourceAddress, "");
    }
    // Exactly the header plus 8 bytes is enough.
    EXPECT_TRUE(parse(cut(echo(0, kId, kSeq), 28)).done);
}

TEST(IcmpParse, SuccessRuleNeedsAnEchoReplyFromARealSource) {
    ReplyStatus r;
    r.byteCount = 84;
    r.sourceAddress = "127.0.0.1";
    r.icmpType = 0;
    r.replyTtl = 64;
    r.outcome = ReplyOutcome::EchoReply;
    EXPECT_TRUE(EchoProbe::replyMeansAlive(r));
    ReplyStatus zeroSource = r;
    zeroSource.sourceAddress = "0.0.0.0";
    ReplyStatus empty = r;
    empty.sourceAddress = "";
    empty.byteCount = 0;
    empty.replyTtl = 0;
    ReplyStatus unreachable = r;
    unreachable.outcome = ReplyOutcome::Unreachable;
    unreachable.icmpType = 3;
    for (const ReplyStatus& down : {zeroSource, empty, unreachable})
        EXPECT_FALSE(EchoProbe::replyMeansAlive(down)) << down.sourceAddress;
}
