#include "help/HtmlHelp.h"

#include "help/HelpWindow.h"

namespace hv {

void htmlHelp(quintptr, const QString& file, unsigned command, const HtmlHelpData& data) {
    switch (command) {
        case HH_CLOSE_ALL:
            HelpWindow::closeAll();
            break;
        case HH_DISPLAY_TOPIC: {
            const qsizetype sep = file.indexOf(QStringLiteral("::"));
            const QString path = sep < 0 ? file : file.left(sep);
            const QString topic = sep < 0 ? QString() : file.mid(sep + 2);
            if (topic.isEmpty())
                HelpWindow::instance()->showContents(path);
            else
                HelpWindow::instance()->showTopic(path, topic);
            break;
        }
        case HH_DISPLAY_TOC:
            HelpWindow::instance()->showContents(file);
            break;
        case HH_DISPLAY_INDEX:
            HelpWindow::instance()->showIndex(file, data.text);
            break;
        case HH_HELP_CONTEXT:
            HelpWindow::instance()->showContext(file, quint32(data.number));
            break;
        default:
            break;
    }
}

}  // namespace hv
