#include "once/CheckOnce.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaObject>
#include <QRegularExpression>
#include <QTimer>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "checking/CheckCycle.h"
#include "checking/CsvWriter.h"
#include "checking/ProbeKinds.h"
#include "checking/RoundTripText.h"
#include "hosts/HostList.h"
#include "hosts/Settings.h"
#include "once/HistoryCommand.h"

#include "lang/Languages.h"
#include "metrics/MetricsSnapshot.h"
#include "monitor/Monitor.h"
#include "platform/ProgramFiles.h"
#include "platform/SettingsLocation.h"

namespace hv {

namespace {

const char kVersionText[] = "Hostvane " HV_VERSION;

void writeOut(QByteArray* output, const QByteArray& text) {
    if (output) {
        output->append(text);
    } else {
        std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stdout);
    }
}

// One host's line of the output.
struct OnceRow {
    QString title;
    QString address;
    ProbeKind kind = ProbeKind::Skip;
    const char* state = "skipped";
    qint64 elapsedMs = 0;
    qint64 roundTripUs = -1;  // -1: did not answer or not checked
    QString error;
    QString ip;    // the address checked; empty when none was reached
    int port = 0;  // a connect's port; 0 for an echo or a host not checked
};

// The probes' messages may hold line breaks ("Socket Error # 10061\r\nConnection refused.");
// scripts get each on one line.
QString oneLine(const QString& text) {
    static const QRegularExpression breaks(QStringLiteral("\\s*[\\r\\n]+\\s*"));
    QString line = text;
    line.replace(breaks, QStringLiteral(" "));
    return line.trimmed();
}

// Today's terminal lines: state, title, address, probe (- when skipped), ms; then an empty
// line and the report.
QByteArray tsvText(const std::vector<OnceRow>& rows, QString report) {
    QByteArray text;
    for (const OnceRow& row : rows) {
        text += row.state;
        text += '\t' + row.title.toUtf8() + '\t' + row.address.toUtf8() + '\t';
        text += row.kind == ProbeKind::Skip ? "-" : probeKindRow(row.kind).name;
        text += '\t' + QByteArray::number(row.elapsedMs) + '\n';
    }
    text += '\n';
    report.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (!report.isEmpty()) text += report.toUtf8() + '\n';
    return text;
}

QString kindName(ProbeKind kind) { return QString::fromLatin1(probeKindRow(kind).name); }

QByteArray csvText(const std::vector<OnceRow>& rows) {
    CsvWriter csv;
    csv.addRecord({QStringLiteral("state"), QStringLiteral("title"), QStringLiteral("address"),
                   QStringLiteral("kind"), QStringLiteral("round_trip_ms"),
                   QStringLiteral("elapsed_ms"), QStringLiteral("error"), QStringLiteral("ip"),
                   QStringLiteral("port")});
    for (const OnceRow& row : rows) {
        csv.addRecord({QString::fromLatin1(row.state), row.title, row.address, kindName(row.kind),
                       roundTripMsText(row.roundTripUs), QString::number(row.elapsedMs),
                       oneLine(row.error), row.ip,
                       row.port > 0 ? QString::number(row.port) : QString()});
    }
    return csv.bytes();
}

QByteArray jsonText(const std::vector<OnceRow>& rows) {
    QJsonArray hosts;
    int up = 0, down = 0, skipped = 0, unreachable = 0;
    for (const OnceRow& row : rows) {
        const QString state = QString::fromLatin1(row.state);
        up += state == QLatin1String("up");
        down += state == QLatin1String("down");
        unreachable += state == QLatin1String("unreachable");
        skipped += state == QLatin1String("skipped");
        const QString error = oneLine(row.error);
        hosts.append(QJsonObject{
            {QStringLiteral("title"), row.title},
            {QStringLiteral("address"), row.address},
            {QStringLiteral("kind"), kindName(row.kind)},
            {QStringLiteral("state"), state},
            {QStringLiteral("round_trip_ms"),
             row.roundTripUs >= 0 ? QJsonValue(double(row.roundTripUs) / 1000.0) : QJsonValue()},
            {QStringLiteral("elapsed_ms"), row.elapsedMs},
            {QStringLiteral("error"), error.isEmpty() ? QJsonValue() : QJsonValue(error)},
            {QStringLiteral("ip"), row.ip.isEmpty() ? QJsonValue() : QJsonValue(row.ip)},
            {QStringLiteral("port"), row.port > 0 ? QJsonValue(row.port) : QJsonValue()},
        });
    }
    const QJsonObject document{{QStringLiteral("hosts"), hosts},
                               {QStringLiteral("up"), up},
                               {QStringLiteral("down"), down},
                               {QStringLiteral("unreachable"), unreachable},
                               {QStringLiteral("skipped"), skipped}};
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

int runPass(const QString& executablePath, QByteArray* output, OnceFormat format) {
    const QString dir = QFileInfo(executablePath).absolutePath();
    SettingsLocation::prepareSettingsFile(dir, QStringLiteral("Hostvane.ini"));
    Languages::instance().setExecutable(executablePath);
    Languages::instance().loadLanguage(false);
    const QString path = settingsFilePath(dir);
    const SettingsReading reading = readSettingsFile(path);
    for (const QString& line : readingProblems(reading, path))
        std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
    // Checking nothing would read as "every host is up" to a script.
    if (reading.file == SettingsReading::File::Unreadable) return 2;
    Settings settings = reading.settings;
    // One pass reports what it finds: no change waits for further passes.
    settings.lostAfter = 1;
    settings.appearedAfter = 1;
    // The tray program's metrics server has no place in one pass.
    settings.metricsListen.clear();

    // The tray program's monitor without its timer: the one pass below is all.
    // It reads no history and writes none: the tray program keeps it.
    Monitor::Options options;
    options.executablePath = executablePath;
    options.keepHistory = false;
    Monitor monitor(options);
    monitor.holdTimer();
    CheckCycle& cycle = *monitor.checkCycle();
    // What the pass would show: the report only; log lines have no place in this output.
    QString report;
    QObject::connect(
        &monitor, &Monitor::reportReady,
        [&report](const QString& text, const QStringList&, const QStringList&) { report = text; });

    std::mutex lock;
    std::map<int, HostCheckResult> results;  // guarded by lock
    QEventLoop loop;
    cycle.setHostChecked([&](const HostCheckResult& r) {
        std::lock_guard guard(lock);
        results[r.index] = r;
    });
    cycle.setPassFinished(
        [&loop] { QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection); });
    // An error that ends the checking thread ends the pass too.
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &loop, [&] {
        if (cycle.hasEnded()) loop.quit();
    });
    watch.start(100);

    // Every host starts "not answering"; a running monitor checks a new list at once.
    monitor.applySettings(settings);
    const QList<Host> list = monitor.hosts().hosts();
    const QList<int> parents = monitor.hosts().parents();
    loop.exec();
    const bool ended = cycle.hasEnded();
    const QString error = cycle.errorMessage();
    const double passSeconds = std::chrono::duration<double>(cycle.lastPassDuration()).count();
    monitor.stopChecking();

    std::vector<OnceRow> rows;
    bool anyDown = false;
    {
        std::lock_guard guard(lock);
        for (int i = 0; i < list.size(); ++i) {
            const auto found = results.find(i);
            const bool known = found != results.end();
            OnceRow row;
            row.title = list[i].title;
            row.address = list[i].address;
            row.kind = known ? found->second.kind : ProbeKind::Skip;
            if (row.kind != ProbeKind::Skip) {
                const bool alive = known && found->second.alive;
                row.state = alive ? "up" : "down";
                anyDown = anyDown || !alive;
            } else if (!known && ended) {
                row.state = "down";  // never reached
                anyDown = true;
            }
            if (known) {
                row.elapsedMs = found->second.elapsedMs;
                row.roundTripUs = found->second.alive ? found->second.roundTripUs : -1;
                row.error = found->second.error;
                row.ip = found->second.checkedAddress;
                row.port = found->second.port;
            }
            rows.push_back(std::move(row));
        }
    }
    // A down host whose parent is down too (or unreachable itself) is unreachable: the parent's
    // line says why. Parents form no loop, so each walk up ends.
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (qstrcmp(rows[i].state, "down") != 0) continue;
        int up = i < static_cast<std::size_t>(parents.size()) ? parents[static_cast<int>(i)] : -1;
        if (up >= 0 && qstrcmp(rows[static_cast<std::size_t>(up)].state, "up") != 0 &&
            qstrcmp(rows[static_cast<std::size_t>(up)].state, "skipped") != 0)
            rows[i].state = "unreachable";
    }
    QByteArray text;
    switch (format) {
        case OnceFormat::Tsv:
            text = tsvText(rows, report);
            break;
        case OnceFormat::Csv:
            text = csvText(rows);
            break;
        case OnceFormat::Json:
            text = jsonText(rows);
            break;
        case OnceFormat::Prometheus:
            text = QByteArray::fromStdString(
                expositionText(snapshotOf(monitor.hosts(), true, passSeconds)));
            break;
    }
    writeOut(output, text);
    if (!output) std::fflush(stdout);

    if (ended) {
        std::fprintf(stderr, "hostvane: the check could not finish: %s\n",
                     error.toLocal8Bit().constData());
        return 1;
    }
    return anyDown ? 1 : 0;
}

// Qt's own options, which the tray program's application object takes; those of the first
// list are followed by a value.
bool isQtOption(const QString& arg, bool* takesValue) {
    static const QStringList withValue = {"-platform",      "-platformpluginpath",
                                          "-platformtheme", "-plugin",
                                          "-qmljsdebugger", "-qwindowgeometry",
                                          "-qwindowicon",   "-qwindowtitle",
                                          "-session",       "-style",
                                          "-stylesheet",    "-display",
                                          "-geometry",      "-title",
                                          "-name"};
    static const QStringList alone = {"-reverse", "-widgetcount", "-nograb",
                                      "-dograb",  "-sync",        "-visual"};
    const QString name = arg.section(QLatin1Char('='), 0, 0);
    *takesValue = withValue.contains(name) && !arg.contains(QLatin1Char('='));
    return withValue.contains(name) || alone.contains(name);
}

}  // namespace

QString commandLineHelp() {
    return QStringLiteral(
        "Usage: hostvane [--once [--format=tsv|csv|json|prometheus] |\n"
        "                 --history TITLE [--since=DURATION] [--format=tsv|csv|json] |\n"
        "                 --version | --help | --check-language FILE]\n"
        "\n"
        "Without an option Hostvane starts in the system tray.\n"
        "\n"
        "  --once     check every host of Hostvane.ini once, without a display, and print\n"
        "             one line per host (state, title, address, probe, milliseconds),\n"
        "             then the report; exit status 0 when every checked host is up,\n"
        "             1 when any is down or unreachable (behind a down host of\n"
        "             [Dependencies]), 2 on a usage error or when the settings file\n"
        "             cannot be read\n"
        "  --format=tsv|csv|json|prometheus\n"
        "             with --history: a header row, then tab-separated lines (tsv),\n"
        "             RFC 4180 rows (csv) or one array of objects (json)\n"
        "             with --once: tsv prints the lines above (the default); csv prints\n"
        "             a header row (state,title,address,kind,round_trip_ms,elapsed_ms,\n"
        "             error,ip,port) and one row per host; json prints one object with\n"
        "             a \"hosts\" array of the same fields and the \"up\", \"down\" and\n"
        "             \"skipped\" counts; prometheus prints the metrics the tray\n"
        "             program serves on [Metrics] Listen, for a textfile collector\n"
        "  --history TITLE\n"
        "             print the stored checks of every host titled TITLE, oldest first:\n"
        "             time (ISO 8601 with milliseconds and offset), title, address,\n"
        "             state (up/down) and round_trip_ms (empty when lost); works while\n"
        "             the tray program writes; exit status 0, 1 when there is no such\n"
        "             title or no history is kept, 2 on a usage error\n"
        "  --since=DURATION\n"
        "             with --history: how far back, as 90m, 24h (the default) or 7d\n"
        "  --check-language FILE\n"
        "             list the keys of language file FILE that would be skipped and the\n"
        "             texts it lacks; exit status 0 when there are none, 1 otherwise\n"
        "  --version  print the version and exit\n"
        "  --help     print this help and exit\n");
}

std::optional<OnceFormat> onceFormatFromName(const QString& name) {
    if (name == QLatin1String("tsv")) return OnceFormat::Tsv;
    if (name == QLatin1String("csv")) return OnceFormat::Csv;
    if (name == QLatin1String("json")) return OnceFormat::Json;
    if (name == QLatin1String("prometheus")) return OnceFormat::Prometheus;
    return std::nullopt;
}

int runCheckOnce(const QString& executablePath) { return runCheckOnce(executablePath, nullptr); }

int runCheckOnce(const QString& executablePath, QByteArray* output) {
    return runCheckOnce(executablePath, output, OnceFormat::Tsv);
}

int runCheckOnce(const QString& executablePath, QByteArray* output, OnceFormat format) {
    if (QCoreApplication::instance()) return runPass(executablePath, output, format);
    static int argc = 1;
    static char name[] = "hostvane";
    static char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    return runPass(executablePath, output, format);
}

std::optional<int> runCommandLine(const QStringList& arguments, std::FILE* out, std::FILE* err) {
    enum class Mode { Tray, Once, Version, Help, History };
    Mode mode = Mode::Tray;
    QString bad;
    std::optional<QString> formatName;  // --format's value, when given
    std::optional<QString> sinceText;   // --since's value, when given
    QString historyTitle;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        Mode wanted = Mode::Tray;
        if (arg == QLatin1String("--format") && i + 1 < arguments.size()) {
            formatName = arguments[++i];
            continue;
        }
        if (arg.startsWith(QLatin1String("--format="))) {
            formatName = arg.mid(9);
            continue;
        }
        if (arg == QLatin1String("--since") && i + 1 < arguments.size()) {
            sinceText = arguments[++i];
            continue;
        }
        if (arg.startsWith(QLatin1String("--since="))) {
            sinceText = arg.mid(8);
            continue;
        }
        if (arg == QLatin1String("--history") || arg.startsWith(QLatin1String("--history="))) {
            wanted = Mode::History;
            if (arg.size() > 9) {
                historyTitle = arg.mid(10);
            } else if (i + 1 < arguments.size()) {
                historyTitle = arguments[++i];
            }
            if (historyTitle.isEmpty()) {
                bad = arg;  // the title is not optional
                break;
            }
        } else if (arg == QLatin1String("--once")) {
            wanted = Mode::Once;
        } else if (arg == QLatin1String("--version")) {
            wanted = Mode::Version;
        } else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            wanted = Mode::Help;
        } else {
            bool takesValue = false;
            if (isQtOption(arg, &takesValue)) {
                if (takesValue) ++i;
                continue;
            }
            bad = arg;
            break;
        }
        if (mode != Mode::Tray && mode != wanted) {
            bad = arg;  // two terminal modes at once
            break;
        }
        mode = wanted;
    }

    if (!bad.isEmpty()) {
        std::fprintf(err, "hostvane: unknown or conflicting option: %s\n\n%s",
                     bad.toLocal8Bit().constData(), commandLineHelp().toLocal8Bit().constData());
        return 2;
    }
    std::optional<OnceFormat> format = OnceFormat::Tsv;
    if (formatName) {
        format = onceFormatFromName(*formatName);
        const char* problem = nullptr;
        if (mode != Mode::Once && mode != Mode::History)
            problem = "--format goes with --once or --history only";
        else if (!format)
            problem = "unknown output format (use tsv, csv, json or prometheus)";
        else if (mode == Mode::History && *format == OnceFormat::Prometheus)
            problem = "--history prints tsv, csv or json";
        if (problem) {
            std::fprintf(err, "hostvane: %s: --format=%s\n\n%s", problem,
                         formatName->toLocal8Bit().constData(),
                         commandLineHelp().toLocal8Bit().constData());
            return 2;
        }
    }
    HistoryQuery query;
    if (sinceText) {
        const std::optional<std::int64_t> since = historyDurationMs(*sinceText);
        const char* problem = nullptr;
        if (mode != Mode::History)
            problem = "--since goes with --history only";
        else if (!since)
            problem = "a duration is minutes, hours or days, as in 90m, 24h or 7d";
        if (problem) {
            std::fprintf(err, "hostvane: %s: --since=%s\n\n%s", problem,
                         sinceText->toLocal8Bit().constData(),
                         commandLineHelp().toLocal8Bit().constData());
            return 2;
        }
        query.sinceMs = *since;
    }
    switch (mode) {
        case Mode::Tray:
            return std::nullopt;
        case Mode::History: {
            query.title = historyTitle;
            query.format = *format;
            QByteArray text;
            QString error;
            const int status = runHistory(query, ProgramFiles::executablePath(), &text, &error);
            std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), out);
            std::fflush(out);
            if (status != 0) std::fprintf(err, "hostvane: %s\n", error.toLocal8Bit().constData());
            return status;
        }
        case Mode::Version:
            std::fprintf(out, "%s\n", kVersionText);
            return 0;
        case Mode::Help:
            std::fputs(commandLineHelp().toLocal8Bit().constData(), out);
            std::fprintf(
                out, "\nSettings file: %s\n",
                QFile::encodeName(settingsFilePath(ProgramFiles::executableDir())).constData());
            return 0;
        case Mode::Once:
            break;
    }
    QByteArray text;
    const int status = runCheckOnce(ProgramFiles::executablePath(), &text, *format);
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), out);
    std::fflush(out);
    return status;
}

std::optional<int> runCommandLine(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    return runCommandLine(arguments, stdout, stderr);
}

}  // namespace hv
