#include "widgets/HelpContext.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include "helpcore/HelpManager.h"

namespace hv {

namespace {

QPointer<QWidget>& fallback() {
    static QPointer<QWidget> widget;
    return widget;
}

class F1Filter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_F1 || key->modifiers() != Qt::NoModifier) return false;
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget) return false;
        // Taken here whatever the outcome: passed on, the press would climb to the parents
        // and ask again for a context the focused control does not have.
        if (const int context = helpContextForF1(widget))
            HelpManager::instance()->contextHelp(context, HelpManager::applicationHelpFile());
        return true;
    }
};

}  // namespace

int helpContextForF1(const QWidget* receiver) {
    if (const auto* menu = qobject_cast<const QMenu*>(receiver)) {
        // The highlighted item's context; an item without one is covered by its menu's, and a
        // submenu's by the item that opens it and the menus above.
        if (const int context = helpContextOf(menu->activeAction())) return context;
        for (const QWidget* w = menu; w; w = w->parentWidget()) {
            const auto* m = qobject_cast<const QMenu*>(w);
            if (!m) break;
            if (const int context = helpContextOf(m)) return context;
            if (const int context = helpContextOf(m->menuAction())) return context;
        }
        return 0;
    }
    for (const QWidget* w = receiver; w; w = w->parentWidget()) {
        if (const int context = helpContextOf(w)) return context;
        if (w->isWindow()) break;
    }
    return 0;
}

void installF1Handling() {
    static F1Filter* filter = nullptr;
    if (filter || !qApp) return;
    filter = new F1Filter(qApp);
    qApp->installEventFilter(filter);
}

void setF1FallbackWidget(QWidget* widget) { fallback() = widget; }

void pressF1() {
    QTimer::singleShot(0, qApp, [] {
        // A menu whose item was just chosen is hidden but may still be listed as the popup,
        // or hold the focus: only a shown widget takes the key.
        auto shown = [](QWidget* w) { return w && w->isVisible() ? w : nullptr; };
        QWidget* target = shown(QApplication::activePopupWidget());
        if (!target) target = shown(QApplication::focusWidget());
        if (!target) target = shown(QApplication::activeWindow());
        if (!target) target = fallback();
        if (!target) return;
        QKeyEvent press(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
        QApplication::sendEvent(target, &press);
    });
}

}  // namespace hv
