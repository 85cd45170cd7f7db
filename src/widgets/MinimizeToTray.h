#pragma once

#include <QObject>

class QWidget;

namespace hv {

// Minimising one of the program's windows hides it into the tray instead of leaving a
// minimised window behind; the window's state goes back to normal so that the next show
// brings it up as it was.
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
