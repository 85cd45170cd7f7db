#pragma once

#include <QIcon>
#include <QPixmap>

#include "checking/OverallStatus.h"

namespace hv {

// The tray icon's images for the overall state ([View] TrayStatus=1), drawn in code. Each
// state has a shape of its own, so they are told apart without colour (colour-blind users,
// monochrome panels): a green disc with a check mark (every host answering), an amber
// triangle with an exclamation mark (some lost), a red square with a cross (every host lost),
// a grey ring with pause bars (stopped), a blue disc with white pause bars (held while the
// settings dialog is open), a blue ring with three dots (first check under way).
// NoHosts has none: the program's plain image stands for it. Main thread.
namespace TrayStatusImages {
// The sizes drawn for the icon; panels ask for 16 to 48, StatusNotifier hosts may take more.
inline constexpr int kSides[] = {16, 22, 24, 32, 48, 64};
// side x side, device pixel ratio 1; a null pixmap for NoHosts.
QPixmap pixmap(OverallState state, int side);
// Every size of kSides; a null icon for NoHosts.
QIcon icon(OverallState state);
}  // namespace TrayStatusImages

}  // namespace hv
