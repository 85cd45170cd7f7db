#pragma once

#include <QObject>
#include <QVariant>

class QWidget;

namespace hv {

// A help context is a number on a window, control or menu item (0 = none). F1 in any window of
// the program asks the help system for the context of the focused control or of its nearest
// parent that has one; with a menu open, for the highlighted item's context.
inline constexpr char kHelpContextProperty[] = "helpContext";

inline void setHelpContext(QObject* object, int context) {
    object->setProperty(kHelpContextProperty, context);
}

inline int helpContextOf(const QObject* object) {
    return object ? object->property(kHelpContextProperty).toInt() : 0;
}

// The context F1 asks for when it reaches this widget: the widget's or its nearest parent's
// (up to its window); for an open menu, its highlighted item's, else the menu's or that of the
// nearest menu above it. 0: no help.
int helpContextForF1(const QWidget* receiver);

// Installs the program-wide F1 handling on the application (once; later calls do nothing).
// Each F1 with a context sends a context request with the application's help file to the help
// manager. Main thread.
void installF1Handling();

// Receives F1 when no widget has the keyboard focus and no window is active (a tray program
// right after its menu closed): the main window.
void setF1FallbackWidget(QWidget* widget);

// Delivers a press of F1 (no release) to the open menu, else the widget with the keyboard
// focus, else the active window, else the fallback widget, once the event loop runs again, as
// a synthesised key press would: the tray menu's Help command and the settings dialog's Help
// button use it. Main thread.
void pressF1();

}  // namespace hv
