#include <gtest/gtest.h>

#include "platform/TimeFormat.h"

using hv::TimeFormat;

TEST(TimeFormat, LongTimeOfFixedLocales) {
    struct Case {
        const char* locale;
        QTime time;
        const char* text;  // UTF-8
    } cases[] = {
        {"C", QTime(14, 5, 9), "14:05:09"},
        {"C", QTime(9, 5, 9), "09:05:09"},
        {"de_DE", QTime(14, 5, 9), "14:05:09"},
        {"en_GB", QTime(0, 7, 8), "00:07:08"},
        // 12-hour clock, marker after the time; midnight and noon are 12.
        {"en_US", QTime(14, 5, 9), "2:05:09 PM"},
        {"en_US", QTime(0, 0, 0), "12:00:00 AM"},
        {"en_US", QTime(12, 30, 59), "12:30:59 PM"},
        {"en_US", QTime(11, 59, 59), "11:59:59 AM"},
        {"en_AU", QTime(23, 1, 2), "11:01:02 pm"},
        // Marker before the time; the format names its units, so the separator is ":".
        {"ko_KR", QTime(14, 5, 9), "\xEC\x98\xA4\xED\x9B\x84 2:05:09"},
        {"ko_KR", QTime(0, 0, 1), "\xEC\x98\xA4\xEC\xA0\x84 12:00:01"},
        {"zh_CN", QTime(9, 5, 9), "09:05:09"},
        // No leading zero on a 24-hour clock; other separators.
        {"ja_JP", QTime(9, 5, 9), "9:05:09"},
        {"fi_FI", QTime(9, 5, 9), "9.05.09"},
        {"da_DK", QTime(14, 5, 9), "14.05.09"},
        {"fr_CA", QTime(9, 5, 9), "09:05:09"},
    };
    for (const Case& c : cases) {
        const TimeFormat f = TimeFormat::fromLocale(QLocale(QString::fromLatin1(c.locale)));
        EXPECT_EQ(f.format(c.time).toStdString(), c.text) << c.locale;
    }
}

TEST(TimeFormat, ReadsClockAndMarkerPlace) {
    const TimeFormat us = TimeFormat::fromLocale(QLocale("en_US"));
    EXPECT_TRUE(us.twelveHour);
    EXPECT_FALSE(us.markerFirst);
    EXPECT_FALSE(us.hourLeadingZero);
    EXPECT_EQ(us.amText, "AM");
    const TimeFormat ko = TimeFormat::fromLocale(QLocale("ko_KR"));
    EXPECT_TRUE(ko.twelveHour);
    EXPECT_TRUE(ko.markerFirst);
    const TimeFormat de = TimeFormat::fromLocale(QLocale("de_DE"));
    EXPECT_FALSE(de.twelveHour);
    EXPECT_TRUE(de.hourLeadingZero);
    EXPECT_EQ(de.separator, ":");
}

TEST(TimeFormat, FormatFollowsItsFields) {
    TimeFormat f;
    f.hourLeadingZero = true;
    f.twelveHour = true;
    f.separator = "-";
    f.amText = "vm";
    f.pmText = "nm";
    EXPECT_EQ(f.format(QTime(13, 2, 3)), "01-02-03 nm");
    f.markerFirst = true;
    EXPECT_EQ(f.format(QTime(1, 2, 3)), "vm 01-02-03");
    EXPECT_EQ(f.format(QTime()), "");
}
