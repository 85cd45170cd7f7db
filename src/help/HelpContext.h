#pragma once

#include <QObject>
#include <QVariant>

namespace hv {

// A help context is a number on a window or control (0 = none). F1 asks for the context of
// the focused control or of its nearest parent that has one.
inline constexpr char kHelpContextProperty[] = "helpContext";

inline void setHelpContext(QObject* object, int context) {
    object->setProperty(kHelpContextProperty, context);
}

inline int helpContextOf(const QObject* object) {
    return object ? object->property(kHelpContextProperty).toInt() : 0;
}

// Delivers a press of F1 to the widget with the keyboard focus, as a synthesised key press
// would: the tray menu's Help command and the settings dialog's Help button use it.
void PressF1();

}  // namespace hv
