#include "rawhelper/RawRequest.h"

#include <algorithm>

namespace hv::rawhelper {

namespace {

constexpr std::uint8_t kRequestTag[4] = {'H', 'V', 'R', '1'};
constexpr std::uint8_t kReplyTag[4] = {'H', 'V', 'A', '1'};

bool tagged(const std::uint8_t* data, const std::uint8_t (&tag)[4]) {
    return std::equal(tag, tag + 4, data);
}

}  // namespace

void encodeRequest(const Request& request, std::uint8_t (&out)[kRequestSize]) {
    std::copy(kRequestTag, kRequestTag + 4, out);
    out[4] = static_cast<std::uint8_t>(request.family);
    out[5] = static_cast<std::uint8_t>(request.count);
    out[6] = out[7] = 0;
}

std::optional<Request> parseRequest(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr || size != kRequestSize || !tagged(data, kRequestTag)) return std::nullopt;
    if (data[4] != 4 && data[4] != 6) return std::nullopt;
    if (data[5] < 1 || data[5] > kMaxCount) return std::nullopt;
    if (data[6] != 0 || data[7] != 0) return std::nullopt;
    return Request{data[4], data[5]};
}

void encodeReply(const Reply& reply, std::uint8_t (&out)[kReplySize]) {
    std::copy(kReplyTag, kReplyTag + 4, out);
    out[4] = static_cast<std::uint8_t>(reply.status);
    out[5] = static_cast<std::uint8_t>(reply.count);
    out[6] = static_cast<std::uint8_t>(reply.error & 0xFF);
    out[7] = static_cast<std::uint8_t>((reply.error >> 8) & 0xFF);
}

std::optional<Reply> parseReply(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr || size != kReplySize || !tagged(data, kReplyTag)) return std::nullopt;
    if (data[4] > static_cast<std::uint8_t>(Status::DropFailed)) return std::nullopt;
    const auto status = static_cast<Status>(data[4]);
    const int count = data[5];
    if (count > kMaxCount || (status != Status::Sockets && count != 0)) return std::nullopt;
    if (status == Status::Sockets && count == 0) return std::nullopt;
    return Reply{status, count, data[6] | (data[7] << 8)};
}

}  // namespace hv::rawhelper
