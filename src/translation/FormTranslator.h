#pragma once

#include <QList>
#include <QString>

class QObject;
class QWidget;

namespace hv {

class IniFile;

// Applies one window's section of a language file to the window, key by key in file order
// (the later of two keys for one property wins), and says what became of every key. A key
// that fits no form, names nothing the window has, or carries a bad index is skipped and the
// rest still apply; a value that does not read as its property's type keeps the property's
// value. Main thread.
class FormTranslator {
public:
    struct Outcome {
        QString key;
        bool applied = false;
        QString problem;            // why the key changed nothing (empty when applied)
        QObject* target = nullptr;  // the component or window that was set
        QString property;           // the property's own spelling ("Caption")
        int line = -1;              // the line set, for the index forms; -1: the whole value
    };

    static QList<Outcome> apply(QWidget* window, const IniFile& file);
};

}  // namespace hv
