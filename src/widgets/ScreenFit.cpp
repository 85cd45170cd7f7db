#include "widgets/ScreenFit.h"

#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace hv {

namespace {

// Before any frame has been seen: a title bar and borders larger than most themes draw, so a
// window placed with it ends inside the work area.
QMargins g_lastFrame(6, 32, 6, 8);

QScreen* targetScreen() {
    if (QScreen* s = QGuiApplication::screenAt(QCursor::pos())) return s;
    return QGuiApplication::primaryScreen();
}

// Where the axis of length `len` starts so that it lies within [lo, lo + areaLen).
int placeOnAxis(int pos, int len, int lo, int areaLen) {
    if (len >= areaLen) return lo;
    return std::clamp(pos, lo, lo + areaLen - len);
}

// The window manager's frame around a mapped window; null when none is known (yet).
QMargins realFrame(const QWidget* window) {
    const QWindow* handle = window->windowHandle();
    if (!handle || !handle->isVisible()) return {};
    return handle->frameMargins();
}

}  // namespace

QRect ScreenFit::fitFrame(const QRect& frame, const QRect& area, const QSize& minimum) {
    if (area.isEmpty() || area.contains(frame)) return frame;
    const int width = std::max(std::min(frame.width(), area.width()), minimum.width());
    const int height = std::max(std::min(frame.height(), area.height()), minimum.height());
    return QRect(placeOnAxis(frame.x(), width, area.x(), area.width()),
                 placeOnAxis(frame.y(), height, area.y(), area.height()), width, height);
}

QMargins ScreenFit::assumedFrame() { return g_lastFrame; }

ScreenFit::ScreenFit(QWidget* window) : QObject(window), m_window(window) {}

void ScreenFit::install(QWidget* window) { window->installEventFilter(new ScreenFit(window)); }

void ScreenFit::fit(QWidget* window) {
    if (!window || !window->isWindow()) return;
    // The window manager sizes a maximised or full-screen window itself.
    if (window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) return;
    QScreen* screen = targetScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    QMargins frame = realFrame(window);
    if (frame.isNull()) frame = assumedFrame();
    const QSize client = window->size();
    const QSize framed = client.grownBy(frame);
    // A window without a place of its own is left to the window manager while it fits.
    const bool placed = window->testAttribute(Qt::WA_Moved) || window->isVisible();
    if (!placed && framed.width() <= area.width() && framed.height() <= area.height()) return;
    const QPoint at = placed ? window->pos() : area.topLeft();
    const QRect wanted(at, framed);
    const QSize minimum = window->minimumSize().grownBy(frame);
    const QRect fitted = fitFrame(wanted, area, minimum);
    if (fitted == wanted && placed) return;
    const QSize newClient = fitted.size().shrunkBy(frame);
    if (newClient != client) window->resize(newClient);
    window->move(fitted.topLeft());
}

bool ScreenFit::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_window && event->type() == QEvent::Show) {
        // Sent before the window is mapped: it appears in its place.
        fit(m_window);
        if (QWindow* handle = m_window->windowHandle()) {
            handle->removeEventFilter(this);
            handle->installEventFilter(this);
        }
        m_checkFrame = true;
    } else if (watched != m_window && event->type() == QEvent::Expose && m_checkFrame) {
        const QMargins frame = realFrame(m_window);
        if (!frame.isNull()) {
            m_checkFrame = false;
            g_lastFrame = frame;
            // Checked again with the real frame, even one the same as assumed: before a window
            // is mapped, the X platform may place its client, not its frame, at the point asked
            // (a window shrunk to the area's width then lost its left border outside it).
            fit(m_window);
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace hv
