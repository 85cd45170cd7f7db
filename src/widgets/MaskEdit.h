#pragma once

#include <QLineEdit>

#include "hosts/HostEntry.h"

namespace hv {

// The masked IP field "!999.999.999.999;_": always 15 shown characters, digits fill the digit
// positions, "." jumps past the next fixed ".", anything else is refused with a beep. Every
// edit goes through IpMask; navigation, selection and Copy are the line edit's own.
class MaskEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit MaskEdit(QWidget* parent = nullptr);

    // Puts text into the digit positions (what does not fit one is dropped).
    void setShownText(const QString& text);
    QString shownText() const { return m_mask.shownText(); }
    QString valueText() const { return m_mask.valueText(); }
    QString address() const { return m_mask.address(); }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

private:
    void typeText(const QString& text);
    bool clearSelection();
    void render();
    void syncCursor();

    IpMask m_mask;
};

}  // namespace hv
