#pragma once

#include <QStringList>

namespace hv {

// `hostvane --once`: one real pass over the settings file's host list, printed for terminals
// and scripts; needs no display and takes no instance lock. Returns the exit status.
int runCheckOnce(const QString& executablePath);

}  // namespace hv
