#include "platform/DottedAddress.h"

#include "platform/IntegerText.h"

namespace hv {

bool looksLikeDotted(std::string_view text) {
    std::string_view rest(text);
    for (int part = 0; part < 4; ++part) {
        std::string_view piece;
        if (part < 3) {
            const auto dot = rest.find('.');
            if (dot == std::string_view::npos) return false;
            piece = rest.substr(0, dot);
            rest.remove_prefix(dot + 1);
        } else {
            piece = rest;
        }
        const auto value = parseInteger(piece);
        if (!value || *value < 0 || *value > 255) return false;
    }
    return true;
}

}  // namespace hv
