#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <memory>

namespace hv {

// The application's help system: a help manager offers every help request to the viewers
// registered with it. All of it runs on the main thread. Viewers, selectors, testers and the
// manager are reference counted (shared_ptr); a viewer holds its manager until detach or the
// manager's release, which breaks the cycle.

class IHelpManager {
public:
    virtual ~IHelpManager() = default;
    // The window that owns the help windows; 0 (none) in this program.
    virtual quintptr helpWindowHandle() const = 0;
    virtual QString currentHelpFile() const = 0;
    // Drops the viewer with this identifier from every list.
    virtual void release(int viewerId) = 0;
};

class ICustomHelpViewer {
public:
    virtual ~ICustomHelpViewer() = default;
    virtual QString viewerName() = 0;
    virtual int keywordSupport(const QString& keyword) = 0;
    virtual QStringList keywordEntries(const QString& keyword) = 0;
    virtual bool hasContents() = 0;
    virtual void openContents() = 0;
    virtual void openKeyword(const QString& helpEntry) = 0;
    virtual void setViewerId(int id) = 0;
    virtual void closeAll() = 0;
    virtual void detach() = 0;
    // Registration hands the viewer its manager (the counted reference it keeps).
    virtual void setHelpManager(std::shared_ptr<IHelpManager> manager) = 0;
};

class IExtendedHelpViewer : public ICustomHelpViewer {
public:
    virtual bool topicSupport(const QString& topic) = 0;
    virtual void openTopic(const QString& topic) = 0;
    virtual bool contextSupport(int context, const QString& fileName) = 0;
    virtual void openContext(int context, const QString& fileName) = 0;
};

// Chooses among several viewers that can serve a keyword or a contents request.
class IHelpSelector {
public:
    virtual ~IHelpSelector() = default;
    virtual int pickKeywordEntry(const QStringList& entries) = 0;
    virtual int pickContentsEntry(const QStringList& viewerNames) = 0;
};

// Consulted by the built-in WinHelp viewer before it accepts a request.
class IWinHelpTester {
public:
    virtual ~IWinHelpTester() = default;
    virtual bool acceptsLink(const QString& link, const QString& fileName) = 0;
    virtual bool acceptsTopic(const QString& topic, const QString& fileName) = 0;
    virtual bool acceptsContext(int context, const QString& fileName) = 0;
    virtual QStringList linkEntries(const QString& link) = 0;
    virtual QString helpFolder() = 0;
    virtual QString defaultHelpFile() = 0;
};

}  // namespace hv
