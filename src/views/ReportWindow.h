#pragma once

#include <QRect>
#include <QRegion>
#include <QSize>
#include <QWidget>

class QPlainTextEdit;
class QTimer;

namespace hv {

// The pop-up report: a frameless, topmost balloon, kept out of taskbars and pagers and never
// taking the focus, that shows the report of a pass at the bottom right of the primary screen
// and hides after tmrHide's interval or at any mouse button on it (its scroll bar excepted).
// MainWindow derives from it (the main window is the pop-up).
class ReportWindow : public QWidget {
    Q_OBJECT
public:
    explicit ReportWindow(QWidget* parent = nullptr);

    // Read-only, borderless, transparent; long lines wrap within the balloon's width.
    QPlainTextEdit* memReport = nullptr;
    QTimer* tmrHide = nullptr;  // single pop-up countdown, disabled at start

    // The summary step: memReport := report; positionReport; show without activating;
    // enable tmrHide (a running countdown is not restarted).
    void showReport(const QString& report);

    void positionReport();
    void tmrHideTimer();
    void memReportMouseDown();

    // Pure geometry, for positionReport and the tests.
    static int reportLineCount(const QString& text);  // a final line break adds no line
    static int fontPixelHeight(double pointSize, double logicalDpi);  // rounded
    // Window rectangle for n lines at pitch p = pixel height + 2 on a screen of that size.
    static QRect reportGeometry(int lineCount, int pixelHeight, const QSize& screenSize);
    // A balloon whose top would leave the work area (the screen less its panels) is cut to
    // start at the work area's top; its bottom edge and so its pointer stay where they were.
    // One that fits is returned unchanged.
    static QRect capToWorkArea(const QRect& balloon, const QRect& workArea);
    // The balloon: four circles and the 11-point polygon, united (winding fill).
    static QRegion balloonRegion(int width, int height);
    // The pixel height memReport needs to show all of its text, wrapped at that width, with no
    // scroll bar.
    int textHeight(int width) const;

protected:
    void paintEvent(QPaintEvent* event) override;  // FormPaint: the outline
    void mousePressEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace hv
