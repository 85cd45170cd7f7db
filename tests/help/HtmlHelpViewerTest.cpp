#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "helpcore/HelpManager.h"
#include "helpcore/HtmlHelpViewer.h"
#include "helpcore/WinHelpTester.h"

namespace {

using namespace hv;

struct Call {
    quintptr window;
    QString file;
    unsigned command;
    quintptr number;
    QString text;
};

const QString kHelpFile = QStringLiteral("/opt/hv/help/hostvane.chm");

// The program's arrangement: WinHelp viewer first (with its tester), then ours, ours the
// selector; every help call recorded.
class HelpDispatch : public ::testing::Test {
protected:
    void SetUp() override {
        HelpManager::setApplicationHelpFile(kHelpFile);
        viewer = std::make_shared<HtmlHelpViewer>(
            [this](quintptr w, const QString& f, unsigned c, const HtmlHelpData& d) {
                calls.push_back({w, f, c, d.number, d.text});
            },
            QStringLiteral("/opt/hv"));
        manager->registerViewer(viewer);
        manager->setHelpSelector(viewer);
        manager->setWinHelpTester(std::make_shared<WinHelpTester>());
    }
    void TearDown() override {
        viewer->shutdown();
        HelpManager::setApplicationHelpFile({});
    }

    std::shared_ptr<HelpManager> manager = HelpManager::create();
    std::shared_ptr<HtmlHelpViewer> viewer;
    std::vector<Call> calls;
};

TEST_F(HelpDispatch, ContextRequestPassesTheWinHelpViewerAndOpensTheContext) {
    ASSERT_EQ(manager->viewers().size(), 2);
    EXPECT_EQ(manager->viewers().first()->viewerName(), QStringLiteral("WinHelp"));
    EXPECT_EQ(viewer->viewerId(), 2);

    EXPECT_TRUE(manager->contextHelp(3, kHelpFile));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].window, 0u);
    EXPECT_EQ(calls[0].file, kHelpFile);
    EXPECT_EQ(calls[0].command, unsigned(HH_HELP_CONTEXT));
    EXPECT_EQ(calls[0].number, 3u);
}

TEST_F(HelpDispatch, NonChmFilesAreDeclinedAndWithoutTheTesterWinHelpTakesHlpFiles) {
    EXPECT_FALSE(manager->contextHelp(3, QStringLiteral("/opt/hv/help/readme.txt")));
    EXPECT_FALSE(manager->contextHelp(3, QStringLiteral("/opt/hv/help/old.hlp")));
    manager->setWinHelpTester(nullptr);
    EXPECT_TRUE(manager->contextHelp(3, QStringLiteral("/opt/hv/help/old.hlp")));
    // The WinHelp viewer took it: nothing reached ours.
    EXPECT_TRUE(calls.empty());
}

TEST_F(HelpDispatch, TopicKeywordAndContentsRequests) {
    EXPECT_TRUE(manager->topicHelp(QStringLiteral("hosts"), kHelpFile));
    // Only ours supports the keyword: it gets the bare keyword.
    EXPECT_TRUE(manager->keywordHelp(QStringLiteral("monitor")));
    // Both viewers have contents: the selector (ours) picks ours from the sorted names.
    EXPECT_TRUE(manager->contentsHelp());
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].command, unsigned(HH_DISPLAY_TOPIC));
    EXPECT_EQ(calls[0].file, kHelpFile + QStringLiteral("::/hosts.htm"));
    EXPECT_EQ(calls[1].command, unsigned(HH_DISPLAY_INDEX));
    EXPECT_EQ(calls[1].text, QStringLiteral("monitor"));
    EXPECT_EQ(calls[2].command, unsigned(HH_DISPLAY_TOC));
    EXPECT_EQ(calls[2].file, kHelpFile);
    EXPECT_EQ(calls[2].number, 0u);

    // Without a selector the first sorted name ("WinHelp") would get the contents.
    manager->setHelpSelector(nullptr);
    EXPECT_TRUE(manager->contentsHelp());
    EXPECT_EQ(calls.size(), 3u);
}

TEST_F(HelpDispatch, openTopic) {
    struct Case {
        const char* topic;
        const char* opened;
    } cases[] = {
        {"intro", "::/intro.htm"},       {"Intro.HTML", "::/Intro.HTML"},
        {"page.HTM", "::/page.HTM"},     {"notes.txt", "::/notes.txt.htm"},
        {"sub/page", "::/sub/page.htm"},
    };
    for (const Case& c : cases) {
        calls.clear();
        viewer->openTopic(QString::fromUtf8(c.topic));
        ASSERT_EQ(calls.size(), 1u) << c.topic;
        EXPECT_EQ(calls[0].file, kHelpFile + QString::fromUtf8(c.opened)) << c.topic;
        EXPECT_EQ(calls[0].command, unsigned(HH_DISPLAY_TOPIC));
        EXPECT_EQ(calls[0].number, 0u);
    }
}

TEST_F(HelpDispatch, openKeyword) {
    struct Case {
        const char* entry;
        const char* keyword;
    } cases[] = {
        {"ZuntoHtmlHelp: monitor", "monitor"},
        {"monitor", "monitor"},
        {"  monitor  ", "monitor"},
        {"WinHelp: a: b ", "a: b"},
        {":", ""},
    };
    for (const Case& c : cases) {
        calls.clear();
        viewer->openKeyword(QString::fromUtf8(c.entry));
        ASSERT_EQ(calls.size(), 1u) << c.entry;
        EXPECT_EQ(calls[0].command, unsigned(HH_DISPLAY_INDEX));
        EXPECT_EQ(calls[0].text, QString::fromUtf8(c.keyword)) << c.entry;
    }
    EXPECT_EQ(viewer->keywordEntries(QStringLiteral("monitor")),
              QStringList{QStringLiteral("ZuntoHtmlHelp: monitor")});
}

TEST_F(HelpDispatch, NothingOpensWhenTheCurrentFileIsNoChm) {
    HelpManager::setApplicationHelpFile(QStringLiteral("/opt/tools.new/help"));
    viewer->openTopic(QStringLiteral("intro"));
    viewer->openKeyword(QStringLiteral("monitor"));
    viewer->openContents();
    viewer->openContext(3, kHelpFile);
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(viewer->keywordSupport(QStringLiteral("monitor")), 0);
    EXPECT_FALSE(viewer->topicSupport(QStringLiteral("intro")));
}

TEST_F(HelpDispatch, currentHelpFile) {
    // The manager's file (kept from the last request) wins over the application's.
    EXPECT_EQ(viewer->currentHelpFile(), kHelpFile);
    manager->contextHelp(2, QStringLiteral("/srv/other.chm"));
    EXPECT_EQ(viewer->currentHelpFile(), QStringLiteral("/srv/other.chm"));
    // A bare name is looked up beside the executable.
    manager->contextHelp(2, QStringLiteral("bare.chm"));
    EXPECT_EQ(viewer->currentHelpFile(), QStringLiteral("/opt/hv/bare.chm"));
    EXPECT_EQ(calls.back().file, QStringLiteral("/opt/hv/bare.chm"));
    manager->contextHelp(2, {});
    HelpManager::setApplicationHelpFile({});
    EXPECT_EQ(viewer->currentHelpFile(), QString());
}

TEST_F(HelpDispatch, CloseAllDetachAndShutdown) {
    viewer->closeAll();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].command, unsigned(HH_CLOSE_ALL));
    EXPECT_EQ(calls[0].file, QString());
    EXPECT_EQ(calls[0].window, 0u);

    viewer->shutdown();
    EXPECT_FALSE(viewer->hasHelpManager());
    EXPECT_EQ(manager->viewers().size(), 1);
    calls.clear();
    EXPECT_FALSE(manager->contextHelp(3, kHelpFile));
    EXPECT_TRUE(calls.empty());

    viewer->detach();  // after the end: closes, holds nothing
    EXPECT_EQ(calls.size(), 1u);
}

TEST(HtmlHelpViewer, WithoutTheHelpControlRequestsAreTakenButOpenNothing) {
    auto manager = HelpManager::create();
    auto viewer = std::make_shared<HtmlHelpViewer>(HtmlHelpEntry{}, QStringLiteral("/opt/hv"));
    manager->registerViewer(viewer);
    manager->setWinHelpTester(std::make_shared<WinHelpTester>());
    EXPECT_TRUE(manager->contextHelp(3, kHelpFile));
    viewer->closeAll();
    viewer->shutdown();
}

TEST(HtmlHelpViewer, isChmFile) {
    struct Case {
        const char* name;
        bool chm;
    } cases[] = {
        {"C:\\tools.new\\help", false},
        {"/home/me/tools.new/help", false},
        {"/opt/hv/help/hostvane.chm", true},
        {"HOSTVANE.CHM", true},
        {"hostvane.chm.bak", false},
        {"hostvane", false},
        {".chm", true},
        {"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HtmlHelpViewer::isChmFile(QString::fromUtf8(c.name)), c.chm) << c.name;
}

TEST(HtmlHelpViewer, Selector) {
    HtmlHelpViewer v({}, {});
    struct KeywordCase {
        QStringList entries;
        int index;
    } keywordCases[] = {
        {{"ZuntoHtmlHelp: monitor", "WinHelp: monitor"}, 0},
        {{"WinHelp: monitor"}, 0},
        {{"WinHelp: monitor", "ZuntoHtmlHelp: monitor"}, 1},
        {{"zuntohtmlhelp: monitor", "ZuntoHtmlHelp"}, 1},  // exact case; no colon: whole entry
        {{" ZuntoHtmlHelp: x", "ZuntoHtmlHelpX: y"}, 0},
    };
    for (const auto& c : keywordCases)
        EXPECT_EQ(v.pickKeywordEntry(c.entries), c.index) << c.entries.join('|').toStdString();

    struct ContentsCase {
        QStringList names;
        int index;
    } contentsCases[] = {
        {{"WinHelp", "ZuntoHtmlHelp"}, 1},
        {{"zuntohtmlhelp"}, 0},
        {{"WinHelp"}, -1},
        {{}, -1},
    };
    for (const auto& c : contentsCases)
        EXPECT_EQ(v.pickContentsEntry(c.names), c.index) << c.names.join('|').toStdString();
}

TEST(WinHelpTester, DeclinesEverything) {
    WinHelpTester t;
    EXPECT_FALSE(t.acceptsLink(QStringLiteral("x"), QStringLiteral("a.hlp")));
    EXPECT_FALSE(t.acceptsTopic(QStringLiteral("x"), QStringLiteral("a.hlp")));
    EXPECT_FALSE(t.acceptsContext(1, QStringLiteral("a.hlp")));
    EXPECT_EQ(t.linkEntries(QStringLiteral("monitor")), QStringList{QStringLiteral(": monitor")});
    EXPECT_TRUE(t.helpFolder().isEmpty());
    EXPECT_TRUE(t.defaultHelpFile().isEmpty());
}

}  // namespace
