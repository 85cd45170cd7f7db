#pragma once

class QWidget;

namespace hv {

// Applies the current language file's section for this window to the window and the
// components it owns. Main thread. Never raises: a key that does not fit is skipped.
void translateForm(QWidget* window);

}  // namespace hv
