#include "views/LogWindow.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QKeySequence>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QStandardPaths>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "checking/ChangeEvents.h"
#include "platform/AtomicFile.h"
#include "platform/Error.h"
#include "platform/ProgramFiles.h"
#include "widgets/ErrorBox.h"
#include "widgets/ExecModal.h"
#include "widgets/HelpContext.h"
#include "widgets/MinimizeToTray.h"
#include "widgets/ScreenFit.h"

namespace hv {

namespace {

// The system's text for an error, without the trailing blanks, line breaks and full stops
// that would clash with the message around it.
QString systemErrorText(int error) {
    QString text = QString::fromLocal8Bit(std::strerror(error));
    while (!text.isEmpty() && (text.back() == u' ' || text.back() == u'\r' ||
                               text.back() == u'\n' || text.back() == u'.' || text.back() == u'\t'))
        text.chop(1);
    return text;
}

[[noreturn]] void cannotCreate(const QString& path, int error) {
    // Ends with its full stop, so the error box adds none.
    throw Error(QStringLiteral("Cannot create file \"%1\". %2.").arg(path, systemErrorText(error)));
}

}  // namespace

LogWindow::LogWindow(QWidget* parent, const QDate& startDate) : QWidget(parent) {
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setObjectName(QStringLiteral("frmLog"));
    setWindowTitle(QStringLiteral("Log"));
    resize(276, 423);
    move(0, 0);

    memLog = new QPlainTextEdit(this);
    memLog->setObjectName(QStringLiteral("memLog"));
    setHelpContext(memLog, 2);
    memLog->setLineWrapMode(QPlainTextEdit::NoWrap);
    memLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(14);
    memLog->setFont(font);
    QPalette pal = memLog->palette();
    pal.setColor(QPalette::Text, Qt::black);
    memLog->setPalette(pal);

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setFixedHeight(7);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(memLog, 1);
    layout->addWidget(panel);

    // formCreate: the header as a line whose own line break brings the empty line after it.
    memLog->setPlainText(headerLine(startDate) + QStringLiteral("\n\n"));

    // The window has no command of its own that closes it: Esc and the title bar do.
    auto* esc = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    esc->setContext(Qt::WindowShortcut);
    connect(esc, &QShortcut::activated, this, &QWidget::close);

    MinimizeToTray::install(this);
    ScreenFit::install(this);
}

void LogWindow::appendLine(const QString& line) {
    // Its own cursor, so the user's caret and selection stay where they are.
    QTextCursor cursor(memLog->document());
    cursor.movePosition(QTextCursor::End);
    const QString current = memLog->document()->lastBlock().text();
    QString added;
    if (!current.isEmpty()) added += u'\n';  // the user's edits left no final break
    added += line;
    added += u'\n';
    // A logged event is no edit of the user's: Undo must never take it away. The document
    // records no undo step while undo is off (turning it off forgets the steps before, so
    // Undo never reaches past an event either).
    QTextDocument* document = memLog->document();
    document->setUndoRedoEnabled(false);
    cursor.insertText(added);
    document->setUndoRedoEnabled(true);
}

QString LogWindow::text() const {
    QString plain = memLog->toPlainText();
    plain.replace(u'\n', QStringLiteral("\r\n"));
    return plain;
}

void LogWindow::miViewLogClick() {
    if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

QString LogWindow::chooseFile(const QString& executableDir, const QString& title,
                              const QString& objectName, const QString& filter,
                              const QString& suffix) {
    QFileDialog dialog(nullptr, title);
    dialog.setObjectName(objectName);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(filter);
    dialog.setDefaultSuffix(suffix);
    dialog.setDirectory(initialFolder(executableDir));
    QString name = proposedFileName(QDateTime::currentDateTime());
    name.replace(name.size() - 3, 3, suffix);
    dialog.selectFile(name);
    if (execModal(dialog) != QDialog::Accepted) return {};
    return dialog.selectedFiles().value(0);
}

void LogWindow::miSaveLogClick(const QString& executableDir) {
    const QString chosen =
        chooseFile(executableDir, QStringLiteral("Save log..."), QStringLiteral("sdSaveLog"),
                   QStringLiteral("Log files (*.log)"), QStringLiteral("log"));
    if (chosen.isEmpty()) return;
    const QString path = withLogExtension(chosen);
    ErrorBox::guard([&] { saveTo(path); });
}

void LogWindow::miExportLogClick(const QString& executableDir, const ChangeEvents& changes) {
    const QString chosen =
        chooseFile(executableDir, QStringLiteral("Export log..."), QStringLiteral("sdExportLog"),
                   QStringLiteral("CSV files (*.csv)"), QStringLiteral("csv"));
    if (chosen.isEmpty()) return;
    const QString path = withCsvExtension(chosen);
    ErrorBox::guard([&] { exportTo(path, changes); });
}

bool LogWindow::exportCsv(const QString& executableDir, const QString& title,
                          const QString& objectName, const std::function<QByteArray()>& bytes) {
    const QString chosen = chooseFile(executableDir, title, objectName,
                                      QStringLiteral("CSV files (*.csv)"), QStringLiteral("csv"));
    if (chosen.isEmpty()) return false;
    const QString path = withCsvExtension(chosen);
    bool written = false;
    ErrorBox::guard([&] {
        writeFile(path, bytes());
        written = true;
    });
    return written;
}

QString LogWindow::headerLine(const QDate& date) {
    return QStringLiteral("  *** ") + date.toString(QStringLiteral("MM.dd.yyyy")) +
           QStringLiteral(" ***");
}

QString LogWindow::proposedFileName(const QDateTime& now) {
    return now.toString(QStringLiteral("HH-mm-ss--MM-dd-yyyy")) + QStringLiteral(".log");
}

QString LogWindow::initialFolder(const QString& executableDir) {
    // Found ignoring case, like every program file; never created here.
    const QString logs = ProgramFiles::resolve(executableDir, QStringLiteral("logs"));
    if (QFileInfo(logs).isDir()) return logs;
    // An installed copy's folder is read-only: the user's documents are the place to save.
    if (::access(QFile::encodeName(executableDir).constData(), W_OK) != 0) {
        const QString documents =
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (!documents.isEmpty() && QFileInfo(documents).isDir()) return documents;
    }
    return executableDir;
}

QString LogWindow::withLogExtension(const QString& fileName) {
    if (QFileInfo(fileName).fileName().contains(u'.')) return fileName;
    return fileName + QStringLiteral(".log");
}

QString LogWindow::withCsvExtension(const QString& fileName) {
    if (QFileInfo(fileName).fileName().contains(u'.')) return fileName;
    return fileName + QStringLiteral(".csv");
}

void LogWindow::saveTo(const QString& path) const { writeFile(path, text().toUtf8()); }

void LogWindow::exportTo(const QString& path, const ChangeEvents& changes) {
    writeFile(path, changes.toCsv());
}

void LogWindow::writeFile(const QString& path, const QByteArray& bytes) {
    const QString full = QFileInfo(path).absoluteFilePath();
    // A file already there must be writable, and a failed write leaves it as it was.
    AtomicFile::Options options;
    options.newFileMode = 0666;
    options.refuseReadOnly = true;
    try {
        AtomicFile::write(full, bytes, options);
    } catch (const AtomicFileError& e) {
        cannotCreate(full, e.systemError());
    }
}

}  // namespace hv
