#include <gtest/gtest.h>

#include <QMenu>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QWidget>
#include <functional>

#include "views/LogWindow.h"
#include "views/StateWindow.h"
#include "views/TrayIcon.h"
#include "widgets/MinimizeToTray.h"

// Under the offscreen platform there is no notification area: the icon waits for one.
TEST(Tray, WithoutNotificationAreaSaysSoOnceAndWaits) {
    if (QSystemTrayIcon::isSystemTrayAvailable()) GTEST_SKIP() << "a notification area exists";
    QMenu menu;
    QWidget owner;
    owner.show();
    testing::internal::CaptureStderr();
    {
        hv::TrayIcon tray(&menu, &owner);
        EXPECT_FALSE(tray.isShown());
        EXPECT_FALSE(owner.isVisible()) << "nothing but the icon at start";
        QTest::qWait(1300);  // at least one look for a notification area
        EXPECT_FALSE(tray.isShown());
    }
    const std::string err = testing::internal::GetCapturedStderr();
    const std::string line =
        "hostvane: no notification area yet; the tray icon appears as soon as one starts\n";
    EXPECT_NE(err.find(line), std::string::npos) << err;
    EXPECT_EQ(err.find(line), err.rfind(line)) << "said more than once";
}

TEST(Tray, DoubleClickAsksForTheDefaultItemSingleClickDoesNothing) {
    QMenu menu;
    QWidget owner;
    testing::internal::CaptureStderr();
    hv::TrayIcon tray(&menu, &owner);
    testing::internal::GetCapturedStderr();
    auto* icon = tray.findChild<QSystemTrayIcon*>();
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->contextMenu(), &menu);  // the right button opens pmMain at the cursor
    EXPECT_TRUE(icon->toolTip().isEmpty());
    EXPECT_FALSE(icon->icon().isNull());

    QSignalSpy spy(&tray, &hv::TrayIcon::defaultItemRequested);
    emit icon->activated(QSystemTrayIcon::Trigger);
    emit icon->activated(QSystemTrayIcon::MiddleClick);
    emit icon->activated(QSystemTrayIcon::Context);
    EXPECT_EQ(spy.count(), 0);
    emit icon->activated(QSystemTrayIcon::DoubleClick);
    EXPECT_EQ(spy.count(), 1);
    EXPECT_FALSE(menu.isVisible());
}

TEST(Tray, MinimisingAWindowHidesItIntoTheTray) {
    QWidget window;
    hv::MinimizeToTray::install(&window);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.setWindowState(Qt::WindowMinimized);
    QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 5000);
    window.showNormal();
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.windowState() & Qt::WindowMinimized) << "comes back as it was";
}

// A window minimised into the tray keeps its minimised state while hidden; its menu command
// brings it back normal, every time.
TEST(Tray, MenuCommandsBringAWindowMinimisedIntoTheTrayBackNormal) {
    hv::LogWindow log;
    hv::StateWindow state;
    const struct {
        const char* command;
        QWidget* window;
        std::function<void()> run;
    } cases[] = {
        {"Log > View", &log, [&] { log.miViewLogClick(); }},
        {"Hosts state > Table", &state, [&] { state.miShowStateTable(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        c.run();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(c.window));
        for (int round = 0; round < 2; ++round) {
            c.window->setWindowState(Qt::WindowMinimized);
            QTRY_VERIFY_WITH_TIMEOUT(!c.window->isVisible(), 5000);
            c.run();
            EXPECT_TRUE(c.window->isVisible());
            EXPECT_FALSE(c.window->isMinimized());
        }
        c.window->hide();
    }
}
