#pragma once

#include <memory>

#include "help/core/HelpInterfaces.h"

namespace hv {

class HelpManager;

// The help system's built-in viewer for the older WinHelp format. There is no WinHelp engine
// on this system, so it never shows anything; it takes part in dispatch only. Before it accepts
// a link, topic or context it asks the manager's WinHelp tester; without a tester it accepts
// requests for ".hlp" files. Main thread.
class TWinHelpViewer : public IExtendedHelpViewer {
public:
    explicit TWinHelpViewer(std::weak_ptr<HelpManager> owner) : m_owner(std::move(owner)) {}

    QString ViewerName() override { return QStringLiteral("WinHelp"); }
    int KeywordSupport(const QString& keyword) override;
    QStringList KeywordEntries(const QString& keyword) override;
    bool HasContents() override { return true; }
    void OpenContents() override {}
    void OpenKeyword(const QString&) override {}
    void SetViewerId(int id) override { m_id = id; }
    void CloseAll() override {}
    void Detach() override { m_manager.reset(); }
    void SetHelpManager(std::shared_ptr<IHelpManager> manager) override;

    bool TopicSupport(const QString& topic) override;
    void OpenTopic(const QString&) override {}
    bool ContextSupport(int context, const QString& fileName) override;
    void OpenContext(int, const QString&) override {}

private:
    std::shared_ptr<IWinHelpTester> tester() const;
    QString currentFile() const;

    std::weak_ptr<HelpManager> m_owner;
    // Weak as well: the manager that registered us owns us.
    std::weak_ptr<IHelpManager> m_manager;
    int m_id = 0;
};

}  // namespace hv
