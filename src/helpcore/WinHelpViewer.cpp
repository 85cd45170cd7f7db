#include "helpcore/WinHelpViewer.h"

#include "helpcore/HelpManager.h"

namespace hv {

namespace {
bool isHlp(const QString& file) {
    return file.endsWith(QStringLiteral(".hlp"), Qt::CaseInsensitive);
}
}  // namespace

void WinHelpViewer::setHelpManager(std::shared_ptr<IHelpManager> manager) { m_manager = manager; }

std::shared_ptr<IWinHelpTester> WinHelpViewer::tester() const {
    const auto owner = m_owner.lock();
    return owner ? owner->winHelpTester() : nullptr;
}

QString WinHelpViewer::currentFile() const {
    const auto manager = m_manager.lock();
    const QString file = manager ? manager->currentHelpFile() : QString();
    return file.isEmpty() ? HelpManager::applicationHelpFile() : file;
}

int WinHelpViewer::keywordSupport(const QString& keyword) {
    if (const auto t = tester()) return t->acceptsLink(keyword, currentFile()) ? 1 : 0;
    return isHlp(currentFile()) ? 1 : 0;
}

QStringList WinHelpViewer::keywordEntries(const QString& keyword) {
    if (const auto t = tester()) return t->linkEntries(keyword);
    return {viewerName() + QStringLiteral(": ") + keyword};
}

bool WinHelpViewer::topicSupport(const QString& topic) {
    if (const auto t = tester()) return t->acceptsTopic(topic, currentFile());
    return isHlp(currentFile());
}

bool WinHelpViewer::contextSupport(int context, const QString& fileName) {
    if (const auto t = tester()) return t->acceptsContext(context, fileName);
    return isHlp(fileName);
}

}  // namespace hv
