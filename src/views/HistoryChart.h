#pragma once

#include <QPoint>
#include <QWidget>
#include <cstdint>
#include <vector>

#include "hosts/HostStats.h"

namespace hv {

// A time chart of one host's round trips: each pixel column draws the fastest and the slowest
// answer that falls into it (so 43 200 samples cost no more than the width in lines), lost
// checks as red marks along the top. Drag to zoom into a span, double-click (or Home) for the
// whole range; +/- zoom, Left/Right move the span; the pointer (or the keyboard's cursor,
// Shift+Left/Right) names the check under it.
class HistoryChart : public QWidget {
    Q_OBJECT
public:
    explicit HistoryChart(QWidget* parent = nullptr);

    // The samples (oldest first) of the range [fromMs, toMs); shows the whole range.
    void setSamples(std::vector<StatsSample> samples, std::int64_t fromMs, std::int64_t toMs);
    // Shows [fromMs, toMs) of the range (clamped to it, at least 1 s).
    void zoomTo(std::int64_t fromMs, std::int64_t toMs);
    void resetZoom();

    std::int64_t viewFrom() const { return m_viewFrom; }
    std::int64_t viewTo() const { return m_viewTo; }
    bool zoomed() const { return m_viewFrom != m_rangeFrom || m_viewTo != m_rangeTo; }
    const StatsSample& sampleAt(std::ptrdiff_t i) const { return m_samples.at(std::size_t(i)); }
    std::size_t sampleCount() const { return m_samples.size(); }
    // The samples inside the span shown, oldest first.
    std::vector<StatsSample> visibleSamples() const;
    // The sample nearest to a time inside the span shown; -1 without one.
    std::ptrdiff_t nearestSample(std::int64_t timeMs) const;
    // The time at an x of the widget, and back.
    std::int64_t timeAt(int x) const;
    int xOf(std::int64_t timeMs) const;
    // The plot's rectangle inside the widget (axes and labels outside it).
    QRect plotRect() const;

signals:
    void viewChanged();
    // The check under the pointer or cursor: its index in the samples; -1 when none.
    void pointed(std::ptrdiff_t sample);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;
    QSize sizeHint() const override { return {640, 300}; }

private:
    void point(std::ptrdiff_t sample);
    std::pair<std::size_t, std::size_t> visibleRange() const;

    std::vector<StatsSample> m_samples;
    std::int64_t m_rangeFrom = 0;
    std::int64_t m_rangeTo = 1;
    std::int64_t m_viewFrom = 0;
    std::int64_t m_viewTo = 1;
    bool m_dragging = false;
    int m_dragStart = 0;
    int m_dragNow = 0;
    std::ptrdiff_t m_pointed = -1;
};

}  // namespace hv
