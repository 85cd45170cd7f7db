#include "helpcore/ChmTables.h"

namespace hv {

namespace {

bool readU32(const QByteArray& data, qsizetype at, quint32& out) {
    if (at < 0 || at > data.size() - 4) return false;
    const auto* p = reinterpret_cast<const uchar*>(data.constData()) + at;
    out = quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
    return true;
}

bool readU16(const QByteArray& data, qsizetype at, quint16& out) {
    if (at < 0 || at > data.size() - 2) return false;
    const auto* p = reinterpret_cast<const uchar*>(data.constData()) + at;
    out = quint16(p[0] | p[1] << 8);
    return true;
}

// A NUL-terminated text at offset, at most up to the end of the data.
QString textAt(const QByteArray& data, qsizetype at, qsizetype end) {
    if (at < 0 || at >= end) return {};
    qsizetype stop = data.indexOf('\0', at);
    if (stop < 0 || stop > end) stop = end;
    // Help compilers write the project's code page; UTF-8 first, Latin-1 where it is not.
    const QByteArray bytes = data.mid(at, stop - at);
    QString text = QString::fromUtf8(bytes);
    if (text.contains(QChar::ReplacementCharacter)) text = QString::fromLatin1(bytes);
    return text;
}

}  // namespace

QMap<quint32, QString> ChmTables::contextTable(const QByteArray& ivb, const QByteArray& strings) {
    QMap<quint32, QString> table;
    quint32 size = 0;
    if (!readU32(ivb, 0, size)) return table;
    // The count may lie: never read past the object.
    const qsizetype end = std::min<qsizetype>(ivb.size(), 4 + qsizetype(size));
    for (qsizetype at = 4; at + 8 <= end; at += 8) {
        quint32 context = 0, offset = 0;
        readU32(ivb, at, context);
        readU32(ivb, at + 4, offset);
        if (table.contains(context)) continue;
        const QString target = textAt(strings, qsizetype(offset), strings.size());
        if (!target.isEmpty()) table.insert(context, target);
    }
    return table;
}

ChmTables::System ChmTables::system(const QByteArray& data) {
    System s;
    for (qsizetype at = 4; at + 4 <= data.size();) {
        quint16 code = 0, length = 0;
        readU16(data, at, code);
        readU16(data, at + 2, length);
        const qsizetype start = at + 4;
        const qsizetype end = std::min<qsizetype>(data.size(), start + length);
        switch (code) {
            case 0:
                s.contentsFile = textAt(data, start, end);
                break;
            case 1:
                s.indexFile = textAt(data, start, end);
                break;
            case 2:
                s.defaultTopic = textAt(data, start, end);
                break;
            case 3:
                s.title = textAt(data, start, end);
                break;
            default:
                break;
        }
        at = start + length;
    }
    return s;
}

QString ChmTables::objectPath(const QString& topic) {
    QString p = topic;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (p.startsWith(QStringLiteral("./"))) p.remove(0, 2);
    while (p.startsWith(QLatin1Char('/'))) p.remove(0, 1);
    return QLatin1Char('/') + p;
}

QString ChmTables::objectForTarget(const QString& target, const QStringList& objects) {
    const QString wanted = objectPath(target);
    QString best;
    for (const QString& object : objects) {
        if (object.isEmpty() || object.endsWith(QLatin1Char('/'))) continue;
        // object "/a/b.htm" fits "/x/y/a/b.htm" and "/a/b.htm", not "/xa/b.htm".
        if (!wanted.endsWith(object, Qt::CaseInsensitive)) continue;
        if (object.size() > best.size()) best = object;
    }
    return best;
}

}  // namespace hv
