#pragma once

#include <QObject>

class QWidget;

namespace hv {

// Minimising one of the program's windows hides it into the tray instead of leaving a
// minimised window behind: the window is withdrawn (off the screen and the taskbar). It keeps
// its minimised state while hidden, so whatever shows it again must show it normal
// (showNormal(), or setWindowState() without Qt::WindowMinimized before show()).
class MinimizeToTray : public QObject {
    Q_OBJECT
public:
    // Installs the filter on window (owned by it).
    static void install(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using QObject::QObject;
};

}  // namespace hv
