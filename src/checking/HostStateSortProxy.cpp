#include "checking/HostStateSortProxy.h"

#include "checking/HostStateModel.h"

namespace hv {

HostStateSortProxy::HostStateSortProxy(QObject* parent) : QSortFilterProxyModel(parent) {
    setSortRole(HostStateModel::SortRole);
    setSortCaseSensitivity(Qt::CaseInsensitive);
    setSortLocaleAware(true);
    // Rows move when a figure changes while a sort is on, as users of sortable tables expect.
    setDynamicSortFilter(true);
}

bool HostStateSortProxy::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    const bool ascending = sortOrder() == Qt::AscendingOrder;
    // Descending order asks the other way round; these make the wanted order come out both ways.
    const auto before = [ascending](bool leftFirst) { return ascending ? leftFirst : !leftFirst; };
    const auto inListOrder = [&] { return before(left.row() < right.row()); };

    const QVariant l = left.data(sortRole());
    const QVariant r = right.data(sortRole());
    if (!l.isValid() || !r.isValid()) {
        if (l.isValid() == r.isValid()) return inListOrder();
        return before(l.isValid());  // no value: last
    }
    int order = 0;
    if (l.typeId() == QMetaType::QString || r.typeId() == QMetaType::QString) {
        order =
            QString::localeAwareCompare(l.toString().toCaseFolded(), r.toString().toCaseFolded());
    } else {
        const double a = l.toDouble();
        const double b = r.toDouble();
        order = a < b ? -1 : (b < a ? 1 : 0);
    }
    return order == 0 ? inListOrder() : order < 0;
}

}  // namespace hv
