#include <gtest/gtest.h>

#include <QString>
#include <climits>
#include <optional>

#include "platform/IntegerText.h"

namespace {

struct Case {
    const char* text;
    std::optional<std::int32_t> expected;
};

TEST(IntegerText, ReadsDecimalAndEveryHexPrefix) {
    const Case cases[] = {
        {"0", 0},
        {"10", 10},
        {"007", 7},
        {"  42", 42},
        {"\t7", 7},
        {"+5", 5},
        {"-5", -5},
        {"$FF", 255},
        {"$ff", 255},
        {"0xFF", 255},
        {"0XfF", 255},
        {"xFF", 255},
        {"XFF", 255},
        {"0x0", 0},
        {"-$10", -16},
        {" -0x10", -16},
        {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},
        // Hexadecimal may use all 32 bits.
        {"$FFFFFFFF", -1},
        {"0x80000000", INT_MIN},
        {"$000000001", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(hv::parseInteger(std::string_view(c.text)), c.expected);
        EXPECT_EQ(hv::parseInteger(QString::fromUtf8(c.text)), c.expected);
    }
}

TEST(IntegerText, RejectsAnythingElse) {
    const char* cases[] = {
        "",     " ",   "+",          "-",           "$",          "0x",          "x",    "12 ",
        "1.5",  "12a", "1e3",        "--1",         "+-1",        "$-1",         "0x-1", "0x1G",
        "$ FF", "- 1", "2147483648", "-2147483649", "$100000000", "0x1FFFFFFFF",
    };
    for (const char* text : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(hv::parseInteger(std::string_view(text)), std::nullopt);
    }
    // Digits of other scripts are no digits here.
    EXPECT_EQ(hv::parseInteger(QStringLiteral("\uFF11\uFF12")), std::nullopt);
    EXPECT_EQ(hv::parseInteger(QStringLiteral("1\u00A0")), std::nullopt);
}

}  // namespace
