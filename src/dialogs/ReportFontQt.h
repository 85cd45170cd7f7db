#pragma once

#include <QColor>
#include <QFont>

#include "hosts/Settings.h"

namespace hv {

// The report font between the settings file's parts and the font and colour the widgets use.
QFont toQFont(const ReportFont& font);
ReportFont toReportFont(const QFont& font, const QColor& color);
// A colour value 0x00BBGGRR: red in the low byte.
QColor fromColorRef(quint32 bgr);
quint32 toColorRef(const QColor& color);

}  // namespace hv
