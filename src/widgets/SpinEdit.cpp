#include "widgets/SpinEdit.h"

#include <QLineEdit>
#include <limits>

#include "platform/IntegerText.h"

namespace hv {

SpinEdit::SpinEdit(QWidget* parent) : QSpinBox(parent) {
    setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    setSingleStep(1);
    setAccelerated(true);
    // Keep what the user typed (also an empty text) instead of snapping back to the last value.
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    setKeyboardTracking(true);
}

int SpinEdit::spinValue() const { return parseInteger(lineEdit()->text().trimmed()).value_or(0); }

void SpinEdit::setSpinValue(int value) {
    setValue(value);
    lineEdit()->setText(QString::number(value));
}

}  // namespace hv

namespace hv {

void SpinEdit::setSpinText(const QString& text) { lineEdit()->setText(text); }

}  // namespace hv
