#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <functional>
#include <memory>

class QWidget;

namespace hv {

// `hostvane --check-language FILE`, for translators: builds every window offscreen, applies
// FILE's section to it, and lists every key that would be skipped and every message or window
// text the file lacks, one line each with its section. Main thread (widgets).
class CheckLanguage {
public:
    struct Window {
        QString name;  // the window's name and section
        std::function<std::unique_ptr<QWidget>()> create;
        // Components whose texts the program builds while it runs (the window's own name:
        // its caption); a language file need not name them.
        QStringList builtAtRunTime;
    };

    // One line per window of the program.
    static const QList<Window>& windows();

    // The problems of the language file at path against these windows; none: complete.
    static QStringList problems(const QString& path, const QList<Window>& windows);

    // The command with its arguments (after the program's name); needs a QApplication.
    // Exit status 0 when nothing is skipped or missing, 1 otherwise, 2 on a usage error.
    static int run(const QStringList& arguments, std::FILE* out, std::FILE* err);

    // main()'s entry: an offscreen QApplication, then run().
    static int main(int argc, char** argv);
};

}  // namespace hv
