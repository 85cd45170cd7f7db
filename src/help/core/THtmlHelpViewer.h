#pragma once

#include <memory>

#include "help/core/HelpInterfaces.h"
#include "help/core/HtmlHelpCommand.h"

namespace hv {

// Shows compiled HTML help (.chm) files through the HTML help entry point. Registered with the
// help manager after the built-in WinHelp viewer, and the help system's selector. Main thread.
class THtmlHelpViewer : public IExtendedHelpViewer, public IHelpSelector {
public:
    // entry: the HTML help call; empty when the help control is not available, in which case
    // every request is still accepted but opens nothing. executableDir: put in front of a help
    // file name without a folder.
    THtmlHelpViewer(HtmlHelpEntry entry, QString executableDir);
    ~THtmlHelpViewer() override;

    // ICustomHelpViewer
    QString ViewerName() override { return m_viewerName; }
    int KeywordSupport(const QString& keyword) override;
    QStringList KeywordEntries(const QString& keyword) override;
    bool HasContents() override { return true; }
    void OpenContents() override;
    void OpenKeyword(const QString& helpEntry) override;
    void SetViewerId(int id) override { m_viewerId = id; }
    void CloseAll() override;
    void Detach() override;
    void SetHelpManager(std::shared_ptr<IHelpManager> manager) override {
        m_helpManager = std::move(manager);
    }

    // IExtendedHelpViewer
    bool TopicSupport(const QString& topic) override;
    void OpenTopic(const QString& topic) override;
    bool ContextSupport(int context, const QString& fileName) override;
    void OpenContext(int context, const QString& fileName) override;

    // IHelpSelector
    int PickKeywordEntry(const QStringList& entries) override;
    int PickContentsEntry(const QStringList& viewerNames) override;

    // The help manager's current help file, else the application's; a name without a folder
    // gets the executable's folder in front.
    QString CurrentHelpFile() const;
    static bool IsChmFile(const QString& name);

    int viewerId() const { return m_viewerId; }
    bool hasHelpManager() const { return m_helpManager != nullptr; }
    // Program end: releases our identifier at the manager and drops the reference.
    void Shutdown();

private:
    void HelpCall(const QString& file, unsigned command, const HtmlHelpData& data);

    int m_viewerId = 0;
    const QString m_viewerName = QStringLiteral("ZuntoHtmlHelp");
    HtmlHelpEntry m_entry;
    std::shared_ptr<IHelpManager> m_helpManager;
    const QString m_defaultExtension = QStringLiteral(".htm");
    QString m_executableDir;
};

}  // namespace hv
