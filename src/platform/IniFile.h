#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include "platform/Error.h"

namespace hv {

// "Unable to write to %s" with the file's path.
class IniWriteError : public Error {
public:
    explicit IniWriteError(const QString& path);
};

// A private-profile (INI) file held in memory.
//
// Reading: section and key names match ignoring case; blanks around keys and values are
// dropped, and so are quotes (" or ') that enclose a whole value; when a key stands twice in a
// section the first counts; key names of a section are listed up to 16384 bytes (each name
// plus a terminating zero, as UTF-8), values come back with at most 2047 characters.
// CR LF and LF line ends both read; lines starting with ";" are comments; a line that
// is no section header, comment or key=value is kept but means nothing. A "[name]" line with
// more than a comment after the "]" is no header (so a key written as "[x]" cannot open a
// section). When a section name stands twice, the first such section is the one read and
// written, and eraseSection() removes them all.
//
// Writing: an existing key is replaced in place, a new key goes at the end of its section, a
// new section at the end of the file. save() writes a temporary file in the same folder and
// renames it over the old one (keeping its permissions), so a failure leaves the old file
// whole; lines no write touched stay byte for byte. CR and LF inside a written section, key or
// value become blanks, so no write can add lines of its own. The file keeps its line ends
// (a new file gets LF). A file that exists but could not be read is never overwritten.
class IniFile {
public:
    // Loads the file; a missing or unreadable file reads as empty.
    explicit IniFile(const QString& path);
    // The same with data as the file's content; the file itself is not read.
    IniFile(const QString& path, const QByteArray& data);

    const QString& path() const { return m_path; }

    QStringList keys(const QString& section) const;
    // The section names in file order, as written.
    QStringList sections() const;
    bool hasSection(const QString& section) const;
    QString readString(const QString& section, const QString& key, const QString& def) const;
    // Integer: see parseInteger(); a text that is not an integer gives def.
    int readInteger(const QString& section, const QString& key, int def) const;
    // Boolean: read as an integer, non-zero is true.
    bool readBool(const QString& section, const QString& key, bool def) const;

    // In-memory edits; nothing reaches the disk before save().
    void writeString(const QString& section, const QString& key, const QString& value);
    void writeInteger(const QString& section, const QString& key, int value);
    void writeBool(const QString& section, const QString& key, bool value);
    void eraseSection(const QString& section);
    // The section's keys become entries, in that order, where the section stands (a missing
    // section is added at the end of the file, or not at all for no entries). Key lines that
    // stay in order keep their place, and their bytes when neither name nor value changed;
    // comments and other lines of the section stay where they are. A name that comes twice
    // (ignoring case) is one key, in the place of the first, with the value of the last. A key
    // line that reading passes over (a later one of the same name) is kept as it is. Later
    // sections of the same name are erased. With no entries the keys go, and so does the
    // section when nothing but blank lines would be left of it.
    void replaceSectionKeys(const QString& section, const QList<QPair<QString, QString>>& entries);

    // Whether the file existed when it was loaded, and whether it could be read; the message
    // of the failure then (empty otherwise).
    bool existed() const { return m_existed; }
    bool isUnreadable() const { return m_unreadable; }
    const QString& readError() const { return m_readError; }

    // Writes the whole file atomically; throws IniWriteError and leaves the disk unchanged.
    void save() const;

    // One write as WritePrivateProfileString makes it: load, change one key, save.
    static void writeValue(const QString& path, const QString& section, const QString& key,
                           const QString& value);

    // AtomicFile::write (new files 0644 less the umask), failing with IniWriteError(path).
    static void writeFileAtomically(const QString& path, const QByteArray& bytes);

private:
    enum class Kind { Blank, Comment, Section, Key, Odd };
    struct Line {
        QByteArray raw;  // as in the file, without the "\n" (a CR before it stays)
        Kind kind = Kind::Blank;
        QString name;   // section or key name, trimmed
        QString value;  // key value, trimmed (quotes still on)
    };

    void load(const QByteArray& data);
    static Line parseLine(QByteArray raw, bool firstLine);
    // A key line's value as reading gives it: without enclosing quotes, cut to its limit.
    static QString valueOf(const Line& line);
    Line makeLine(const QString& text) const;
    qsizetype findSection(const QString& section) const;
    qsizetype sectionEnd(qsizetype header) const;
    qsizetype findKey(qsizetype header, const QString& key) const;
    void insertLine(qsizetype index, Line line);
    // name=value as writeString writes it (quoted when it would read as something else).
    Line keyLine(const QString& name, const QString& value) const;

    QString m_path;
    QByteArray m_newline = "\n";  // "\r\n" or "\n", as the file uses
    QList<Line> m_lines;
    bool m_endsWithNewline = true;
    bool m_unreadable = false;  // exists but could not be read
    bool m_existed = false;
    QString m_readError;
};

}  // namespace hv
