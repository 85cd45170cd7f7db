#include "shell/OwnerDrawItem.h"

#include <QFontMetrics>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QWidget>

namespace hv {

namespace {

class ItemWidget : public QWidget {
public:
    ItemWidget(OwnerDrawItem* item, QWidget* parent) : QWidget(parent), m_item(item) {
        setMouseTracking(true);
        setFocusPolicy(Qt::StrongFocus);
        setAttribute(Qt::WA_Hover);
        connect(item, &QAction::changed, this, [this] {
            updateGeometry();
            update();
        });
    }

    bool forceHover = false;

    QSize sizeHint() const override {
        QFont bold = font();
        bold.setBold(true);
        const QFontMetrics fm(bold);
        return {22 + fm.horizontalAdvance(m_item->text()) + 28, qMax(22, fm.height() + 6)};
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const bool hovered = forceHover || underMouse() || hasFocus();
        m_item->draw(p, rect(), hovered);
    }
    void enterEvent(QEnterEvent*) override { update(); }
    void leaveEvent(QEvent*) override { update(); }
    void focusInEvent(QFocusEvent*) override { update(); }
    void focusOutEvent(QFocusEvent*) override { update(); }
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint())) activate();
    }
    void keyPressEvent(QKeyEvent* e) override {
        if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter || e->key() == Qt::Key_Space)
            activate();
        else
            QWidget::keyPressEvent(e);
    }

private:
    void activate() {
        // Close the menus first, as a chosen menu item does, then run the command.
        for (QWidget* w = parentWidget(); w; w = w->parentWidget())
            if (auto* menu = qobject_cast<QMenu*>(w)) menu->hide();
        m_item->trigger();
    }

    OwnerDrawItem* m_item;
};

}  // namespace

OwnerDrawItem::OwnerDrawItem(QObject* parent) : QWidgetAction(parent) {}

void OwnerDrawItem::draw(QPainter& canvas, const QRect& rect, bool selected) const {
    if (m_draw) m_draw(canvas, rect, selected);
}

QWidget* OwnerDrawItem::createWidget(QWidget* parent) { return new ItemWidget(this, parent); }

QImage OwnerDrawItem::render(bool hovered) {
    ItemWidget widget(this, nullptr);
    widget.forceHover = hovered;
    widget.resize(widget.sizeHint());
    QImage image(widget.size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    widget.render(&image);
    return image;
}

}  // namespace hv
