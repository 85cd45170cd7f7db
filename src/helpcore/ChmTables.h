#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

namespace hv {

// Readers of a compiled help file's internal tables, working on the bytes of one internal
// object each so they run (and are fuzzed) without the file. Every reader takes any bytes: a
// truncated, damaged or hostile table gives fewer entries, never a read out of bounds.
class ChmTables {
public:
    // #IVB: a 32-bit byte count, then pairs of 32-bit little-endian (context number, offset
    // into #STRINGS). #STRINGS: NUL-terminated texts. Gives context number -> alias target as
    // the compiler stored it. The first pair for a number wins.
    static QMap<quint32, QString> contextTable(const QByteArray& ivb, const QByteArray& strings);

    // #SYSTEM: a 32-bit version, then records of (16-bit code, 16-bit length, data).
    struct System {
        QString contentsFile;  // code 0
        QString indexFile;     // code 1
        QString defaultTopic;  // code 2
        QString title;         // code 3
    };
    static System system(const QByteArray& data);

    // The internal object an alias target names. Compilers store the target as written in the
    // project, as a path relative to it, or as the absolute path of the source file on the
    // machine that compiled it: take the object whose path is the longest whole-component tail
    // of the target (letter case ignored). objects: the file's object paths ("/page.htm").
    // Empty when none fits.
    static QString objectForTarget(const QString& target, const QStringList& objects);

    // "/" + a topic path with "\" turned into "/", "./" and a leading "/" dropped.
    static QString objectPath(const QString& topic);
};

}  // namespace hv
