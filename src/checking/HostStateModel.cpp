#include "checking/HostStateModel.h"

#include <QLocale>
#include <algorithm>
#include <array>
#include <cmath>

#include "checking/RoundTripText.h"
#include "lang/DesignedHeader.h"
#include "lang/Languages.h"

namespace hv {

namespace {

using Row = HostStateModel::Row;

// One column: its title (designed, or the message key that gives it), its text and sort key
// for a host, and its alignment. A column is one line here and one value of Column.
struct ColumnSpec {
    const char* designedTitle;  // set: the window's own title, which form translation replaces
    const char* messageKey;     // else: the title is this message
    QVariant (*text)(const Row&);
    QVariant (*sortKey)(const Row&);  // a number or text; none (invalid) sorts last
    bool number;
};

QVariant none(const Row&) { return {}; }

QVariant roundTripText(const Row& h) {
    return h.figures.roundTripUs < 0
               ? QVariant()
               : QVariant(roundTripDisplayText(h.figures.roundTripUs, QLocale::system()));
}
QVariant roundTripKey(const Row& h) {
    return h.figures.roundTripUs < 0 ? QVariant() : QVariant(qint64(h.figures.roundTripUs));
}
QVariant lastChangeText(const Row& h) {
    return h.figures.lastChange.isValid()
               ? QVariant(h.figures.lastChange.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
               : QVariant();
}
QVariant lastChangeKey(const Row& h) {
    return h.figures.lastChange.isValid() ? QVariant(h.figures.lastChange.toMSecsSinceEpoch())
                                          : QVariant();
}
QVariant answeredText(const Row& h) {
    const double p = h.figures.answeredPercent();
    return p < 0 ? QVariant() : QVariant(QLocale::system().toString(p, 'f', 1));
}
QVariant answeredKey(const Row& h) {
    const double p = h.figures.answeredPercent();
    return p < 0 ? QVariant() : QVariant(p);
}

QVariant usText(double us) {
    return us < 0 ? QVariant() : QVariant(HostStateModel::millisecondsText(us, QLocale::system()));
}
QVariant usKey(double us) { return us < 0 ? QVariant() : QVariant(us); }
QVariant lossText(const Row& h) {
    const double p = h.stats.summary.lossPercent();
    return p < 0 ? QVariant() : QVariant(QLocale::system().toString(p, 'f', 1));
}
QVariant lossKey(const Row& h) {
    const double p = h.stats.summary.lossPercent();
    return p < 0 ? QVariant() : QVariant(p);
}
// The bars sort by how many of them are red.
QVariant recentKey(const Row& h) {
    if (h.stats.recent.empty()) return {};
    return qlonglong(std::count_if(h.stats.recent.begin(), h.stats.recent.end(),
                                   [](const StatsSample& s) { return s.roundTripUs < 0; }));
}
QVariant recentTip(const Row& h) {
    if (h.stats.recent.empty()) return {};
    const auto answered = h.stats.recent.size() - recentKey(h).toULongLong();
    return langMessage(QStringLiteral("RecentTip"))
        .replace(QStringLiteral("%1"), QString::number(answered))
        .replace(QStringLiteral("%2"), QString::number(h.stats.recent.size()));
}

// The column shows the address as written; where the check went and why it failed last
// (a name resolved, a malformed address told) are one hover away.
QVariant addressTip(const Row& h) {
    QStringList lines;
    if (!h.figures.checkedAddress.isEmpty())
        lines << langMessage(QStringLiteral("CheckedAddress"))
                     .replace(QStringLiteral("%1"), h.figures.checkedAddress);
    if (!h.figures.lastError.isEmpty())
        lines << langMessage(QStringLiteral("LastFailure"))
                     .replace(QStringLiteral("%1"), h.figures.lastError);
    return lines.isEmpty() ? QVariant() : QVariant(lines.join(u'\n'));
}

// The image says answering or not; unreachable (behind a lost host) is said in words too.
QVariant stateText(const Row& h) {
    if (h.host.stateImage == kImageUnreachable)
        return langMessage(QStringLiteral("StateUnreachable"));
    return {};
}

// clang-format off
const std::array<ColumnSpec, HostStateModel::ColumnCount> kColumns = {{
    {"Title", nullptr, [](const Row& h) { return QVariant(h.host.title); }, [](const Row& h) { return QVariant(h.host.title); }, false},
    {"Address", nullptr, [](const Row& h) { return QVariant(h.host.address); }, [](const Row& h) { return QVariant(h.host.address); }, false},
    {nullptr, "ColState", stateText, [](const Row& h) { return QVariant(h.host.stateImage); }, false},
    {nullptr, "ColRoundTrip", roundTripText, roundTripKey, true},
    {nullptr, "ColLastChange", lastChangeText, lastChangeKey, false},
    {nullptr, "ColChecks", [](const Row& h) { return QVariant(h.figures.checks); }, [](const Row& h) { return QVariant(h.figures.checks); }, true},
    {nullptr, "ColFailures", [](const Row& h) { return QVariant(h.figures.failures); }, [](const Row& h) { return QVariant(h.figures.failures); }, true},
    {nullptr, "ColAnswered", answeredText, answeredKey, true},
    {nullptr, "ColMin", [](const Row& h) { return usText(double(h.stats.summary.minUs)); }, [](const Row& h) { return usKey(double(h.stats.summary.minUs)); }, true},
    {nullptr, "ColAvg", [](const Row& h) { return usText(h.stats.summary.avgUs); }, [](const Row& h) { return usKey(h.stats.summary.avgUs); }, true},
    {nullptr, "ColMax", [](const Row& h) { return usText(double(h.stats.summary.maxUs)); }, [](const Row& h) { return usKey(double(h.stats.summary.maxUs)); }, true},
    {nullptr, "ColJitter", [](const Row& h) { return usText(h.stats.summary.jitterUs); }, [](const Row& h) { return usKey(h.stats.summary.jitterUs); }, true},
    {nullptr, "ColLoss", lossText, lossKey, true},
    {nullptr, "ColRecent", none, recentKey, false},
}};
// clang-format on

}  // namespace

QString HostStateModel::millisecondsText(double us, const QLocale& locale) {
    const double ms = us / 1000.0;
    QLocale plain = locale;
    plain.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    // The decimals follow the rounded value, so 9.996 ms shows as "10.0", not "10.00".
    if (std::round(ms * 100) / 100 < 10) return plain.toString(ms, 'f', 2);
    if (std::round(ms * 10) / 10 < 100) return plain.toString(ms, 'f', 1);
    return plain.toString(ms, 'f', 0);
}

HostStateModel::HostStateModel(QObject* parent) : QAbstractTableModel(parent) {
    for (const ColumnSpec& c : kColumns)
        m_titles.append(c.designedTitle ? QString::fromLatin1(c.designedTitle) : QString());
    retranslate();
}

void HostStateModel::attach(HostList& hosts) {
    if (m_hosts) disconnect(m_hosts, nullptr, this, nullptr);
    m_hosts = &hosts;
    connect(m_hosts, &HostList::rebuilt, this, &HostStateModel::reload);
    connect(m_hosts, &HostList::stateImageChanged, this,
            [this](int index, int) { reloadRow(index); });
    connect(m_hosts, &HostList::figuresChanged, this, &HostStateModel::reloadRow);
    connect(m_hosts, &QObject::destroyed, this, [this] {
        m_hosts = nullptr;
        reload();
    });
    reload();
}

void HostStateModel::retranslate() {
    for (int c = 0; c < ColumnCount; ++c)
        if (!kColumns[c].designedTitle)
            m_titles[c] = langMessage(QString::fromLatin1(kColumns[c].messageKey));
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
}

void HostStateModel::reload() {
    beginResetModel();
    m_rows.clear();
    m_generation = 0;
    if (m_hosts) {
        // Rebuilds happen on this thread too: the two lists belong to one generation.
        m_generation = m_hosts->generation();
        const QList<Host> hosts = m_hosts->hosts();
        const QList<HostFigures> figures = m_hosts->figures();
        for (qsizetype i = 0; i < hosts.size() && i < figures.size(); ++i)
            m_rows.append({hosts[i], figures[i],
                           m_hosts->statsAt(int(i), m_generation).value_or(HostList::StatsView{})});
    }
    endResetModel();
}

void HostStateModel::reloadRow(int row) {
    if (!m_hosts || row < 0 || row >= m_rows.size()) return;
    const std::optional<Host> host = m_hosts->hostAt(row, m_generation);
    const std::optional<HostFigures> figures = m_hosts->figuresAt(row, m_generation);
    std::optional<HostList::StatsView> stats = m_hosts->statsAt(row, m_generation);
    // A signal of a list rebuilt since: the reset that follows brings the rows.
    if (!host || !figures || !stats) return;
    m_rows[row] = {*host, *figures, std::move(*stats)};
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

int HostStateModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int HostStateModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant HostStateModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows.size() || index.column() >= ColumnCount)
        return {};
    const Row& row = m_rows.at(index.row());
    const ColumnSpec& column = kColumns[index.column()];
    switch (role) {
        case Qt::DisplayRole:
            return column.text(row);
        case SortRole:
            return column.sortKey(row);
        case StateImageRole:
            return row.host.stateImage;
        case Qt::ToolTipRole:
        case Qt::AccessibleTextRole:
            if (index.column() == Recent) return recentTip(row);
            return role == Qt::ToolTipRole && index.column() == Address ? addressTip(row)
                                                                        : QVariant();
        case RecentRole: {
            QList<qint64> bars;
            bars.reserve(qsizetype(row.stats.recent.size()));
            for (const StatsSample& s : row.stats.recent) bars.append(s.roundTripUs);
            return QVariant::fromValue(bars);
        }
        case Qt::TextAlignmentRole:
            return column.number ? QVariant(int(Qt::AlignRight | Qt::AlignVCenter)) : QVariant();
        default:
            return {};
    }
}

QVariant HostStateModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount) return {};
    if (role == Qt::DisplayRole) return m_titles.at(section);
    if (role == kDesignedHeaderRole && kColumns[section].designedTitle)
        return QString::fromLatin1(kColumns[section].designedTitle);
    if (role == Qt::TextAlignmentRole && kColumns[section].number)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

bool HostStateModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                                   int role) {
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount ||
        !kColumns[section].designedTitle || (role != Qt::EditRole && role != Qt::DisplayRole))
        return false;
    m_titles[section] = value.toString();
    emit headerDataChanged(orientation, section, section);
    return true;
}

}  // namespace hv
