#include "widgets/ExecModal.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QList>
#include <QMenu>
#include <QPointer>

namespace hv {

namespace {

constexpr char kNeverBlocked[] = "hvNeverBlocked";

bool isTrayWindow(const QWidget* w) {
    // Qt's own window that holds the icon in an XEmbed notification area.
    return w->inherits("QSystemTrayIconSys") ||
           w->objectName() == QLatin1String("QSystemTrayIconSys");
}

// The dialog itself and the windows it owns (its own font or colour dialog) stay usable.
bool ownedBy(const QWidget* w, const QWidget* dialog) {
    for (const QWidget* p = w; p; p = p->parentWidget())
        if (p == dialog) return true;
    return false;
}

// The windows the dialog belongs to: Qt's window modality blocks them already, and disabling
// one would disable the dialog with it.
bool ownerOf(const QWidget* w, const QWidget* dialog) {
    for (const QWidget* p = dialog->parentWidget(); p; p = p->parentWidget())
        if (p->window() == w) return true;
    return false;
}

}  // namespace

void setNeverBlocked(QWidget* window) { window->setProperty(kNeverBlocked, true); }

bool swallowCloseKeys(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            event->accept();
            return true;
        default:
            return false;
    }
}

int execModal(QDialog& dialog) {
    // Window modality blocks only the windows the dialog belongs to (its parent chain); every
    // other window of the program is disabled by hand for as long as the dialog runs.
    dialog.setWindowModality(Qt::WindowModal);
    QList<QPointer<QWidget>> disabled;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!w->isEnabled() || ownedBy(w, &dialog) || ownerOf(w, &dialog) || isTrayWindow(w) ||
            qobject_cast<QMenu*>(w) || w->windowType() == Qt::Popup ||
            w->windowType() == Qt::ToolTip || w->property(kNeverBlocked).toBool())
            continue;
        w->setEnabled(false);
        disabled.append(w);
    }
    const int result = dialog.exec();
    for (const QPointer<QWidget>& w : disabled)
        if (w) w->setEnabled(true);
    return result;
}

}  // namespace hv
