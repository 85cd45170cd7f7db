#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include "TestSupport.h"
#include "dialogs/SettingsDialog.h"
#include "help/ChmBrowser.h"
#include "help/HelpWindow.h"
#include "help/HtmlHelp.h"
#include "helpcore/HelpManager.h"
#include "helpcore/WinHelpTester.h"
#include "shell/MainWindow.h"
#include "shell/OwnerDrawItem.h"
#include "views/AboutWindow.h"
#include "widgets/HelpContext.h"
#include "widgets/LinkLabel.h"
#include "widgets/SpinEdit.h"

namespace {

using namespace hv;

void settle(int ms = 50) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

bool waitFor(const std::function<bool()>& done, int ms = 5000) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

// Takes every context request in place of the help window, behind the WinHelp viewer.
class RecordingViewer : public IExtendedHelpViewer {
public:
    QString viewerName() override { return QStringLiteral("Recorder"); }
    int keywordSupport(const QString&) override { return 0; }
    QStringList keywordEntries(const QString&) override { return {}; }
    bool hasContents() override { return false; }
    void openContents() override {}
    void openKeyword(const QString&) override {}
    void setViewerId(int id) override { this->id = id; }
    void closeAll() override {}
    void detach() override {}
    void setHelpManager(std::shared_ptr<IHelpManager>) override {}
    bool topicSupport(const QString&) override { return false; }
    void openTopic(const QString&) override {}
    bool contextSupport(int, const QString&) override { return true; }
    void openContext(int context, const QString& file) override {
        contexts.append(context);
        files.append(file);
    }
    int id = 0;
    QList<int> contexts;
    QStringList files;
};

const QString kAppHelpFile = QStringLiteral("/opt/hv/help/hostvane.chm");

class F1Test : public ::testing::Test {
protected:
    void SetUp() override {
        installF1Handling();
        HelpManager::instance()->setWinHelpTester(std::make_shared<WinHelpTester>());
        HelpManager::instance()->registerViewer(recorder);
        HelpManager::setApplicationHelpFile(kAppHelpFile);
    }
    void TearDown() override {
        HelpManager::instance()->release(recorder->id);
        HelpManager::setApplicationHelpFile({});
        setF1FallbackWidget(nullptr);
    }

    // F1 pressed on the focused widget of a shown, active window.
    QList<int> pressF1On(QWidget* w) {
        recorder->contexts.clear();
        w->window()->show();
        w->window()->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(w->window()));
        w->setFocus();
        QTest::keyClick(w, Qt::Key_F1);
        return recorder->contexts;
    }

    std::shared_ptr<RecordingViewer> recorder = std::make_shared<RecordingViewer>();
};

TEST_F(F1Test, SettingsDialogHostPageStripAndListAskForContext3OtherPagesForNone) {
    SettingsDialog d;
    struct Case {
        QWidget* widget;
        int page;
        QList<int> contexts;
    } cases[] = {
        {d.lbxHosts, 0, {3}},      {d.btnAddIP, 0, {3}}, {d.btnDelete, 0, {3}},
        {d.lbSettings, 0, {3}},    {d.btnHelp, 0, {3}},  {d.btnCancel, 0, {3}},
        {d.btnOK, 0, {3}},         {d.cbAutorun, 1, {}}, {d.seCheckPeriod, 2, {}},
        {d.btnFontInPopUp, 3, {}}, {d.cbLang, 4, {}},
    };
    for (const Case& c : cases) {
        d.pages->setCurrentIndex(c.page);
        EXPECT_EQ(pressF1On(c.widget), c.contexts) << c.widget->objectName().toStdString();
    }
    ASSERT_FALSE(recorder->files.isEmpty());
    EXPECT_EQ(recorder->files.first(), kAppHelpFile);
}

TEST_F(F1Test, HelpButtonDeliversF1ToTheFocusedButton) {
    SettingsDialog d;
    pressF1On(d.btnHelp);
    recorder->contexts.clear();
    // What the Help button does: a synthesised F1, arriving once the event loop runs.
    d.btnHelp->setFocus();
    pressF1();
    EXPECT_TRUE(recorder->contexts.isEmpty());
    EXPECT_TRUE(waitFor([&] { return !recorder->contexts.isEmpty(); }));
    EXPECT_EQ(recorder->contexts, QList<int>{3});
}

TEST_F(F1Test, AboutWindowOkGives5AndTheWindowItself14) {
    AboutWindow about(nullptr);
    EXPECT_EQ(pressF1On(about.btnOK), QList<int>{5});
    EXPECT_EQ(pressF1On(about.emailLink), QList<int>{5});
    EXPECT_EQ(pressF1On(&about), QList<int>{14});
}

TEST_F(F1Test, OpenMenuUsesTheHighlightedItem) {
    QMenu menu;
    QAction* plain = menu.addAction(QStringLiteral("Quit"));
    QAction* help = menu.addAction(QStringLiteral("Help"));
    setHelpContext(help, 1);
    menu.popup(QPoint(10, 10));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    menu.setActiveAction(help);
    QTest::keyClick(&menu, Qt::Key_F1);
    menu.setActiveAction(plain);
    QTest::keyClick(&menu, Qt::Key_F1);
    EXPECT_EQ(recorder->contexts, QList<int>{1});
    menu.close();
}

// F1 in the open tray menu: the page on what the highlighted item opens (Settings the
// settings page, About the About page); every other item, Help and the submenus' items
// included, the tray menu's own page, which is also what Help shows.
TEST_F(F1Test, TrayMenuItemsAskForThePageOfWhatTheyOpen) {
    hvtest::TempDir dir;
    const QString exe = dir.write("hostvane", "#!/bin/sh\n");
    dir.write("Hostvane.ini", "[HostList]\r\n");
    MainWindow::Options o;
    o.executablePath = exe;
    o.trayIcon = false;
    o.brokenFilesMessage = [] {};
    MainWindow main(o);
    // A host's item, as the host list adds them (no checking is started for it).
    main.miHoststate->addAction(QStringLiteral("Mail server"));

    const struct {
        QMenu* menu;
        QAction* item;
        int context;
    } cases[] = {
        {main.pmMain, main.miSettings, 3},
        {main.pmMain, main.miAbout, 5},
        {main.pmMain, main.miHelp, 2},
        {main.pmMain, main.miStart, 2},
        {main.pmMain, main.miQuit, 2},
        {main.pmMain, main.miLog->menuAction(), 2},
        {main.miLog, main.miViewLog, 2},
        {main.miLog, main.miExportLog, 2},
        {main.miHoststate, main.miHoststate->actions().constLast(), 2},  // a host
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.item->objectName().isEmpty() ? c.item->text().toStdString()
                                                    : c.item->objectName().toStdString());
        recorder->contexts.clear();
        c.menu->popup(QPoint(10, 10));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(c.menu));
        c.menu->setActiveAction(c.item);
        QTest::keyClick(c.menu, Qt::Key_F1);
        EXPECT_EQ(recorder->contexts, QList<int>{c.context});
        c.menu->close();
    }
}

TEST_F(F1Test, TrayHelpWithNothingFocusedGoesToTheMainWindow) {
    QWidget main;
    setHelpContext(&main, 2);
    setF1FallbackWidget(&main);
    QApplication::setActiveWindow(nullptr);
    ASSERT_EQ(QApplication::focusWidget(), nullptr);
    pressF1();
    EXPECT_TRUE(waitFor([&] { return !recorder->contexts.isEmpty(); }));
    EXPECT_EQ(recorder->contexts, QList<int>{2});
}

// The help window on the help file the build makes.
class HelpWindowTest : public ::testing::Test {
protected:
    void TearDown() override {
        HelpWindow::closeAll();
        waitFor([] { return HelpWindow::instance(false) == nullptr; });
    }
    HelpWindow* request(unsigned command, const QString& file, const HtmlHelpData& data = {}) {
        htmlHelp(0, file, command, data);
        settle();
        return HelpWindow::instance(false);
    }
    const QString chm = hvtest::buildDir() + QStringLiteral("/help/hostvane.chm");
};

TEST_F(HelpWindowTest, EveryContextShowsItsPageInOneReusedWindow) {
    struct Case {
        quintptr context;
        const char* page;
        const char* title;
    } cases[] = {
        {1, "/index.htm", "Hostvane Help"},
        {2, "/traymenu.htm", "The tray icon and its menu"},
        {3, "/settings.htm", "The settings dialog"},
        {5, "/about.htm", "The About window"},
        {14, "/contact.htm", "Reporting a problem"},
    };
    HelpWindow* first = nullptr;
    for (const Case& c : cases) {
        HelpWindow* w = request(HH_HELP_CONTEXT, chm, {c.context, {}});
        ASSERT_NE(w, nullptr);
        if (!first) first = w;
        EXPECT_EQ(w, first);
        EXPECT_TRUE(w->isVisible());
        EXPECT_EQ(w->currentPage(), QString::fromUtf8(c.page)) << c.context;
        EXPECT_EQ(w->windowTitle(), QString::fromUtf8(c.title)) << c.context;
        EXPECT_TRUE(w->message().isEmpty()) << w->message().toStdString();
        EXPECT_FALSE(w->wbPage->toPlainText().trimmed().isEmpty());
    }
    int helpWindows = 0;
    for (QWidget* t : QApplication::topLevelWidgets())
        if (qobject_cast<HelpWindow*>(t)) ++helpWindows;
    EXPECT_EQ(helpWindows, 1);
}

TEST_F(HelpWindowTest, LinksImagesStyleSheetsAndHistory) {
    HelpWindow* w = request(HH_HELP_CONTEXT, chm, {1, {}});
    ASSERT_NE(w, nullptr);
    // The picture and the style sheet come out of the help file.
    const QVariant image = w->wbPage->document()->resource(QTextDocument::ImageResource,
                                                           ChmBrowser::urlFor("/vane.png"));
    EXPECT_TRUE(image.isValid());
    EXPECT_TRUE(
        w->wbPage->loadResource(QTextDocument::StyleSheetResource, ChmBrowser::urlFor("/style.css"))
            .toString()
            .contains("h1"));
    // A link between pages, then Back and Forward.
    emit w->wbPage->anchorClicked(ChmBrowser::urlFor("/index.htm").resolved(QUrl("hosts.htm")));
    settle();
    EXPECT_EQ(w->currentPage(), QStringLiteral("/hosts.htm"));
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Hosts and how they are checked"));
    ASSERT_TRUE(w->btnBack->isEnabled());
    w->btnBack->click();
    EXPECT_EQ(w->currentPage(), QStringLiteral("/index.htm"));
    ASSERT_TRUE(w->btnForward->isEnabled());
    w->btnForward->click();
    EXPECT_EQ(w->currentPage(), QStringLiteral("/hosts.htm"));
    // A link to a page the file lacks says so and stays.
    emit w->wbPage->anchorClicked(ChmBrowser::urlFor("/nowhere.htm"));
    EXPECT_EQ(w->currentPage(), QStringLiteral("/hosts.htm"));
    EXPECT_TRUE(w->message().contains("/nowhere.htm"));
}

TEST_F(HelpWindowTest, TopicContentsIndexAndCloseAll) {
    HelpWindow* w = request(HH_DISPLAY_TOPIC, chm + QStringLiteral("::/log.htm"));
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->currentPage(), QStringLiteral("/log.htm"));

    request(HH_DISPLAY_TOC, chm);
    EXPECT_EQ(w->currentPage(), QStringLiteral("/index.htm"));
    EXPECT_TRUE(w->tvContents->isVisible());
    EXPECT_GE(w->tvContents->topLevelItemCount(), 9);
    // Choosing an entry of the contents opens its page.
    QTreeWidgetItem* icmp =
        w->tvContents->findItems("ICMP without root", Qt::MatchExactly).value(0);
    ASSERT_NE(icmp, nullptr);
    emit w->tvContents->itemClicked(icmp, 0);
    EXPECT_EQ(w->currentPage(), QStringLiteral("/icmp.htm"));

    request(HH_DISPLAY_INDEX, chm, {0, QStringLiteral("state table")});
    EXPECT_EQ(w->currentPage(), QStringLiteral("/log.htm"));
    request(HH_DISPLAY_INDEX, chm, {0, QStringLiteral("no such word")});
    EXPECT_TRUE(w->message().contains("no such word"));

    request(HH_CLOSE_ALL, {});
    EXPECT_TRUE(waitFor([] { return HelpWindow::instance(false) == nullptr; }));

    // Esc closes it as well; the next request opens a fresh one.
    w = request(HH_HELP_CONTEXT, chm, {3, {}});
    ASSERT_NE(w, nullptr);
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    QTest::keyClick(w->wbPage, Qt::Key_Escape);
    EXPECT_TRUE(waitFor([] { return HelpWindow::instance(false) == nullptr; }));
}

TEST_F(HelpWindowTest, ProblemsAreSaidInOneLine) {
    hvtest::TempDir dir;
    struct Case {
        QString file;
        quintptr context;
        const char* says;
    } cases[] = {
        {dir.file("help/hostvane.chm"), 3, "is missing"},
        {dir.write("notes.chm", "plain text\n"), 3, "not a compiled help file"},
        {chm, 99, "no page for help context 99"},
    };
    for (const Case& c : cases) {
        HelpWindow* w = request(HH_HELP_CONTEXT, c.file, {c.context, {}});
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(w->isVisible());
        EXPECT_TRUE(w->lbMessage->isVisible());
        EXPECT_TRUE(w->message().contains(QString::fromUtf8(c.says))) << w->message().toStdString();
        EXPECT_FALSE(w->message().contains('\n'));
    }
    // A context the file lacks still shows a page to start from.
    EXPECT_EQ(HelpWindow::instance(false)->currentPage(), QStringLiteral("/index.htm"));
    // The next good request clears the line.
    HelpWindow* w = request(HH_HELP_CONTEXT, chm, {3, {}});
    EXPECT_FALSE(w->lbMessage->isVisible());
}

TEST_F(HelpWindowTest, OpenedFromAModalDialogItStaysUsableAndOutlivesIt) {
    auto dialog = std::make_unique<QDialog>();
    HelpWindow* during = nullptr;
    QWidget* parentDuring = nullptr;
    QTimer::singleShot(0, [&] {
        during = request(HH_HELP_CONTEXT, chm, {3, {}});
        // A window of the modal dialog's own is not blocked by it.
        parentDuring = during ? during->parentWidget() : nullptr;
        dialog->accept();
    });
    dialog->exec();
    dialog.reset();
    settle();
    ASSERT_NE(during, nullptr);
    EXPECT_NE(parentDuring, nullptr);
    HelpWindow* after = HelpWindow::instance(false);
    ASSERT_EQ(after, during);
    EXPECT_EQ(after->parentWidget(), nullptr);
    EXPECT_TRUE(after->isVisible());
    EXPECT_EQ(after->currentPage(), QStringLiteral("/settings.htm"));
}

// The About window from the tray menu's About item.
class AboutTest : public ::testing::Test {
protected:
    void SetUp() override {
        exe = dir.write("hostvane", "#!/bin/sh\n");
        dir.write("Hostvane.ini", "[HostList]\r\n");
        QDir().mkpath(dir.file("skins"));
        QFile::copy(hvtest::sourceDir() + "/dist/skins/hostvane.skn",
                    dir.file("skins/hostvane.skn"));
        MainWindow::Options o;
        o.executablePath = exe;
        o.trayIcon = false;
        o.brokenFilesMessage = [] {};
        main = std::make_unique<MainWindow>(o);
        AboutWindow::openUrl() = [this](const QUrl& url) { opened.append(url); };
    }
    void TearDown() override {
        AboutWindow::openUrl() = nullptr;
        main.reset();
    }

    hvtest::TempDir dir;
    QString exe;
    std::unique_ptr<MainWindow> main;
    QList<QUrl> opened;
};

TEST_F(AboutTest, TextsLinksAndLayout) {
    AboutWindow about(nullptr);
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About..."));
    EXPECT_EQ(about.size(), QSize(269, 344));
    EXPECT_EQ(about.lbProgName->text(), QStringLiteral("Hostvane"));
    EXPECT_EQ(about.lbVer->text(), QStringLiteral("1.1.0"));
    EXPECT_EQ(about.lbInfo1->text(), QStringLiteral("This programm is designed and writed by:"));
    EXPECT_EQ(about.btnOK->geometry(), QRect(181, 300, 75, 22));
    EXPECT_EQ(about.plLogo->geometry(), QRect(11, 10, 36, 195));
    EXPECT_FALSE(about.Image1->pixmap().isNull());
    EXPECT_TRUE(about.lbProgName->font().bold());
    EXPECT_EQ(about.lbProgName->font().pixelSize(), 20);
    EXPECT_EQ(about.lbProgName->palette().color(QPalette::WindowText), QColor(95, 65, 50));
    EXPECT_NE(about.lbLaws->text(), QStringLiteral("lbLaws"));
    EXPECT_TRUE(about.lbLaws->wordWrap());

    for (LinkLabel* link : {about.emailLink, about.webLink}) {
        EXPECT_TRUE(link->font().underline());
        EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 251));
        EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
        EXPECT_EQ(link->toolTip(), link->text());
        EXPECT_TRUE(link->text().contains("example.org"));
        EXPECT_FALSE(link->accessibleName().isEmpty());
    }
    QTest::mouseClick(about.emailLink, Qt::LeftButton);
    QTest::mouseClick(about.webLink, Qt::LeftButton);
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(opened[0], QUrl("mailto:" + AboutWindow::supportEmail()));
    EXPECT_EQ(opened[1], QUrl(AboutWindow::webSite()));
}

TEST_F(AboutTest, ChosenTwiceGivesOneWindowReopenedGivesFreshTexts) {
    auto aboutWindows = [] {
        int n = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<AboutWindow*>(w)) ++n;
        return n;
    };
    int seen = -1;
    AboutWindow* firstWindow = nullptr;
    QTimer::singleShot(0, [&] {
        ASSERT_TRUE(waitFor([] { return frmAbout && frmAbout->isVisible(); }));
        firstWindow = frmAbout;
        main->miAbout->trigger();  // About again while it is open: nothing new
        settle();
        seen = aboutWindows();
        frmAbout->lbVer->setText("changed");
        frmAbout->btnOK->click();
    });
    main->miAbout->trigger();
    EXPECT_EQ(seen, 1);
    EXPECT_EQ(frmAbout, nullptr);
    settle();
    EXPECT_EQ(aboutWindows(), 0);

    QString version;
    QTimer::singleShot(0, [&] {
        ASSERT_TRUE(waitFor([] { return frmAbout && frmAbout->isVisible(); }));
        version = frmAbout->lbVer->text();
        frmAbout->btnOK->click();
    });
    main->miAbout->trigger();
    EXPECT_EQ(version, QStringLiteral("1.1.0"));
    (void)firstWindow;
}

// The window has no Cancel button: Esc leaves it open, wherever the focus is; OK closes it.
TEST_F(AboutTest, EscapeLeavesItOpenOkClosesIt) {
    bool openAfterEscape = false;
    QTimer::singleShot(0, [&] {
        ASSERT_TRUE(waitFor([] { return frmAbout && frmAbout->isVisible(); }));
        for (QWidget* w :
             {static_cast<QWidget*>(frmAbout->btnOK), static_cast<QWidget*>(frmAbout->lbLaws),
              static_cast<QWidget*>(frmAbout)})
            QTest::keyClick(w, Qt::Key_Escape);
        settle();
        openAfterEscape = frmAbout && frmAbout->isVisible();
        if (frmAbout) frmAbout->btnOK->click();
    });
    main->miAbout->trigger();
    EXPECT_TRUE(openAfterEscape);
    EXPECT_EQ(frmAbout, nullptr);
}

TEST_F(AboutTest, MainWindowContexts) {
    EXPECT_EQ(helpContextOf(main.get()), 2);
    EXPECT_EQ(helpContextOf(main->memReport), 2);
    EXPECT_EQ(helpContextOf(main->miHelp), 2);
    EXPECT_EQ(helpContextOf(main->miSettings), 3);
    EXPECT_EQ(HelpManager::applicationHelpFile(),
              dir.path() + QStringLiteral("/help/hostvane.chm"));
}

}  // namespace
