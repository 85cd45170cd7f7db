#pragma once

#include <QByteArray>
#include <functional>

namespace hv {

// Which Qt platform the tray program asks for. Wayland lets no window choose its own place,
// and the balloon must sit in the bottom right corner: where the user has not chosen a
// platform and X is there too (XWayland), the X11 platform is used.
namespace DisplayPlatform {

using Environment = std::function<QByteArray(const char* name)>;

// The QT_QPA_PLATFORM value to set, or an empty array to leave Qt's own choice.
QByteArray choose(const Environment& env);

// Applies choose() to this process's environment; call before the application object exists.
void applyToProcess();

}  // namespace DisplayPlatform
}  // namespace hv
