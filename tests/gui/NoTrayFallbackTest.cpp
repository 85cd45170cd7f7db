#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTimer>
#include <QWidgetAction>

#include "views/NoTrayFallback.h"
#include "views/StateWindow.h"

namespace {

using hv::NoTrayFallback;

// The state table with a tray menu like the real one: a drawn Start/Stop item, a submenu,
// a separator and plain commands.
struct Fixture {
    hv::StateWindow window;
    QMenu menu;
    QWidgetAction* start = new QWidgetAction(&menu);
    QMenu* log = nullptr;
    QAction* quit = nullptr;
    bool tray = false;
    int quits = 0;
    int asked = 0;
    bool answer = false;
    NoTrayFallback* fallback = nullptr;

    explicit Fixture(int graceMs = 0) {
        start->setText(QStringLiteral("Stop"));
        menu.addAction(start);
        log = menu.addMenu(QStringLiteral("Log"));
        log->addAction(QStringLiteral("View"));
        menu.addSeparator();
        quit = menu.addAction(QStringLiteral("Quit"));
        fallback = new NoTrayFallback(
            &window, &menu, [this] { return tray; }, graceMs);
        fallback->setQuitQuestion([this](QWidget*) {
            ++asked;
            return answer;
        });
        QObject::connect(fallback, &NoTrayFallback::quitRequested, [this] { ++quits; });
    }
    QMenuBar* bar() const { return window.findChild<QMenuBar*>(QStringLiteral("mbNoTray")); }
    QStringList barTexts() const {
        QStringList texts;
        for (QAction* a : bar()->actions()) texts << a->text();
        return texts;
    }
};

TEST(NoTrayFallback, WithoutATrayTheStateTableBecomesTheWindow) {
    Fixture f;
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.fallback->active(); }, 2000));
    EXPECT_TRUE(f.window.isVisible());
    ASSERT_NE(f.bar(), nullptr);
    // Every command of the tray menu, the drawn item as a plain one; no separator.
    EXPECT_EQ(f.barTexts(), (QStringList{"Stop", "Log", "Quit"}));
    const auto* notice = f.window.findChild<QLabel*>(QStringLiteral("lbNoTray"));
    ASSERT_NE(notice, nullptr);
    EXPECT_TRUE(notice->isVisible());
    EXPECT_FALSE(notice->text().isEmpty());

    // The bar follows the drawn item's caption and runs it.
    int started = 0;
    QObject::connect(f.start, &QAction::triggered, [&] { ++started; });
    f.start->setText(QStringLiteral("Start"));
    EXPECT_EQ(f.barTexts().first(), QStringLiteral("Start"));
    f.bar()->actions().first()->trigger();
    EXPECT_EQ(started, 1);

    // Minimising keeps it in the taskbar.
    f.window.setWindowState(Qt::WindowMinimized);
    QTest::qWait(50);
    EXPECT_TRUE(f.window.isVisible());
}

TEST(NoTrayFallback, ClosingAsksAndQuitsOnlyOnYes) {
    Fixture f;
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.fallback->active(); }, 2000));
    f.window.close();
    EXPECT_EQ(f.asked, 1);
    EXPECT_EQ(f.quits, 0);
    EXPECT_TRUE(f.window.isVisible());
    f.answer = true;
    f.window.close();
    EXPECT_EQ(f.quits, 1);
}

TEST(NoTrayFallback, TheApplicationsQuitClosesTheWindowWithoutAsking) {
    Fixture f;
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.fallback->active(); }, 2000));
    bool quitEnded = false;
    QTimer::singleShot(0, [&] { QCoreApplication::quit(); });
    QTimer::singleShot(3000, [&] { QCoreApplication::exit(1); });
    quitEnded = QCoreApplication::exec() == 0;
    EXPECT_TRUE(quitEnded);
    EXPECT_EQ(f.asked, 0);
    EXPECT_FALSE(f.window.isVisible());

    // Afterwards the user's close asks again.
    f.window.show();
    QCoreApplication::processEvents();
    f.window.close();
    EXPECT_EQ(f.asked, 1);
}

TEST(NoTrayFallback, ATrayLaterHidesTheWindowAndGivesBackTheTrayBehaviour) {
    Fixture f;
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.fallback->active(); }, 2000));
    f.tray = true;
    f.fallback->trayAvailabilityChanged(true);
    EXPECT_FALSE(f.fallback->active());
    EXPECT_FALSE(f.window.isVisible());
    // Closing the table is an ordinary close again, and the tray going away brings it back.
    f.window.show();
    f.window.close();
    EXPECT_EQ(f.asked, 0);
    f.tray = false;
    f.fallback->trayAvailabilityChanged(false);
    EXPECT_TRUE(f.fallback->active());
    EXPECT_TRUE(f.window.isVisible());
}

TEST(NoTrayFallback, ATrayWithinTheGraceTimeShowsNothing) {
    Fixture f(200);
    f.tray = true;
    QTest::qWait(400);
    EXPECT_FALSE(f.fallback->active());
    EXPECT_FALSE(f.window.isVisible());
}

}  // namespace
