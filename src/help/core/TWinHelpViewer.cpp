#include "help/core/TWinHelpViewer.h"

#include "help/core/HelpManager.h"

namespace hv {

namespace {
bool isHlp(const QString& file) {
    return file.endsWith(QStringLiteral(".hlp"), Qt::CaseInsensitive);
}
}  // namespace

void TWinHelpViewer::SetHelpManager(std::shared_ptr<IHelpManager> manager) { m_manager = manager; }

std::shared_ptr<IWinHelpTester> TWinHelpViewer::tester() const {
    const auto owner = m_owner.lock();
    return owner ? owner->winHelpTester() : nullptr;
}

QString TWinHelpViewer::currentFile() const {
    const auto manager = m_manager.lock();
    const QString file = manager ? manager->CurrentHelpFile() : QString();
    return file.isEmpty() ? HelpManager::applicationHelpFile() : file;
}

int TWinHelpViewer::KeywordSupport(const QString& keyword) {
    if (const auto t = tester()) return t->AcceptsLink(keyword, currentFile()) ? 1 : 0;
    return isHlp(currentFile()) ? 1 : 0;
}

QStringList TWinHelpViewer::KeywordEntries(const QString& keyword) {
    if (const auto t = tester()) return t->LinkEntries(keyword);
    return {ViewerName() + QStringLiteral(": ") + keyword};
}

bool TWinHelpViewer::TopicSupport(const QString& topic) {
    if (const auto t = tester()) return t->AcceptsTopic(topic, currentFile());
    return isHlp(currentFile());
}

bool TWinHelpViewer::ContextSupport(int context, const QString& fileName) {
    if (const auto t = tester()) return t->AcceptsContext(context, fileName);
    return isHlp(fileName);
}

}  // namespace hv
