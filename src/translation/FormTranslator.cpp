#include "translation/FormTranslator.h"

#include <QWidget>

#include "lang/FormKey.h"
#include "lang/PropertyValue.h"
#include "platform/IniFile.h"
#include "translation/WidgetProperties.h"

namespace hv {

namespace {

using Outcome = FormTranslator::Outcome;
using Kind = WidgetProperties::Kind;

// Property name of target set from value.
void setNamed(Outcome& o, QObject* target, Kind kind, const QString& name, const QString& value) {
    const WidgetProperties::Property* p = WidgetProperties::find(kind, name);
    if (!p) {
        o.problem =
            QStringLiteral("%1 \"%2\" has no property %3")
                .arg(QLatin1String(WidgetProperties::kindName(kind)), target->objectName(), name);
        return;
    }
    const auto v = PropertyValue::read(p->type, value, p->memberCount);
    o.target = target;
    o.property = QLatin1String(p->name);
    if (!v) {
        o.problem = QStringLiteral("\"%1\" is not %2; %3 keeps its value")
                        .arg(value, QLatin1String(PropertyValue::typeName(p->type)),
                             QLatin1String(p->name));
        return;
    }
    p->set(target, *v);
    o.applied = true;
}

void setLine(Outcome& o, QObject* target, Kind kind, const QString& name, int n,
             const QString& value) {
    const WidgetProperties::Property* p = WidgetProperties::find(kind, name);
    if (!p) {
        o.problem =
            QStringLiteral("%1 \"%2\" has no property \"%3\"")
                .arg(QLatin1String(WidgetProperties::kindName(kind)), target->objectName(), name);
        return;
    }
    if (p->type != PropertyValue::Type::StringList) {
        o.problem = QStringLiteral("%1 is no list of lines").arg(QLatin1String(p->name));
        return;
    }
    const qsizetype count = p->get(target).toStringList().size();
    if (n < 0 || n >= count) {
        o.problem = QStringLiteral("line %1 is out of range: %2.%3 has %4 lines (0 to %5)")
                        .arg(n)
                        .arg(target->objectName(), QLatin1String(p->name))
                        .arg(count)
                        .arg(count - 1);
        return;
    }
    p->setLine(target, n, value);
    o.target = target;
    o.property = QLatin1String(p->name);
    o.line = n;
    o.applied = true;
}

}  // namespace

QList<Outcome> FormTranslator::apply(QWidget* window, const IniFile& file) {
    QList<Outcome> outcomes;
    if (!window) return outcomes;
    const QString section = FormKey::sectionName(window->objectName());
    for (const QString& key : file.keys(section)) {
        Outcome o;
        o.key = key;
        const QString value = file.readString(section, key, QString());
        const FormKey k = FormKey::parse(key);
        QObject* component = k.form == FormKey::Form::Invalid
                                 ? nullptr
                                 : WidgetProperties::findComponent(window, k.component);
        const Kind kind = component ? WidgetProperties::kindOf(component, window) : Kind::NonVisual;
        switch (k.form) {
            case FormKey::Form::Invalid:
                o.problem = k.problem;
                break;
            case FormKey::Form::Bare:
                if (!component) {
                    // The window's own property, such as its Caption.
                    if (WidgetProperties::find(Kind::Window, k.component))
                        setNamed(o, window, Kind::Window, k.component, value);
                    else
                        o.problem = QStringLiteral("no component and no window property named %1")
                                        .arg(k.component);
                } else if (const char* def = WidgetProperties::defaultProperty(kind)) {
                    setNamed(o, component, kind, QLatin1String(def), value);
                } else if (kind == Kind::ListBox || kind == Kind::ComboBox) {
                    // Never the lines: they may be the user's hosts.
                    o.problem = QStringLiteral(
                                    "a bare list or combo box name sets nothing; write %1.Items "
                                    "or %1(n)")
                                    .arg(k.component);
                } else {
                    o.problem =
                        QStringLiteral("a %1 has no default property; name one (%2.P)")
                            .arg(QLatin1String(WidgetProperties::kindName(kind)), k.component);
                }
                break;
            case FormKey::Form::Dotted:
            case FormKey::Form::DottedIndex:
            case FormKey::Form::NameIndex:
                if (!component) {
                    o.problem = QStringLiteral("no component named %1").arg(k.component);
                } else if (k.form == FormKey::Form::Dotted) {
                    setNamed(o, component, kind, k.property, value);
                } else {
                    setLine(o, component, kind, k.property, k.index,
                            k.form == FormKey::Form::NameIndex ? FormKey::lineValue(value) : value);
                }
                break;
        }
        outcomes.append(o);
    }
    return outcomes;
}

}  // namespace hv
