#pragma once

#include "helpcore/HelpInterfaces.h"

namespace hv {

// Installed in the WinHelp tester slot so that the built-in WinHelp viewer declines every
// request and each one reaches the HTML help viewer.
class WinHelpTester : public IWinHelpTester {
public:
    bool acceptsLink(const QString&, const QString&) override { return false; }
    bool acceptsTopic(const QString&, const QString&) override { return false; }
    bool acceptsContext(int, const QString&) override { return false; }
    QStringList linkEntries(const QString& link) override { return {QStringLiteral(": ") + link}; }
    QString helpFolder() override { return {}; }
    QString defaultHelpFile() override { return {}; }
};

}  // namespace hv
