#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTimer>

#include "views/ReportWindow.h"

using hv::ReportWindow;

namespace {

constexpr int kW = 245;

bool isBlack(QRgb c) { return qRed(c) < 40 && qGreen(c) < 40 && qBlue(c) < 40; }

}  // namespace

TEST(ReportWindow, GeometryFollowsLineCountAndFontHeight) {
    struct Case {
        int lines;
        double points;
        QRect expected;
    };
    const QSize screen(1280, 1024);
    const Case cases[] = {
        {2, 10, QRect(1280 - 250, 1024 - 130, 245, 95)},
        {5, 10, QRect(1280 - 250, 1024 - 140 - 35, 245, 140)},
        {2, 12, QRect(1280 - 250, 1024 - 104 - 35, 245, 104)},
    };
    for (const Case& c : cases) {
        const int px = ReportWindow::fontPixelHeight(c.points, 96);
        EXPECT_EQ(ReportWindow::reportGeometry(c.lines, px, screen), c.expected)
            << c.lines << " lines at " << c.points << " pt";
    }
    EXPECT_EQ(ReportWindow::fontPixelHeight(10, 96), 13);
    EXPECT_EQ(ReportWindow::fontPixelHeight(12, 96), 16);
    EXPECT_EQ(ReportWindow::fontPixelHeight(10, 120), 17);  // 16.67 rounds up
}

TEST(ReportWindow, LineCountIgnoresOneFinalBreak) {
    const std::pair<QString, int> cases[] = {
        {"", 0},
        {"Lost:", 1},
        {"Lost:\r\n  Mail", 2},
        {"Lost:\r\n  Mail\r\n", 2},
        // lost hosts alone end with two breaks: one empty line at the end
        {"Lost:\r\n  Mail\r\n\r\n", 3},
        {"Lost:\r\n  Mail\r\n\r\nAppeared:\r\n  Web", 5},
        {"a\nb\rc", 3},
        {"\r\n", 1},
    };
    for (const auto& [text, lines] : cases)
        EXPECT_EQ(ReportWindow::reportLineCount(text), lines) << text.toStdString();
}

TEST(ReportWindow, RegionIsTheBalloonWithItsPointer) {
    const int h = 95;
    const QRegion r = ReportWindow::balloonRegion(kW, h);
    const QPoint inside[] = {
        {kW / 2, h / 2},  {0, h / 2},       {kW - 1, h / 2},   {kW / 2, 0},
        {kW / 2, h - 21}, {kW - 71, h - 1}, {kW - 75, h - 15},  // pointer body and tip
        {10, 0},          {0, 10},          {kW - 1, 10},      {3, 3},
    };
    const QPoint outside[] = {
        {0, 0},           {kW - 1, 0},      {0, h - 21},      {kW - 1, h - 21},
        {kW / 2, h - 20}, {kW / 2, h - 10}, {kW - 90, h - 5}, {kW - 60, h - 5},
        {kW - 72, h - 1}, {kW - 70, h - 1}, {kW, h / 2},      {kW - 71, h},
    };
    for (const QPoint& p : inside) EXPECT_TRUE(r.contains(p)) << p.x() << "," << p.y();
    for (const QPoint& p : outside) EXPECT_FALSE(r.contains(p)) << p.x() << "," << p.y();
    EXPECT_EQ(r.boundingRect(), QRect(0, 0, kW, h));
}

TEST(ReportWindow, PositionReportSizesPlacesAndShapes) {
    ReportWindow w;
    QFont f = w.memReport->font();
    f.setPointSize(10);
    w.memReport->setFont(f);
    w.memReport->setPlainText("Lost:\r\n  Mail\r\n\r\nAppeared:\r\n  Web");
    w.positionReport();

    QScreen* screen = QGuiApplication::primaryScreen();
    const int px = ReportWindow::fontPixelHeight(10, screen->logicalDotsPerInchY());
    const QRect expected = ReportWindow::reportGeometry(5, px, screen->geometry().size())
                               .translated(screen->geometry().topLeft());
    EXPECT_EQ(w.geometry(), expected);
    EXPECT_EQ(w.memReport->geometry(), QRect(10, 10, kW - 20, expected.height() - 40));
    EXPECT_EQ(w.mask(), ReportWindow::balloonRegion(kW, expected.height()));

    // A long line wraps inside the balloon instead of widening it, and the balloon grows to
    // hold the wrapped lines.
    w.memReport->setPlainText(QString(400, u'x'));
    w.positionReport();
    EXPECT_EQ(w.width(), kW);
    EXPECT_GT(w.height(), ReportWindow::reportGeometry(1, px, screen->geometry().size()).height());

    // Shown, a short report needs no scroll bar, nor does a long line.
    w.tmrHide->setInterval(60000);
    w.showReport("Lost:\r\n  Mail");
    QCoreApplication::processEvents();
    EXPECT_FALSE(w.memReport->verticalScrollBar()->isVisible());
    EXPECT_FALSE(w.memReport->horizontalScrollBar()->isVisible());
    w.memReportMouseDown();
    w.showReport("Lost:\r\n  " + QString(400, u'x'));
    QCoreApplication::processEvents();
    EXPECT_FALSE(w.memReport->horizontalScrollBar()->isVisible());
    EXPECT_FALSE(w.memReport->verticalScrollBar()->isVisible());
}

// The balloon is as tall as its text needs, whatever the font's line spacing and however many
// lines wrap: every line, the last included, lies whole inside the text box, with no scroll
// bar. Where the line pitch is enough, the size stays the one the pitch gives.
TEST(ReportWindow, BalloonFitsItsTextWithoutScrollBars) {
    QString many = QStringLiteral("Appeared hosts:");
    for (int i = 1; i <= 21; ++i) {
        many +=
            i == 7
                ? QStringLiteral("\r\n  The print server in the basement next to the boiler room")
                : QStringLiteral("\r\n  Host %1").arg(i);
    }
    QString unbroken = many;
    unbroken.replace(QStringLiteral("The print server"),
                     QStringLiteral("http://") + QString(60, u'w'));
    const struct {
        const char* name;
        QString report;
        int points;
        bool bold;
    } cases[] = {
        {"lost, one host", QStringLiteral("Lost hosts:\r\n  Mail\r\n\r\n"), 10, false},
        {"appeared, one host", QStringLiteral("Appeared hosts:\r\n  Web"), 10, false},
        {"both blocks", QStringLiteral("Lost hosts:\r\n  Mail\r\n\r\nAppeared hosts:\r\n  Web"), 10,
         false},
        {"21 hosts, a long title", many, 10, false},
        {"21 hosts, a title without blanks", unbroken, 10, false},
        {"lost, large bold font", QStringLiteral("Lost hosts:\r\n  Mail\r\n  Web\r\n\r\n"), 16,
         true},
    };
    QScreen* screen = QGuiApplication::primaryScreen();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ReportWindow w;
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setPointSize(c.points);
        f.setBold(c.bold);
        w.memReport->setFont(f);
        w.tmrHide->setInterval(60000);
        w.showReport(c.report);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
        QPlainTextEdit* text = w.memReport;
        EXPECT_EQ(w.width(), kW);
        EXPECT_GE(w.geometry().top(), screen->availableGeometry().top());  // not cut
        EXPECT_FALSE(text->verticalScrollBar()->isVisible());
        EXPECT_FALSE(text->horizontalScrollBar()->isVisible());
        EXPECT_EQ(text->verticalScrollBar()->value(), 0);
        EXPECT_EQ(text->verticalScrollBar()->maximum(), 0);  // nothing left to scroll to
        // Each block's first and last character lie inside the viewport.
        const QRect view = text->viewport()->rect();
        for (QTextBlock b = text->document()->begin(); b.isValid(); b = b.next()) {
            QTextCursor cursor(b);
            const QRect first = text->cursorRect(cursor);
            cursor.movePosition(QTextCursor::EndOfBlock);
            const QRect last = text->cursorRect(cursor);
            EXPECT_TRUE(view.contains(first) && view.contains(last))
                << "block " << b.blockNumber() << " \"" << b.text().toStdString() << "\" at "
                << last.x() << "," << last.y() << "-" << last.bottom() << " in " << view.width()
                << "x" << view.height();
        }
        // The pitch gives the size wherever it is enough: a 2-line report at 10 points.
        if (c.report == QStringLiteral("Appeared hosts:\r\n  Web")) {
            const int px = ReportWindow::fontPixelHeight(10, screen->logicalDotsPerInchY());
            EXPECT_EQ(w.height(),
                      ReportWindow::reportGeometry(2, px, screen->geometry().size()).height());
        }
    }
}

// A report cut to the work area's height scrolls with its scroll bar: clicks on the bar, with
// any button, leave the balloon up; a click on the text still hides it.
TEST(ReportWindow, CappedReportScrollsWithItsScrollBarWithoutHiding) {
    ReportWindow w;
    w.tmrHide->setInterval(60000);
    QString report = QStringLiteral("Appeared:");
    for (int i = 1; i <= 200; ++i) report += QStringLiteral("\r\n  Host %1").arg(i);
    w.showReport(report);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QScrollBar* bar = w.memReport->verticalScrollBar();
    ASSERT_TRUE(bar->isVisible());
    ASSERT_EQ(bar->value(), 0);
    const QPoint nearEnd(bar->width() / 2, bar->height() - bar->width() - 4);  // the groove's end
    for (Qt::MouseButton button : {Qt::LeftButton, Qt::MiddleButton, Qt::RightButton}) {
        QTest::mouseClick(bar, button, Qt::NoModifier, nearEnd);
        EXPECT_TRUE(w.isVisible()) << "button " << button;
        EXPECT_TRUE(w.tmrHide->isActive());
    }
    EXPECT_GT(bar->value(), 0);  // the left click paged down
    QTest::mouseClick(w.memReport->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 8));
    EXPECT_FALSE(w.isVisible());
}

TEST(ReportWindow, ReportTallerThanTheWorkAreaIsCappedAndKeepsItsBottom) {
    const QRect work(0, 24, 1280, 776);  // an 800-pixel screen with a 24-pixel top panel
    const QRect fits = ReportWindow::reportGeometry(5, 13, QSize(1280, 800));
    EXPECT_EQ(ReportWindow::capToWorkArea(fits, work), fits);
    const QRect exact(1030, 24, 245, 741);  // exactly the work area's top: unchanged
    EXPECT_EQ(ReportWindow::capToWorkArea(exact, work), exact);
    // 100 hosts appeared: 245 x 1580 at y = -815 before.
    const QRect tall = ReportWindow::reportGeometry(102, 13, QSize(1280, 800));
    ASSERT_LT(tall.top(), 0);
    const QRect capped = ReportWindow::capToWorkArea(tall, work);
    EXPECT_EQ(capped.top(), 24);
    EXPECT_EQ(capped.bottom(), tall.bottom());
    EXPECT_EQ(capped.left(), tall.left());
    EXPECT_EQ(capped.width(), kW);

    // The real window on the offscreen screen: inside the work area, text from the top.
    ReportWindow w;
    w.tmrHide->setInterval(60000);
    QString report = QStringLiteral("Appeared:");
    for (int i = 1; i <= 200; ++i) report += QStringLiteral("\r\n  Host %1").arg(i);
    w.showReport(report);
    QCoreApplication::processEvents();
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_GE(w.geometry().top(), area.top());
    EXPECT_LE(w.geometry().bottom(), area.bottom());
    EXPECT_EQ(w.mask(), ReportWindow::balloonRegion(kW, w.height()));
    EXPECT_TRUE(w.memReport->verticalScrollBar()->isVisible());
    EXPECT_EQ(w.memReport->verticalScrollBar()->value(), 0);
    EXPECT_EQ(w.memReport->cursorForPosition(QPoint(2, 2)).block().text(), "Appeared:");
}

TEST(ReportWindow, OutlineRunsOnTheOutermostPixels) {
    ReportWindow w;
    w.memReport->setPlainText("Lost:\r\n  Mail");
    w.positionReport();
    const int h = w.height();
    const QRegion region = ReportWindow::balloonRegion(kW, h);
    const QRgb sentinel = qRgb(255, 0, 255);
    QImage img(w.size(), QImage::Format_RGB32);
    img.fill(sentinel);
    w.render(&img);

    // The first balloon pixel met from x going by step, or the one after it, is outline.
    auto outlineAtRowEnd = [&](int y, int x, int step) {
        while (!region.contains(QPoint(x, y))) x += step;
        return isBlack(img.pixel(x, y)) || isBlack(img.pixel(x + step, y));
    };

    // Straight parts: the first and last region pixel of each row or column is black, the one
    // next to it is not.
    for (int y = 12; y < h - 32; ++y) {
        EXPECT_TRUE(isBlack(img.pixel(0, y))) << "left edge, row " << y;
        EXPECT_TRUE(isBlack(img.pixel(kW - 1, y))) << "right edge, row " << y;
        EXPECT_FALSE(isBlack(img.pixel(1, y)));
        EXPECT_FALSE(isBlack(img.pixel(kW - 2, y)));
    }
    for (int x = 12; x < kW - 12; ++x) {
        EXPECT_TRUE(isBlack(img.pixel(x, 0))) << "top edge, column " << x;
        EXPECT_FALSE(isBlack(img.pixel(x, 1)));
        if (x >= kW - 80 && x <= kW - 71) continue;  // the pointer opens the lower edge
        EXPECT_TRUE(isBlack(img.pixel(x, h - 21))) << "lower edge, column " << x;
        EXPECT_FALSE(isBlack(img.pixel(x, h - 22)));
    }
    // The pointer: its upright right side down to the tip, and its slanted left side.
    for (int y = h - 21; y < h; ++y) {
        EXPECT_TRUE(isBlack(img.pixel(kW - 71, y))) << y;
        EXPECT_TRUE(outlineAtRowEnd(y, kW - 90, 1)) << "pointer, row " << y;
    }
    EXPECT_FALSE(isBlack(img.pixel(kW - 75, h - 15)));
    // Rounded corners: in each of their rows the outermost pixel of the balloon, or the one
    // next to it, is outline.
    for (int y :
         {0,      1,      2,      3,      4,      5,      6,      7,      8,      9,      10,
          h - 31, h - 30, h - 29, h - 28, h - 27, h - 26, h - 25, h - 24, h - 23, h - 22, h - 21}) {
        EXPECT_TRUE(outlineAtRowEnd(y, 0, 1)) << "left corner, row " << y;
        EXPECT_TRUE(outlineAtRowEnd(y, kW - 1, -1)) << "right corner, row " << y;
    }
    // Nothing is painted outside the balloon.
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < kW; ++x) {
            if (!region.contains(QPoint(x, y))) {
                ASSERT_EQ(img.pixel(x, y), sentinel) << x << "," << y;
            }
        }
    }
}

TEST(ReportWindow, SecondReportKeepsTheRunningCountdown) {
    ReportWindow w;
    w.tmrHide->setInterval(60000);
    w.showReport("Lost:\r\n  Mail");
    ASSERT_TRUE(w.isVisible());
    ASSERT_TRUE(w.tmrHide->isActive());
    const int firstHeight = w.height();
    QTest::qWait(60);
    const int before = w.tmrHide->remainingTime();

    w.showReport("Lost:\r\n  Mail\r\n\r\nAppeared:\r\n  Web");
    EXPECT_LE(w.tmrHide->remainingTime(), before);  // not restarted
    EXPECT_EQ(w.memReport->toPlainText(), "Lost:\n  Mail\n\nAppeared:\n  Web");
    EXPECT_GT(w.height(), firstHeight);

    // When the countdown ends the window hides and the timer is off; the next report starts
    // a fresh one.
    w.tmrHide->setInterval(10);
    w.tmrHide->start();
    QTRY_VERIFY_WITH_TIMEOUT(!w.isVisible(), 5000);
    EXPECT_FALSE(w.tmrHide->isActive());
    w.showReport("Appeared:\r\n  Web");
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.tmrHide->isActive());
}

TEST(ReportWindow, AnyMouseButtonOnBalloonOrTextHidesAtOnce) {
    ReportWindow w;
    w.tmrHide->setInterval(60000);
    const Qt::MouseButton buttons[] = {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton};
    for (Qt::MouseButton button : buttons) {
        for (bool onText : {false, true}) {
            w.showReport("Lost:\r\n  Mail\r\n  Web");
            ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
            QWidget* target = onText ? w.memReport->viewport() : static_cast<QWidget*>(&w);
            const QPoint at = onText ? QPoint(20, 8) : QPoint(5, w.height() / 2);
            QTest::mousePress(target, button, onText ? Qt::ShiftModifier : Qt::NoModifier, at);
            EXPECT_FALSE(w.isVisible()) << "button " << button << (onText ? " on text" : "");
            EXPECT_FALSE(w.tmrHide->isActive());
            QTest::mouseRelease(target, button, Qt::NoModifier, at);
        }
    }
}
