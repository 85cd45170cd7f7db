#pragma once

#include <QRect>
#include <QWidgetAction>
#include <functional>

class QPainter;

namespace hv {

// A menu item drawn by its owner (QMenu draws no custom items itself): the widget of the
// action calls drawItem on every paint and triggers the action when it is clicked, then closes
// the menus it stands in.
class OwnerDrawItem : public QWidgetAction {
    Q_OBJECT
public:
    using DrawFn = std::function<void(QPainter& canvas, const QRect& rect, bool selected)>;

    explicit OwnerDrawItem(QObject* parent = nullptr);

    void setDrawItem(DrawFn draw) { m_draw = std::move(draw); }
    void draw(QPainter& canvas, const QRect& rect, bool selected) const;

    // The item as a menu shows it now, hovered or not (for its look to be checked).
    QImage render(bool hovered);

protected:
    QWidget* createWidget(QWidget* parent) override;

private:
    DrawFn m_draw;
};

}  // namespace hv
