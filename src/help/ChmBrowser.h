#pragma once

#include <QTextBrowser>
#include <memory>

namespace hv {

class ChmFile;

// Shows the pages of one compiled help file: URLs "chm:/page.htm" are read from the file, so
// links between pages, images and style sheets inside it work. Links leaving the file open in
// the desktop's browser or mail program. Main thread.
class ChmBrowser : public QTextBrowser {
    Q_OBJECT
public:
    explicit ChmBrowser(QWidget* parent = nullptr);

    void setFile(std::shared_ptr<ChmFile> file);
    const std::shared_ptr<ChmFile>& file() const { return m_file; }

    static QUrl urlFor(const QString& objectPath);

    QVariant loadResource(int type, const QUrl& name) override;

signals:
    // A link inside the file names a page that is not in it.
    void missingPage(const QString& objectPath);

private:
    void followLink(const QUrl& url);

    std::shared_ptr<ChmFile> m_file;
};

}  // namespace hv
