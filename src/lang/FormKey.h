#pragma once

#include <QString>
#include <QStringView>

namespace hv {

// One key of a window's section in a language file, taken apart by its form. What the key
// names (a component, a property, a line) is looked up by the widget side; this part needs
// no widgets, so it is tested and fuzzed alone. Pure; any thread.
//
//   C        Bare         the default property of component C, or the window's property C
//   C.P      Dotted       property P of component C
//   C.P(n)   DottedIndex  line n of the string-list property P of C
//   C(n)     NameIndex    line n of C's "Items"; a leading "." of the value is dropped
//
// Text after the ")" of an index is not looked at: "lbSettings(0)x" sets line 0.
class FormKey {
public:
    enum class Form { Bare, Dotted, DottedIndex, NameIndex, Invalid };

    static FormKey parse(QStringView key);

    // The section a window reads: its name, less a final "_" and one or two digits
    // ("frmAddHost_1" and "frmAddHost_12" read "frmAddHost"; "frmAddHost_123" reads itself).
    static QString sectionName(const QString& windowName);

    // An ASCII letter or "_" followed by ASCII letters, digits or "_".
    static bool isIdentifier(QStringView text);

    // The value a NameIndex key gives its line: one leading "." removed.
    static QString lineValue(const QString& value);

    Form form = Form::Invalid;
    QString component;  // C
    QString property;   // P ("Items" for NameIndex); empty for Bare
    int index = -1;     // n, for the two index forms
    QString problem;    // why an Invalid key fits no form
};

}  // namespace hv
