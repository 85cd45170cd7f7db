// Any fields as CSV records: the text the writer makes is well-formed RFC 4180, and reading it
// back gives every field unchanged (the input split at NUL into fields and at 0x01 into records).
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <QString>
#include <QStringList>

#include "../tests/support/CsvReader.h"
#include "checking/CsvWriter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    QList<QStringList> records;
    for (const QString& record : text.split(QChar(1))) records << record.split(QChar(0));

    hv::CsvWriter writer;
    for (const QStringList& record : records) writer.addRecord(record);
    const std::optional<QList<QStringList>> back =
        hvtest::readCsv(QString::fromUtf8(writer.bytes()));
    if (!back || *back != records) std::abort();
    return 0;
}
