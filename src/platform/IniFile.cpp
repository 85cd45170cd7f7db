#include "platform/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/AtomicFile.h"
#include "platform/IntegerText.h"

namespace hv {

namespace {

constexpr qsizetype kKeyListBytes = 16384;  // the key-name buffer, each name plus a zero
constexpr qsizetype kValueChars = 2047;     // a 2048-character value buffer less its zero

bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\r') ||
           c == QLatin1Char('\f') || c == QLatin1Char('\v');
}

QString trimmedBlanks(const QString& text) {
    qsizetype begin = 0, end = text.size();
    while (begin < end && isBlank(text[begin])) ++begin;
    while (end > begin && isBlank(text[end - 1])) --end;
    return text.mid(begin, end - begin);
}

bool sameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// A line break inside a name or value would write lines of its own.
QString oneLine(QString text) {
    for (QChar& c : text)
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QChar(0)) c = QLatin1Char(' ');
    return text;
}

struct ReadOutcome {
    bool existed = false;
    bool unreadable = false;
    QString error;
};

QString errnoText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

QByteArray readWhole(const QString& path, ReadOutcome* outcome) {
    *outcome = {};
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        outcome->existed = error != ENOENT && error != ENOTDIR;
        outcome->unreadable = outcome->existed;
        if (outcome->unreadable) outcome->error = errnoText(error);
        return {};
    }
    outcome->existed = true;
    QByteArray data;
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        outcome->unreadable = true;
        outcome->error = errnoText(errno);
    } else if (S_ISDIR(st.st_mode)) {
        outcome->unreadable = true;
        outcome->error = errnoText(EISDIR);
    } else {
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0) {
                data.append(buffer, n);
            } else if (n == 0) {
                break;
            } else if (errno != EINTR) {
                outcome->unreadable = true;
                outcome->error = errnoText(errno);
                data.clear();
                break;
            }
        }
    }
    ::close(fd);
    return data;
}

}  // namespace

IniWriteError::IniWriteError(const QString& path)
    : Error(QStringLiteral("Unable to write to %1").arg(path)) {}

IniFile::IniFile(const QString& path) : m_path(path) {
    ReadOutcome outcome;
    const QByteArray data = readWhole(path, &outcome);
    m_existed = outcome.existed;
    m_unreadable = outcome.unreadable;
    m_readError = outcome.error;
    load(data);
}

IniFile::IniFile(const QString& path, const QByteArray& data) : m_path(path) { load(data); }

void IniFile::load(const QByteArray& data) {
    if (data.isEmpty()) return;

    const qsizetype firstBreak = data.indexOf('\n');
    if (firstBreak > 0 && data[firstBreak - 1] == '\r') m_newline = "\r\n";

    QList<QByteArray> raws = data.split('\n');
    m_endsWithNewline = data.endsWith('\n');
    if (m_endsWithNewline) raws.removeLast();  // the empty text after the last line end
    m_lines.reserve(raws.size());
    for (qsizetype i = 0; i < raws.size(); ++i) m_lines.append(parseLine(raws[i], i == 0));
}

IniFile::Line IniFile::parseLine(QByteArray raw, bool firstLine) {
    Line line;
    QByteArray bytes = raw;
    if (firstLine && bytes.startsWith("\xEF\xBB\xBF")) bytes.remove(0, 3);
    line.raw = std::move(raw);
    const QString text = trimmedBlanks(QString::fromUtf8(bytes));

    if (text.isEmpty()) {
        line.kind = Kind::Blank;
        return line;
    }
    // Only ";" opens a comment: a host title such as "#1 server" must come back as a key.
    if (text.startsWith(QLatin1Char(';'))) {
        line.kind = Kind::Comment;
        return line;
    }
    if (text.startsWith(QLatin1Char('['))) {
        const qsizetype close = text.indexOf(QLatin1Char(']'));
        if (close > 0) {
            const QString rest = trimmedBlanks(text.mid(close + 1));
            if (rest.isEmpty() || rest.startsWith(QLatin1Char(';')) ||
                rest.startsWith(QLatin1Char('#'))) {
                line.kind = Kind::Section;
                line.name = trimmedBlanks(text.mid(1, close - 1));
                return line;
            }
        }
    }
    const qsizetype equals = text.indexOf(QLatin1Char('='));
    if (equals < 0) {
        line.kind = Kind::Odd;
        return line;
    }
    line.kind = Kind::Key;
    line.name = trimmedBlanks(text.left(equals));
    line.value = trimmedBlanks(text.mid(equals + 1));
    return line;
}

IniFile::Line IniFile::makeLine(const QString& text) const {
    QByteArray raw = text.toUtf8();
    if (m_newline == "\r\n") raw.append('\r');
    return parseLine(std::move(raw), false);
}

qsizetype IniFile::findSection(const QString& section) const {
    const QString name = trimmedBlanks(section);
    for (qsizetype i = 0; i < m_lines.size(); ++i)
        if (m_lines[i].kind == Kind::Section && sameName(m_lines[i].name, name)) return i;
    return -1;
}

qsizetype IniFile::sectionEnd(qsizetype header) const {
    qsizetype i = header + 1;
    while (i < m_lines.size() && m_lines[i].kind != Kind::Section) ++i;
    return i;
}

qsizetype IniFile::findKey(qsizetype header, const QString& key) const {
    const qsizetype end = sectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i)
        if (m_lines[i].kind == Kind::Key && sameName(m_lines[i].name, key)) return i;
    return -1;
}

void IniFile::insertLine(qsizetype index, Line line) {
    if (index == m_lines.size() && !m_endsWithNewline && !m_lines.isEmpty()) {
        // The old last line had no line end; it gets the file's own one now.
        Line& last = m_lines.last();
        if (m_newline == "\r\n" && !last.raw.endsWith('\r')) last.raw.append('\r');
    }
    if (index == m_lines.size()) m_endsWithNewline = true;
    m_lines.insert(index, std::move(line));
}

QStringList IniFile::keys(const QString& section) const {
    QStringList names;
    const qsizetype header = findSection(section);
    if (header < 0) return names;
    const qsizetype end = sectionEnd(header);
    qsizetype used = 0;
    for (qsizetype i = header + 1; i < end; ++i) {
        const Line& line = m_lines[i];
        if (line.kind != Kind::Key || line.name.isEmpty()) continue;
        const qsizetype bytes = line.name.toUtf8().size() + 1;
        if (used + bytes > kKeyListBytes) break;
        used += bytes;
        names.append(line.name);
    }
    return names;
}

QStringList IniFile::sections() const {
    QStringList names;
    for (const Line& line : m_lines)
        if (line.kind == Kind::Section) names.append(line.name);
    return names;
}

bool IniFile::hasSection(const QString& section) const { return findSection(section) >= 0; }

QString IniFile::readString(const QString& section, const QString& key, const QString& def) const {
    const qsizetype header = findSection(section);
    if (header < 0) return def;
    const qsizetype at = findKey(header, trimmedBlanks(key));
    if (at < 0 || trimmedBlanks(key).isEmpty()) return def;
    return valueOf(m_lines[at]);
}

QString IniFile::valueOf(const Line& line) {
    QString value = line.value;
    if (value.size() >= 2 &&
        (value.front() == QLatin1Char('"') || value.front() == QLatin1Char('\'')) &&
        value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    if (value.size() > kValueChars) {
        qsizetype cut = kValueChars;
        if (value[cut - 1].isHighSurrogate()) --cut;  // never half a character
        value.truncate(cut);
    }
    return value;
}

int IniFile::readInteger(const QString& section, const QString& key, int def) const {
    return parseInteger(readString(section, key, QString())).value_or(def);
}

bool IniFile::readBool(const QString& section, const QString& key, bool def) const {
    const auto value = parseInteger(readString(section, key, QString()));
    return value ? *value != 0 : def;
}

void IniFile::writeString(const QString& section, const QString& key, const QString& value) {
    const QString sectionName = trimmedBlanks(oneLine(section));
    const QString keyName = trimmedBlanks(oneLine(key));
    const QString text = oneLine(value);

    qsizetype header = findSection(sectionName);
    if (header < 0) {
        if (!m_lines.isEmpty() && m_lines.last().kind != Kind::Blank)
            insertLine(m_lines.size(), makeLine(QString()));
        insertLine(m_lines.size(), makeLine(QLatin1Char('[') + sectionName + QLatin1Char(']')));
        header = m_lines.size() - 1;
    }

    const qsizetype at = findKey(header, keyName);
    if (at >= 0) {
        // Replaced in place; the key keeps the spelling the file already has.
        Line line = keyLine(m_lines[at].name, text);
        // A last line without its line end gets no stray half of one.
        if (at == m_lines.size() - 1 && !m_endsWithNewline && line.raw.endsWith('\r'))
            line.raw.chop(1);
        m_lines[at] = std::move(line);
        return;
    }

    // After the section's last key line, so blank lines that close the section stay last.
    qsizetype insertAt = header + 1;
    const qsizetype end = sectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i)
        if (m_lines[i].kind == Kind::Key) insertAt = i + 1;
    insertLine(insertAt, keyLine(keyName, text));
}

IniFile::Line IniFile::keyLine(const QString& name, const QString& value) const {
    const QString text = oneLine(value);
    // "[lab" = "10.0.0.1]" would write a line that reads as a section header: such a value
    // goes in quotes, which the reading takes off again.
    Line line = makeLine(name + QLatin1Char('=') + text);
    if (line.kind != Kind::Key)
        line = makeLine(name + QStringLiteral("=\"") + trimmedBlanks(text) + QLatin1Char('"'));
    return line;
}

void IniFile::replaceSectionKeys(const QString& section,
                                 const QList<QPair<QString, QString>>& entries) {
    const QString sectionName = trimmedBlanks(oneLine(section));
    const qsizetype header = findSection(sectionName);
    if (header < 0) {
        for (const auto& [key, value] : entries) writeString(sectionName, key, value);
        return;
    }
    // Later sections of that name are never read; rewriting the first, they go.
    for (qsizetype i = sectionEnd(header); i < m_lines.size();) {
        if (m_lines[i].kind == Kind::Section && sameName(m_lines[i].name, sectionName)) {
            const qsizetype end = sectionEnd(i);
            if (end == m_lines.size()) m_endsWithNewline = true;
            m_lines.remove(i, end - i);
        } else {
            ++i;
        }
    }
    const qsizetype end = sectionEnd(header);
    const bool atFileEnd = end == m_lines.size();
    const QList<Line> body = m_lines.mid(header + 1, end - header - 1);

    // The lines reading takes: the first key line of every name. Only these are rewritten.
    QList<bool> live(body.size(), false);
    {
        QHash<QString, bool> seen;
        for (qsizetype i = 0; i < body.size(); ++i) {
            if (body[i].kind != Kind::Key) continue;
            const QString folded = body[i].name.toCaseFolded();
            if (seen.contains(folded)) continue;
            seen.insert(folded, true);
            live[i] = true;
        }
    }
    // New keys go where the first key stands; without one, after the section's last line that
    // is not blank, as a key written into it would.
    qsizetype pos = live.indexOf(true);
    if (pos < 0) {
        pos = body.size();
        while (pos > 0 && body[pos - 1].kind == Kind::Blank) --pos;
    }
    QList<Line> out = body.mid(0, pos);
    const auto copyUpTo = [&](qsizetype to) {
        for (; pos < to; ++pos)
            if (!live[pos]) out.append(body[pos]);
    };
    const auto lineFor = [&](const Line& old, const QString& name, const QString& value) {
        if (old.name == name && valueOf(old) == value) return old;
        return keyLine(name, value);
    };

    QHash<QString, qsizetype> placed;  // folded name -> index in out
    for (const auto& [key, value] : entries) {
        const QString name = trimmedBlanks(oneLine(key));
        const QString folded = name.toCaseFolded();
        if (const auto it = placed.constFind(folded); it != placed.constEnd()) {
            if (*it >= 0 && out[*it].kind == Kind::Key)
                out[*it] = lineFor(out[*it], out[*it].name, value);
            continue;
        }
        const Line line = keyLine(name, value);
        if (line.kind != Kind::Key) {
            // A title that makes no key line (";x" reads as a comment): the line an earlier save
            // wrote for it stays where it is, so saving again adds no other.
            const bool written = std::any_of(body.begin(), body.end(),
                                             [&](const Line& l) { return l.raw == line.raw; });
            if (!written) out.append(line);
            placed.insert(folded, written ? -1 : out.size() - 1);
            continue;
        }
        qsizetype at = -1;
        for (qsizetype j = pos; j < body.size() && at < 0; ++j)
            if (live[j] && body[j].name.toCaseFolded() == folded) at = j;
        if (at >= 0) {
            copyUpTo(at);
            out.append(lineFor(body[at], name, value));
            pos = at + 1;
        } else {
            out.append(line);
        }
        placed.insert(folded, out.size() - 1);
    }
    copyUpTo(body.size());

    const bool onlyBlanks =
        std::all_of(out.begin(), out.end(), [](const Line& l) { return l.kind == Kind::Blank; });
    if (entries.isEmpty() && onlyBlanks) {
        eraseSection(sectionName);
        return;
    }
    bool same = out.size() == body.size();
    for (qsizetype i = 0; same && i < out.size(); ++i) same = out[i].raw == body[i].raw;
    if (same) return;
    if (atFileEnd && !m_endsWithNewline) {
        // The old last line had no line end; every line of the section gets the file's own.
        if (m_newline == "\r\n")
            for (Line& line : out)
                if (!line.raw.endsWith('\r')) line.raw.append('\r');
        m_endsWithNewline = true;
    }
    m_lines.remove(header + 1, end - header - 1);
    for (qsizetype i = 0; i < out.size(); ++i) m_lines.insert(header + 1 + i, out[i]);
}

void IniFile::writeInteger(const QString& section, const QString& key, int value) {
    writeString(section, key, QString::number(value));
}

void IniFile::writeBool(const QString& section, const QString& key, bool value) {
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void IniFile::eraseSection(const QString& section) {
    // Every section of that name goes, so no later copy of it comes to light.
    for (qsizetype header = findSection(section); header >= 0; header = findSection(section)) {
        const qsizetype end = sectionEnd(header);
        if (end == m_lines.size()) m_endsWithNewline = true;  // the new last line had its end
        m_lines.remove(header, end - header);
    }
}

void IniFile::save() const {
    if (m_unreadable) throw IniWriteError(m_path);  // never replace what we could not read
    QByteArray bytes;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        if (i > 0) bytes.append('\n');
        bytes.append(m_lines[i].raw);
    }
    if (!m_lines.isEmpty() && m_endsWithNewline) bytes.append('\n');
    writeFileAtomically(m_path, bytes);
}

void IniFile::writeValue(const QString& path, const QString& section, const QString& key,
                         const QString& value) {
    IniFile file(path);
    file.writeString(section, key, value);
    file.save();
}

void IniFile::writeFileAtomically(const QString& path, const QByteArray& bytes) {
    try {
        AtomicFile::write(path, bytes);
    } catch (const AtomicFileError&) {
        throw IniWriteError(path);
    }
}

}  // namespace hv
