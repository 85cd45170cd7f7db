#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include "widgets/ScreenFit.h"

namespace {

using hv::ScreenFit;

// A 1024 x 600 screen with a 30 pixel taskbar at the bottom.
const QRect kArea(0, 0, 1024, 570);

TEST(ScreenFit, AFrameKeepsWhatFitsMovesInThenShrinks) {
    const struct {
        const char* what;
        QRect frame;
        QSize minimum;
        QRect area;
        QRect expected;
    } cases[] = {
        {"fits: as designed",
         QRect(335, 186, 483, 477),
         {},
         QRect(0, 0, 1366, 738),
         QRect(335, 186, 483, 477)},
        {"fits exactly", QRect(0, 0, 1024, 570), {}, kArea, QRect(0, 0, 1024, 570)},
        {"below the taskbar: moved up just enough",
         QRect(335, 186, 483, 477),
         {},
         kArea,
         QRect(335, 93, 483, 477)},
        {"past the right edge: moved left",
         QRect(900, 10, 300, 200),
         {},
         kArea,
         QRect(724, 10, 300, 200)},
        {"above and left of the area: moved in",
         QRect(-40, -15, 300, 200),
         {},
         QRect(0, 30, 1024, 540),
         QRect(0, 30, 300, 200)},
        {"higher than the area: cut to it, width and x kept",
         QRect(100, 20, 762, 586),
         {},
         kArea,
         QRect(100, 0, 762, 570)},
        {"larger both ways: the whole area", QRect(50, 50, 2000, 900), {}, kArea, kArea},
        {"cannot shrink enough: from the area's top", QRect(300, 100, 500, 800), QSize(500, 700),
         kArea, QRect(300, 0, 500, 700)},
        {"a second screen's area",
         QRect(100, 100, 400, 300),
         {},
         QRect(1366, 0, 1024, 570),
         QRect(1366, 100, 400, 300)},
        {"no area: unchanged", QRect(335, 186, 483, 477), {}, QRect(), QRect(335, 186, 483, 477)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ScreenFit::fitFrame(c.frame, c.area, c.minimum), c.expected);
    }
}

// The window is fitted before it is mapped, with the frame counted; a window that fits keeps
// its designed place and size. (The offscreen screen: no window manager, no real frame.)
TEST(ScreenFit, AWindowIsShownInsideTheWorkArea) {
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    const QRect area = screen->availableGeometry();
    {
        // The first window shown tells the frame the platform draws; later ones count it.
        QWidget first;
        ScreenFit::install(&first);
        first.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&first));
    }
    const QMargins f = ScreenFit::assumedFrame();
    const int frameW = f.left() + f.right(), frameH = f.top() + f.bottom();
    const struct {
        const char* what;
        QPoint at;
        QSize size;
        QPoint expectedAt;
        QSize expectedSize;
    } cases[] = {
        {"fits",
         area.topLeft() + QPoint(10, 10),
         {200, 100},
         area.topLeft() + QPoint(10, 10),
         {200, 100}},
        {"reaches below the area",
         QPoint(area.left() + 30, area.bottom() - 50),
         {200, 100},
         QPoint(area.left() + 30, area.bottom() + 1 - 100 - frameH),
         {200, 100}},
        {"higher than the area",
         area.topLeft() + QPoint(20, 0),
         {200, area.height() + 100},
         area.topLeft() + QPoint(20, 0),
         {200, area.height() - frameH}},
        {"wider than the area",
         area.topLeft() + QPoint(0, 5),
         {area.width() + 10, 100},
         area.topLeft() + QPoint(0, 5),
         {area.width() - frameW, 100}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QWidget window;
        ScreenFit::install(&window);
        window.resize(c.size);
        window.move(c.at);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        EXPECT_EQ(window.pos(), c.expectedAt);
        EXPECT_EQ(window.size(), c.expectedSize);
        // Hidden and shown again after the user dragged it out: back inside.
        window.hide();
        window.move(area.right() - 10, area.top());
        window.show();
        EXPECT_LE(window.pos().x() + window.width() + frameW, area.right() + 1);
    }
}

}  // namespace
