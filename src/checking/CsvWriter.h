#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace hv {

// Comma-separated text as RFC 4180 has it, for spreadsheets and scripts: records end in CR LF,
// a field holding a comma, a double quote, CR or LF is put in double quotes with its quotes
// doubled, every other field stands as it is. UTF-8 without a byte order mark. Any thread.
class CsvWriter {
public:
    // Appends one record: the fields in order, then CR LF.
    void addRecord(const QStringList& fields);
    // Everything added so far, UTF-8.
    const QByteArray& bytes() const { return m_bytes; }

    // One field as it stands in a record.
    static QString field(const QString& text);

private:
    QByteArray m_bytes;
};

}  // namespace hv
