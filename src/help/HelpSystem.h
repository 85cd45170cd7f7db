#pragma once

#include <QString>

namespace hv {

class HtmlHelpViewer;

// The program's part of the help system, for the whole run: creates HtmlHelpViewer on our
// help window, registers it with the help manager, makes it the help selector, installs the
// WinHelp tester and the F1 handling. At the end the viewer's identifier is released at the
// manager. Help windows still open stay until the application ends. Main thread.
class HelpSystem {
public:
    explicit HelpSystem(const QString& executableDir);
    ~HelpSystem();
    HelpSystem(const HelpSystem&) = delete;
    HelpSystem& operator=(const HelpSystem&) = delete;

    // The program-wide reference to the viewer; null before start and after the end.
    static HtmlHelpViewer* viewer();
};

}  // namespace hv
