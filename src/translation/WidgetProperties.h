#pragma once

#include <QList>
#include <QString>
#include <QVariant>

#include "lang/PropertyValue.h"

class QObject;
class QWidget;

namespace hv {

// The names language files use for our Qt windows: the components a window owns, the kind of
// each, the property a bare component name stands for, and the named properties every kind
// offers, each with its type and a getter and setter. Two tables (kind → default property,
// property → kinds, getter, setter) hold it all. Main thread.
class WidgetProperties {
public:
    enum class Kind {
        Window,       // the window itself
        Button,       // QPushButton
        MenuItem,     // QAction (a submenu stands for its menu action)
        CheckBox,     // QCheckBox
        Label,        // QLabel
        RadioBox,     // QRadioButton
        Edit,         // QLineEdit (edit, masked edit)
        SpinEdit,     // QAbstractSpinBox
        Memo,         // QPlainTextEdit, QTextEdit
        GroupBox,     // QGroupBox
        SpeedButton,  // QToolButton
        ListBox,      // QListWidget
        ComboBox,     // QComboBox
        ListView,     // QTreeWidget, QTableView
        OtherWidget,  // panels, pages, status bars, ...: no default property
        NonVisual,    // timers, popup menus, dialogs owned by the window, ...: nothing
    };

    struct Property {
        const char* name;
        PropertyValue::Type type;
        int memberCount;  // enumerations
        unsigned kinds;   // bit (1 << Kind) for every kind that offers it
        QVariant (*get)(QObject*);
        void (*set)(QObject*, const QVariant&);
        void (*setLine)(QObject*, int, const QString&);  // string lists: one line in place
    };

    // The components the window owns, in creation order: its named descendants, menus and
    // their items included, but not other windows (dialogs) and what those own, and not
    // Qt's own inner parts ("qt_" names).
    static QList<QObject*> components(QWidget* window);
    // The first component named name, ignoring case; nullptr when the window owns none.
    static QObject* findComponent(QWidget* window, const QString& name);

    static Kind kindOf(const QObject* object, const QWidget* window);
    static const char* kindName(Kind kind);
    // "Caption", "Text", or nullptr when a bare name means nothing for the kind.
    static const char* defaultProperty(Kind kind);
    // The named property of the kind, ignoring case; nullptr when the kind offers none.
    static const Property* find(Kind kind, const QString& name);
    static QList<const Property*> properties(Kind kind);
};

}  // namespace hv
