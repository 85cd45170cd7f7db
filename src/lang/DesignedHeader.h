#pragma once

#include <Qt>

namespace hv {

// Header role by which a table model marks the columns whose titles a window designs (and a
// language file's "Columns" lines replace); its value is the designed title. Columns without
// it take their titles from messages.
inline constexpr int kDesignedHeaderRole = Qt::UserRole + 0x100;

}  // namespace hv
