#include "hosts/HostList.h"

#include <QDateTime>
#include <QHash>
#include <algorithm>

#include "hosts/HostEntry.h"

namespace hv {

namespace {

const QString kSeparator = QStringLiteral(" :  ");
constexpr int kMaxAddressLength = 1000;

// At most max characters, never ending in half a surrogate pair.
QString cutTo(const QString& text, qsizetype max) {
    if (text.size() <= max) return text;
    qsizetype n = max;
    if (n > 0 && text.at(n - 1).isHighSurrogate()) --n;
    return text.left(n);
}

}  // namespace

QString hostLine(const QString& title, const QString& address) {
    return title + kSeparator + address;
}

Host splitHostLine(const QString& line) {
    Host host;
    const qsizetype p = line.indexOf(kSeparator);
    if (p < 0) {
        host.title = line;
        return host;
    }
    host.title = line.left(p);
    host.address = cutTo(line.mid(p + kSeparator.size()), kMaxAddressLength);
    return host;
}

HostList::HostList(QObject* parent)
    : QObject(parent), m_clock([] { return QDateTime::currentMSecsSinceEpoch(); }) {}

void HostList::rebuildFromEntries(const QList<QPair<QString, QString>>& entries) {
    QList<Host> hosts;
    hosts.reserve(entries.size());
    for (const auto& [title, value] : entries) {
        QString address = trimBlanks(value);
        if (address.isEmpty()) continue;
        hosts.append(Host{title, address, kImageNotAnswering});
    }
    replace(std::move(hosts), static_cast<int>(entries.size()));
}

void HostList::rebuildFromLines(const QStringList& lines) {
    QList<Host> hosts;
    hosts.reserve(lines.size());
    for (const QString& line : lines) {
        Host host = splitHostLine(line);
        host.stateImage = kImageNotAnswering;
        hosts.append(std::move(host));
    }
    replace(std::move(hosts), static_cast<int>(lines.size()));
}

void HostList::replace(QList<Host> hosts, int itemsCount) {
    QList<Host> old;
    {
        std::lock_guard guard(m_lock);
        // A host that stays as it was keeps its reported state and its figures, the passes
        // counted towards a change included: a rebuild that leaves it alone must not report it
        // again. Two equal hosts pair up in list order.
        QMultiHash<QPair<QString, QString>, qsizetype> unclaimed;
        for (qsizetype i = m_hosts.size() - 1; i >= 0; --i)
            unclaimed.insert({m_hosts[i].title, m_hosts[i].address}, i);
        QList<HostFigures> figures(hosts.size());
        std::vector<HostStats> stats(hosts.size());
        qsizetype kept = 0;
        for (qsizetype k = 0; k < hosts.size(); ++k) {
            const auto it = unclaimed.find({hosts[k].title, hosts[k].address});
            if (it == unclaimed.end()) continue;
            hosts[k].stateImage = m_hosts[it.value()].stateImage;
            figures[k] = m_figures[it.value()];
            stats[k] = std::move(m_stats[it.value()]);
            unclaimed.erase(it);
            ++kept;
        }
        m_keptEveryHost = kept == hosts.size();
        old.swap(m_hosts);
        m_hosts = std::move(hosts);
        m_figures = std::move(figures);
        m_stats = std::move(stats);
        m_itemsCount = itemsCount;
        resolveLocked();
        ++m_generation;
    }
    // The old hosts are freed here, outside the lock; the views learn of the change only now
    // so that a slot reading the list back cannot deadlock.
    old.clear();
    emit rebuilt();
}

QList<DependencyProblem> HostList::resolveLocked() {
    QStringList titles;
    titles.reserve(m_hosts.size());
    for (const Host& host : m_hosts) titles.append(host.title);
    DependencyMap map = resolveDependencies(titles, m_dependencyLines);
    m_parents = std::move(map.parents);
    return map.problems;
}

QList<DependencyProblem> HostList::setDependencies(const QList<QPair<QString, QString>>& lines) {
    std::lock_guard guard(m_lock);
    m_dependencyLines = lines;
    return resolveLocked();
}

int HostList::parentOf(int index) const {
    std::lock_guard guard(m_lock);
    return index >= 0 && index < m_parents.size() ? m_parents[index] : -1;
}

bool HostList::hasDependents(int index) const {
    std::lock_guard guard(m_lock);
    return index >= 0 && m_parents.contains(index);
}

QList<int> HostList::parents() const {
    std::lock_guard guard(m_lock);
    return m_parents;
}

bool HostList::behindDownHostLocked(int index) const {
    if (index < 0 || index >= m_parents.size()) return false;
    // The parent alone decides: an unreachable parent counts as down, so chains follow.
    const int parent = m_parents[index];
    return parent >= 0 && isDownImage(m_hosts[parent].stateImage);
}

bool HostList::behindDownHost(int index) const {
    std::lock_guard guard(m_lock);
    return behindDownHostLocked(index);
}

void HostList::setStateImage(int index, int image) {
    {
        std::lock_guard guard(m_lock);
        if (index < 0 || index >= m_hosts.size()) return;
        m_hosts[index].stateImage = image;
    }
    emit stateImageChanged(index, image);
}

void HostList::setAllStateImages(int image) {
    int n = 0;
    {
        std::lock_guard guard(m_lock);
        for (Host& host : m_hosts) host.stateImage = image;
        for (HostFigures& f : m_figures) f.disagreeingPasses = 0;
        n = static_cast<int>(m_hosts.size());
    }
    for (int i = 0; i < n; ++i) emit stateImageChanged(i, image);
}

std::optional<bool> HostList::recordCheck(int index, std::uint64_t generation, bool alive,
                                          std::int64_t roundTripUs, int lostAfter,
                                          int appearedAfter, const QString& checkedAddress,
                                          const QString& error) {
    bool turn = false;
    {
        std::lock_guard guard(m_lock);
        if (generation != m_generation || index < 0 || index >= m_hosts.size()) return std::nullopt;
        const int image = m_hosts[index].stateImage;
        const bool reportedUp =
            image == kImageAnswered || (image == kImageUnreachable && !behindDownHostLocked(index));
        turn = m_figures[index].record(alive, roundTripUs, reportedUp, lostAfter, appearedAfter);
        m_figures[index].checkedAddress = checkedAddress;
        // An answer that came without a round trip has no figure to add.
        if (!alive || roundTripUs >= 0)
            m_stats[index].add({m_clock(), alive ? roundTripUs : -1}, m_statsMinutes);
        m_figures[index].lastError = alive ? QString() : error;
    }
    emit figuresChanged(index);
    return turn;
}

void HostList::setLastChange(int index, const QDateTime& when) {
    {
        std::lock_guard guard(m_lock);
        if (index < 0 || index >= m_hosts.size()) return;
        m_figures[index].lastChange = when;
    }
    emit figuresChanged(index);
}

void HostList::setStatsMinutes(int minutes) {
    std::lock_guard guard(m_lock);
    m_statsMinutes = std::clamp(minutes, 1, HostStats::kMaxMinutes);
}

int HostList::statsMinutes() const {
    std::lock_guard guard(m_lock);
    return m_statsMinutes;
}

void HostList::setClock(std::function<std::int64_t()> clock) {
    std::lock_guard guard(m_lock);
    m_clock = std::move(clock);
}

void HostList::addStoredChecks(int index, std::uint64_t generation,
                               const std::vector<StatsSample>& samples) {
    {
        std::lock_guard guard(m_lock);
        if (generation != m_generation || index < 0 || index >= m_hosts.size()) return;
        for (const StatsSample& s : samples) m_stats[index].add(s, m_statsMinutes);
    }
    emit figuresChanged(index);
}

std::optional<HostList::StatsView> HostList::statsAt(int index, std::uint64_t generation) const {
    std::lock_guard guard(m_lock);
    if (generation != m_generation || index < 0 || index >= m_hosts.size()) return std::nullopt;
    const HostStats& stats = m_stats[index];
    return StatsView{stats.summary(m_clock(), m_statsMinutes), stats.recent()};
}

bool HostList::keptEveryHost() const {
    std::lock_guard guard(m_lock);
    return m_keptEveryHost;
}

int HostList::itemsCount() const {
    std::lock_guard guard(m_lock);
    return m_itemsCount;
}

QStringList HostList::hostLines() const {
    std::lock_guard guard(m_lock);
    QStringList lines;
    lines.reserve(m_hosts.size());
    for (const Host& host : m_hosts) lines.append(hostLine(host.title, host.address));
    return lines;
}

QList<Host> HostList::hosts() const {
    std::lock_guard guard(m_lock);
    return m_hosts;
}

QList<HostFigures> HostList::figures() const {
    std::lock_guard guard(m_lock);
    return m_figures;
}

std::optional<HostFigures> HostList::figuresAt(int index, std::uint64_t generation) const {
    std::lock_guard guard(m_lock);
    if (generation != m_generation || index < 0 || index >= m_figures.size()) return std::nullopt;
    return m_figures.at(index);
}

std::uint64_t HostList::generation() const {
    std::lock_guard guard(m_lock);
    return m_generation;
}

int HostList::count() const {
    std::lock_guard guard(m_lock);
    return static_cast<int>(m_hosts.size());
}

std::optional<Host> HostList::hostAt(int index, std::uint64_t generation) const {
    std::lock_guard guard(m_lock);
    if (generation != m_generation || index < 0 || index >= m_hosts.size()) return std::nullopt;
    return m_hosts.at(index);
}

}  // namespace hv
