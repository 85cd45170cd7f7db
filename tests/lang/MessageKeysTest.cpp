#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>

#include "TestSupport.h"
#include "lang/LanguageFile.h"
#include "lang/Languages.h"

namespace {

// The string literals inside every langMessage(...) call of the sources, with the file
// they stand in ("Start" and "Stop" both come from one call with a ?: inside).
QList<std::pair<QString, QString>> keysAskedBySources() {
    QList<std::pair<QString, QString>> keys;
    const QRegularExpression literal(QStringLiteral(R"re("((?:[^"\\]|\\.)*)")re"));
    QDirIterator it(hvtest::sourceDir() + "/src", {"*.cpp", "*.h"}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) continue;
        const QString text = QString::fromUtf8(f.readAll());
        for (qsizetype at = text.indexOf("langMessage("); at >= 0;
             at = text.indexOf("langMessage(", at + 1)) {
            // The argument up to the matching ")".
            qsizetype i = at + 12, depth = 1;
            while (i < text.size() && depth > 0) {
                if (text[i] == '(') ++depth;
                if (text[i] == ')') --depth;
                ++i;
            }
            const QString argument = text.mid(at + 12, i - at - 13);
            for (const auto& m : literal.globalMatch(argument))
                keys.append({m.captured(1), path.mid(hvtest::sourceDir().size() + 1)});
        }
    }
    return keys;
}

TEST(MessageKeysTest, EveryKeyTheSourcesAskForIsInEnglishLng) {
    const hv::IniFile english =
        hv::LanguageFile::read(hvtest::sourceDir() + "/dist/Languages/English.lng");
    const QStringList given = english.keys("Messages");
    const auto keys = keysAskedBySources();
    ASSERT_GE(keys.size(), 4) << "the scan found too few LangMessage calls to be working";
    for (const auto& [key, file] : keys)
        EXPECT_TRUE(given.contains(key, Qt::CaseInsensitive))
            << file.toStdString() << " asks for \"" << key.toStdString()
            << "\", which English.lng lacks";
    // And the program's own list of keys, which --check-language holds files against.
    for (const QString& key : hv::Languages::messageKeys())
        EXPECT_TRUE(given.contains(key)) << key.toStdString();
}

}  // namespace
