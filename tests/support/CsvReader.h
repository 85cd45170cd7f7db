#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace hvtest {

// A small RFC 4180 reader: records of fields, CR LF between records, quoted fields with
// doubled quotes. Returns nothing when the text is not well formed (a bare CR or LF outside
// quotes, a quote inside an unquoted field, text after a closing quote, an open quote at the
// end, a last record without its CR LF).
inline std::optional<QList<QStringList>> readCsv(const QString& text) {
    QList<QStringList> records;
    QStringList record;
    QString field;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        if (text[i] == u'"') {
            ++i;
            for (;;) {
                if (i >= n) return std::nullopt;
                if (text[i] == u'"') {
                    if (i + 1 < n && text[i + 1] == u'"') {
                        field += u'"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += text[i++];
            }
            if (i < n && text[i] != u',' && text[i] != u'\r') return std::nullopt;
        } else {
            while (i < n && text[i] != u',' && text[i] != u'\r') {
                if (text[i] == u'"' || text[i] == u'\n') return std::nullopt;
                field += text[i++];
            }
        }
        if (i >= n) return std::nullopt;  // every record ends in CR LF
        if (text[i] == u',') {
            record << field;
            field.clear();
            ++i;
            continue;
        }
        if (i + 1 >= n || text[i + 1] != u'\n') return std::nullopt;
        record << field;
        field.clear();
        records << record;
        record.clear();
        i += 2;
    }
    return records;
}

}  // namespace hvtest
