#pragma once

#include "help/core/HelpInterfaces.h"

namespace hv {

// Installed in the WinHelp tester slot so that the built-in WinHelp viewer declines every
// request and each one reaches the HTML help viewer.
class TWinHelpTester : public IWinHelpTester {
public:
    bool AcceptsLink(const QString&, const QString&) override { return false; }
    bool AcceptsTopic(const QString&, const QString&) override { return false; }
    bool AcceptsContext(int, const QString&) override { return false; }
    QStringList LinkEntries(const QString& link) override { return {QStringLiteral(": ") + link}; }
    QString HelpFolder() override { return {}; }
    QString DefaultHelpFile() override { return {}; }
};

}  // namespace hv
