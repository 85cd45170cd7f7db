#include "skin/Skin.h"

#include <QFile>
#include <QMenu>
#include <QPalette>
#include <QRegularExpression>
#include <QWidget>

#include "platform/IniFile.h"
#include "platform/IntegerText.h"

namespace hv {

namespace {

constexpr int kFormatVersion = 1;

QColor parseColour(const IniFile& ini, const QString& key, const QString& path) {
    static const QRegularExpression rgb(QStringLiteral("^#[0-9A-Fa-f]{6}$"));
    const QString text = ini.readString(QStringLiteral("Skin"), key, QString());
    if (!rgb.match(text).hasMatch())
        throw Error(QStringLiteral("Skin file \"%1\": colour %2 \"%3\" is not #RRGGBB")
                        .arg(path, key, text));
    return QColor(text);
}

}  // namespace

Skin Skin::load(const QString& path) {
    QFile file(path);
    // IniFile reads a missing or unreadable file as empty; say which it was.
    if (!file.exists()) throw Error(QStringLiteral("Skin file \"%1\" is missing").arg(path));
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("Skin file \"%1\" cannot be read").arg(path));
    file.close();

    const IniFile ini(path);
    const QString section = QStringLiteral("Skin");
    if (!ini.hasSection(section))
        throw Error(QStringLiteral("Skin file \"%1\" has no [Skin] section").arg(path));
    const QString version = ini.readString(section, QStringLiteral("Version"), QString());
    if (version.isEmpty()) throw Error(QStringLiteral("Skin file \"%1\" has no version").arg(path));
    if (parseInteger(version) != kFormatVersion)
        throw Error(
            QStringLiteral("Skin file \"%1\" has the unknown version \"%2\"").arg(path, version));

    Skin skin;
    skin.window = parseColour(ini, QStringLiteral("Window"), path);
    skin.text = parseColour(ini, QStringLiteral("Text"), path);
    skin.balloon = parseColour(ini, QStringLiteral("Balloon"), path);
    skin.menu = parseColour(ini, QStringLiteral("Menu"), path);
    return skin;
}

void Skin::applyTo(QWidget* widget, Element element) const {
    if (!widget) return;
    QPalette pal = widget->palette();
    switch (element) {
        case Element::Window:
            pal.setColor(QPalette::Window, window);
            pal.setColor(QPalette::Button, window);
            pal.setColor(QPalette::WindowText, text);
            pal.setColor(QPalette::ButtonText, text);
            pal.setColor(QPalette::Text, text);
            widget->setPalette(pal);
            widget->setAutoFillBackground(true);
            break;
        case Element::Balloon:
            // Only the fill: the report text keeps the colour of the report font.
            pal.setColor(QPalette::Window, balloon);
            pal.setColor(QPalette::Base, balloon);
            pal.setColor(QPalette::WindowText, text);
            widget->setPalette(pal);
            break;
        case Element::Menu: {
            pal.setColor(QPalette::Window, menu);
            pal.setColor(QPalette::WindowText, text);
            pal.setColor(QPalette::ButtonText, text);
            widget->setPalette(pal);
            const QColor hover = menu.darker(112);
            widget->setStyleSheet(
                QStringLiteral("QMenu { background-color: %1; color: %2; }"
                               "QMenu::item:selected { background-color: %3; }"
                               "QMenu::separator { height: 1px; background: %4;"
                               " margin: 3px 6px; }")
                    .arg(menu.name(), text.name(), hover.name(), menu.darker(130).name()));
            break;
        }
    }
}

}  // namespace hv
