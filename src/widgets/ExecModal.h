#pragma once

class QDialog;
class QKeyEvent;
class QWidget;

namespace hv {

// Runs a dialog modally for the program's windows while the tray icon, its menu and the
// windows marked with setNeverBlocked (the balloon) keep taking clicks. Qt's application
// modality would block the tray icon's window and the balloon as well. Main thread; returns
// what QDialog::exec returns.
int execModal(QDialog& dialog);

// A window that no modal dialog blocks: a click on the balloon must hide it at any time.
void setNeverBlocked(QWidget* window);

// Our dialogs have no default or cancel button: Enter and Esc close nothing. Returns true when
// the key was one of them and is taken.
bool swallowCloseKeys(QKeyEvent* event);

}  // namespace hv
