#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <mutex>
#include <optional>
#include <stdexcept>

#include "CheckCycleFixture.h"
#include "CsvReader.h"
#include "ScriptedProbes.h"
#include "TestSupport.h"
#include "checking/ChangeEvents.h"
#include "checking/CheckCycle.h"
#include "checking/CsvWriter.h"
#include "hosts/HostList.h"
#include "lang/Languages.h"

namespace {

using hvtest::Answer;
using hvtest::pumpUntil;
using hvtest::readCsv;

TEST(CsvWriter, QuotesExactlyTheFieldsThatNeedItAndReadsBack) {
    const std::pair<QString, QString> cases[] = {
        {"Mail server", "Mail server"},
        {"", ""},
        {" padded ", " padded "},
        {"Lab, rack 2", "\"Lab, rack 2\""},
        {"The \"big\" one", "\"The \"\"big\"\" one\""},
        {"\"", "\"\"\"\""},
        {"two\r\nlines", "\"two\r\nlines\""},
        {"bare\nLF", "\"bare\nLF\""},
        {"bare\rCR", "\"bare\rCR\""},
        {"\u00c9cole \u0421\u0435\u0440\u0432\u0435\u0440 \U0001F5A5",
         "\u00c9cole "
         "\u0421\u0435\u0440"
         "\u0432\u0435\u0440 "
         "\U0001F5A5"},
        {"tab\there;semi", "tab\there;semi"},
        {"a,\"b\"\r\n", "\"a,\"\"b\"\"\r\n\""},
    };
    hv::CsvWriter all;
    QList<QStringList> expected;
    for (const auto& [text, field] : cases) {
        EXPECT_EQ(hv::CsvWriter::field(text), field) << text.toStdString();
        // Each case as the middle field of a record, so its neighbours' commas count too.
        const QStringList record{"x", text, "y"};
        all.addRecord(record);
        expected << record;
    }
    const QByteArray bytes = all.bytes();
    EXPECT_FALSE(bytes.startsWith("\xef\xbb\xbf")) << "no byte order mark";
    EXPECT_TRUE(bytes.endsWith("\r\n"));
    const std::optional<QList<QStringList>> back = readCsv(QString::fromUtf8(bytes));
    ASSERT_TRUE(back.has_value()) << bytes.toStdString();
    EXPECT_EQ(*back, expected);
}

// The events' local times follow TZ; restored afterwards.
class LocalZone {
public:
    explicit LocalZone(const char* tz) {
        if (const char* old = std::getenv("TZ")) m_old = old;
        ::setenv("TZ", tz, 1);
        ::tzset();
    }
    ~LocalZone() {
        if (m_old)
            ::setenv("TZ", m_old->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

private:
    std::optional<std::string> m_old;
};

TEST(ChangeEvents, IsoTimeCarriesTheOffsetOfThatMoment) {
    // POSIX zone rules, so the test needs no time zone database.
    struct Case {
        const char* tz;
        QDateTime utc;
        QString text;
    };
    const QDate winter(2026, 12, 10), summer(2026, 7, 1);
    const QTime t(8, 15, 2);
    const Case cases[] = {
        {"CET-1CEST,M3.5.0,M10.5.0/3", QDateTime(winter, t, Qt::UTC), "2026-12-10T09:15:02+01:00"},
        {"CET-1CEST,M3.5.0,M10.5.0/3", QDateTime(summer, t, Qt::UTC), "2026-07-01T10:15:02+02:00"},
        {"UTC0", QDateTime(winter, t, Qt::UTC), "2026-12-10T08:15:02+00:00"},
        {"IST-5:30", QDateTime(winter, t, Qt::UTC), "2026-12-10T13:45:02+05:30"},
        {"NST3:30NDT,M3.2.0,M11.1.0", QDateTime(winter, QTime(2, 0, 0), Qt::UTC),
         "2026-12-09T22:30:00-03:30"},
        {"NST3:30NDT,M3.2.0,M11.1.0", QDateTime(summer, t, Qt::UTC), "2026-07-01T05:45:02-02:30"},
        {"NPT-5:45", QDateTime(QDate(2026, 12, 31), QTime(18, 20, 0), Qt::UTC),
         "2027-01-01T00:05:00+05:45"},
    };
    for (const Case& c : cases) {
        LocalZone zone(c.tz);
        EXPECT_EQ(hv::ChangeEvents::isoTime(c.utc), c.text) << c.tz;
        // A local time of the same moment gives the same text.
        EXPECT_EQ(hv::ChangeEvents::isoTime(c.utc.toLocalTime()), c.text) << c.tz;
    }
}

TEST(ChangeEvents, CsvHasTheHeaderThenOneRecordPerChange) {
    LocalZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
    hv::ChangeEvents events;
    EXPECT_EQ(events.toCsv(), "time,title,address,event,round_trip_ms\r\n");
    const QDateTime at(QDate(2026, 12, 10), QTime(8, 15, 2), Qt::UTC);
    events.add({at, "Mail, main", "10.0.0.5", false, -1});
    events.add({at.addSecs(60), "Web \"new\"", "http://web", true, 12'000});
    events.add({at.addSecs(61), "Zero", "z", true, 0});
    events.add({at.addSecs(62), "Near", "n", true, 52});  // 52 µs
    EXPECT_EQ(events.toCsv(),
              "time,title,address,event,round_trip_ms\r\n"
              "2026-12-10T09:15:02+01:00,\"Mail, main\",10.0.0.5,lost,\r\n"
              "2026-12-10T09:16:02+01:00,\"Web \"\"new\"\"\",http://web,appeared,12\r\n"
              "2026-12-10T09:16:03+01:00,Zero,z,appeared,0\r\n"
              "2026-12-10T09:16:04+01:00,Near,n,appeared,0.052\r\n");
}

TEST(ChangeEvents, AFullListDropsTheOldestAndCountsThem) {
    hv::ChangeEvents events(3);
    const QDateTime at = QDateTime::currentDateTime();
    for (int i = 0; i < 5; ++i) {
        const bool dropped = events.add({at, QString::number(i), "a", i % 2 == 0, i});
        EXPECT_EQ(dropped, i >= 3) << i;
    }
    ASSERT_EQ(events.events().size(), 3u);
    EXPECT_EQ(events.events().front().title, "2");
    EXPECT_EQ(events.events().back().title, "4");
    EXPECT_EQ(events.dropped(), 2u);
    const auto records = readCsv(QString::fromUtf8(events.toCsv()));
    ASSERT_TRUE(records.has_value());
    EXPECT_EQ(records->size(), 4);  // the header and the three kept
}

// A long run keeps its last 100 000 changes for Export, no fewer and no more.
TEST(ChangeEvents, ADefaultListKeepsAHundredThousandChanges) {
    constexpr int kKept = 100000;
    hv::ChangeEvents events;
    const QDateTime at = QDateTime::currentDateTime();
    int droppedEarly = 0;
    for (int i = 0; i < kKept; ++i) {
        if (events.add({at, QString::number(i), "a", i % 2 == 0, i})) ++droppedEarly;
    }
    EXPECT_EQ(droppedEarly, 0);
    ASSERT_EQ(events.events().size(), std::size_t(kKept));
    EXPECT_EQ(events.dropped(), 0u);

    EXPECT_TRUE(events.add({at, QString::number(kKept), "a", true, kKept}));
    ASSERT_EQ(events.events().size(), std::size_t(kKept));
    EXPECT_EQ(events.events().front().title, "1");
    EXPECT_EQ(events.events().back().title, QString::number(kKept));
    EXPECT_EQ(events.dropped(), 1u);
}

// Probes that fail without an exception and say why, as the real ones do, or throw.
class SayWhyProbes : public hv::Probe {
public:
    hv::ProbeOutcome tryTarget(const hv::ProbeTarget& target) override {
        if (target.kind == hv::ProbeKind::Icmp)
            return hv::ProbeOutcome(false, -1, "Request timed out.");
        if (target.host == "throws")
            throw hv::Error(QStringLiteral("Socket Error # 10061\r\nRefused."));
        if (target.host == "throws std") throw std::runtime_error("Route lost");
        if (target.host == "throws int") throw 42;
        if (target.host == "timed") return hv::ProbeOutcome(true, 7);
        return hv::ProbeOutcome(target.host == "up");
    }
};

TEST(ProbeOutcome, CarriesTheFailedTrysMessage) {
    SayWhyProbes probes;
    const hv::ProbeOutcome quiet = hv::tryProbe(probes, {hv::ProbeKind::Icmp, "h"});
    EXPECT_FALSE(quiet.alive);
    EXPECT_EQ(quiet.error, "Request timed out.");
    const hv::ProbeOutcome thrown = hv::tryProbe(probes, {hv::ProbeKind::Tcp, "throws"});
    EXPECT_EQ(thrown.error, "Socket Error # 10061\r\nRefused.");  // the exception's, whole
    const hv::ProbeOutcome up = hv::tryProbe(probes, {hv::ProbeKind::Tcp, "up"});
    EXPECT_TRUE(up.alive);
    EXPECT_TRUE(up.error.empty());
    EXPECT_GE(up.roundTripUs, 0);
}

// Whatever a probe throws fails the try with a message; a probe's own round trip is kept.
TEST(ProbeOutcome, AnyExceptionFailsTheTryAndARoundTripGivenIsKept) {
    SayWhyProbes probes;
    const struct {
        const char* host;
        bool alive;
        std::int64_t roundTripUs;  // -2: measured, so only known to be 0 or more
        const char* error;
    } cases[] = {
        {"throws std", false, -1, "Route lost"},
        {"throws int", false, -1, "unknown error"},
        {"timed", true, 7, ""},
        {"up", true, -2, ""},
    };
    for (const auto& c : cases) {
        hv::ProbeOutcome o;
        EXPECT_NO_THROW(o = hv::tryProbe(probes, {hv::ProbeKind::Tcp, c.host})) << c.host;
        EXPECT_EQ(o.alive, c.alive) << c.host;
        EXPECT_EQ(o.error, c.error) << c.host;
        if (c.roundTripUs == -2)
            EXPECT_GE(o.roundTripUs, 0) << c.host;
        else
            EXPECT_EQ(o.roundTripUs, c.roundTripUs) << c.host;
    }
}

// The check cycle hands every reported change to the sink as data, with the round trip of the
// answering try, on the main thread right after its log line.
class ChangeSink : public hvtest::RecordingSink {
public:
    struct Change {
        QString title, address;
        bool appeared;
        qint64 roundTripUs;
        int linesBefore;  // log lines written when the change came
    };
    void hostChanged(const QString& title, const QString& address, bool appeared,
                     qint64 roundTripUs) override {
        changes.push_back({title, address, appeared, roundTripUs, int(lines.size())});
    }
    std::vector<Change> changes;
};

// Parameter: [CheckParams] ParallelChecks.
class ChangeHandOver : public hvtest::CheckCycleWith<ChangeSink>,
                       public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        CheckCycleWith::SetUp();
        thread.setParallelChecks(GetParam());
    }
};

TEST_P(ChangeHandOver, EveryReportedChangeReachesTheSinkWithItsRoundTrip) {
    std::mutex lock;
    std::vector<hv::HostCheckResult> results;
    thread.setHostChecked([&](const hv::HostCheckResult& r) {
        std::lock_guard guard(lock);
        results.push_back(r);
    });
    hosts.rebuildFromLines({"Slow, far :  10.0.0.1", "Gone :  http://gone", "Same :  10.0.0.3"});
    probes.delay("10.0.0.1", 40);
    probes.script("10.0.0.1", {Answer::Up});
    probes.script("gone", {Answer::Up});
    runPass();
    ASSERT_EQ(sink.changes.size(), 2u);
    EXPECT_EQ(sink.changes[0].title, "Slow, far");
    EXPECT_EQ(sink.changes[0].address, "10.0.0.1");
    EXPECT_TRUE(sink.changes[0].appeared);
    EXPECT_GE(sink.changes[0].roundTripUs, 40'000);
    EXPECT_EQ(sink.changes[0].linesBefore, 1);  // its own log line is written first
    EXPECT_EQ(sink.changes[1].title, "Gone");
    EXPECT_TRUE(sink.changes[1].appeared);
    EXPECT_GE(sink.changes[1].roundTripUs, 0);
    EXPECT_EQ(sink.changes[1].linesBefore, 2);

    // A lost host has no round trip; the host that stays down says nothing, and its result
    // says why (the scripted probe's exception).
    probes.script("gone", {Answer::Throw});
    runPass();
    ASSERT_EQ(sink.changes.size(), 3u);
    EXPECT_EQ(sink.changes[2].title, "Gone");
    EXPECT_EQ(sink.changes[2].address, "http://gone");
    EXPECT_FALSE(sink.changes[2].appeared);
    EXPECT_EQ(sink.changes[2].roundTripUs, -1);
    std::lock_guard guard(lock);
    ASSERT_EQ(results.size(), 6u);
    EXPECT_EQ(results[4].error, "Host not found");
    EXPECT_TRUE(results[3].error.isEmpty());  // up
    EXPECT_TRUE(results[5].error.isEmpty());  // scripted down says no reason
}

INSTANTIATE_TEST_SUITE_P(SequentialAndParallel, ChangeHandOver, ::testing::Values(1, 4));

}  // namespace
