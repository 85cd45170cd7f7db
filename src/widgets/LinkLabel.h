#pragma once

#include <QLabel>

namespace hv {

// A label that acts as a link: underlined blue text, the hand cursor, its own text as its hint.
// A click, or Enter or Space while it has the focus, emits clicked().
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit LinkLabel(QWidget* parent = nullptr);

    // Sets the text and the hint that shows it.
    void setLinkText(const QString& text);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace hv
