#include <gtest/gtest.h>

#include <QLocale>

#include "checking/RoundTripText.h"

namespace {

// Files and terminals: ms with up to 3 decimals and a dot, whatever the locale.
TEST(RoundTripText, FilesGetMillisecondsWithUpToThreeDecimalsAndADot) {
    const struct {
        std::int64_t us;
        const char* text;
    } cases[] = {
        {-1, ""},
        {0, "0"},
        {52, "0.052"},
        {1, "0.001"},
        {500, "0.5"},
        {1000, "1"},
        {1500, "1.5"},
        {12'340, "12.34"},
        {40'000, "40"},
        {999'999, "999.999"},
        {86'400'000'123, "86400000.123"},
    };
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    for (const auto& c : cases) EXPECT_EQ(hv::roundTripMsText(c.us), c.text) << c.us;
    QLocale::setDefault(before);
}

// Tables: 2 decimals below 10 ms, 1 below 100 ms, none above, in the locale's separator.
TEST(RoundTripText, TablesRoundByMagnitudeInTheLocalesSeparator) {
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QLocale german(QLocale::German, QLocale::Germany);
    const struct {
        std::int64_t us;
        const char* english;
        const char* german;
    } cases[] = {
        {-1, "", ""},
        {0, "0.00", "0,00"},
        {52, "0.05", "0,05"},
        {9'994, "9.99", "9,99"},
        {10'000, "10.0", "10,0"},
        {12'345, "12.3", "12,3"},
        {99'940, "99.9", "99,9"},
        {100'000, "100", "100"},
        {1'234'567, "1235", "1235"},  // no thousands separator in a figure column
    };
    for (const auto& c : cases) {
        EXPECT_EQ(hv::roundTripDisplayText(c.us, english), c.english) << c.us;
        EXPECT_EQ(hv::roundTripDisplayText(c.us, german), c.german) << c.us;
    }
}

}  // namespace
