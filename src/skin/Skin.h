#pragma once

#include <QColor>
#include <QString>

#include "platform/Error.h"

class QWidget;

namespace hv {

// The skin file skins/hostvane.skn: an INI-form file whose [Skin] section holds Version=1 and
// the colours Window, Text, Balloon and Menu (#RRGGBB). Loading fails for a missing or
// unreadable file, a missing section or version, an unknown version, or a colour that does
// not parse.
class Skin {
public:
    static Skin load(const QString& path);  // throws Error

    enum class Element { Window, Balloon, Menu };
    // Applies the skin's colours to a skinned window (style sheet + palette).
    void applyTo(QWidget* widget, Element element) const;

    QColor window, text, balloon, menu;
};

}  // namespace hv
