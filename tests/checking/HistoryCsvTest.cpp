#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QTimeZone>

#include "checking/HistoryCsv.h"

TEST(HistoryCsv, RoundTripsAreMillisecondsWithUpTo3DecimalsAndADot) {
    const struct {
        std::int64_t us;
        const char* want;
    } cases[] = {{-1, ""},    {0, "0"},          {52, "0.052"},      {1500, "1.5"},
                 {2000, "2"}, {12345, "12.345"}, {100010, "100.01"}, {2500000, "2500"}};
    for (const auto& c : cases) EXPECT_EQ(hv::millisecondsField(c.us), c.want) << c.us;
}

TEST(HistoryCsv, HeaderStatesAndQuotingAsRfc4180) {
    const std::int64_t t =
        QDateTime(QDate(2026, 3, 7), QTime(14, 5, 9, 250), Qt::UTC).toMSecsSinceEpoch();
    const QByteArray csv =
        hv::historyCsv(QString::fromUtf8("Büro, \"main\""), "10.0.0.1", {{t, 840}, {t + 1000, -1}});
    const QList<QByteArray> lines = csv.split('\n');
    ASSERT_EQ(lines.size(), 4);  // three records, each ending in CR LF
    EXPECT_EQ(lines[0], "time,title,address,state,round_trip_ms\r");
    const QByteArray host = ",\"B\xC3\xBCro, \"\"main\"\"\",10.0.0.1,";
    EXPECT_EQ(lines[1].mid(29), host + "up,0.84\r");
    EXPECT_EQ(lines[2].mid(29), host + "down,\r");
    EXPECT_EQ(lines[3], "");
    // The time is the local time with milliseconds and its offset, and means the same instant.
    for (int i : {1, 2}) {
        const QString time = QString::fromLatin1(lines[i].left(29));
        EXPECT_TRUE(QRegularExpression(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.250[+-]\d\d:\d\d$)")
                        .match(time)
                        .hasMatch())
            << time.toStdString();
        EXPECT_EQ(QDateTime::fromString(time, Qt::ISODateWithMs).toMSecsSinceEpoch(),
                  t + (i - 1) * 1000);
    }
}
