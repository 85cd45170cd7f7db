#include "widgets/DropDownComboBox.h"

namespace hv {

void DropDownComboBox::showPopup() {
    emit dropDown();
    QComboBox::showPopup();
}

}  // namespace hv
