#include "translation/WidgetProperties.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTableView>
#include <QTextEdit>
#include <QToolButton>
#include <QTreeWidget>
#include <algorithm>
#include <iterator>

#include "lang/DesignedHeader.h"

namespace hv {

namespace {

using Kind = WidgetProperties::Kind;
using Type = PropertyValue::Type;

constexpr unsigned bit(Kind k) { return 1u << static_cast<unsigned>(k); }
template <typename... K>
constexpr unsigned bits(K... k) {
    return (bit(k) | ...);
}

constexpr unsigned kCaptioned =
    bits(Kind::Window, Kind::Button, Kind::MenuItem, Kind::CheckBox, Kind::Label, Kind::RadioBox,
         Kind::GroupBox, Kind::SpeedButton);
constexpr unsigned kWidgets =
    bits(Kind::Window, Kind::Button, Kind::CheckBox, Kind::Label, Kind::RadioBox, Kind::Edit,
         Kind::SpinEdit, Kind::Memo, Kind::GroupBox, Kind::SpeedButton, Kind::ListBox,
         Kind::ComboBox, Kind::ListView, Kind::OtherWidget);

// The kind → default property table, tested in this order: the first kind the component is
// or derives from decides.
struct KindRule {
    Kind kind;
    bool (*is)(const QObject*);
    const char* defaultProperty;
};

template <typename T>
bool is(const QObject* o) {
    return qobject_cast<const T*>(o) != nullptr;
}

const KindRule kKindRules[] = {
    {Kind::Button, is<QPushButton>, "Caption"},
    {Kind::MenuItem, is<QAction>, "Caption"},
    {Kind::CheckBox, is<QCheckBox>, "Caption"},
    {Kind::Label, is<QLabel>, "Caption"},
    {Kind::RadioBox, is<QRadioButton>, "Caption"},
    {Kind::Edit, is<QLineEdit>, "Text"},
    {Kind::SpinEdit, is<QAbstractSpinBox>, "Text"},
    {Kind::Memo, [](const QObject* o) { return is<QPlainTextEdit>(o) || is<QTextEdit>(o); },
     "Text"},
    {Kind::GroupBox, is<QGroupBox>, "Caption"},
    {Kind::SpeedButton, is<QToolButton>, "Caption"},
    {Kind::ListBox, is<QListWidget>, nullptr},
    {Kind::ComboBox, is<QComboBox>, nullptr},
    {Kind::ListView, [](const QObject* o) { return is<QTreeWidget>(o) || is<QTableView>(o); },
     nullptr},
    // A popup menu that is no submenu item, and dialogs: nothing to translate through them.
    {Kind::NonVisual, [](const QObject* o) { return is<QMenu>(o) || is<QDialog>(o); }, nullptr},
    {Kind::OtherWidget, is<QWidget>, nullptr},
};

QWidget* widget(QObject* o) { return qobject_cast<QWidget*>(o); }

// --- getters and setters --------------------------------------------------------------

QVariant getCaption(QObject* o) {
    if (auto* a = qobject_cast<QAction*>(o))
        return a->isSeparator() ? QStringLiteral("-") : a->text();
    if (auto* b = qobject_cast<QAbstractButton*>(o)) return b->text();
    if (auto* l = qobject_cast<QLabel*>(o)) return l->text();
    if (auto* g = qobject_cast<QGroupBox*>(o)) return g->title();
    if (auto* w = widget(o)) return w->windowTitle();
    return {};
}

void setCaption(QObject* o, const QVariant& v) {
    const QString text = v.toString();
    if (auto* a = qobject_cast<QAction*>(o)) {
        // A menu item whose caption is "-" is drawn as a separator line.
        a->setSeparator(text == QStringLiteral("-"));
        a->setText(text);
    } else if (auto* b = qobject_cast<QAbstractButton*>(o)) {
        b->setText(text);
    } else if (auto* l = qobject_cast<QLabel*>(o)) {
        l->setText(text);
    } else if (auto* g = qobject_cast<QGroupBox*>(o)) {
        g->setTitle(text);
    } else if (auto* w = widget(o)) {
        w->setWindowTitle(text);
    }
}

QLineEdit* spinLine(QObject* o) {
    auto* spin = qobject_cast<QAbstractSpinBox*>(o);
    return spin ? spin->findChild<QLineEdit*>() : nullptr;
}

QVariant getText(QObject* o) {
    if (auto* e = qobject_cast<QLineEdit*>(o)) return e->text();
    if (auto* e = spinLine(o)) return e->text();
    if (auto* m = qobject_cast<QPlainTextEdit*>(o)) return m->toPlainText();
    if (auto* m = qobject_cast<QTextEdit*>(o)) return m->toPlainText();
    return {};
}

void setText(QObject* o, const QVariant& v) {
    const QString text = v.toString();
    if (auto* e = qobject_cast<QLineEdit*>(o))
        e->setText(text);
    else if (auto* e = spinLine(o))
        e->setText(text);
    else if (auto* m = qobject_cast<QPlainTextEdit*>(o))
        m->setPlainText(text);
    else if (auto* m = qobject_cast<QTextEdit*>(o))
        m->setPlainText(text);
}

// A hint kept apart from the tooltip (one the window does not show) lives in "hint".
QVariant getHint(QObject* o) {
    if (auto* a = qobject_cast<QAction*>(o)) return a->statusTip();
    if (o->property("hint").isValid()) return o->property("hint").toString();
    if (auto* w = widget(o)) return w->toolTip();
    return {};
}

void setHint(QObject* o, const QVariant& v) {
    if (auto* a = qobject_cast<QAction*>(o))
        a->setStatusTip(v.toString());
    else if (o->property("hint").isValid())
        o->setProperty("hint", v.toString());
    else if (auto* w = widget(o))
        w->setToolTip(v.toString());
}

QVariant getVisible(QObject* o) {
    if (auto* a = qobject_cast<QAction*>(o)) return int(a->isVisible());
    if (auto* w = widget(o)) return int(w->isWindow() ? w->isVisible() : !w->isHidden());
    return {};
}

void setVisible(QObject* o, const QVariant& v) {
    if (auto* a = qobject_cast<QAction*>(o))
        a->setVisible(v.toInt() != 0);
    else if (auto* w = widget(o))
        w->setVisible(v.toInt() != 0);
}

QVariant getEnabled(QObject* o) {
    if (auto* a = qobject_cast<QAction*>(o)) return int(a->isEnabled());
    if (auto* w = widget(o)) return int(w->isEnabled());
    return {};
}

void setEnabled(QObject* o, const QVariant& v) {
    if (auto* a = qobject_cast<QAction*>(o))
        a->setEnabled(v.toInt() != 0);
    else if (auto* w = widget(o))
        w->setEnabled(v.toInt() != 0);
}

QVariant getLeft(QObject* o) { return widget(o)->x(); }
QVariant getTop(QObject* o) { return widget(o)->y(); }
QVariant getWidth(QObject* o) { return widget(o)->width(); }
QVariant getHeight(QObject* o) { return widget(o)->height(); }
void setLeft(QObject* o, const QVariant& v) { widget(o)->move(v.toInt(), widget(o)->y()); }
void setTop(QObject* o, const QVariant& v) { widget(o)->move(widget(o)->x(), v.toInt()); }

// A window is resized; a control gets that size fixed, as its layout would otherwise size it
// anew at once.
void setWidth(QObject* o, const QVariant& v) {
    QWidget* w = widget(o);
    const int n = std::max(0, v.toInt());
    if (w->isWindow())
        w->resize(n, w->height());
    else
        w->setFixedWidth(n);
}

void setHeight(QObject* o, const QVariant& v) {
    QWidget* w = widget(o);
    const int n = std::max(0, v.toInt());
    if (w->isWindow())
        w->resize(w->width(), n);
    else
        w->setFixedHeight(n);
}

QVariant getFontSize(QObject* o) {
    if (auto* a = qobject_cast<QAction*>(o)) return a->font().pointSizeF();
    return widget(o)->font().pointSizeF();
}

void setFontSize(QObject* o, const QVariant& v) {
    const double size = v.toDouble();
    if (!(size > 0 && size < 1000)) return;  // no such font size: keep the font
    if (auto* a = qobject_cast<QAction*>(o)) {
        QFont f = a->font();
        f.setPointSizeF(size);
        a->setFont(f);
        return;
    }
    QFont f = widget(o)->font();
    f.setPointSizeF(size);
    widget(o)->setFont(f);
}

QVariant getWordWrap(QObject* o) { return int(qobject_cast<QLabel*>(o)->wordWrap()); }
void setWordWrap(QObject* o, const QVariant& v) {
    qobject_cast<QLabel*>(o)->setWordWrap(v.toInt() != 0);
}

// Left, right, centre, in this order.
const Qt::Alignment kAlignments[] = {Qt::AlignLeft, Qt::AlignRight, Qt::AlignHCenter};

QVariant getAlignment(QObject* o) {
    const Qt::Alignment a = qobject_cast<QLabel*>(o)->alignment() & Qt::AlignHorizontal_Mask;
    for (int i = 0; i < 3; ++i)
        if (a & kAlignments[i]) return i;
    return 0;
}

void setAlignment(QObject* o, const QVariant& v) {
    auto* l = qobject_cast<QLabel*>(o);
    l->setAlignment((l->alignment() & ~Qt::AlignHorizontal_Mask) | kAlignments[v.toInt()]);
}

QVariant getPasswordChar(QObject* o) {
    auto* e = qobject_cast<QLineEdit*>(o);
    return e && e->echoMode() == QLineEdit::Password ? QStringLiteral("*") : QString();
}

void setPasswordChar(QObject* o, const QVariant&) {
    // Qt draws its own mask character; any character switches masking on.
    if (auto* e = qobject_cast<QLineEdit*>(o)) e->setEchoMode(QLineEdit::Password);
}

QVariant getItems(QObject* o) {
    QStringList lines;
    if (auto* l = qobject_cast<QListWidget*>(o)) {
        for (int i = 0; i < l->count(); ++i) lines << l->item(i)->text();
    } else if (auto* c = qobject_cast<QComboBox*>(o)) {
        for (int i = 0; i < c->count(); ++i) lines << c->itemText(i);
    }
    return lines;
}

// Replacing the lines changes neither the selected row nor the text of an editable combo
// box, and emits none of their signals: the language box would otherwise change the language
// it is being translated into.
void setItems(QObject* o, const QVariant& v) {
    const QStringList lines = v.toStringList();
    if (auto* l = qobject_cast<QListWidget*>(o)) {
        const QSignalBlocker block(l);
        const int row = l->currentRow();
        l->clear();
        l->addItems(lines);
        if (row >= 0 && row < l->count()) l->setCurrentRow(row);
    } else if (auto* c = qobject_cast<QComboBox*>(o)) {
        const QSignalBlocker block(c);
        const QString text = c->currentText();
        const int index = c->currentIndex();
        c->clear();
        c->addItems(lines);
        if (c->isEditable())
            c->setEditText(text);
        else
            c->setCurrentIndex(std::min(index, c->count() - 1));
    }
}

void setItemLine(QObject* o, int n, const QString& text) {
    if (auto* l = qobject_cast<QListWidget*>(o)) {
        l->item(n)->setText(text);
    } else if (auto* c = qobject_cast<QComboBox*>(o)) {
        const QSignalBlocker block(c);
        const QString edit = c->currentText();
        c->setItemText(n, text);
        if (c->isEditable()) c->setEditText(edit);
    }
}

// A table view's columns that a language file names: those its model gives a designed title
// (the others take theirs from messages).
int designedColumns(QTableView* t) {
    QAbstractItemModel* m = t->model();
    int n = 0;
    while (m && n < m->columnCount() &&
           m->headerData(n, Qt::Horizontal, kDesignedHeaderRole).isValid())
        ++n;
    return n;
}

QVariant getColumns(QObject* o) {
    QStringList lines;
    if (auto* t = qobject_cast<QTreeWidget*>(o)) {
        for (int i = 0; i < t->columnCount(); ++i) lines << t->headerItem()->text(i);
    } else if (auto* v = qobject_cast<QTableView*>(o)) {
        for (int i = 0; i < designedColumns(v); ++i)
            lines << v->model()->headerData(i, Qt::Horizontal).toString();
    }
    return lines;
}

void setColumnLine(QObject* o, int n, const QString& text) {
    if (auto* t = qobject_cast<QTreeWidget*>(o)) {
        t->headerItem()->setText(n, text);
    } else if (auto* v = qobject_cast<QTableView*>(o)) {
        if (n < designedColumns(v)) v->model()->setHeaderData(n, Qt::Horizontal, text);
    }
}

// The header texts of the columns the view has; the number of columns stays.
void setColumns(QObject* o, const QVariant& v) {
    const QStringList lines = v.toStringList();
    const int have = static_cast<int>(getColumns(o).toStringList().size());
    for (int i = 0; i < have && i < lines.size(); ++i) setColumnLine(o, i, lines[i]);
}

// The property → kinds, type, getter, setter table.
const WidgetProperties::Property kProperties[] = {
    {"Caption", Type::Text, 0, kCaptioned, getCaption, setCaption, nullptr},
    {"Text", Type::Text, 0, bits(Kind::Edit, Kind::SpinEdit, Kind::Memo), getText, setText,
     nullptr},
    {"Hint", Type::Text, 0, kWidgets | bit(Kind::MenuItem), getHint, setHint, nullptr},
    {"Visible", Type::Enumeration, 2, kWidgets | bit(Kind::MenuItem), getVisible, setVisible,
     nullptr},
    {"Enabled", Type::Enumeration, 2, kWidgets | bit(Kind::MenuItem), getEnabled, setEnabled,
     nullptr},
    {"Left", Type::Integer, 0, kWidgets, getLeft, setLeft, nullptr},
    {"Top", Type::Integer, 0, kWidgets, getTop, setTop, nullptr},
    {"Width", Type::Integer, 0, kWidgets, getWidth, setWidth, nullptr},
    {"Height", Type::Integer, 0, kWidgets, getHeight, setHeight, nullptr},
    {"FontSize", Type::Float, 0, kWidgets | bit(Kind::MenuItem), getFontSize, setFontSize, nullptr},
    {"WordWrap", Type::Enumeration, 2, bit(Kind::Label), getWordWrap, setWordWrap, nullptr},
    {"Alignment", Type::Enumeration, 3, bit(Kind::Label), getAlignment, setAlignment, nullptr},
    {"PasswordChar", Type::Character, 0, bit(Kind::Edit), getPasswordChar, setPasswordChar,
     nullptr},
    {"Items", Type::StringList, 0, bits(Kind::ListBox, Kind::ComboBox), getItems, setItems,
     setItemLine},
    {"Columns", Type::StringList, 0, bit(Kind::ListView), getColumns, setColumns, setColumnLine},
};

void collect(QObject* parent, QList<QObject*>& out) {
    for (QObject* child : parent->children()) {
        // Another window (a dialog this one opened) owns its own components.
        if (auto* w = qobject_cast<QWidget*>(child);
            w && w->isWindow() && !qobject_cast<QMenu*>(w)) {
            if (!child->objectName().isEmpty()) out.append(child);
            continue;
        }
        const QString name = child->objectName();
        if (!name.isEmpty() && !name.startsWith(QLatin1String("qt_"))) out.append(child);
        collect(child, out);
    }
}

}  // namespace

QList<QObject*> WidgetProperties::components(QWidget* window) {
    QList<QObject*> out;
    if (window) collect(window, out);
    return out;
}

QObject* WidgetProperties::findComponent(QWidget* window, const QString& name) {
    for (QObject* o : components(window)) {
        if (o->objectName().compare(name, Qt::CaseInsensitive) != 0) continue;
        // A submenu is the menu item that opens it.
        if (auto* menu = qobject_cast<QMenu*>(o);
            menu && menu->menuAction()->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return menu->menuAction();
        return o;
    }
    return nullptr;
}

WidgetProperties::Kind WidgetProperties::kindOf(const QObject* object, const QWidget* window) {
    if (object == window) return Kind::Window;
    for (const KindRule& rule : kKindRules)
        if (rule.is(object)) return rule.kind;
    return Kind::NonVisual;
}

const char* WidgetProperties::kindName(Kind kind) {
    static const char* const names[] = {"window",
                                        "button",
                                        "menu item",
                                        "check box",
                                        "label",
                                        "radio box",
                                        "edit field",
                                        "spin edit",
                                        "memo",
                                        "group box",
                                        "speed button",
                                        "list box",
                                        "combo box",
                                        "list view",
                                        "panel or other control",
                                        "component without texts"};
    return names[static_cast<int>(kind)];
}

const char* WidgetProperties::defaultProperty(Kind kind) {
    for (const KindRule& rule : kKindRules)
        if (rule.kind == kind) return rule.defaultProperty;
    return nullptr;  // the window itself: a bare name is its property
}

const WidgetProperties::Property* WidgetProperties::find(Kind kind, const QString& name) {
    for (const Property& p : kProperties)
        if ((p.kinds & bit(kind)) && name.compare(QLatin1String(p.name), Qt::CaseInsensitive) == 0)
            return &p;
    return nullptr;
}

QList<const WidgetProperties::Property*> WidgetProperties::properties(Kind kind) {
    QList<const Property*> out;
    for (const Property& p : kProperties)
        if (p.kinds & bit(kind)) out.append(&p);
    return out;
}

}  // namespace hv
