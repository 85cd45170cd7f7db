#pragma once

#include <QIcon>
#include <QPixmap>

namespace hv {

// ImageList: the 16 x 16 images of the tray menu and the state table, drawn in code.
// 0 answered, 1 not answering / not checked, 2 Start (monitor stopped), 3 Stop (running),
// 4 hosts state / table, 5 log, 6 help, 7 about, 8 settings, 9 unreachable (behind a lost host).
namespace ImageList {
constexpr int kCount = 10;
QPixmap pixmap(int index);  // 16 x 16 (device pixel ratio 1); a null pixmap out of range
QIcon icon(int index);
}  // namespace ImageList

}  // namespace hv
