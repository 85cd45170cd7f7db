#pragma once

#include <QSpinBox>
#include <functional>

namespace hv {

// A spin edit without bounds (the whole 32-bit range), stepping by 1, whose value is its text
// read as an integer, 0 when the text is not one (a cleared box hands back 0). Typing takes
// digits, "+", "-", the locale's decimal separator and control keys other than Enter; any
// other key that gives a character is refused with a beep.
class SpinEdit : public QSpinBox {
    Q_OBJECT
public:
    explicit SpinEdit(QWidget* parent = nullptr);

    int spinValue() const;
    void setSpinValue(int value);
    // The text as the user leaves it, unchecked.
    void setSpinText(const QString& text);

    // Tests: called instead of QApplication::beep() when a key is refused.
    static std::function<void()>& beepHook();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // Every text made of the characters typing takes is acceptable: leaving the box or closing
    // the dialog then keeps its reading (0 for "", "-" or "1.5") instead of the last value.
    QValidator::State validate(QString& text, int& pos) const override;
    int valueFromText(const QString& text) const override;
    QString textFromValue(int value) const override;

private:
    // Only digits, signs and decimal separators.
    bool takesText(QString text) const;
    void refuse();
};

}  // namespace hv
