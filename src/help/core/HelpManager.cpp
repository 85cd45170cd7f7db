#include "help/core/HelpManager.h"

#include <algorithm>
#include <utility>

#include "help/core/TWinHelpViewer.h"

namespace hv {

namespace {
QString& appHelpFile() {
    static QString file;
    return file;
}
}  // namespace

std::shared_ptr<HelpManager> HelpManager::create() {
    std::shared_ptr<HelpManager> manager(new HelpManager);
    manager->RegisterViewer(std::make_shared<TWinHelpViewer>(manager));
    return manager;
}

const std::shared_ptr<HelpManager>& HelpManager::instance() {
    static const std::shared_ptr<HelpManager> manager = create();
    return manager;
}

void HelpManager::setApplicationHelpFile(const QString& file) { appHelpFile() = file; }

QString HelpManager::applicationHelpFile() { return appHelpFile(); }

std::shared_ptr<IHelpManager> HelpManager::RegisterViewer(
    const std::shared_ptr<ICustomHelpViewer>& viewer) {
    if (!viewer) return nullptr;
    m_viewers.append(viewer);
    m_ids.append(m_nextId);
    if (auto extended = std::dynamic_pointer_cast<IExtendedHelpViewer>(viewer))
        m_extended.append(extended);
    viewer->SetViewerId(m_nextId++);
    std::shared_ptr<IHelpManager> self = shared_from_this();
    viewer->SetHelpManager(self);
    return self;
}

void HelpManager::Release(int viewerId) {
    const qsizetype i = m_ids.indexOf(viewerId);
    if (i < 0) return;
    // Keep the viewer alive until it is off every list: its destructor may call back.
    const std::shared_ptr<ICustomHelpViewer> viewer = m_viewers.takeAt(i);
    m_ids.removeAt(i);
    m_extended.removeIf([&](const std::shared_ptr<IExtendedHelpViewer>& v) {
        return static_cast<ICustomHelpViewer*>(v.get()) == viewer.get();
    });
}

bool HelpManager::ContextHelp(int context, const QString& helpFile) {
    m_currentHelpFile = helpFile;
    // A copy: a viewer may release itself while it serves the request.
    const auto extended = m_extended;
    for (const auto& viewer : extended) {
        if (viewer->ContextSupport(context, helpFile)) {
            viewer->OpenContext(context, helpFile);
            return true;
        }
    }
    return false;
}

bool HelpManager::TopicHelp(const QString& topic, const QString& helpFile) {
    m_currentHelpFile = helpFile;
    const auto extended = m_extended;
    for (const auto& viewer : extended) {
        if (viewer->TopicSupport(topic)) {
            viewer->OpenTopic(topic);
            return true;
        }
    }
    return false;
}

bool HelpManager::KeywordHelp(const QString& keyword) {
    QList<std::shared_ptr<ICustomHelpViewer>> able;
    for (const auto& viewer : m_viewers)
        if (viewer->KeywordSupport(keyword) > 0) able.append(viewer);
    if (able.isEmpty()) return false;
    if (able.size() == 1) {
        able.first()->OpenKeyword(keyword);
        return true;
    }
    QList<std::pair<QString, std::shared_ptr<ICustomHelpViewer>>> entries;
    for (const auto& viewer : able)
        for (const QString& entry : viewer->KeywordEntries(keyword))
            entries.append({entry, viewer});
    std::stable_sort(entries.begin(), entries.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    QStringList texts;
    for (const auto& e : entries) texts.append(e.first);
    const int index = m_selector ? m_selector->PickKeywordEntry(texts) : 0;
    if (index < 0 || index >= entries.size()) return false;
    entries[index].second->OpenKeyword(entries[index].first);
    return true;
}

bool HelpManager::ContentsHelp() {
    QList<std::pair<QString, std::shared_ptr<ICustomHelpViewer>>> able;
    for (const auto& viewer : m_viewers)
        if (viewer->HasContents()) able.append({viewer->ViewerName(), viewer});
    if (able.isEmpty()) return false;
    if (able.size() == 1) {
        able.first().second->OpenContents();
        return true;
    }
    std::stable_sort(able.begin(), able.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    QStringList names;
    for (const auto& e : able) names.append(e.first);
    const int index = m_selector ? m_selector->PickContentsEntry(names) : 0;
    if (index < 0 || index >= able.size()) return false;
    able[index].second->OpenContents();
    return true;
}

}  // namespace hv
