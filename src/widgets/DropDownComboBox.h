#pragma once

#include <QComboBox>

namespace hv {

// A combo box that says when its list is about to drop down, so that the list can be filled
// afresh each time.
class DropDownComboBox : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    void showPopup() override;

signals:
    void dropDown();
};

}  // namespace hv
