#pragma once

#include "helpcore/HtmlHelpCommand.h"

namespace hv {

// The HTML help call, answered by the program's own help window (HelpWindow):
// HH_DISPLAY_TOPIC opens "file::/topic", HH_DISPLAY_TOC the file's contents (beside its
// default page), HH_DISPLAY_INDEX the index entry named by data.text, HH_HELP_CONTEXT the page
// of the context number data.number, HH_CLOSE_ALL closes the help window. Other commands do
// nothing. Main thread.
void htmlHelp(quintptr window, const QString& file, unsigned command, const HtmlHelpData& data);

}  // namespace hv
