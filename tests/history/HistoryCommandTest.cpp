#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <cstdio>

#include "CsvReader.h"
#include "TestSupport.h"
#include "history/HistoryStore.h"
#include "once/HistoryCommand.h"

namespace {

using hv::HistoryStore;
using Kind = HistoryStore::Kind;

constexpr std::int64_t kNow = 1'780'000'000'000;
constexpr std::int64_t kHour = 3600'000;

// Sets TZ for one scope.
class LocalZone {
public:
    explicit LocalZone(const char* tz) : m_old(qgetenv("TZ")) {
        qputenv("TZ", tz);
        tzset();
    }
    ~LocalZone() {
        qputenv("TZ", m_old);
        tzset();
    }

private:
    QByteArray m_old;
};

// Two hosts titled "Web" (one moved to a new address), one other; samples an hour apart from
// 30 hours back.
QString fixture(const hvtest::TempDir& dir) {
    const QString path = dir.file("history.sqlite");
    std::int64_t clock = kNow - 30 * kHour;
    HistoryStore::Options o;
    o.path = path;
    o.nowMs = [&clock] { return clock; };
    HistoryStore store(o);
    for (int i = 0; i < 30; ++i) {
        store.add("Web", "http://web", Kind::Tcp, i % 3 == 0 ? -1 : 52 + i * 1000);
        store.add("Other", "10.0.0.9", Kind::Icmp, 5);
        if (i >= 28) store.add("Web", "http://new-web", Kind::Tcp, 40'000);
        store.endPass();
        store.flush(10'000);
        clock += kHour;
    }
    return path;
}

TEST(HistoryCommand, PrintsEveryHostWithTheTitleOldestFirstInEachFormat) {
    LocalZone zone("IST-5:30");  // an offset with minutes
    hvtest::TempDir dir;
    const QString path = fixture(dir);
    const auto print = [&](hv::OnceFormat format, std::int64_t since, QByteArray* out) {
        QString error;
        const int status = hv::printHistory({"Web", since, format}, path, kNow, out, &error);
        EXPECT_TRUE(error.isEmpty()) << error.toStdString();
        return status;
    };

    QByteArray tsv;
    ASSERT_EQ(print(hv::OnceFormat::Tsv, 24 * kHour, &tsv), 0);
    const QStringList lines = QString::fromUtf8(tsv).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1 + 24 + 2) << tsv.toStdString();
    EXPECT_EQ(lines[0], "time\ttitle\taddress\tstate\tround_trip_ms");
    // 24 h back from now: the sample of i = 6, 24 hours ago, is the first; i = 6 was lost.
    const QDateTime first = QDateTime::fromMSecsSinceEpoch(kNow - 24 * kHour);
    EXPECT_EQ(lines[1],
              first.toString("yyyy-MM-ddTHH:mm:ss.zzz") + "+05:30\tWeb\thttp://web\tdown\t");
    EXPECT_TRUE(lines[2].endsWith("\tWeb\thttp://web\tup\t7.052")) << lines[2].toStdString();
    EXPECT_TRUE(lines[25].endsWith("\tWeb\thttp://new-web\tup\t40")) << lines[25].toStdString();
    const QRegularExpression iso(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d\t)");
    for (const QString& line : lines.mid(1))
        EXPECT_TRUE(iso.match(line).hasMatch()) << line.toStdString();

    QByteArray csv;
    ASSERT_EQ(print(hv::OnceFormat::Csv, 90 * 60'000, &csv), 0);
    const auto records = hvtest::readCsv(QString::fromUtf8(csv));
    ASSERT_TRUE(records.has_value());
    ASSERT_EQ(records->size(), 1 + 1 + 1) << csv.toStdString();  // the last 90 min: 1 + 1
    EXPECT_EQ(records->at(0), QStringList({"time", "title", "address", "state", "round_trip_ms"}));
    EXPECT_EQ(records->at(1).mid(1), QStringList({"Web", "http://web", "up", "29.052"}));
    EXPECT_EQ(records->at(2).mid(1), QStringList({"Web", "http://new-web", "up", "40"}));

    QByteArray json;
    ASSERT_EQ(print(hv::OnceFormat::Json, 3 * kHour, &json), 0);
    QJsonParseError parse;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parse);
    ASSERT_TRUE(doc.isArray()) << parse.errorString().toStdString() << json.toStdString();
    const QJsonArray rows = doc.array();
    ASSERT_EQ(rows.size(), 3 + 2);
    EXPECT_EQ(rows[0].toObject().value("state").toString(), "down");  // i = 27
    EXPECT_TRUE(rows[0].toObject().value("round_trip_ms").isNull());
    EXPECT_DOUBLE_EQ(rows[1].toObject().value("round_trip_ms").toDouble(), 28.052);
    EXPECT_EQ(rows[1].toObject().value("address").toString(), "http://web");
}

TEST(HistoryCommand, NoSuchTitleOrNoFileIsStatusOneWithAReason) {
    hvtest::TempDir dir;
    const QString path = fixture(dir);
    const struct {
        const char* title;
        QString file;
        const char* reason;
    } cases[] = {
        {"web", path, "no host titled \"web\""},  // titles are matched exactly
        {"Nobody", path, "no host titled \"Nobody\""},
        {"Web", dir.file("missing.sqlite"), "no history file"},
    };
    for (const auto& c : cases) {
        QByteArray out;
        QString error;
        EXPECT_EQ(hv::printHistory({c.title}, c.file, kNow, &out, &error), 1) << c.title;
        EXPECT_TRUE(error.contains(c.reason)) << error.toStdString();
        EXPECT_TRUE(out.isEmpty());
    }
}

TEST(HistoryCommand, DurationsAndBadArgumentsAreUsageErrors) {
    EXPECT_EQ(hv::historyDurationMs("90m"), 90 * 60'000);
    EXPECT_EQ(hv::historyDurationMs("24h"), 24 * kHour);
    EXPECT_EQ(hv::historyDurationMs("7d"), 7 * 24 * kHour);
    for (const char* bad : {"", "0h", "7", "h", "1.5h", "-1d", "7 d", "7D", "3651d", "1w"})
        EXPECT_FALSE(hv::historyDurationMs(bad).has_value()) << bad;

    const QStringList usage[] = {
        {"--history"},
        {"--history="},
        {"--history", "Web", "--since=7w"},
        {"--history", "Web", "--format=xml"},
        {"--history", "Web", "--format=prometheus"},
        {"--since=7d"},
        {"--once", "--since=7d"},
        {"--history", "Web", "--once"},
    };
    for (const QStringList& args : usage) {
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        EXPECT_EQ(hv::runCommandLine(args, out, err), 2) << args.join(' ').toStdString();
        std::fclose(out);
        std::fclose(err);
    }
}

}  // namespace
