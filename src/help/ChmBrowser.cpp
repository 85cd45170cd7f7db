#include "help/ChmBrowser.h"

#include <QDesktopServices>
#include <QTextDocument>

#include "helpcore/ChmFile.h"

namespace hv {

namespace {
const QString kScheme = QStringLiteral("chm");
}

ChmBrowser::ChmBrowser(QWidget* parent) : QTextBrowser(parent) {
    setOpenLinks(false);
    setOpenExternalLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, &ChmBrowser::followLink);
}

void ChmBrowser::setFile(std::shared_ptr<ChmFile> file) {
    m_file = std::move(file);
    clearHistory();
    clear();
}

QUrl ChmBrowser::urlFor(const QString& objectPath) {
    QUrl url;
    url.setScheme(kScheme);
    const qsizetype hash = objectPath.indexOf(QLatin1Char('#'));
    url.setPath(hash < 0 ? objectPath : objectPath.left(hash));
    if (hash >= 0) url.setFragment(objectPath.mid(hash + 1));
    return url;
}

QVariant ChmBrowser::loadResource(int type, const QUrl& name) {
    if (name.scheme() != kScheme || !m_file) return {};
    const auto data = m_file->read(name.path());
    if (!data) return {};
    if (type == QTextDocument::HtmlResource || type == QTextDocument::StyleSheetResource) {
        QString text = QString::fromUtf8(*data);
        if (text.contains(QChar::ReplacementCharacter)) text = QString::fromLatin1(*data);
        return text;
    }
    return *data;
}

void ChmBrowser::followLink(const QUrl& url) {
    if (url.scheme() != kScheme) {
        // http:, https:, mailto: and the like belong to the desktop.
        if (!url.scheme().isEmpty()) QDesktopServices::openUrl(url);
        return;
    }
    if (url.path() == source().path() && url.hasFragment()) {
        scrollToAnchor(url.fragment());
        return;
    }
    if (!m_file || !m_file->contains(url.path())) {
        emit missingPage(url.path());
        return;
    }
    setSource(url);
}

}  // namespace hv
