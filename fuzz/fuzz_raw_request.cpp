// Any bytes as the helper's request or the program's reply: the parses never read outside the
// message, accept only what the encoders give back byte for byte, and hold their bounds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "rawhelper/RawRequest.h"

namespace rh = hv::rawhelper;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Copied so that the sanitizer sees the exact end.
    const std::vector<std::uint8_t> bytes(data, data + size);
    if (const auto request = rh::parseRequest(bytes.data(), bytes.size())) {
        if (request->family != 4 && request->family != 6) std::abort();
        if (request->count < 1 || request->count > rh::kMaxCount) std::abort();
        std::uint8_t again[rh::kRequestSize];
        rh::encodeRequest(*request, again);
        if (std::memcmp(again, bytes.data(), rh::kRequestSize) != 0) std::abort();
    }
    if (const auto reply = rh::parseReply(bytes.data(), bytes.size())) {
        if (reply->count < 0 || reply->count > rh::kMaxCount) std::abort();
        if ((reply->status == rh::Status::Sockets) != (reply->count > 0)) std::abort();
        std::uint8_t again[rh::kReplySize];
        rh::encodeReply(*reply, again);
        if (std::memcmp(again, bytes.data(), rh::kReplySize) != 0) std::abort();
    }
    return 0;
}
