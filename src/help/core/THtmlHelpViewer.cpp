#include "help/core/THtmlHelpViewer.h"

#include "help/core/HelpManager.h"

namespace hv {

THtmlHelpViewer::THtmlHelpViewer(HtmlHelpEntry entry, QString executableDir)
    : m_entry(std::move(entry)), m_executableDir(std::move(executableDir)) {}

THtmlHelpViewer::~THtmlHelpViewer() { m_entry = nullptr; }

QString THtmlHelpViewer::CurrentHelpFile() const {
    QString file = m_helpManager ? m_helpManager->CurrentHelpFile() : QString();
    if (file.isEmpty()) file = HelpManager::applicationHelpFile();
    if (!file.isEmpty() && !file.contains(QLatin1Char('/')) && !file.contains(QLatin1Char('\\')))
        file = m_executableDir + QLatin1Char('/') + file;
    return file;
}

bool THtmlHelpViewer::IsChmFile(const QString& name) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0) return false;
    return name.mid(dot).compare(QStringLiteral(".chm"), Qt::CaseInsensitive) == 0;
}

void THtmlHelpViewer::HelpCall(const QString& file, unsigned command, const HtmlHelpData& data) {
    if (!m_entry) return;
    if (command == HH_CLOSE_ALL) {
        m_entry(0, QString(), command, data);
        return;
    }
    m_entry(m_helpManager ? m_helpManager->HelpWindowHandle() : 0, file, command, data);
}

int THtmlHelpViewer::KeywordSupport(const QString&) { return IsChmFile(CurrentHelpFile()) ? 1 : 0; }

QStringList THtmlHelpViewer::KeywordEntries(const QString& keyword) {
    return {QStringLiteral("%1: %2").arg(m_viewerName, keyword)};
}

void THtmlHelpViewer::OpenContents() {
    const QString file = CurrentHelpFile();
    if (IsChmFile(file)) HelpCall(file, HH_DISPLAY_TOC, {});
}

void THtmlHelpViewer::OpenKeyword(const QString& helpEntry) {
    const QString file = CurrentHelpFile();
    if (!IsChmFile(file)) return;
    const qsizetype colon = helpEntry.indexOf(QLatin1Char(':'));
    QString keyword = colon < 0 ? helpEntry : helpEntry.mid(colon + 1);
    // Spaces only, as the entries are built ("name: keyword").
    qsizetype b = 0, e = keyword.size();
    while (b < e && keyword[b] == QLatin1Char(' ')) ++b;
    while (e > b && keyword[e - 1] == QLatin1Char(' ')) --e;
    keyword = keyword.mid(b, e - b);
    HelpCall(file, HH_DISPLAY_INDEX, {0, keyword});
}

void THtmlHelpViewer::CloseAll() { HelpCall(QString(), HH_CLOSE_ALL, {}); }

void THtmlHelpViewer::Detach() {
    CloseAll();
    m_helpManager.reset();
}

bool THtmlHelpViewer::TopicSupport(const QString&) { return IsChmFile(CurrentHelpFile()); }

void THtmlHelpViewer::OpenTopic(const QString& topic) {
    const QString file = CurrentHelpFile();
    if (!IsChmFile(file)) return;
    QString t = topic;
    const qsizetype dot = t.lastIndexOf(QLatin1Char('.'));
    const QString ext = dot < 0 ? QString() : t.mid(dot).toLower();
    if (ext != QStringLiteral(".htm") && ext != QStringLiteral(".html")) t += m_defaultExtension;
    HelpCall(file + QStringLiteral("::/") + t, HH_DISPLAY_TOPIC, {});
}

bool THtmlHelpViewer::ContextSupport(int, const QString& fileName) { return IsChmFile(fileName); }

void THtmlHelpViewer::OpenContext(int context, const QString&) {
    const QString file = CurrentHelpFile();
    if (IsChmFile(file)) HelpCall(file, HH_HELP_CONTEXT, {quintptr(quint32(context)), {}});
}

int THtmlHelpViewer::PickKeywordEntry(const QStringList& entries) {
    for (int i = 0; i < entries.size(); ++i) {
        const QString& entry = entries[i];
        const qsizetype colon = entry.indexOf(QLatin1Char(':'));
        if ((colon < 0 ? entry : entry.left(colon)) == m_viewerName) return i;
    }
    return 0;
}

int THtmlHelpViewer::PickContentsEntry(const QStringList& viewerNames) {
    for (int i = 0; i < viewerNames.size(); ++i)
        if (viewerNames[i].compare(m_viewerName, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

void THtmlHelpViewer::Shutdown() {
    if (!m_helpManager) return;
    const auto manager = std::move(m_helpManager);
    manager->Release(m_viewerId);
}

}  // namespace hv
