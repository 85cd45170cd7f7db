#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>

namespace hv {

// The commands of the HTML help call (the values of the published HTML Help interface).
enum HtmlHelpCommand : unsigned {
    HH_DISPLAY_TOPIC = 0,
    HH_DISPLAY_TOC = 1,
    HH_DISPLAY_INDEX = 2,
    HH_HELP_CONTEXT = 0x000F,
    HH_CLOSE_ALL = 0x0012,
    HH_GET_LAST_ERROR = 0x0014,
};

// The data of one call: a number (the context) or a text (the index keyword).
struct HtmlHelpData {
    quintptr number = 0;
    QString text;
};

// The HTML help entry point: (owner window, file text, command, data). The file text is a help
// file path, optionally followed by "::/" and a topic inside it.
using HtmlHelpEntry = std::function<void(quintptr window, const QString& file, unsigned command,
                                         const HtmlHelpData& data)>;

}  // namespace hv
