#pragma once

#include <QMargins>
#include <QObject>
#include <QRect>
#include <QSize>

class QWidget;

namespace hv {

// Keeps the program's windows inside the work area (the screen less its panels): a window
// opens at its designed place and size where they fit, moved in where only the place does
// not, and shrunk to the work area only when it is larger than that.
class ScreenFit : public QObject {
    Q_OBJECT
public:
    // The frame rectangle that `frame` becomes inside `area`: unchanged when it fits; else
    // moved (each axis on its own) just far enough to come in, and where it is longer than
    // the area on an axis, cut to the area's length there. `minimum` is the least frame size
    // the window can take: on an axis where it cannot shrink enough it starts at the area's
    // edge.
    // An empty area changes nothing.
    static QRect fitFrame(const QRect& frame, const QRect& area, const QSize& minimum = {});

    // Fits the window every time it is shown, before it is mapped, into the work area of the
    // screen under the cursor (or the primary screen), and once more when the window
    // manager's frame turns out larger than assumed. A window shown without a place of its
    // own (never moved) stays where the window manager puts it unless it does not fit.
    static void install(QWidget* window);

    // Fits the window now (shown or not).
    static void fit(QWidget* window);

    // The frame the window manager draws around a window: the last one seen on a window of
    // ours, or a generous assumption before any was seen.
    static QMargins assumedFrame();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit ScreenFit(QWidget* window);
    QWidget* m_window;
    bool m_checkFrame = false;  // the next expose checks the real frame
};

}  // namespace hv
