#pragma once

#include <memory>

#include "helpcore/HelpInterfaces.h"

namespace hv {

class HelpManager;

// The help system's built-in viewer for the older WinHelp format. There is no WinHelp engine
// on this system, so it never shows anything; it takes part in dispatch only. Before it accepts
// a link, topic or context it asks the manager's WinHelp tester; without a tester it accepts
// requests for ".hlp" files. Main thread.
class WinHelpViewer : public IExtendedHelpViewer {
public:
    explicit WinHelpViewer(std::weak_ptr<HelpManager> owner) : m_owner(std::move(owner)) {}

    QString viewerName() override { return QStringLiteral("WinHelp"); }
    int keywordSupport(const QString& keyword) override;
    QStringList keywordEntries(const QString& keyword) override;
    bool hasContents() override { return true; }
    void openContents() override {}
    void openKeyword(const QString&) override {}
    void setViewerId(int id) override { m_id = id; }
    void closeAll() override {}
    void detach() override { m_manager.reset(); }
    void setHelpManager(std::shared_ptr<IHelpManager> manager) override;

    bool topicSupport(const QString& topic) override;
    void openTopic(const QString&) override {}
    bool contextSupport(int context, const QString& fileName) override;
    void openContext(int, const QString&) override {}

private:
    std::shared_ptr<IWinHelpTester> tester() const;
    QString currentFile() const;

    std::weak_ptr<HelpManager> m_owner;
    // Weak as well: the manager that registered us owns us.
    std::weak_ptr<IHelpManager> m_manager;
    int m_id = 0;
};

}  // namespace hv
