#include "dialogs/ReportFontQt.h"

namespace hv {

QFont toQFont(const ReportFont& f) {
    QFont font(f.name);
    // A size that is not a positive number of points keeps the default one.
    if (f.size > 0) font.setPointSize(f.size);
    font.setBold(f.bold);
    font.setItalic(f.italic);
    return font;
}

ReportFont toReportFont(const QFont& f, const QColor& color) {
    ReportFont r;
    r.bold = f.bold();
    r.italic = f.italic();
    r.size = f.pointSize() > 0 ? f.pointSize() : qRound(f.pointSizeF());
    r.color = toColorRef(color);
    r.name = f.family();
    return r;
}

QColor fromColorRef(quint32 bgr) {
    return QColor(int(bgr & 0xff), int((bgr >> 8) & 0xff), int((bgr >> 16) & 0xff));
}

quint32 toColorRef(const QColor& c) {
    return quint32(c.red()) | (quint32(c.green()) << 8) | (quint32(c.blue()) << 16);
}

}  // namespace hv
