#include "checking/OverallStatus.h"

#include "checking/AddressKind.h"
#include "lang/Languages.h"

namespace hv {

namespace {

const QString kIndent = QStringLiteral("  ");

// "%1".."%9" of a message replaced in one sweep, so a translation may put them in any order
// or leave one out (QString::arg would complain on stderr about a missing one).
QString fill(const QString& text, const QList<int>& values) {
    QString out;
    out.reserve(text.size() + 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('%') && i + 1 < text.size() && text[i + 1] >= QLatin1Char('1') &&
            text[i + 1] <= QLatin1Char('9')) {
            const int n = text[i + 1].unicode() - '1';
            if (n < values.size()) {
                out += QString::number(values[n]);
                ++i;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

bool isBlank(const QString& text) { return text.trimmed().isEmpty(); }

QString shown(const Host& host) {
    QString name = isBlank(host.title) ? host.address.trimmed() : host.title;
    // One line per host: line breaks in a title would break the list apart.
    name.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    if (name.size() > OverallStatus::kTitleChars)
        name = name.left(OverallStatus::kTitleChars - 1) + QChar(0x2026);
    return name;
}

}  // namespace

OverallStatus OverallStatus::of(const QList<Host>& hosts, bool running, bool passOver,
                                bool paused) {
    OverallStatus s;
    for (const Host& host : hosts) {
        if (classifyAddress(host.address).kind == ProbeKind::Skip) continue;
        ++s.watched;
        if (host.stateImage == kImageAnswered)
            ++s.answering;
        else if (host.stateImage == kImageUnreachable)
            s.lost << langMessage(QStringLiteral("TrayUnreachable"))
                          .replace(QStringLiteral("%1"), shown(host));
        else
            s.lost << shown(host);
    }
    if (!running) {
        s.state = OverallState::Stopped;
    } else if (paused) {
        s.state = OverallState::Paused;
    } else if (s.watched == 0) {
        s.state = OverallState::NoHosts;
    } else if (!passOver) {
        s.state = OverallState::Checking;
    } else if (s.answering == s.watched) {
        s.state = OverallState::AllAnswering;
    } else if (s.answering == 0) {
        s.state = OverallState::AllLost;
    } else {
        s.state = OverallState::SomeLost;
    }
    return s;
}

QString OverallStatus::toolTip() const {
    switch (state) {
        case OverallState::Stopped:
            return langMessage(QStringLiteral("TrayStopped"));
        case OverallState::Paused:
            return langMessage(QStringLiteral("TrayPaused"));
        case OverallState::NoHosts:
            return langMessage(QStringLiteral("TrayNoHosts"));
        case OverallState::Checking:
            return langMessage(QStringLiteral("TrayChecking"));
        case OverallState::AllAnswering:
        case OverallState::SomeLost:
        case OverallState::AllLost:
            break;
    }
    QStringList lines{fill(langMessage(QStringLiteral("TrayAnswering")), {answering, watched})};
    for (qsizetype i = 0; i < lost.size() && i < kListedTitles; ++i) lines << kIndent + lost[i];
    if (lost.size() > kListedTitles)
        lines << kIndent + fill(langMessage(QStringLiteral("TrayMore")),
                                {int(lost.size()) - kListedTitles});
    return lines.join(QLatin1Char('\n'));
}

}  // namespace hv
