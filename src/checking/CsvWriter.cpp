#include "checking/CsvWriter.h"

namespace hv {

QString CsvWriter::field(const QString& text) {
    bool quote = false;
    for (QChar c : text) {
        if (c == u',' || c == u'"' || c == u'\r' || c == u'\n') {
            quote = true;
            break;
        }
    }
    if (!quote) return text;
    QString quoted = text;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

void CsvWriter::addRecord(const QStringList& fields) {
    QString line;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0) line += u',';
        line += field(fields[i]);
    }
    line += QStringLiteral("\r\n");
    m_bytes += line.toUtf8();
}

}  // namespace hv
