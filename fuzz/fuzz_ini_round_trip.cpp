// Any bytes as a settings file: every key and value read from it survives a write of the same
// values and a save (read, write, read), and one more key written into it reads back as written.
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "platform/IniFile.h"

namespace {

const QString& scratchPath() {
    static const QString path = [] {
        static const QString dir = QStringLiteral("/dev/shm/hv-fuzz-ini-%1").arg(::getpid());
        QDir().mkpath(dir);
        std::atexit([] { QDir(dir).removeRecursively(); });
        return dir + QStringLiteral("/Hostvane.ini");
    }();
    return path;
}

// Every name between "[" and "]" at the start of a line: a superset of the real sections.
QList<QString> candidateSections(const QByteArray& bytes) {
    QList<QString> names;
    for (const QByteArray& raw : bytes.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (!line.startsWith(QLatin1Char('['))) continue;
        const qsizetype close = line.indexOf(QLatin1Char(']'));
        if (close > 0) names.append(line.mid(1, close - 1).trimmed());
    }
    return names;
}

// Names with a line break or zero cannot be written as they were read: the write makes them
// one line, so it names another key.
bool hasBreak(const QString& t) {
    for (QChar c : t)
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QChar(0)) return true;
    return false;
}

struct Entry {
    QString section, key, value;
};

QList<Entry> snapshot(const hv::IniFile& ini, const QList<QString>& sections) {
    QList<Entry> out;
    for (const QString& s : sections) {
        if (hasBreak(s)) continue;
        for (const QString& k : ini.keys(s))
            if (!hasBreak(k))
                out.append({s, k, ini.readString(s, k, QStringLiteral("\x01missing"))});
    }
    return out;
}

bool quoted(const QString& v) {
    return v.size() >= 2 && (v.front() == v.back()) &&
           (v.front() == QLatin1Char('"') || v.front() == QLatin1Char('\''));
}

[[noreturn]] void fail(const char* what, const Entry& e, const QString& got) {
    std::fprintf(stderr, "%s: [%s] %s = <%s>, read back <%s>\n", what, qPrintable(e.section),
                 qPrintable(e.key), qPrintable(e.value), qPrintable(got));
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The input: file bytes, then after the last 0 byte "section\tkey\tvalue" of one new key.
    QByteArray all(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype split = all.lastIndexOf('\0');
    const QByteArray file = split < 0 ? all : all.left(split);
    const QList<QByteArray> extra =
        split < 0 ? QList<QByteArray>{} : all.mid(split + 1).split('\t');

    const QString& path = scratchPath();
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
        f.write(file);
    }
    const QList<QString> sections = candidateSections(file);
    const QList<Entry> before = snapshot(hv::IniFile(path), sections);

    {
        hv::IniFile ini(path);
        for (const Entry& e : before) ini.writeString(e.section, e.key, e.value);
        ini.save();
    }
    const hv::IniFile after(path);
    for (const Entry& e : before) {
        // A value that is itself wholly quoted loses the quotes on each read, by design.
        // A key that begins with U+FEFF: the line written reads as a byte-order mark (known).
        // A key that begins with "[" and a value with "]" make a line that reads as a section
        // header even with the value quoted (a known limit of the format).
        if (quoted(e.value) || e.key.startsWith(QChar(0xFEFF))) continue;
        if (e.key.startsWith(QLatin1Char('[')) && e.value.contains(QLatin1Char(']'))) continue;
        // A line break inside a value is written as a blank (so no write adds a line).
        QString expected = e.value;
        for (QChar& c : expected)
            if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QChar(0))
                c = QLatin1Char(' ');
        const auto blank = [](QChar c) {
            return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\f') ||
                   c == QLatin1Char('\v');
        };
        while (!expected.isEmpty() && blank(expected.back())) expected.chop(1);
        while (!expected.isEmpty() && blank(expected.front())) expected.remove(0, 1);
        if (quoted(expected)) continue;
        const QString got = after.readString(e.section, e.key, QStringLiteral("\x01missing"));
        if (got != expected) fail("value changed by the round trip", e, got);
    }

    if (extra.size() == 3) {
        Entry e{QString::fromUtf8(extra[0]).trimmed(), QString::fromUtf8(extra[1]).trimmed(),
                QString::fromUtf8(extra[2]).trimmed()};
        // Names the format itself cannot carry: empty, "=" in a key, a comment start or a key
        // that reads as a section header itself ("[t]#x"),
        // "]" in a section, line breaks; a wholly quoted value and a too long one.
        const auto plain = [](const QString& t) {
            for (QChar c : t)
                if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QChar(0) ||
                    c == QLatin1Char('\t') || c.isSpace() || c == QChar(0xFEFF))
                    return false;
            return true;
        };
        const bool usable =
            !e.section.isEmpty() && !e.key.isEmpty() && plain(e.section) && plain(e.key) &&
            !e.section.contains(QLatin1Char(']')) && !e.key.contains(QLatin1Char('=')) &&
            !e.key.startsWith(QLatin1Char(';')) &&
            !(e.key.startsWith(QLatin1Char('[')) && e.key.contains(QLatin1Char(']'))) &&
            plain(e.value) && !quoted(e.value) && e.value.size() < 2047 && e.key.size() < 200;
        if (usable) {
            hv::IniFile ini(path);
            ini.writeString(e.section, e.key, e.value);
            ini.save();
            const QString got =
                hv::IniFile(path).readString(e.section, e.key, QStringLiteral("\x01missing"));
            if (got != e.value) fail("written key reads back differently", e, got);
        }
    }
    return 0;
}
