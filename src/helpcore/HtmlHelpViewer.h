#pragma once

#include <memory>

#include "helpcore/HelpInterfaces.h"
#include "helpcore/HtmlHelpCommand.h"

namespace hv {

// Shows compiled HTML help (.chm) files through the HTML help entry point. Registered with the
// help manager after the built-in WinHelp viewer, and the help system's selector. Main thread.
class HtmlHelpViewer : public IExtendedHelpViewer, public IHelpSelector {
public:
    // entry: the HTML help call; empty when the help control is not available, in which case
    // every request is still accepted but opens nothing. executableDir: put in front of a help
    // file name without a folder.
    HtmlHelpViewer(HtmlHelpEntry entry, QString executableDir);
    ~HtmlHelpViewer() override;

    // ICustomHelpViewer
    QString viewerName() override { return m_viewerName; }
    int keywordSupport(const QString& keyword) override;
    QStringList keywordEntries(const QString& keyword) override;
    bool hasContents() override { return true; }
    void openContents() override;
    void openKeyword(const QString& helpEntry) override;
    void setViewerId(int id) override { m_viewerId = id; }
    void closeAll() override;
    void detach() override;
    void setHelpManager(std::shared_ptr<IHelpManager> manager) override {
        m_helpManager = std::move(manager);
    }

    // IExtendedHelpViewer
    bool topicSupport(const QString& topic) override;
    void openTopic(const QString& topic) override;
    bool contextSupport(int context, const QString& fileName) override;
    void openContext(int context, const QString& fileName) override;

    // IHelpSelector
    int pickKeywordEntry(const QStringList& entries) override;
    int pickContentsEntry(const QStringList& viewerNames) override;

    // The help manager's current help file, else the application's; a name without a folder
    // gets the executable's folder in front.
    QString currentHelpFile() const;
    static bool isChmFile(const QString& name);

    int viewerId() const { return m_viewerId; }
    bool hasHelpManager() const { return m_helpManager != nullptr; }
    // Program end: releases our identifier at the manager and drops the reference.
    void shutdown();

private:
    void helpCall(const QString& file, unsigned command, const HtmlHelpData& data);

    int m_viewerId = 0;
    const QString m_viewerName = QStringLiteral("ZuntoHtmlHelp");
    HtmlHelpEntry m_entry;
    std::shared_ptr<IHelpManager> m_helpManager;
    const QString m_defaultExtension = QStringLiteral(".htm");
    QString m_executableDir;
};

}  // namespace hv
