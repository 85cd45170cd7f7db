#pragma once

#include <QSortFilterProxyModel>

namespace hv {

// The state table's sorted view of a HostStateModel: by the column's sort key (numbers as
// numbers, text ignoring case), a host without a value (no round trip, no change yet, not yet
// checked) last in either order, equal keys in list order. Unsorted (column -1) it keeps the
// list order; the host list itself is never reordered. Main thread.
class HostStateSortProxy : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit HostStateSortProxy(QObject* parent = nullptr);

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
};

}  // namespace hv
