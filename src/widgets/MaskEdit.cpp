#include "widgets/MaskEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>

namespace hv {

MaskEdit::MaskEdit(QWidget* parent) : QLineEdit(parent) {
    setDragEnabled(false);
    setAcceptDrops(false);
    // The line edit's menu would paste, cut and undo around the mask.
    setContextMenuPolicy(Qt::NoContextMenu);
    render();
}

void MaskEdit::setShownText(const QString& text) {
    m_mask.setShownText(text);
    render();
}

void MaskEdit::render() {
    if (text() != m_mask.shownText()) setText(m_mask.shownText());
    setCursorPosition(m_mask.cursor());
}

void MaskEdit::syncCursor() { m_mask.setCursor(cursorPosition()); }

bool MaskEdit::clearSelection() {
    if (!hasSelectedText()) return false;
    const int from = selectionStart();
    m_mask.clear(from, from + static_cast<int>(selectedText().size()));
    return true;
}

void MaskEdit::typeText(const QString& text) {
    bool refused = false;
    for (QChar c : text) refused = !m_mask.type(c) || refused;
    render();
    if (refused) QApplication::beep();
}

void MaskEdit::keyPressEvent(QKeyEvent* event) {
    syncCursor();
    if (event == QKeySequence::Paste) {
        clearSelection();
        typeText(QApplication::clipboard()->text());
        return;
    }
    if (event == QKeySequence::Cut) {
        if (hasSelectedText()) QApplication::clipboard()->setText(selectedText());
        clearSelection();
        render();
        return;
    }
    switch (event->key()) {
        case Qt::Key_Backspace:
            if (!clearSelection()) m_mask.backspace();
            render();
            return;
        case Qt::Key_Delete:
            if (!clearSelection()) m_mask.deleteForward();
            render();
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            event->ignore();
            return;
        default:
            break;
    }
    const QString text = event->text();
    const bool printable = !text.isEmpty() && text.at(0).isPrint() &&
                           !(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier));
    if (printable) {
        const QChar c = text.at(0);
        if (c.isDigit() || c == QLatin1Char('.')) clearSelection();
        typeText(text);
        return;
    }
    // Navigation, selection and Copy change nothing in the text.
    if (event->matches(QKeySequence::Copy) || event->matches(QKeySequence::SelectAll) ||
        event->key() == Qt::Key_Left || event->key() == Qt::Key_Right ||
        event->key() == Qt::Key_Home || event->key() == Qt::Key_End) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    // Any other editing key (undo, redo, kill line...) would bypass the mask.
    event->ignore();
}

void MaskEdit::inputMethodEvent(QInputMethodEvent* event) {
    syncCursor();
    if (!event->commitString().isEmpty()) {
        clearSelection();
        typeText(event->commitString());
    }
    event->accept();
}

}  // namespace hv
