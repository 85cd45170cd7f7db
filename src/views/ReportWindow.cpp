#include "views/ReportWindow.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPolygon>
#include <QScreen>
#include <QTimer>
#include <cmath>

#include "views/MinimizeToTray.h"

namespace hv {

namespace {
constexpr int kWidth = 245;
constexpr int kDefaultInterval = 5000;
}  // namespace

ReportWindow::ReportWindow(QWidget* parent) : QWidget(parent) {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool |
                   Qt::WindowDoesNotAcceptFocus);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle(QStringLiteral("Main"));
    resize(294, 188);

    // A light balloon until the skin gives its own colour.
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0xff, 0xff, 0xe1));
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);

    memReport = new QPlainTextEdit(this);
    memReport->setObjectName(QStringLiteral("memReport"));
    memReport->setReadOnly(true);
    memReport->setFrameShape(QFrame::NoFrame);
    memReport->setLineWrapMode(QPlainTextEdit::NoWrap);
    memReport->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    memReport->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    memReport->setFocusPolicy(Qt::NoFocus);
    memReport->setContextMenuPolicy(Qt::NoContextMenu);
    // Transparent over the balloon: the viewport paints no base of its own.
    QPalette textPal = memReport->palette();
    textPal.setColor(QPalette::Base, Qt::transparent);
    memReport->setPalette(textPal);
    memReport->setBackgroundVisible(false);
    memReport->viewport()->setAutoFillBackground(false);
    memReport->setAutoFillBackground(false);
    QFont design(QStringLiteral("Arial"));
    design.setPixelSize(14);
    memReport->setFont(design);
    memReport->viewport()->installEventFilter(this);

    tmrHide = new QTimer(this);
    tmrHide->setObjectName(QStringLiteral("tmrHide"));
    tmrHide->setSingleShot(true);
    tmrHide->setInterval(kDefaultInterval);
    connect(tmrHide, &QTimer::timeout, this, &ReportWindow::tmrHideTimer);

    MinimizeToTray::install(this);
}

void ReportWindow::showReport(const QString& report) {
    memReport->setPlainText(report);
    PositionReport();
    show();
    raise();
    // A countdown under way keeps running: the window hides when the first report's time is up.
    if (!tmrHide->isActive()) tmrHide->start();
}

int ReportWindow::reportLineCount(const QString& text) {
    if (text.isEmpty()) return 0;
    int lines = 1;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r') {
            if (i + 1 < text.size() && text.at(i + 1) == u'\n') ++i;
        } else if (c != u'\n' && c != QChar::ParagraphSeparator) {
            continue;
        }
        if (i + 1 < text.size()) ++lines;  // a final break opens no further line
    }
    return lines;
}

int ReportWindow::fontPixelHeight(double pointSize, double logicalDpi) {
    return static_cast<int>(std::lround(pointSize * logicalDpi / 72.0));
}

QRect ReportWindow::reportGeometry(int lineCount, int pixelHeight, const QSize& screenSize) {
    const int w = kWidth;
    const int pitch = pixelHeight + 2;
    const int h = (lineCount + 1) * pitch + 50;
    return QRect(screenSize.width() - w - 5, screenSize.height() - h - 35, w, h);
}

QRegion ReportWindow::balloonRegion(int w, int h) {
    QRegion region(QRect(0, 0, 20, 20), QRegion::Ellipse);
    region += QRegion(QRect(w - 20, 0, 20, 20), QRegion::Ellipse);
    region += QRegion(QRect(0, h - 40, 20, 20), QRegion::Ellipse);
    region += QRegion(QRect(w - 20, h - 40, 20, 20), QRegion::Ellipse);
    const QPolygon outline({QPoint(10, 0), QPoint(0, 10), QPoint(0, h - 30), QPoint(10, h - 20),
                            QPoint(w - 80, h - 20), QPoint(w - 71, h), QPoint(w - 70, h - 20),
                            QPoint(w - 12, h - 20), QPoint(w, h - 32), QPoint(w, 10),
                            QPoint(w - 10, 0)});
    region += QRegion(outline, Qt::WindingFill);
    return region;
}

void ReportWindow::PositionReport() {
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect full = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
    const double dpi = screen ? screen->logicalDotsPerInchY() : 96.0;

    const QFont font = memReport->font();
    const int pixelHeight =
        font.pointSizeF() > 0 ? fontPixelHeight(font.pointSizeF(), dpi) : font.pixelSize();
    const int lines = reportLineCount(memReport->toPlainText());

    // The primary screen's full area, whatever the panels: its top left need not be (0, 0).
    const QRect rect = reportGeometry(lines, pixelHeight, full.size()).translated(full.topLeft());
    setGeometry(rect);
    memReport->setGeometry(10, 10, rect.width() - 20, rect.height() - 40);
    setMask(balloonRegion(rect.width(), rect.height()));
    update();
}

void ReportWindow::tmrHideTimer() {
    tmrHide->stop();
    hide();
}

void ReportWindow::memReportMouseDown() {
    hide();
    tmrHide->stop();
}

void ReportWindow::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    const int w = width();
    const int h = height();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, false);
    // Flat caps leave out a line's end point, as the outline's lines want.
    p.setPen(QPen(Qt::black, 1, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    p.setBrush(Qt::NoBrush);

    // An arc's box (left, top, right, bottom) as QPainter takes it: the stroke of a
    // QRect(l, t, r - l, b - t) runs from column l to column r.
    auto box = [](int l, int t, int r, int b) { return QRect(l, t, r - l, b - t); };
    // Counter-clockwise from the ray through start to the ray through end.
    auto arc = [&](const QRect& r, QPointF start, QPointF end) {
        const QPointF c = QRectF(r).center();
        auto angle = [&](QPointF pt) {
            double a = std::atan2(c.y() - pt.y(), pt.x() - c.x()) * 180.0 / M_PI;
            return a < 0 ? a + 360.0 : a;
        };
        const double a0 = angle(start);
        double span = angle(end) - a0;
        if (span <= 0) span += 360.0;
        p.drawArc(r, static_cast<int>(std::lround(a0 * 16)), static_cast<int>(std::lround(span * 16)));
    };

    arc(box(0, 0, 20, 20), QPointF(10, 0), QPointF(0, 10));
    p.drawLine(QPoint(0, 9), QPoint(0, h - 30));
    arc(box(0, h - 41, 20, h - 21), QPointF(0, h - 31), QPointF(10, h - 21));
    p.drawPolyline(QPolygon({QPoint(9, h - 21), QPoint(w - 80, h - 21), QPoint(w - 71, h - 1),
                             QPoint(w - 71, h - 21), QPoint(w - 11, h - 21)}));
    arc(box(w - 21, h - 41, w - 1, h - 21), QPointF(w - 11, h - 21), QPointF(w - 1, h - 31));
    p.drawLine(QPoint(w - 1, h - 31), QPoint(w - 1, 9));
    arc(box(w - 21, 0, w - 1, 20), QPointF(w, 9), QPointF(w - 11, 0));
    p.drawLine(QPoint(w - 10, 0), QPoint(10, 0));
}

void ReportWindow::mousePressEvent(QMouseEvent* event) {
    event->accept();
    memReportMouseDown();
}

bool ReportWindow::eventFilter(QObject* watched, QEvent* event) {
    if (memReport && watched == memReport->viewport() &&
        (event->type() == QEvent::MouseButtonPress ||
         event->type() == QEvent::MouseButtonDblClick)) {
        memReportMouseDown();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace hv
