#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QLocale>
#include <QString>
#include <QVariant>
#include <cstdint>

#include "hosts/HostList.h"

namespace hv {

// The host state table as a model: one row per host of the host list, in list order, kept
// current from the list's signals. Main thread only.
//
// A column is one value of Column and one line of the column table in the .cpp (title, text,
// sort key, alignment).
class HostStateModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column : int {
        Title,
        Address,
        State,  // the state image (StateImageRole); no text
        RoundTrip,
        LastChange,
        Checks,
        Failures,
        AnsweredPercent,
        MinRoundTrip,  // the statistics over [History] StatsMinutes
        AvgRoundTrip,
        MaxRoundTrip,
        Jitter,
        LossPercent,
        Recent,  // the last checks (RecentRole), drawn as bars
        ColumnCount
    };
    enum Role : int {
        StateImageRole = Qt::UserRole + 1,  // every column: the row's state image (int)
        SortRole,    // the column's value for sorting: a number or text; none sorts last
        RecentRole,  // the last checks' round trips in µs, oldest first, -1 lost (QList<qint64>)
    };

    explicit HostStateModel(QObject* parent = nullptr);

    // Mirrors the list from now on.
    void attach(HostList& hosts);
    // Reads the titles that come from messages again (after a language change).
    void retranslate();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    // The form translation replaces the designed titles (Title, Address) this way.
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                       int role = Qt::EditRole) override;

    // One row: the host, its figures and its statistics.
    struct Row {
        Host host;
        HostFigures figures;
        HostList::StatsView stats;
    };
    const Row& rowAt(int row) const { return m_rows.at(row); }

    // A round trip in µs as the table shows it in ms: 2 decimals below 10 ms, 1 below 100 ms,
    // whole above, with the locale's separator.
    static QString millisecondsText(double us, const QLocale& locale);

private:
    void reload();
    void reloadRow(int row);

    HostList* m_hosts = nullptr;
    std::uint64_t m_generation = 0;
    QList<Row> m_rows;
    QList<QString> m_titles;  // per column, as shown
};

}  // namespace hv
