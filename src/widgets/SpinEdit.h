#pragma once

#include <QSpinBox>

namespace hv {

// A spin edit without bounds (the whole 32-bit range), stepping by 1, whose value is its text
// read as an integer, 0 when the text is not one (a cleared box hands back 0).
class SpinEdit : public QSpinBox {
    Q_OBJECT
public:
    explicit SpinEdit(QWidget* parent = nullptr);

    int spinValue() const;
    void setSpinValue(int value);
    // The text as the user leaves it, unchecked.
    void setSpinText(const QString& text);
};

}  // namespace hv
