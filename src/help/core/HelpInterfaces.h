#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <memory>

namespace hv {

// The application's help system: a help manager offers every help request to the viewers
// registered with it. All of it runs on the main thread. Viewers, selectors, testers and the
// manager are reference counted (shared_ptr); a viewer holds its manager until Detach or the
// manager's Release, which breaks the cycle.

class IHelpManager {
public:
    virtual ~IHelpManager() = default;
    // The window that owns the help windows; 0 (none) in this program.
    virtual quintptr HelpWindowHandle() const = 0;
    virtual QString CurrentHelpFile() const = 0;
    // Drops the viewer with this identifier from every list.
    virtual void Release(int viewerId) = 0;
};

class ICustomHelpViewer {
public:
    virtual ~ICustomHelpViewer() = default;
    virtual QString ViewerName() = 0;
    virtual int KeywordSupport(const QString& keyword) = 0;
    virtual QStringList KeywordEntries(const QString& keyword) = 0;
    virtual bool HasContents() = 0;
    virtual void OpenContents() = 0;
    virtual void OpenKeyword(const QString& helpEntry) = 0;
    virtual void SetViewerId(int id) = 0;
    virtual void CloseAll() = 0;
    virtual void Detach() = 0;
    // Registration hands the viewer its manager (the counted reference it keeps).
    virtual void SetHelpManager(std::shared_ptr<IHelpManager> manager) = 0;
};

class IExtendedHelpViewer : public ICustomHelpViewer {
public:
    virtual bool TopicSupport(const QString& topic) = 0;
    virtual void OpenTopic(const QString& topic) = 0;
    virtual bool ContextSupport(int context, const QString& fileName) = 0;
    virtual void OpenContext(int context, const QString& fileName) = 0;
};

// Chooses among several viewers that can serve a keyword or a contents request.
class IHelpSelector {
public:
    virtual ~IHelpSelector() = default;
    virtual int PickKeywordEntry(const QStringList& entries) = 0;
    virtual int PickContentsEntry(const QStringList& viewerNames) = 0;
};

// Consulted by the built-in WinHelp viewer before it accepts a request.
class IWinHelpTester {
public:
    virtual ~IWinHelpTester() = default;
    virtual bool AcceptsLink(const QString& link, const QString& fileName) = 0;
    virtual bool AcceptsTopic(const QString& topic, const QString& fileName) = 0;
    virtual bool AcceptsContext(int context, const QString& fileName) = 0;
    virtual QStringList LinkEntries(const QString& link) = 0;
    virtual QString HelpFolder() = 0;
    virtual QString DefaultHelpFile() = 0;
};

}  // namespace hv
