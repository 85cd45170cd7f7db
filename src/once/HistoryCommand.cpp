#include "once/HistoryCommand.h"

#include <QDateTime>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QRegularExpression>
#include <QTimeZone>
#include <cstdio>
#include <cstdlib>

#include "checking/CsvWriter.h"
#include "checking/RoundTripText.h"
#include "history/HistoryLocation.h"
#include "history/HistoryReader.h"
#include "hosts/Settings.h"

namespace hv {

namespace {

constexpr std::int64_t kMinuteMs = 60'000;

// ISO 8601 local time with milliseconds and offset. The offset is looked up once per hour of
// samples: a 30-day range has 43 200 of them, and a time zone lookup for each cost most of
// the run.
class TimeText {
public:
    QString operator()(std::int64_t ms) {
        const std::int64_t hourStart = ms - ms % 3'600'000;
        if (hourStart != m_hour) {
            m_hour = hourStart;
            m_offsetS = QDateTime::fromMSecsSinceEpoch(ms).offsetFromUtc();
            const int minutes = std::abs(m_offsetS) / 60;
            m_offsetText = QStringLiteral("%1%2:%3")
                               .arg(QLatin1String(m_offsetS < 0 ? "-" : "+"))
                               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
                               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
        }
        // The civil date of a day count (days from 1970-01-01), without a QDateTime per
        // sample: they cost a third of a 30-day print.
        const std::int64_t local = ms + std::int64_t(m_offsetS) * 1000;
        std::int64_t days = local / 86'400'000;
        std::int64_t inDay = local % 86'400'000;
        if (inDay < 0) {
            inDay += 86'400'000;
            --days;
        }
        const std::int64_t z = days + 719'468;
        const std::int64_t era = (z >= 0 ? z : z - 146'096) / 146'097;
        const std::int64_t doe = z - era * 146'097;
        const std::int64_t yoe = (doe - doe / 1460 + doe / 36'524 - doe / 146'096) / 365;
        const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
        const std::int64_t mp = (5 * doy + 2) / 153;
        const int day = int(doy - (153 * mp + 2) / 5 + 1);
        const int month = int(mp < 10 ? mp + 3 : mp - 9);
        const int year = int(yoe + era * 400 + (month <= 2));
        const int msec = int(inDay % 1000), second = int(inDay / 1000 % 60),
                  minute = int(inDay / 60'000 % 60), hour = int(inDay / 3'600'000);
        char text[32];
        std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", year, month, day,
                      hour, minute, second, msec);
        return QString::fromLatin1(text) + m_offsetText;
    }

private:
    std::int64_t m_hour = -1;
    int m_offsetS = 0;
    QString m_offsetText;
};

QByteArray jsonString(const QString& text) {
    // QJsonDocument escapes as JSON wants; an array of one, its brackets cut off.
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

}  // namespace

std::optional<std::int64_t> historyDurationMs(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^([0-9]{1,7})([mhd])$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch()) return std::nullopt;
    const std::int64_t count = m.captured(1).toLongLong();
    const QChar unit = m.captured(2).at(0);
    const std::int64_t ms = count * kMinuteMs * (unit == u'm' ? 1 : unit == u'h' ? 60 : 24 * 60);
    if (ms <= 0 || ms > 3650LL * 24 * 60 * kMinuteMs) return std::nullopt;
    return ms;
}

int printHistory(const HistoryQuery& query, const QString& path, std::int64_t nowMs,
                 QByteArray* out, QString* error) {
    const auto reader = HistoryReader::open(path, error);
    if (!reader) return 1;
    const auto hosts = reader->hostsWithTitle(query.title);
    if (hosts.isEmpty()) {
        *error = QStringLiteral("no host titled \"%1\" in the history %2").arg(query.title, path);
        return 1;
    }
    TimeText timeText;
    const std::int64_t from = nowMs - query.sinceMs;
    QByteArray& text = *out;
    CsvWriter csv;
    const QStringList header{QStringLiteral("time"), QStringLiteral("title"),
                             QStringLiteral("address"), QStringLiteral("state"),
                             QStringLiteral("round_trip_ms")};
    if (query.format == OnceFormat::Csv) csv.addRecord(header);
    if (query.format == OnceFormat::Tsv) text += header.join(u'\t').toUtf8() + '\n';
    if (query.format == OnceFormat::Json) text += "[";
    bool first = true;
    for (const auto& [title, address] : hosts) {
        const std::vector<HistorySample> samples = reader->samples(title, address, from, nowMs + 1);
        const QByteArray titleJson = jsonString(title), addressJson = jsonString(address);
        const QByteArray titleTsv = title.toUtf8(), addressTsv = address.toUtf8();
        for (const HistorySample& s : samples) {
            const bool up = s.roundTripUs >= 0;
            const QString time = timeText(s.timeMs);
            const QString roundTrip = roundTripMsText(s.roundTripUs);
            switch (query.format) {
                case OnceFormat::Tsv:
                    text += time.toLatin1() + '\t' + titleTsv + '\t' + addressTsv +
                            (up ? "\tup\t" : "\tdown\t") + roundTrip.toLatin1() + '\n';
                    break;
                case OnceFormat::Csv:
                    csv.addRecord({time, title, address,
                                   up ? QStringLiteral("up") : QStringLiteral("down"), roundTrip});
                    break;
                case OnceFormat::Json:
                    text += first ? "\n" : ",\n";
                    text += "{\"time\":\"" + time.toLatin1() + "\",\"title\":" + titleJson +
                            ",\"address\":" + addressJson +
                            (up ? ",\"state\":\"up\",\"round_trip_ms\":" + roundTrip.toLatin1()
                                : QByteArray(",\"state\":\"down\",\"round_trip_ms\":null")) +
                            "}";
                    break;
                case OnceFormat::Prometheus:  // refused with --history by the command line
                    break;
            }
            first = false;
        }
    }
    if (query.format == OnceFormat::Csv) text += csv.bytes();
    if (query.format == OnceFormat::Json) text += "\n]\n";
    return 0;
}

int runHistory(const HistoryQuery& query, const QString& executablePath, QByteArray* out,
               QString* error) {
    const QString dir = QFileInfo(executablePath).absolutePath();
    const QString settings = settingsFilePath(dir);
    const QString path = historyFilePath(settings, dir);
    if (!QFileInfo::exists(path)) {
        *error =
            readSettings(settings).keepDays <= 0
                ? QStringLiteral("no history is kept: [History] KeepDays is 0 in %1").arg(settings)
                : QStringLiteral("no history file %1 yet").arg(path);
        return 1;
    }
    return printHistory(query, path, QDateTime::currentMSecsSinceEpoch(), out, error);
}

}  // namespace hv
