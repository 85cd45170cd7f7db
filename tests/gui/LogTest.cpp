#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <functional>

#include "GuiTestSupport.h"
#include "TestSupport.h"
#include "platform/Error.h"
#include "views/LogWindow.h"
#include "widgets/ErrorBox.h"

using hv::LogWindow;

namespace {

const QDate kStart(2008, 3, 7);
const QByteArray kHeader = "  *** 03.07.2008 ***\r\n\r\n";

void typeNameAndAccept(QFileDialog* dialog, const QString& name) {
    auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(edit, nullptr);
    edit->setText(name);
    static_cast<QDialog*>(dialog)->accept();
}

// Records what the error box would show instead of opening it.
struct ErrorBoxRecorder {
    QStringList shown;
    ErrorBoxRecorder() {
        hv::ErrorBox::setPresenter([this](const QString& text) { shown << text; });
    }
    ~ErrorBoxRecorder() { hv::ErrorBox::setPresenter(nullptr); }
};

}  // namespace

TEST(Log, HeaderThenChangeLinesEachOnALineOfItsOwn) {
    LogWindow log(nullptr, kStart);
    EXPECT_EQ(log.windowTitle(), "Log");
    EXPECT_EQ(log.text().toUtf8(), kHeader);

    log.appendLine("14:05:09. Host lost Mail server");
    EXPECT_EQ(log.text().toUtf8(), kHeader + "14:05:09. Host lost Mail server\r\n");

    // The user types a note at the end without a final line break.
    log.memLog->setFocus();
    log.memLog->moveCursor(QTextCursor::End);
    QTest::keyClicks(log.memLog, "checked cable");
    log.appendLine("14:06:10. Host appeared Mail server");
    EXPECT_EQ(log.text().toUtf8(), kHeader +
                                       "14:05:09. Host lost Mail server\r\n"
                                       "checked cable\r\n"
                                       "14:06:10. Host appeared Mail server\r\n");

    // A user's text that does end with a break gets no extra empty line.
    log.memLog->moveCursor(QTextCursor::End);
    QTest::keyClicks(log.memLog, "x");
    QTest::keyClick(log.memLog, Qt::Key_Return);
    log.appendLine("14:07:00. Host lost Web");
    EXPECT_TRUE(log.text().endsWith("Mail server\r\nx\r\n14:07:00. Host lost Web\r\n"));
}

TEST(Log, UndoTakesBackTypingButNeverALoggedEvent) {
    LogWindow log(nullptr, kStart);
    log.appendLine("14:05:09. Host lost Mail server");
    log.memLog->setFocus();
    log.memLog->moveCursor(QTextCursor::End);
    QTest::keyClicks(log.memLog, "note");
    EXPECT_TRUE(log.memLog->document()->isUndoAvailable());
    // Ctrl+Z, then Undo again as the context menu would, more times than there were edits.
    QTest::keyClick(log.memLog, Qt::Key_Z, Qt::ControlModifier);
    for (int i = 0; i < 5; ++i) log.memLog->undo();
    EXPECT_EQ(log.text().toUtf8(), kHeader + "14:05:09. Host lost Mail server\r\n");

    // An event arriving after the note: Undo leaves both.
    QTest::keyClicks(log.memLog, "cable");
    log.appendLine("14:06:10. Host appeared Mail server");
    for (int i = 0; i < 5; ++i) log.memLog->undo();
    EXPECT_EQ(log.text().toUtf8(), kHeader +
                                       "14:05:09. Host lost Mail server\r\n"
                                       "cable\r\n"
                                       "14:06:10. Host appeared Mail server\r\n");
}

TEST(Log, ViewShowsAndEscClosesKeepingTheText) {
    LogWindow log(nullptr, kStart);
    log.appendLine("line");
    log.miViewLogClick();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&log));
    QTest::keyClick(log.memLog, Qt::Key_Escape);
    EXPECT_FALSE(log.isVisible());
    log.miViewLogClick();
    EXPECT_TRUE(log.isVisible());
    log.close();  // what the window manager's close button does
    EXPECT_FALSE(log.isVisible());
    EXPECT_EQ(log.text().toUtf8(), kHeader + "line\r\n");
}

TEST(Log, FileNamesAndFolders) {
    const std::pair<QDateTime, QString> names[] = {
        {QDateTime(QDate(2008, 3, 7), QTime(14, 5, 9)), "14-05-09--03-07-2008.log"},
        {QDateTime(QDate(2024, 12, 31), QTime(0, 0, 0)), "00-00-00--12-31-2024.log"},
        {QDateTime(QDate(2024, 1, 2), QTime(23, 59, 58)), "23-59-58--01-02-2024.log"},
    };
    for (const auto& [when, name] : names) EXPECT_EQ(LogWindow::proposedFileName(when), name);

    const std::pair<QString, QString> suffixes[] = {
        {"mylog", "mylog.log"},
        {"/tmp/x/mylog", "/tmp/x/mylog.log"},
        {"/tmp/a.b/mylog", "/tmp/a.b/mylog.log"},
        {"mylog.txt", "mylog.txt"},
        {"mylog.log", "mylog.log"},
    };
    for (const auto& [in, out] : suffixes) EXPECT_EQ(LogWindow::withLogExtension(in), out);

    hvtest::TempDir exe;
    EXPECT_EQ(LogWindow::initialFolder(exe.path()), exe.path());
    EXPECT_FALSE(QDir(exe.file("logs")).exists()) << "the logs folder is never created";
    exe.write("logs", "a file, not a folder");
    EXPECT_EQ(LogWindow::initialFolder(exe.path()), exe.path());
    QFile::remove(exe.file("logs"));
    QDir(exe.path()).mkdir("logs");
    EXPECT_EQ(LogWindow::initialFolder(exe.path()), exe.file("logs"));
}

TEST(Log, ReadOnlyProgramFolderStartsTheSaveDialogInDocuments) {
    if (hvtest::isRoot()) GTEST_SKIP() << "root may write to any folder";
    hvtest::TempDir exe, home;
    QDir(home.path()).mkdir("Documents");
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", home.path().toLocal8Bit());
    ::chmod(QFile::encodeName(exe.path()).constData(), 0555);
    EXPECT_EQ(LogWindow::initialFolder(exe.path()), home.file("Documents"));
    ::chmod(QFile::encodeName(exe.path()).constData(), 0755);
    qputenv("HOME", oldHome);
    // A writable folder keeps the executable's folder.
    EXPECT_EQ(LogWindow::initialFolder(exe.path()), exe.path());
}

TEST(Log, SaveWritesTheWholeTextAndReplacesWithoutAsking) {
    hvtest::TempDir dir;
    LogWindow log(nullptr, kStart);
    log.saveTo(dir.file("a.log"));
    EXPECT_EQ(dir.read("a.log"), kHeader);  // right after start: header and one empty line

    log.appendLine("14:05:09. Host lost \u00c9cole");
    log.saveTo(dir.file("a.log"));
    EXPECT_EQ(dir.read("a.log"), kHeader +
                                     "14:05:09. Host lost \xc3\x89"
                                     "cole\r\n");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1)
        << "no temporary left behind";
    log.appendLine("more");  // the log goes on growing after a save
    EXPECT_TRUE(log.text().endsWith("cole\r\nmore\r\n"));
}

TEST(Log, SaveThroughALinkReplacesTheFileItNames) {
    hvtest::TempDir dir;
    QDir(dir.path()).mkdir("kept");
    LogWindow log(nullptr, kStart);
    log.saveTo(dir.file("kept/today.log"));
    ASSERT_EQ(::chmod(QFile::encodeName(dir.file("kept/today.log")).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(dir.file("kept/today.log"), dir.file("latest.log")));
    log.appendLine("line");
    log.saveTo(dir.file("latest.log"));
    EXPECT_TRUE(QFileInfo(dir.file("latest.log")).isSymLink());
    EXPECT_EQ(dir.read("kept/today.log"), kHeader + "line\r\n");
    struct stat st {};
    ::stat(QFile::encodeName(dir.file("kept/today.log")).constData(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
}

TEST(Log, SaveFailureNamesTheFileAndTheSystemError) {
    hvtest::TempDir dir;
    QDir(dir.path()).mkdir("folder");
    LogWindow log(nullptr, kStart);
    const std::pair<QString, QString> cases[] = {
        {dir.file("folder"), "Is a directory"},
        {dir.file("missing/x.log"), "No such file or directory"},
    };
    for (const auto& [path, reason] : cases) {
        try {
            log.saveTo(path);
            ADD_FAILURE() << "saved to " << path.toStdString();
        } catch (const hv::Error& e) {
            const QString expected = "Cannot create file \"" + path + "\". " + reason + ".";
            EXPECT_EQ(e.message(), expected);
            // The error box shows it with exactly one full stop at the end.
            EXPECT_EQ(hv::ErrorBox::text(e.message()), expected);
        }
    }
    EXPECT_TRUE(QDir(dir.file("folder")).exists());
    EXPECT_FALSE(QDir(dir.file("missing")).exists());
}

TEST(Log, FailedReplaceLeavesTheOldFile) {
    if (hvtest::isRoot()) GTEST_SKIP() << "root writes to read-only folders";
    hvtest::TempDir dir;
    const QString ro = dir.file("ro");
    QDir(dir.path()).mkdir("ro");
    dir.write("ro/old.log", "old text\r\n");
    ASSERT_EQ(::chmod(ro.toLocal8Bit().constData(), 0555), 0);
    LogWindow log(nullptr, kStart);
    EXPECT_THROW(log.saveTo(ro + "/old.log"), hv::Error);
    ::chmod(ro.toLocal8Bit().constData(), 0755);
    EXPECT_EQ(dir.read("ro/old.log"), "old text\r\n");
}

TEST(Log, WriteFailureLeavesNoHalfFile) {
    // A file size limit below the log's size makes every write fail part-way, as root too.
    hvtest::TempDir dir;
    dir.write("old.log", "old text\r\n");
    LogWindow log(nullptr, kStart);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 8;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    QStringList messages;
    for (const QString name : {"old.log", "new.log"}) {
        try {
            log.saveTo(dir.file(name));
        } catch (const hv::Error& e) {
            messages << e.message();
        }
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(messages,
              QStringList({"Cannot create file \"" + dir.file("old.log") + "\". File too large.",
                           "Cannot create file \"" + dir.file("new.log") + "\". File too large."}));
    EXPECT_EQ(dir.read("old.log"), "old text\r\n");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"old.log"});
}

TEST(Log, SaveDialogStartsInLogsOrExeFolderAndAddsTheExtension) {
    struct Case {
        bool logsExists;
        QString typed;  // empty: accept the proposed name
    };
    const Case cases[] = {{false, ""}, {true, ""}, {false, "mylog"}, {true, "notes.txt"}};
    const QRegularExpression proposed(R"(^\d\d-\d\d-\d\d--\d\d-\d\d-\d{4}\.log$)");
    for (const Case& c : cases) {
        hvtest::TempDir exe;
        if (c.logsExists) QDir(exe.path()).mkdir("logs");
        const QString folder = c.logsExists ? exe.file("logs") : exe.path();
        LogWindow log(nullptr, kStart);
        QString shownDir, shownName, title;
        hvtest::onFileDialog([&](QFileDialog* d) {
            title = d->windowTitle();
            shownDir = d->directory().absolutePath();
            shownName = QFileInfo(d->selectedFiles().value(0)).fileName();
            if (c.typed.isEmpty())
                static_cast<QDialog*>(d)->accept();
            else
                typeNameAndAccept(d, c.typed);
        });
        log.miSaveLogClick(exe.path());
        EXPECT_EQ(title, "Save log...");
        EXPECT_EQ(shownDir, folder);
        EXPECT_TRUE(proposed.match(shownName).hasMatch()) << shownName.toStdString();
        const QString saved = c.typed.isEmpty()    ? shownName
                              : c.typed == "mylog" ? QStringLiteral("mylog.log")
                                                   : c.typed;
        QFile f(folder + "/" + saved);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << saved.toStdString();
        EXPECT_EQ(f.readAll(), kHeader);
        EXPECT_FALSE(!c.logsExists && QDir(exe.file("logs")).exists());
    }
}

TEST(Log, SaveDialogFailureGoesToTheErrorBoxAndCancelDoesNothing) {
    hvtest::TempDir exe;
    LogWindow log(nullptr, kStart);
    ErrorBoxRecorder box;
    hvtest::onFileDialog([&](QFileDialog* d) { typeNameAndAccept(d, exe.file("missing/x")); });
    log.miSaveLogClick(exe.path());
    ASSERT_EQ(box.shown.size(), 1);
    EXPECT_EQ(box.shown.first(), "Cannot create file \"" + exe.file("missing/x.log") +
                                     "\". No such file or directory.");

    hvtest::onFileDialog([](QFileDialog* d) { d->reject(); });
    log.miSaveLogClick(exe.path());
    EXPECT_EQ(box.shown.size(), 1);
    EXPECT_TRUE(QDir(exe.path()).entryList(QDir::Files | QDir::NoDotAndDotDot).isEmpty());
}
