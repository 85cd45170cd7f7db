#include "widgets/LinkLabel.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace hv {

LinkLabel::LinkLabel(QWidget* parent) : QLabel(parent) {
    QFont f = font();
    f.setUnderline(true);
    setFont(f);
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, QColor(0, 0, 251));
    setPalette(pal);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
}

void LinkLabel::setLinkText(const QString& text) {
    setText(text);
    setToolTip(text);
    setAccessibleName(text);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QLabel::mouseReleaseEvent(event);
}

void LinkLabel::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
        event->key() == Qt::Key_Space) {
        emit clicked();
        return;
    }
    QLabel::keyPressEvent(event);
}

}  // namespace hv
