// Times the history window on 30 days of one host at a 1-minute period (43 200 checks, every
// 50th lost): opening it (construction, reading the range, layout and the first paint) and
// redrawing a zoom, each repeated and reported as min / median / max in ms. With
// HV_BENCH_QTCHARTS defined it times the same with a Qt Charts line series for comparison.
//   cmake --build build --target history_window_bench && build/bench/history_window_bench
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPixmap>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "views/HistoryChart.h"
#include "views/HistoryWindow.h"

#ifdef HV_BENCH_QTCHARTS
#include <QChart>
#include <QChartView>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QScatterSeries>
#include <QValueAxis>
#endif

namespace {

constexpr std::int64_t kNow = 1'765'000'000'000;
constexpr int kSamples = 43'200;
constexpr int kRepeat = 15;

std::vector<hv::StatsSample> fixture() {
    std::vector<hv::StatsSample> out;
    out.reserve(kSamples);
    for (int i = 0; i < kSamples; ++i)
        out.push_back({kNow - 30000 - std::int64_t(kSamples - 1 - i) * 60000,
                       i % 50 == 49 ? -1 : 800 + (i * 7919) % 4000 + (i % 1440) * 3});
    return out;
}

struct Figures {
    std::vector<double> ms;
    void print(const char* what) {
        std::sort(ms.begin(), ms.end());
        std::printf("%-44s min %7.1f  median %7.1f  max %7.1f ms  (%zu runs)\n", what, ms.front(),
                    ms[ms.size() / 2], ms.back(), ms.size());
    }
};

double elapsedMs(const QElapsedTimer& t) { return double(t.nsecsElapsed()) / 1e6; }

void ownPainting(const std::vector<hv::StatsSample>& samples) {
    Figures open, zoom;
    for (int r = 0; r < kRepeat; ++r) {
        QElapsedTimer t;
        t.start();
        auto* w = new hv::HistoryWindow("bench", "127.0.0.1",
                                        [&](std::int64_t from, std::int64_t to, QString*) {
                                            std::vector<hv::StatsSample> out;
                                            for (const auto& s : samples)
                                                if (s.timeMs >= from && s.timeMs < to)
                                                    out.push_back(s);
                                            return out;
                                        });
        w->setClock([] { return kNow; });
        w->resize(1000, 500);
        w->cbRange->setCurrentIndex(3);  // 30 days: reads the range again
        w->show();
        (void)QTest::qWaitForWindowExposed(w);
        w->repaint();
        open.ms.push_back(elapsedMs(t));
        if (w->pbChart->visibleSamples().size() != std::size_t(kSamples))
            std::fprintf(stderr, "expected all samples in the range\n");

        // Zoom into ever smaller spans around the middle, each redrawn at once.
        hv::HistoryChart* chart = w->pbChart;
        for (int z = 0; z < 4; ++z) {
            const std::int64_t span = (chart->viewTo() - chart->viewFrom()) / 2;
            const std::int64_t mid = chart->viewFrom() + span;
            t.restart();
            chart->zoomTo(mid - span / 2, mid + span / 2);
            chart->repaint();
            zoom.ms.push_back(elapsedMs(t));
        }
        t.restart();
        chart->resetZoom();
        chart->repaint();
        zoom.ms.push_back(elapsedMs(t));
        delete w;
    }
    open.print("own painting: open 30 d (43 200 checks)");
    zoom.print("own painting: zoom redraw");
}

#ifdef HV_BENCH_QTCHARTS
void qtCharts(const std::vector<hv::StatsSample>& samples) {
    Figures open, zoom;
    for (int r = 0; r < kRepeat; ++r) {
        QElapsedTimer t;
        t.start();
        auto* series = new QLineSeries;
        auto* lost = new QScatterSeries;
        QList<QPointF> points, lostPoints;
        points.reserve(kSamples);
        for (const auto& s : samples) {
            if (s.roundTripUs < 0)
                lostPoints.append(QPointF(double(s.timeMs), 0));
            else
                points.append(QPointF(double(s.timeMs), s.roundTripUs / 1000.0));
        }
        series->replace(points);
        lost->replace(lostPoints);
        auto* chart = new QChart;
        chart->legend()->hide();
        chart->addSeries(series);
        chart->addSeries(lost);
        auto* x = new QDateTimeAxis;
        auto* y = new QValueAxis;
        chart->addAxis(x, Qt::AlignBottom);
        chart->addAxis(y, Qt::AlignLeft);
        for (QAbstractSeries* s :
             {static_cast<QAbstractSeries*>(series), static_cast<QAbstractSeries*>(lost)}) {
            s->attachAxis(x);
            s->attachAxis(y);
        }
        x->setRange(QDateTime::fromMSecsSinceEpoch(samples.front().timeMs),
                    QDateTime::fromMSecsSinceEpoch(samples.back().timeMs));
        y->setRange(0, 20);
        auto* view = new QChartView(chart);
        view->resize(1000, 500);
        view->show();
        (void)QTest::qWaitForWindowExposed(view);
        view->repaint();
        open.ms.push_back(elapsedMs(t));
        std::int64_t from = samples.front().timeMs, to = samples.back().timeMs;
        for (int z = 0; z < 4; ++z) {
            const std::int64_t span = (to - from) / 2;
            const std::int64_t mid = from + span;
            from = mid - span / 2;
            to = mid + span / 2;
            t.restart();
            x->setRange(QDateTime::fromMSecsSinceEpoch(from), QDateTime::fromMSecsSinceEpoch(to));
            view->repaint();
            zoom.ms.push_back(elapsedMs(t));
        }
        delete view;
    }
    open.print("Qt Charts: open 30 d (43 200 checks)");
    zoom.print("Qt Charts: zoom redraw");
}
#endif

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const std::vector<hv::StatsSample> samples = fixture();
    std::printf("platform %s\n", qPrintable(QGuiApplication::platformName()));
    ownPainting(samples);
#ifdef HV_BENCH_QTCHARTS
    qtCharts(samples);
#endif
    return 0;
}
