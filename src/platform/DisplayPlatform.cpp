#include "platform/DisplayPlatform.h"

#include <QtGlobal>

namespace hv {
namespace DisplayPlatform {

QByteArray choose(const Environment& env) {
    if (!env("QT_QPA_PLATFORM").isEmpty()) return {};  // the user's choice stands
    const bool wayland = !env("WAYLAND_DISPLAY").isEmpty() || env("XDG_SESSION_TYPE") == "wayland";
    if (wayland && !env("DISPLAY").isEmpty()) return QByteArrayLiteral("xcb");
    return {};
}

void applyToProcess() {
    const QByteArray platform = choose([](const char* name) { return qgetenv(name); });
    if (!platform.isEmpty()) qputenv("QT_QPA_PLATFORM", platform);
}

}  // namespace DisplayPlatform
}  // namespace hv
