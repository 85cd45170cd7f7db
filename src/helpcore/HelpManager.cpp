#include "helpcore/HelpManager.h"

#include <algorithm>
#include <utility>

#include "helpcore/WinHelpViewer.h"

namespace hv {

namespace {
QString& appHelpFile() {
    static QString file;
    return file;
}
}  // namespace

std::shared_ptr<HelpManager> HelpManager::create() {
    std::shared_ptr<HelpManager> manager(new HelpManager);
    manager->registerViewer(std::make_shared<WinHelpViewer>(manager));
    return manager;
}

const std::shared_ptr<HelpManager>& HelpManager::instance() {
    static const std::shared_ptr<HelpManager> manager = create();
    return manager;
}

void HelpManager::setApplicationHelpFile(const QString& file) { appHelpFile() = file; }

QString HelpManager::applicationHelpFile() { return appHelpFile(); }

std::shared_ptr<IHelpManager> HelpManager::registerViewer(
    const std::shared_ptr<ICustomHelpViewer>& viewer) {
    if (!viewer) return nullptr;
    m_viewers.append(viewer);
    m_ids.append(m_nextId);
    if (auto extended = std::dynamic_pointer_cast<IExtendedHelpViewer>(viewer))
        m_extended.append(extended);
    viewer->setViewerId(m_nextId++);
    std::shared_ptr<IHelpManager> self = shared_from_this();
    viewer->setHelpManager(self);
    return self;
}

void HelpManager::release(int viewerId) {
    const qsizetype i = m_ids.indexOf(viewerId);
    if (i < 0) return;
    // Keep the viewer alive until it is off every list: its destructor may call back.
    const std::shared_ptr<ICustomHelpViewer> viewer = m_viewers.takeAt(i);
    m_ids.removeAt(i);
    m_extended.removeIf([&](const std::shared_ptr<IExtendedHelpViewer>& v) {
        return static_cast<ICustomHelpViewer*>(v.get()) == viewer.get();
    });
}

bool HelpManager::contextHelp(int context, const QString& helpFile) {
    m_currentHelpFile = helpFile;
    // A copy: a viewer may release itself while it serves the request.
    const auto extended = m_extended;
    for (const auto& viewer : extended) {
        if (viewer->contextSupport(context, helpFile)) {
            viewer->openContext(context, helpFile);
            return true;
        }
    }
    return false;
}

bool HelpManager::topicHelp(const QString& topic, const QString& helpFile) {
    m_currentHelpFile = helpFile;
    const auto extended = m_extended;
    for (const auto& viewer : extended) {
        if (viewer->topicSupport(topic)) {
            viewer->openTopic(topic);
            return true;
        }
    }
    return false;
}

bool HelpManager::keywordHelp(const QString& keyword) {
    QList<std::shared_ptr<ICustomHelpViewer>> able;
    for (const auto& viewer : m_viewers)
        if (viewer->keywordSupport(keyword) > 0) able.append(viewer);
    if (able.isEmpty()) return false;
    if (able.size() == 1) {
        able.first()->openKeyword(keyword);
        return true;
    }
    QList<std::pair<QString, std::shared_ptr<ICustomHelpViewer>>> entries;
    for (const auto& viewer : able)
        for (const QString& entry : viewer->keywordEntries(keyword))
            entries.append({entry, viewer});
    std::stable_sort(entries.begin(), entries.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    QStringList texts;
    for (const auto& e : entries) texts.append(e.first);
    const int index = m_selector ? m_selector->pickKeywordEntry(texts) : 0;
    if (index < 0 || index >= entries.size()) return false;
    entries[index].second->openKeyword(entries[index].first);
    return true;
}

bool HelpManager::contentsHelp() {
    QList<std::pair<QString, std::shared_ptr<ICustomHelpViewer>>> able;
    for (const auto& viewer : m_viewers)
        if (viewer->hasContents()) able.append({viewer->viewerName(), viewer});
    if (able.isEmpty()) return false;
    if (able.size() == 1) {
        able.first().second->openContents();
        return true;
    }
    std::stable_sort(able.begin(), able.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    QStringList names;
    for (const auto& e : able) names.append(e.first);
    const int index = m_selector ? m_selector->pickContentsEntry(names) : 0;
    if (index < 0 || index >= able.size()) return false;
    able[index].second->openContents();
    return true;
}

}  // namespace hv
