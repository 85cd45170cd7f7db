#include "views/RecentBarsDelegate.h"

#include <QPainter>
#include <algorithm>

#include "checking/HostStateModel.h"

namespace hv {

const QColor RecentBarsDelegate::kAnswered(0x2e, 0x7d, 0x32);
const QColor RecentBarsDelegate::kLost(0xd3, 0x2f, 0x2f);

QList<int> RecentBarsDelegate::barHeights(const QList<qint64>& roundTripsUs, int height) {
    qint64 slowest = 0;
    for (qint64 us : roundTripsUs) slowest = std::max(slowest, us);
    QList<int> out;
    out.reserve(roundTripsUs.size());
    for (qint64 us : roundTripsUs) {
        if (us < 0) {
            out.append(-1);
            continue;
        }
        const int h = slowest > 0 ? int((double(us) * height + slowest - 1) / double(slowest)) : 1;
        out.append(std::clamp(h, 1, std::max(height, 1)));
    }
    return out;
}

void RecentBarsDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    // The cell's background and selection as every other cell has them.
    QStyledItemDelegate::paint(painter, option, index);
    const QList<qint64> bars = index.data(HostStateModel::RecentRole).value<QList<qint64>>();
    if (bars.isEmpty()) return;
    const QRect area = option.rect.adjusted(2, 2, -2, -2);
    if (area.height() <= 0 || area.width() <= 0) return;
    // The newest checks stay in sight when the column is narrower than all bars.
    const qsizetype fits = area.width() / kBarWidth;
    const qsizetype first = std::max<qsizetype>(0, bars.size() - fits);
    const QList<int> heights = barHeights(bars.mid(first), area.height());
    painter->save();
    for (qsizetype i = 0; i < heights.size(); ++i) {
        const int x = area.left() + int(i) * kBarWidth;
        if (heights[i] < 0)
            painter->fillRect(x, area.top(), kBarWidth, area.height(), kLost);
        else
            painter->fillRect(x, area.bottom() + 1 - heights[i], kBarWidth, heights[i], kAnswered);
    }
    painter->restore();
}

QSize RecentBarsDelegate::sizeHint(const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setWidth(std::max(size.width(), 60 * kBarWidth + 4));
    return size;
}

}  // namespace hv
