#pragma once

#include <QColor>
#include <QList>
#include <QStyledItemDelegate>

namespace hv {

// Draws a cell's last checks (HostStateModel::RecentRole) as a small bar chart, oldest at the
// left: an answer is a bar as tall as its round trip against the slowest one shown, a lost
// check a full-height red bar.
class RecentBarsDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int kBarWidth = 2;  // px, with no gap: 60 checks fit in 120 px
    static const QColor kAnswered;
    static const QColor kLost;

    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The bars' heights in px (lost: -1) for round trips in µs (-1 lost) in a cell `height`
    // px high: at least 1 px for an answer, so the fastest host still shows.
    static QList<int> barHeights(const QList<qint64>& roundTripsUs, int height);
};

}  // namespace hv
