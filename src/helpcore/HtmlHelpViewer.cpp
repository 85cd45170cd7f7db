#include "helpcore/HtmlHelpViewer.h"

#include "helpcore/HelpManager.h"

namespace hv {

HtmlHelpViewer::HtmlHelpViewer(HtmlHelpEntry entry, QString executableDir)
    : m_entry(std::move(entry)), m_executableDir(std::move(executableDir)) {}

HtmlHelpViewer::~HtmlHelpViewer() { m_entry = nullptr; }

QString HtmlHelpViewer::currentHelpFile() const {
    QString file = m_helpManager ? m_helpManager->currentHelpFile() : QString();
    if (file.isEmpty()) file = HelpManager::applicationHelpFile();
    if (!file.isEmpty() && !file.contains(QLatin1Char('/')) && !file.contains(QLatin1Char('\\')))
        file = m_executableDir + QLatin1Char('/') + file;
    return file;
}

bool HtmlHelpViewer::isChmFile(const QString& name) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0) return false;
    return name.mid(dot).compare(QStringLiteral(".chm"), Qt::CaseInsensitive) == 0;
}

void HtmlHelpViewer::helpCall(const QString& file, unsigned command, const HtmlHelpData& data) {
    if (!m_entry) return;
    if (command == HH_CLOSE_ALL) {
        m_entry(0, QString(), command, data);
        return;
    }
    m_entry(m_helpManager ? m_helpManager->helpWindowHandle() : 0, file, command, data);
}

int HtmlHelpViewer::keywordSupport(const QString&) { return isChmFile(currentHelpFile()) ? 1 : 0; }

QStringList HtmlHelpViewer::keywordEntries(const QString& keyword) {
    return {QStringLiteral("%1: %2").arg(m_viewerName, keyword)};
}

void HtmlHelpViewer::openContents() {
    const QString file = currentHelpFile();
    if (isChmFile(file)) helpCall(file, HH_DISPLAY_TOC, {});
}

void HtmlHelpViewer::openKeyword(const QString& helpEntry) {
    const QString file = currentHelpFile();
    if (!isChmFile(file)) return;
    const qsizetype colon = helpEntry.indexOf(QLatin1Char(':'));
    QString keyword = colon < 0 ? helpEntry : helpEntry.mid(colon + 1);
    // Spaces only, as the entries are built ("name: keyword").
    qsizetype b = 0, e = keyword.size();
    while (b < e && keyword[b] == QLatin1Char(' ')) ++b;
    while (e > b && keyword[e - 1] == QLatin1Char(' ')) --e;
    keyword = keyword.mid(b, e - b);
    helpCall(file, HH_DISPLAY_INDEX, {0, keyword});
}

void HtmlHelpViewer::closeAll() { helpCall(QString(), HH_CLOSE_ALL, {}); }

void HtmlHelpViewer::detach() {
    closeAll();
    m_helpManager.reset();
}

bool HtmlHelpViewer::topicSupport(const QString&) { return isChmFile(currentHelpFile()); }

void HtmlHelpViewer::openTopic(const QString& topic) {
    const QString file = currentHelpFile();
    if (!isChmFile(file)) return;
    QString t = topic;
    const qsizetype dot = t.lastIndexOf(QLatin1Char('.'));
    const QString ext = dot < 0 ? QString() : t.mid(dot).toLower();
    if (ext != QStringLiteral(".htm") && ext != QStringLiteral(".html")) t += m_defaultExtension;
    helpCall(file + QStringLiteral("::/") + t, HH_DISPLAY_TOPIC, {});
}

bool HtmlHelpViewer::contextSupport(int, const QString& fileName) { return isChmFile(fileName); }

void HtmlHelpViewer::openContext(int context, const QString&) {
    const QString file = currentHelpFile();
    if (isChmFile(file)) helpCall(file, HH_HELP_CONTEXT, {quintptr(quint32(context)), {}});
}

int HtmlHelpViewer::pickKeywordEntry(const QStringList& entries) {
    for (int i = 0; i < entries.size(); ++i) {
        const QString& entry = entries[i];
        const qsizetype colon = entry.indexOf(QLatin1Char(':'));
        if ((colon < 0 ? entry : entry.left(colon)) == m_viewerName) return i;
    }
    return 0;
}

int HtmlHelpViewer::pickContentsEntry(const QStringList& viewerNames) {
    for (int i = 0; i < viewerNames.size(); ++i)
        if (viewerNames[i].compare(m_viewerName, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

void HtmlHelpViewer::shutdown() {
    if (!m_helpManager) return;
    const auto manager = std::move(m_helpManager);
    manager->release(m_viewerId);
}

}  // namespace hv
