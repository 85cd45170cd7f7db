#include "widgets/SpinEdit.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <limits>

#include "platform/IntegerText.h"

namespace hv {

SpinEdit::SpinEdit(QWidget* parent) : QSpinBox(parent) {
    setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    setSingleStep(1);
    setAccelerated(true);
    setKeyboardTracking(true);
}

int SpinEdit::spinValue() const { return parseInteger(lineEdit()->text().trimmed()).value_or(0); }

void SpinEdit::setSpinValue(int value) {
    setValue(value);
    lineEdit()->setText(QString::number(value));
}

bool SpinEdit::takesText(QString text) const {
    text.remove(locale().decimalPoint());
    for (QChar c : text)
        if (!((c >= u'0' && c <= u'9') || c == u'+' || c == u'-')) return false;
    return true;
}

void SpinEdit::refuse() {
    if (beepHook())
        beepHook()();
    else
        QApplication::beep();
}

void SpinEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        refuse();
        event->accept();
        return;
    }
    const QString text = event->text();
    const bool control = event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier);
    if (!control && !text.isEmpty() && text.at(0).isPrint() && !takesText(text)) {
        refuse();
        event->accept();
        return;
    }
    QSpinBox::keyPressEvent(event);
}

QValidator::State SpinEdit::validate(QString& text, int& /*pos*/) const {
    return takesText(text) ? QValidator::Acceptable : QValidator::Invalid;
}

int SpinEdit::valueFromText(const QString& text) const {
    return parseInteger(text.trimmed()).value_or(0);
}

// ASCII digits whatever the locale, so that the shown text always reads back as its value.
QString SpinEdit::textFromValue(int value) const { return QString::number(value); }

void SpinEdit::setSpinText(const QString& text) { lineEdit()->setText(text); }

std::function<void()>& SpinEdit::beepHook() {
    static std::function<void()> hook;
    return hook;
}

}  // namespace hv
