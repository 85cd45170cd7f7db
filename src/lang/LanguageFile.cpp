#include "lang/LanguageFile.h"

#include <QFile>
#include <QStringDecoder>

namespace hv {

bool LanguageFile::isValidUtf8(const QByteArray& data) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(data);
    return !decoder.hasError();
}

IniFile LanguageFile::fromData(const QString& path, const QByteArray& data, bool* readAsLatin1) {
    const bool latin1 = !isValidUtf8(data);
    if (readAsLatin1) *readAsLatin1 = latin1;
    if (!latin1) return IniFile(path, data);
    return IniFile(path, QString::fromLatin1(data).toUtf8());
}

IniFile LanguageFile::read(const QString& path, bool* readAsLatin1) {
    QFile file(path);
    QByteArray data;
    if (file.open(QIODevice::ReadOnly)) data = file.readAll();
    return fromData(path, data, readAsLatin1);
}

}  // namespace hv
