#include "views/HistoryChart.h"

#include <QDateTime>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <iterator>

namespace hv {

namespace {

constexpr std::int64_t kMinSpanMs = 1000;
const QColor kLine(0x1e, 0x63, 0xb4);
const QColor kLostMark(0xd3, 0x2f, 0x2f);

bool earlier(const StatsSample& s, std::int64_t t) { return s.timeMs < t; }

// A round number of ms at or above `ms` for the top of the value axis: 1, 2 or 5 times a power
// of ten.
double niceCeiling(double ms) {
    if (ms <= 0) return 1;
    const double p = std::pow(10.0, std::floor(std::log10(ms)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * p >= ms) return m * p;
    return 10 * p;
}

}  // namespace

HistoryChart::HistoryChart(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("pbChart"));
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(240, 120);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void HistoryChart::setSamples(std::vector<StatsSample> samples, std::int64_t fromMs,
                              std::int64_t toMs) {
    m_samples = std::move(samples);
    m_rangeFrom = fromMs;
    m_rangeTo = std::max(toMs, fromMs + kMinSpanMs);
    m_viewFrom = m_rangeFrom;
    m_viewTo = m_rangeTo;
    m_pointed = -1;
    update();
    emit viewChanged();
}

void HistoryChart::zoomTo(std::int64_t fromMs, std::int64_t toMs) {
    if (toMs < fromMs) std::swap(fromMs, toMs);
    const std::int64_t span =
        std::clamp<std::int64_t>(toMs - fromMs, kMinSpanMs, m_rangeTo - m_rangeFrom);
    fromMs = std::clamp(fromMs, m_rangeFrom, m_rangeTo - span);
    m_viewFrom = fromMs;
    m_viewTo = fromMs + span;
    update();
    emit viewChanged();
}

void HistoryChart::resetZoom() { zoomTo(m_rangeFrom, m_rangeTo); }

QRect HistoryChart::plotRect() const {
    const int left = fontMetrics().horizontalAdvance(QStringLiteral("00000.0")) + 8;
    const int bottom = fontMetrics().height() + 6;
    return rect().adjusted(left, 8, -10, -bottom);
}

std::int64_t HistoryChart::timeAt(int x) const {
    const QRect plot = plotRect();
    const double f = plot.width() > 0 ? double(x - plot.left()) / plot.width() : 0;
    return m_viewFrom + std::int64_t(std::llround(f * double(m_viewTo - m_viewFrom)));
}

int HistoryChart::xOf(std::int64_t timeMs) const {
    const QRect plot = plotRect();
    return plot.left() +
           int(double(timeMs - m_viewFrom) * plot.width() / double(m_viewTo - m_viewFrom));
}

std::pair<std::size_t, std::size_t> HistoryChart::visibleRange() const {
    const auto first = std::lower_bound(m_samples.begin(), m_samples.end(), m_viewFrom, earlier);
    const auto last = std::lower_bound(first, m_samples.end(), m_viewTo, earlier);
    return {std::size_t(first - m_samples.begin()), std::size_t(last - m_samples.begin())};
}

std::vector<StatsSample> HistoryChart::visibleSamples() const {
    const auto [first, last] = visibleRange();
    return {m_samples.begin() + std::ptrdiff_t(first), m_samples.begin() + std::ptrdiff_t(last)};
}

std::ptrdiff_t HistoryChart::nearestSample(std::int64_t timeMs) const {
    const auto [first, last] = visibleRange();
    if (first == last) return -1;
    auto it = std::lower_bound(m_samples.begin() + std::ptrdiff_t(first),
                               m_samples.begin() + std::ptrdiff_t(last), timeMs, earlier);
    if (it == m_samples.begin() + std::ptrdiff_t(last)) --it;
    if (it != m_samples.begin() + std::ptrdiff_t(first) &&
        timeMs - std::prev(it)->timeMs < it->timeMs - timeMs)
        --it;
    return it - m_samples.begin();
}

void HistoryChart::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    const QRect plot = plotRect();
    p.fillRect(plot, palette().base());
    if (plot.width() <= 0 || plot.height() <= 0) return;

    // Min/max of every pixel column in one sweep over the samples shown.
    const auto [first, last] = visibleRange();
    const int columns = plot.width();
    std::vector<std::int64_t> lo(columns, -1), hi(columns, -1);
    std::vector<char> lost(columns, 0);
    std::int64_t top = 0;
    const double perMs = double(columns) / double(m_viewTo - m_viewFrom);
    for (std::size_t i = first; i < last; ++i) {
        const StatsSample& s = m_samples[i];
        const int c = std::min(columns - 1, int(double(s.timeMs - m_viewFrom) * perMs));
        if (s.roundTripUs < 0) {
            lost[c] = 1;
            continue;
        }
        if (lo[c] < 0 || s.roundTripUs < lo[c]) lo[c] = s.roundTripUs;
        if (s.roundTripUs > hi[c]) hi[c] = s.roundTripUs;
        top = std::max(top, s.roundTripUs);
    }
    const double topMs = niceCeiling(double(top) / 1000.0 * 1.05);
    const double pxPerUs = (plot.height() - 6) / (topMs * 1000.0);
    const auto yOf = [&](std::int64_t us) { return plot.bottom() - int(double(us) * pxPerUs); };

    // Axes: the value at the top and the middle, the times at both ends and the middle.
    const QLocale locale;
    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(plot.adjusted(0, 0, -1, -1));
    p.drawLine(plot.left(), plot.center().y(), plot.right(), plot.center().y());
    p.setPen(palette().color(QPalette::WindowText));
    const int labelRight = plot.left() - 4;
    const auto valueLabel = [&](double ms, int y) {
        const QString text = locale.toString(ms, 'g', 4);
        p.drawText(QRect(0, y - 10, labelRight, 20), Qt::AlignRight | Qt::AlignVCenter, text);
    };
    valueLabel(topMs, yOf(std::int64_t(topMs * 1000)));
    valueLabel(topMs / 2, yOf(std::int64_t(topMs * 500)));
    const bool days = m_viewTo - m_viewFrom > 36LL * 3600 * 1000;
    const QString timeFormat = days ? QStringLiteral("MM-dd HH:mm") : QStringLiteral("HH:mm:ss");
    const int labelTop = plot.bottom() + 3;
    const int labelHeight = fontMetrics().height();
    const auto timeLabel = [&](std::int64_t t, Qt::Alignment align, int x) {
        const QString text = QDateTime::fromMSecsSinceEpoch(t).toString(timeFormat);
        const int w = fontMetrics().horizontalAdvance(text) + 4;
        const int left = align & Qt::AlignLeft ? x : align & Qt::AlignRight ? x - w : x - w / 2;
        p.drawText(QRect(left, labelTop, w, labelHeight), Qt::AlignCenter, text);
    };
    timeLabel(m_viewFrom, Qt::AlignLeft, plot.left());
    timeLabel((m_viewFrom + m_viewTo) / 2, Qt::AlignHCenter, plot.center().x());
    timeLabel(m_viewTo, Qt::AlignRight, plot.right());

    // The round trips: a vertical stroke per column from its fastest to its slowest answer,
    // joined to the next column so a sparse span still reads as a line.
    p.setClipRect(plot);
    p.setPen(QPen(kLine, 1));
    int prevX = -1;
    int prevY = 0;
    for (int c = 0; c < columns; ++c) {
        if (hi[c] < 0) continue;
        const int x = plot.left() + c;
        const int yLo = yOf(lo[c]);
        const int yHi = yOf(hi[c]);
        if (prevX >= 0 && x - prevX > 1) p.drawLine(prevX, prevY, x, yLo);
        p.drawLine(x, yLo, x, yHi);
        prevX = x;
        prevY = yHi;
    }
    for (int c = 0; c < columns; ++c)
        if (lost[c]) p.fillRect(plot.left() + c, plot.top(), 1, 6, kLostMark);

    // The span being dragged, and the check pointed at.
    if (m_dragging) {
        const int a = std::clamp(std::min(m_dragStart, m_dragNow), plot.left(), plot.right());
        const int b = std::clamp(std::max(m_dragStart, m_dragNow), plot.left(), plot.right());
        QColor band = palette().color(QPalette::Highlight);
        band.setAlpha(60);
        p.fillRect(QRect(a, plot.top(), b - a + 1, plot.height()), band);
    }
    if (m_pointed >= 0 && std::size_t(m_pointed) < m_samples.size()) {
        const StatsSample& s = m_samples[std::size_t(m_pointed)];
        const int x = xOf(s.timeMs);
        p.setPen(QPen(palette().color(QPalette::Text), 1, Qt::DotLine));
        p.drawLine(x, plot.top(), x, plot.bottom());
        if (s.roundTripUs >= 0) {
            p.setBrush(kLine);
            p.drawEllipse(QPoint(x, yOf(s.roundTripUs)), 3, 3);
        }
    }
    if (hasFocus()) {
        p.setClipping(false);
        p.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void HistoryChart::point(std::ptrdiff_t sample) {
    if (sample == m_pointed) return;
    m_pointed = sample;
    update();
    emit pointed(sample);
}

void HistoryChart::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    m_dragging = true;
    m_dragStart = m_dragNow = event->position().toPoint().x();
}

void HistoryChart::mouseMoveEvent(QMouseEvent* event) {
    const int x = event->position().toPoint().x();
    if (m_dragging) {
        m_dragNow = x;
        update();
    }
    point(plotRect().contains(event->position().toPoint()) ? nearestSample(timeAt(x)) : -1);
}

void HistoryChart::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_dragging) return QWidget::mouseReleaseEvent(event);
    m_dragging = false;
    m_dragNow = event->position().toPoint().x();
    // A click (or a drag of a few pixels) is no zoom.
    if (std::abs(m_dragNow - m_dragStart) >= 4)
        zoomTo(timeAt(std::min(m_dragStart, m_dragNow)), timeAt(std::max(m_dragStart, m_dragNow)));
    else
        update();
}

void HistoryChart::mouseDoubleClickEvent(QMouseEvent*) {
    m_dragging = false;
    resetZoom();
}

void HistoryChart::leaveEvent(QEvent*) {
    if (!m_dragging) point(-1);
}

void HistoryChart::keyPressEvent(QKeyEvent* event) {
    const std::int64_t span = m_viewTo - m_viewFrom;
    const std::int64_t mid = m_viewFrom + span / 2;
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    switch (event->key()) {
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            zoomTo(mid - span / 4, mid + span / 4);
            break;
        case Qt::Key_Minus:
            zoomTo(mid - span, mid + span);
            break;
        case Qt::Key_Home:
            resetZoom();
            break;
        case Qt::Key_Left:
        case Qt::Key_Right: {
            const int dir = event->key() == Qt::Key_Left ? -1 : 1;
            if (shift) {
                // The cursor walks the checks shown, one at a time.
                const auto [first, last] = visibleRange();
                if (first == last) break;
                std::ptrdiff_t next =
                    m_pointed < 0 ? std::ptrdiff_t(dir < 0 ? last - 1 : first) : m_pointed + dir;
                next = std::clamp(next, std::ptrdiff_t(first), std::ptrdiff_t(last) - 1);
                point(next);
            } else {
                zoomTo(m_viewFrom + dir * span / 5, m_viewTo + dir * span / 5);
            }
            break;
        }
        default:
            QWidget::keyPressEvent(event);
    }
}

}  // namespace hv
