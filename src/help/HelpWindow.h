#pragma once

#include <QWidget>
#include <memory>

class QLabel;
class QSplitter;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace hv {

class ChmBrowser;
class ChmFile;

// The help window: one compiled help file's pages with Back, Forward and Contents, the
// contents beside the page when the file has them, and one line that says what went wrong
// (file missing, not a help file, no such page). One window is reused for every request.
// Main thread.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    // The one help window, created when asked for; null when none is open.
    static HelpWindow* instance(bool create = true);
    static void closeAll();

    // The requests of the help call; each shows and raises the window.
    void showContext(const QString& helpFile, quint32 context);
    void showTopic(const QString& helpFile, const QString& topic);
    void showContents(const QString& helpFile);
    void showIndex(const QString& helpFile, const QString& keyword);

    QToolButton* btnBack = nullptr;
    QToolButton* btnForward = nullptr;
    QToolButton* btnContents = nullptr;
    QLabel* lbMessage = nullptr;
    QTreeWidget* tvContents = nullptr;
    ChmBrowser* wbPage = nullptr;

    // The page shown ("/settings.htm"), empty when none.
    QString currentPage() const;
    QString message() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit HelpWindow(QWidget* parent = nullptr);
    // A modal dialog blocks every other window: while one is open the help window rides along
    // as its own window so it can be read and scrolled, and leaves it when the dialog goes.
    void followModalDialog();
    void detachFromDialog();
    // Opens the file unless it is the one already open and unchanged; false (and the message
    // shown, the page cleared) when it cannot be read.
    bool useFile(const QString& helpFile);
    void showPage(const QString& objectPath);
    void setMessage(const QString& text);
    void fillContents();
    void present();
    void updateTitle();

    std::shared_ptr<ChmFile> m_file;
    QString m_fileStamp;  // path and modification time of m_file
    QSplitter* m_splitter = nullptr;
    QWidget* m_dialog = nullptr;  // the modal dialog we ride along with, if any
};

}  // namespace hv
