#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include <QString>

namespace hv {

// The integer reading used by settings values, dotted-address parts and translation indexes:
// leading blanks are skipped, a "+" or "-" may follow, then decimal digits, or hexadecimal
// digits after "$", "x", "X", "0x" or "0X"; nothing else may follow. Decimal must fit in 32
// signed bits; hexadecimal may use all 32 bits (so "$FFFFFFFF" is -1).
std::optional<std::int32_t> parseInteger(std::string_view text);
std::optional<std::int32_t> parseInteger(const QString& text);

}  // namespace hv
