#include "views/ReportWindow.h"

#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#include <QEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPolygon>
#include <QScreen>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "widgets/MinimizeToTray.h"

namespace hv {

namespace {
constexpr int kWidth = 245;
constexpr int kDefaultInterval = 5000;

// An ellipse region as the platform's window regions make it: every pixel whose centre lies
// inside the ellipse inscribed in box. QRegion's own ellipse is a coarse polygon that cuts the
// corners short of the outline.
QRegion circleRegion(const QRect& box) {
    QRegion region;
    const double cx = box.x() + box.width() / 2.0;
    const double cy = box.y() + box.height() / 2.0;
    const double rx = box.width() / 2.0;
    const double ry = box.height() / 2.0;
    for (int y = box.top(); y <= box.bottom(); ++y) {
        const double dy = (y + 0.5 - cy) / ry;
        const double s = 1.0 - dy * dy;
        if (s <= 0) continue;
        const double half = rx * std::sqrt(s);
        const int x0 = static_cast<int>(std::floor(cx - half - 0.5)) + 1;
        const int x1 = static_cast<int>(std::ceil(cx + half - 0.5)) - 1;
        if (x1 >= x0) region += QRect(x0, y, x1 - x0 + 1, 1);
    }
    return region;
}

xcb_atom_t internAtom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

// Taskbars and pagers list every managed window that does not ask to be skipped, and Qt asks
// it for none of the window kinds the balloon could be (a tooltip or popup kind would leave
// the window unmanaged, and so without its place above other windows). The window manager
// drops the states whenever the window is withdrawn and reads them when it is mapped: they
// are put on the unmapped window before every show. Qt keeps the states it finds there as it
// adds its own.
void skipTaskbarAndPager(QWidget* window) {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c) return;  // not on X11: nothing of the kind to set
    static const xcb_atom_t state = internAtom(c, "_NET_WM_STATE");
    static const xcb_atom_t skipTaskbar = internAtom(c, "_NET_WM_STATE_SKIP_TASKBAR");
    static const xcb_atom_t skipPager = internAtom(c, "_NET_WM_STATE_SKIP_PAGER");
    if (state == XCB_ATOM_NONE) return;
    const auto id = static_cast<xcb_window_t>(window->winId());

    std::vector<xcb_atom_t> atoms;
    if (xcb_get_property_reply_t* reply = xcb_get_property_reply(
            c, xcb_get_property(c, 0, id, state, XCB_ATOM_ATOM, 0, 1024), nullptr)) {
        if (reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
            const auto* data = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
            atoms.assign(data, data + xcb_get_property_value_length(reply) / 4);
        }
        std::free(reply);
    }
    for (const xcb_atom_t a : {skipTaskbar, skipPager})
        if (a != XCB_ATOM_NONE && std::find(atoms.begin(), atoms.end(), a) == atoms.end())
            atoms.push_back(a);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32,
                        static_cast<uint32_t>(atoms.size()), atoms.data());
    xcb_flush(c);
}

// Part of memReport's own furniture (scroll bars and their corner), not its text.
bool isScrollBarPart(const QWidget* widget, const QPlainTextEdit* text) {
    if (!widget || widget == text || !text->isAncestorOf(widget)) return false;
    return widget != text->viewport() && !text->viewport()->isAncestorOf(widget);
}

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
    // A title wider than the balloon wraps (anywhere, when it has no blank): a sideways scroll
    // bar would cover the last line, and a balloon that hides in seconds is not for scrolling.
    memReport->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    memReport->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    memReport->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // positionReport turns it on for a report cut to the work area's height only.
    memReport->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memReport->verticalScrollBar()->setContextMenuPolicy(Qt::NoContextMenu);
    // Close to the balloon's edge, as the line pitch the height is worked out from assumes.
    memReport->document()->setDocumentMargin(2);
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
    positionReport();
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

QRect ReportWindow::capToWorkArea(const QRect& balloon, const QRect& workArea) {
    if (workArea.isEmpty() || balloon.top() >= workArea.top()) return balloon;
    QRect capped = balloon;
    capped.setTop(workArea.top());
    return capped;
}

QRegion ReportWindow::balloonRegion(int w, int h) {
    QRegion region = circleRegion(QRect(0, 0, 20, 20));
    region += circleRegion(QRect(w - 20, 0, 20, 20));
    region += circleRegion(QRect(0, h - 40, 20, 20));
    region += circleRegion(QRect(w - 20, h - 40, 20, 20));
    const QPolygon outline({QPoint(10, 0), QPoint(0, 10), QPoint(0, h - 30), QPoint(10, h - 20),
                            QPoint(w - 80, h - 20), QPoint(w - 71, h), QPoint(w - 70, h - 20),
                            QPoint(w - 12, h - 20), QPoint(w, h - 32), QPoint(w, 10),
                            QPoint(w - 10, 0)});
    region += QRegion(outline, Qt::WindingFill);
    return region;
}

void ReportWindow::positionReport() {
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect full = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
    const double dpi = screen ? screen->logicalDotsPerInchY() : 96.0;

    const QFont font = memReport->font();
    const int pixelHeight =
        font.pointSizeF() > 0 ? fontPixelHeight(font.pointSizeF(), dpi) : font.pixelSize();
    const int lines = reportLineCount(memReport->toPlainText());

    // The primary screen's full area, whatever the panels: its top left need not be (0, 0).
    QRect placed = reportGeometry(lines, pixelHeight, full.size()).translated(full.topLeft());
    // A font whose lines are taller than the pitch, or wrapped titles, need more: the balloon
    // grows upwards and its pointer stays where it was.
    const int needed = textHeight(placed.width() - 20) + 40;
    if (needed > placed.height()) placed.setTop(placed.bottom() - needed + 1);
    // A report too long for the screen scrolls inside a balloon as tall as the work area.
    const QRect rect = capToWorkArea(placed, screen ? screen->availableGeometry() : full);
    const bool capped = rect != placed;
    memReport->setVerticalScrollBarPolicy(capped ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    setGeometry(rect);
    memReport->setGeometry(10, 10, rect.width() - 20, rect.height() - 40);
    setMask(balloonRegion(rect.width(), rect.height()));
    memReport->moveCursor(QTextCursor::Start);
    memReport->verticalScrollBar()->setValue(0);
    update();
}

int ReportWindow::textHeight(int width) const {
    // Laid out line by line as the text box lays out its own blocks: each line as tall as the
    // font's line spacing, the document's margin above and below, and the one pixel below the
    // last line that the text box wants to spare before it calls the text whole.
    const QTextDocument* doc = memReport->document();
    const qreal margin = doc->documentMargin();
    const qreal lineWidth = std::max<qreal>(1, width - 2 * margin);
    QTextOption option = doc->defaultTextOption();
    option.setWrapMode(memReport->wordWrapMode());
    qreal height = 2 * margin + 1;
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        QTextLayout layout(block.text(), memReport->font(), memReport->viewport());
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLeadingIncluded(true);
            line.setLineWidth(lineWidth);
            height += line.height();
        }
        layout.endLayout();
    }
    return static_cast<int>(std::ceil(height));
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
    // A one-pixel cosmetic pen: unbroken arcs. Lines take both end points; each end lies on
    // the outline anyway, and what would stick out is outside the region.
    QPen pen(Qt::black, 0, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
    pen.setCosmetic(true);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);

    // The corners are quarter circles traced along the region's own corner circles of diameter
    // 20 with their box at (l, t), so that they lie on its outermost pixels as the straight
    // parts do (the half-pixel inset is how an aliased cosmetic arc meets those pixels).
    auto corner = [&](int l, int t, int startDegrees) {
        p.drawArc(QRectF(l + 0.5, t + 0.5, 19, 19), startDegrees * 16, 90 * 16);
    };

    corner(0, 0, 90);                             // top left
    p.drawLine(QPoint(0, 9), QPoint(0, h - 30));  // left edge
    corner(0, h - 40, 180);                       // bottom left
    // Lower edge with the pointer: (9, h-21), (w-80, h-21), the tip (w-71, h-1), back up to
    // (w-71, h-21), on to (w-11, h-21). The slant is traced through pixel centres so that it
    // keeps to the pointer's pixels rather than stepping outside the region.
    p.drawLine(QPoint(9, h - 21), QPoint(w - 80, h - 21));
    p.drawLine(QPointF(w - 79.5, h - 20.5), QPointF(w - 70.3, h - 0.5));
    p.drawLine(QPoint(w - 71, h - 1), QPoint(w - 71, h - 21));
    p.drawLine(QPoint(w - 71, h - 21), QPoint(w - 11, h - 21));
    corner(w - 20, h - 40, 270);                          // bottom right
    p.drawLine(QPoint(w - 1, h - 31), QPoint(w - 1, 9));  // right edge
    corner(w - 20, 0, 0);                                 // top right
    p.drawLine(QPoint(w - 10, 0), QPoint(10, 0));         // top edge
}

void ReportWindow::mousePressEvent(QMouseEvent* event) {
    event->accept();
    // A press the scroll bar passed on (another button, or one it has no use for) is no click
    // on the balloon: the text it scrolls is still being read.
    if (isScrollBarPart(childAt(event->position().toPoint()), memReport)) return;
    memReportMouseDown();
}

void ReportWindow::showEvent(QShowEvent* event) {
    // Sent before the window is mapped.
    skipTaskbarAndPager(this);
    QWidget::showEvent(event);
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
