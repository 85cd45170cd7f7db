// Any text as an integer setting: the parse agrees with a plain reference reading, with its
// own printed result, and with the QString entry point.
#include <QString>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "platform/IntegerText.h"

namespace {

// The documented rule, written the slow way: blanks, sign, "$"/"x"/"X"/"0x"/"0X" or decimal.
std::optional<std::int32_t> reference(std::string_view t) {
    std::size_t i = 0;
    while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
    bool neg = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) neg = t[i++] == '-';
    int base = 10;
    if (t.substr(i, 1) == "$" || t.substr(i, 1) == "x" || t.substr(i, 1) == "X") {
        base = 16;
        i += 1;
    } else if (t.substr(i, 2) == "0x" || t.substr(i, 2) == "0X") {
        base = 16;
        i += 2;
    }
    std::string_view digits = t.substr(i);
    if (digits.empty()) return std::nullopt;
    for (char c : digits) {
        if (base == 10 ? !std::isdigit(static_cast<unsigned char>(c))
                       : !std::isxdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
    }
    while (digits.size() > 1 && digits.front() == '0') digits.remove_prefix(1);
    if (digits.size() > 10) return std::nullopt;
    const unsigned long long v = std::stoull(std::string(digits), nullptr, base);
    if (base == 16) {
        if (v > 0xFFFFFFFFull) return std::nullopt;
        const auto bits = static_cast<std::uint32_t>(v);
        return static_cast<std::int32_t>(neg ? 0u - bits : bits);
    }
    if (v > (neg ? 0x80000000ull : 0x7FFFFFFFull)) return std::nullopt;
    return static_cast<std::int32_t>(neg ? -static_cast<long long>(v) : static_cast<long long>(v));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto got = hv::parseInteger(text);
    if (got != reference(text)) std::abort();
    if (got && hv::parseInteger(std::to_string(*got)) != got) std::abort();
    // Through QString: the same for text that is valid UTF-8 and has no zero byte.
    const QString q = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    if (q.toUtf8() == QByteArray(text.data(), static_cast<qsizetype>(text.size())) &&
        hv::parseInteger(q) != got)
        std::abort();
    return 0;
}
