#include "help/HelpWindow.h"

#include <QApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QPointer>
#include <QShortcut>
#include <QSplitter>
#include <QStyle>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "help/ChmBrowser.h"
#include "helpcore/ChmFile.h"
#include "widgets/ExecModal.h"
#include "widgets/ScreenFit.h"

namespace hv {

namespace {

QPointer<HelpWindow>& theWindow() {
    static QPointer<HelpWindow> window;
    return window;
}

QToolButton* toolButton(QWidget* parent, const QString& text, const char* name,
                        QStyle::StandardPixmap icon) {
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(text);
    b->setAccessibleName(text);
    b->setIcon(parent->style()->standardIcon(icon));
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    b->setAutoRaise(true);
    return b;
}

QString stampOf(const QString& path) {
    const QFileInfo info(path);
    return path + QLatin1Char('|') + QString::number(info.lastModified().toMSecsSinceEpoch()) +
           QLatin1Char('|') + QString::number(info.size());
}

}  // namespace

HelpWindow* HelpWindow::instance(bool create) {
    if (!theWindow() && create) theWindow() = new HelpWindow;
    return theWindow();
}

void HelpWindow::closeAll() {
    if (HelpWindow* w = theWindow()) w->close();
}

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmHelp"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Hostvane Help"));
    setAccessibleName(QStringLiteral("Hostvane Help"));
    resize(760, 560);
    // Help is read beside the dialog it explains: a modal dialog leaves it usable.
    setNeverBlocked(this);
    ScreenFit::install(this);

    btnBack = toolButton(this, QStringLiteral("Back"), "btnBack", QStyle::SP_ArrowBack);
    btnForward = toolButton(this, QStringLiteral("Forward"), "btnForward", QStyle::SP_ArrowForward);
    btnContents =
        toolButton(this, QStringLiteral("Contents"), "btnContents", QStyle::SP_FileDialogListView);
    btnContents->setCheckable(true);
    btnBack->setEnabled(false);
    btnForward->setEnabled(false);

    lbMessage = new QLabel(this);
    lbMessage->setObjectName(QStringLiteral("lbMessage"));
    lbMessage->setAccessibleName(QStringLiteral("Message"));
    lbMessage->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lbMessage->setStyleSheet(
        QStringLiteral("QLabel { background: #fff4ce; color: #5c3b00; padding: 4px; }"));
    lbMessage->hide();

    tvContents = new QTreeWidget(this);
    tvContents->setObjectName(QStringLiteral("tvContents"));
    tvContents->setAccessibleName(QStringLiteral("Contents"));
    tvContents->setHeaderHidden(true);
    tvContents->hide();

    wbPage = new ChmBrowser(this);
    wbPage->setObjectName(QStringLiteral("wbPage"));
    wbPage->setAccessibleName(QStringLiteral("Help page"));

    m_splitter = new QSplitter(this);
    m_splitter->addWidget(tvContents);
    m_splitter->addWidget(wbPage);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setSizes({200, 560});

    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(4, 4, 4, 0);
    bar->addWidget(btnBack);
    bar->addWidget(btnForward);
    bar->addWidget(btnContents);
    bar->addStretch();
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(4);
    lay->addLayout(bar);
    lay->addWidget(lbMessage);
    lay->addWidget(m_splitter, 1);

    // Esc closes help, as it closes the log window.
    auto* esc = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(esc, &QShortcut::activated, this, &QWidget::close);

    connect(btnBack, &QToolButton::clicked, wbPage, &QTextBrowser::backward);
    connect(btnForward, &QToolButton::clicked, wbPage, &QTextBrowser::forward);
    connect(wbPage, &QTextBrowser::backwardAvailable, btnBack, &QWidget::setEnabled);
    connect(wbPage, &QTextBrowser::forwardAvailable, btnForward, &QWidget::setEnabled);
    connect(btnContents, &QToolButton::toggled, tvContents, &QWidget::setVisible);
    connect(wbPage, &QTextBrowser::sourceChanged, this, [this] {
        setMessage({});
        updateTitle();
    });
    connect(wbPage, &ChmBrowser::missingPage, this, [this](const QString& page) {
        setMessage(QStringLiteral("The page %1 is not in the help file.").arg(page));
    });
    connect(tvContents, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        const QString page = item->data(0, Qt::UserRole).toString();
        if (!page.isEmpty()) showPage(page);
    });
    connect(tvContents, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
        const QString page = item->data(0, Qt::UserRole).toString();
        if (!page.isEmpty()) showPage(page);
    });
}

QString HelpWindow::currentPage() const { return wbPage->source().path(); }

QString HelpWindow::message() const {
    return lbMessage->isHidden() ? QString() : lbMessage->text();
}

void HelpWindow::setMessage(const QString& text) {
    lbMessage->setText(text);
    lbMessage->setVisible(!text.isEmpty());
}

void HelpWindow::updateTitle() {
    QString title = wbPage->documentTitle().trimmed();
    if (title.isEmpty() && m_file) title = m_file->system().title;
    setWindowTitle(title.isEmpty() ? QStringLiteral("Hostvane Help") : title);
}

bool HelpWindow::useFile(const QString& helpFile) {
    const QString stamp = stampOf(helpFile);
    if (!m_file || m_fileStamp != stamp || !m_file->isOpen()) {
        m_file = std::make_shared<ChmFile>(helpFile);
        m_fileStamp = stamp;
        wbPage->setFile(m_file);
        fillContents();
    }
    if (!m_file->isOpen()) {
        wbPage->clear();
        setMessage(m_file->error());
        updateTitle();
        return false;
    }
    return true;
}

void HelpWindow::fillContents() {
    tvContents->clear();
    QList<QTreeWidgetItem*> parents;
    for (const SiteMap::Entry& e : m_file->contents()) {
        const int depth = std::min<int>(e.depth, int(parents.size()));
        parents.resize(depth);
        auto* item =
            depth == 0 ? new QTreeWidgetItem(tvContents) : new QTreeWidgetItem(parents.last());
        item->setText(0, e.name.isEmpty() ? e.local : e.name);
        if (!e.local.isEmpty()) item->setData(0, Qt::UserRole, ChmTables::objectPath(e.local));
        parents.append(item);
    }
    tvContents->expandAll();
    // A file with contents shows them beside the page from the start.
    const bool has = tvContents->topLevelItemCount() > 0;
    btnContents->setEnabled(has);
    btnContents->setChecked(has);
}

void HelpWindow::showPage(const QString& objectPath) {
    const qsizetype hash = objectPath.indexOf(QLatin1Char('#'));
    const QString object = hash < 0 ? objectPath : objectPath.left(hash);
    if (!m_file->contains(object)) {
        setMessage(
            QStringLiteral("The page %1 is not in the help file %2.").arg(object, m_file->path()));
        return;
    }
    // The page already shown stays as it is: no second history entry for it.
    const QUrl url = ChmBrowser::urlFor(objectPath);
    if (wbPage->source() != url) wbPage->setSource(url);
    setMessage({});
    updateTitle();
}

void HelpWindow::followModalDialog() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == m_dialog || modal == this) return;
    if (m_dialog) detachFromDialog();
    if (!modal) return;
    const QRect frame = geometry();
    const bool shown = isVisible();
    m_dialog = modal;
    modal->installEventFilter(this);
    setParent(modal, Qt::Window);
    if (shown) setGeometry(frame);
}

void HelpWindow::detachFromDialog() {
    if (!m_dialog) return;
    m_dialog->removeEventFilter(this);
    m_dialog = nullptr;
    const QRect frame = geometry();
    const bool shown = isVisible();
    setParent(nullptr, Qt::Window);
    setGeometry(frame);
    if (shown) show();
}

bool HelpWindow::eventFilter(QObject* watched, QEvent* event) {
    // Hide comes before the dialog is destroyed, and we would be destroyed with it.
    if (watched == m_dialog && event->type() == QEvent::Hide) detachFromDialog();
    return QWidget::eventFilter(watched, event);
}

void HelpWindow::present() {
    followModalDialog();
    show();
    if (isMinimized()) showNormal();
    raise();
    activateWindow();
}

void HelpWindow::showContext(const QString& helpFile, quint32 context) {
    present();
    if (!useFile(helpFile)) return;
    const QString page = m_file->pageForContext(context);
    if (page.isEmpty()) {
        // Better a start page than an empty window; the line says what was asked for.
        const QString start = m_file->defaultPage();
        if (!start.isEmpty()) showPage(start);
        setMessage(QStringLiteral("The help file %1 has no page for help context %2.")
                       .arg(m_file->path())
                       .arg(context));
        return;
    }
    showPage(page);
}

void HelpWindow::showTopic(const QString& helpFile, const QString& topic) {
    present();
    if (!useFile(helpFile)) return;
    showPage(ChmTables::objectPath(topic));
}

void HelpWindow::showContents(const QString& helpFile) {
    present();
    if (!useFile(helpFile)) return;
    if (tvContents->topLevelItemCount() > 0) btnContents->setChecked(true);
    const QString start = m_file->defaultPage();
    if (start.isEmpty()) {
        setMessage(QStringLiteral("The help file %1 has no pages.").arg(m_file->path()));
        return;
    }
    showPage(start);
}

void HelpWindow::showIndex(const QString& helpFile, const QString& keyword) {
    present();
    if (!useFile(helpFile)) return;
    for (const SiteMap::Entry& e : m_file->index()) {
        if (e.name.compare(keyword, Qt::CaseInsensitive) == 0 && !e.local.isEmpty()) {
            showPage(ChmTables::objectPath(e.local));
            return;
        }
    }
    const QString start = m_file->defaultPage();
    if (!start.isEmpty()) showPage(start);
    setMessage(QStringLiteral("The help file's index has no entry \"%1\".").arg(keyword));
}

}  // namespace hv
