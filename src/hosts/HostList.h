#pragma once

#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>

#include "hosts/Dependencies.h"
#include "hosts/HostFigures.h"
#include "hosts/HostStats.h"

namespace hv {

// State images of ImageList that the host list uses. Unreachable: not answering while a host it
// depends on is down, so it is not reported lost by itself.
enum StateImage : int { kImageAnswered = 0, kImageNotAnswering = 1, kImageUnreachable = 9 };

// Whether a state image counts as down: not answering or unreachable.
inline bool isDownImage(int image) { return image != kImageAnswered; }

struct Host {
    QString title;
    QString address;
    int stateImage = kImageNotAnswering;
};

// A host as the settings dialog shows it: title + " :  " + address.
QString hostLine(const QString& title, const QString& address);
// Split at the first " :  ": title before it, address after it (at most 1000 characters).
// A line without the separator is all title with an empty address.
Host splitHostLine(const QString& line);

// The one host list, the model behind the "Hosts state" submenu (host k is menu item k + 2)
// and the rows of the state table (row k). Rebuilt and changed on the main thread only; read
// by the checking thread under the lock. Every rebuild advances the generation, so a pass can
// tell that the list it was walking is gone. A rebuild keeps the state image and the figures of
// a host whose title and address are both unchanged (matched in list order) and starts the
// others afresh, "not answering".
class HostList : public QObject {
    Q_OBJECT
public:
    explicit HostList(QObject* parent = nullptr);

    // Main thread. From the settings file's HostList entries (key = title, value = address):
    // the address loses its surrounding blanks and an empty one gives no host; the item count
    // counts every entry.
    void rebuildFromEntries(const QList<QPair<QString, QString>>& entries);
    // Main thread. From the settings dialog's host lines; the count counts every line.
    void rebuildFromLines(const QStringList& lines);

    // Main thread: the [Dependencies] lines (dependent title, parent title), taken against this
    // list and every later rebuild. Returns the lines that had to be ignored.
    QList<DependencyProblem> setDependencies(const QList<QPair<QString, QString>>& lines);
    // The parent of the host at index: -1 for a plain host (and out of range).
    int parentOf(int index) const;
    // Whether some host depends on the host at index.
    bool hasDependents(int index) const;
    // Whether the parent of the host at index is down now (not answering or unreachable).
    bool behindDownHost(int index) const;
    QList<int> parents() const;

    // Main thread. Emits stateImageChanged.
    void setStateImage(int index, int image);
    // Main thread (Stop): every host to kImageNotAnswering; the passes counted towards a
    // change of the reported state start again.
    void setAllStateImages(int image);

    // Main thread: counts one check of the host at index (HostFigures::record against its
    // state image as it is now; an unreachable host counts as answering once no host it depends
    // on is down, so it is reported lost when it still does not answer) and emits figuresChanged.
    // Whether the reported state must turn; nothing when the list has been rebuilt since
    // `generation`. The check's address and, when it failed, its error text become the figures'
    // checkedAddress and lastError.
    std::optional<bool> recordCheck(int index, std::uint64_t generation, bool alive,
                                    std::int64_t roundTripUs, int lostAfter, int appearedAfter,
                                    const QString& checkedAddress = {}, const QString& error = {});
    // Main thread: the time of the host's last lost/appeared report; emits figuresChanged.
    void setLastChange(int index, const QDateTime& when);

    // Whether the last rebuild found every host of the new list in the old one (an empty new
    // list included), so that no host starts afresh.
    bool keptEveryHost() const;
    // The number shown by the state table's count text (" N items").
    int itemsCount() const;
    QStringList hostLines() const;
    QList<Host> hosts() const;
    // Every host's figures, in list order (beside hosts()).
    QList<HostFigures> figures() const;

    // Any thread.
    std::uint64_t generation() const;
    int count() const;
    // The host at index as it is now, or nothing when the list has been rebuilt since
    // `generation` or the index is out of range.
    std::optional<Host> hostAt(int index, std::uint64_t generation) const;
    std::optional<HostFigures> figuresAt(int index, std::uint64_t generation) const;

    // The statistics: every check recordCheck counts goes in, stamped by the clock; they cover
    // the last statsMinutes minutes ([History] StatsMinutes) and are kept across a rebuild like
    // the figures.
    struct StatsView {
        StatsSummary summary;
        std::vector<StatsSample> recent;  // the last checks, oldest first
    };
    // Main thread.
    void setStatsMinutes(int minutes);
    int statsMinutes() const;
    // The clock of the statistics (ms since the epoch); the system clock unless a test sets one.
    void setClock(std::function<std::int64_t()> clock);
    // Main thread: stored checks of the host at index, read at start, go into its statistics
    // before the live ones. Emits figuresChanged.
    void addStoredChecks(int index, std::uint64_t generation,
                         const std::vector<StatsSample>& samples);
    // Any thread: the host's statistics now, or nothing as figuresAt.
    std::optional<StatsView> statsAt(int index, std::uint64_t generation) const;

signals:
    void rebuilt();
    void stateImageChanged(int index, int image);
    void figuresChanged(int index);

private:
    void replace(QList<Host> hosts, int itemsCount);
    // Under the lock.
    QList<DependencyProblem> resolveLocked();
    bool behindDownHostLocked(int index) const;

    mutable std::mutex m_lock;
    QList<Host> m_hosts;
    QList<HostFigures> m_figures;  // host k's at k
    QList<QPair<QString, QString>> m_dependencyLines;
    QList<int> m_parents;            // host k's parent at k, -1 none
    std::vector<HostStats> m_stats;  // host k's at k
    int m_statsMinutes = 60;
    std::function<std::int64_t()> m_clock;
    int m_itemsCount = 0;
    bool m_keptEveryHost = true;
    std::uint64_t m_generation = 0;
};

}  // namespace hv
