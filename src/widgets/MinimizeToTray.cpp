#include "widgets/MinimizeToTray.h"

#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace hv {

void MinimizeToTray::install(QWidget* window) {
    window->installEventFilter(new MinimizeToTray(window));
}

bool MinimizeToTray::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::WindowStateChange) {
        auto* window = qobject_cast<QWidget*>(watched);
        // A window standing in for a missing notification area minimises to the taskbar.
        if (window && window->isWindow() && (window->windowState() & Qt::WindowMinimized) &&
            !window->property("minimizeToTaskbar").toBool()) {
            // Hiding inside the state change confuses some window managers: do it right after.
            // The state stays minimised while hidden: setting it back to normal now would map
            // the withdrawn window again behind Qt's back, and the window manager would draw
            // an empty frame with a taskbar button for it.
            QPointer<QWidget> guard(window);
            QTimer::singleShot(0, window, [guard] {
                if (guard && guard->isMinimized()) guard->hide();
            });
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace hv
