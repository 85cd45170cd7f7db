#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include "GuiTestSupport.h"
#include "TestSupport.h"
#include "checking/HostStateModel.h"
#include "hosts/HostList.h"
#include "lang/Languages.h"
#include "views/HistoryChart.h"
#include "views/HistoryWindow.h"
#include "views/RecentBarsDelegate.h"
#include "views/StateWindow.h"

using hv::HistoryChart;
using hv::HistoryWindow;
using hv::StateWindow;
using hv::StatsSample;
using Model = hv::HostStateModel;

namespace {

constexpr std::int64_t kNow = 1'765'000'000'000;  // ms since the epoch
constexpr std::int64_t kHour = 3600 * 1000;

QString cell(const StateWindow& table, int row, int column) {
    return table.lvHostState->model()->index(row, column).data().toString();
}

// A host list with a clock the test moves.
struct Hosts {
    hv::HostList list;
    std::int64_t now = kNow;
    Hosts() {
        list.setClock([this] { return now; });
    }
    void check(int index, std::int64_t roundTripMs) {
        list.recordCheck(index, list.generation(), roundTripMs >= 0,
                         roundTripMs >= 0 ? roundTripMs * 1000 : -1, 1, 1);
        now += 1000;
    }
};

// One sample a minute over `minutes`, the last half a minute before kNow, every tenth lost; round
// trips rise and fall between 1 and 9 ms.
std::vector<StatsSample> fixture(int minutes) {
    std::vector<StatsSample> out;
    out.reserve(std::size_t(minutes));
    for (int i = 0; i < minutes; ++i)
        out.push_back({kNow - 30000 - std::int64_t(minutes - 1 - i) * 60000,
                       i % 10 == 9 ? -1 : 1000 + (i % 17) * 500});
    return out;
}

// A loader over a fixed list that records what it was asked for.
struct Store {
    std::vector<StatsSample> samples;
    QList<QPair<std::int64_t, std::int64_t>> asked;
    HistoryWindow::Loader loader() {
        return [this](std::int64_t from, std::int64_t to, QString*) {
            asked.append({from, to});
            std::vector<StatsSample> out;
            for (const StatsSample& s : samples)
                if (s.timeMs >= from && s.timeMs < to) out.push_back(s);
            return out;
        };
    }
};

// The shipped English texts, for the time of one test.
struct English {
    hvtest::TempDir dir;
    QString previous = hv::Languages::instance().currentLanguage();
    English() {
        QFile shipped(hvtest::sourceDir() + "/dist/Languages/English.lng");
        EXPECT_TRUE(shipped.open(QIODevice::ReadOnly));
        dir.write("Languages/English.lng", shipped.readAll());
        hv::Languages::instance().setExecutable(dir.write("hostvane", ""));
        hv::Languages::instance().setCurrentLanguage("English");
    }
    ~English() {
        hv::Languages::instance().setExecutable(QString());
        hv::Languages::instance().setCurrentLanguage(previous);
    }
};

int countColour(const QImage& image, const QColor& colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == colour) ++n;
    return n;
}

}  // namespace

TEST(StateStatistics, ColumnsShowTheWindowsFiguresInMilliseconds) {
    English english;
    Hosts hosts;
    StateWindow table;
    table.attach(hosts.list);
    hosts.list.rebuildFromLines({"a :  127.0.0.1", "b :  127.0.0.2"});
    for (const std::int64_t ms : {4, -1, 8, 6}) hosts.check(0, ms);
    // min 4, avg 6, max 8, jitter (|8-4| + |6-8|) / 2 = 3, one lost of four.
    EXPECT_EQ(cell(table, 0, Model::MinRoundTrip), "4.00");
    EXPECT_EQ(cell(table, 0, Model::AvgRoundTrip), "6.00");
    EXPECT_EQ(cell(table, 0, Model::MaxRoundTrip), "8.00");
    EXPECT_EQ(cell(table, 0, Model::Jitter), "3.00");
    EXPECT_EQ(cell(table, 0, Model::LossPercent), "25.0");
    // Not checked yet: empty cells, sorting last.
    for (int c : {Model::MinRoundTrip, Model::Jitter, Model::LossPercent, Model::Recent})
        EXPECT_FALSE(table.lvHostState->model()->index(1, c).data(Model::SortRole).isValid());
    const auto bars =
        table.model()->index(0, Model::Recent).data(Model::RecentRole).value<QList<qint64>>();
    EXPECT_EQ(bars, (QList<qint64>{4000, -1, 8000, 6000}));
    EXPECT_EQ(table.model()->index(0, Model::Recent).data(Qt::ToolTipRole).toString(),
              "3 of the last 4 checks answered");
}

TEST(StateStatistics, MillisecondsKeepTwoDecimalsBelow10AndOneBelow100) {
    const struct {
        double us;
        const char* want;
    } cases[] = {{52, "0.05"},    {9994, "9.99"}, {9996, "10.0"},   {12345, "12.3"},
                 {99949, "99.9"}, {99960, "100"}, {2500400, "2500"}};
    for (const auto& c : cases)
        EXPECT_EQ(Model::millisecondsText(c.us, QLocale::c()), c.want) << c.us;
    EXPECT_EQ(Model::millisecondsText(1500, QLocale(QLocale::German)), "1,50");
}

TEST(StateStatistics, LostChecksAreRedBarsAndAnswersScaleToTheSlowest) {
    EXPECT_EQ(hv::RecentBarsDelegate::barHeights({1000, -1, 4000, 0}, 20),
              (QList<int>{5, -1, 20, 1}));
    Hosts hosts;
    StateWindow table;
    table.attach(hosts.list);
    hosts.list.rebuildFromLines({"a :  127.0.0.1"});
    for (int i = 0; i < 70; ++i) hosts.check(0, i % 5 == 0 ? -1 : 3);
    table.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&table));
    QTableView* view = table.lvHostState;
    // The test screen is narrower than the table.
    view->scrollTo(view->model()->index(0, Model::Recent));
    const QRect r = view->visualRect(view->model()->index(0, Model::Recent));
    ASSERT_FALSE(r.isEmpty());
    const QImage image = view->viewport()->grab(r).toImage();
    // 12 of the last 60 checks were lost: 12 red bars, each 2 px wide and the cell's height.
    const int red = countColour(image, hv::RecentBarsDelegate::kLost);
    const int green = countColour(image, hv::RecentBarsDelegate::kAnswered);
    const int height = r.height() - 4;
    EXPECT_EQ(red, 12 * hv::RecentBarsDelegate::kBarWidth * height);
    EXPECT_EQ(green, 48 * hv::RecentBarsDelegate::kBarWidth * height);
}

TEST(StateLayout, OpensWideEnoughForEveryColumnOn1280Pixels) {
    English english;
    hv::HostList hosts;
    StateWindow table;
    table.attach(hosts);  // the column titles in the language, some wider than designed
    const int sum = [&] {
        int w = 0;
        for (int c = 0; c < Model::ColumnCount; ++c)
            if (!table.lvHostState->isColumnHidden(c)) w += table.lvHostState->columnWidth(c);
        return w;
    }();
    EXPECT_GT(table.width(), sum);
    EXPECT_EQ(table.width(), table.fullWidth());
    EXPECT_LE(table.width() + 2 * 8, 1280);  // with a window manager's frame
    EXPECT_EQ(table.lvHostState->columnWidth(Model::Title), 135);
    EXPECT_EQ(table.lvHostState->columnWidth(Model::Address), 220);
}

TEST(StateLayout, SizeWidthsAndSortComeBackAndBadValuesAreIgnored) {
    hvtest::TempDir dir;
    const QString path = dir.file("HostvaneLayout.ini");
    {
        hv::HostList hosts;
        StateWindow table;
        table.attach(hosts);
        const QSize opening = table.size();
        table.restoreLayout(path);  // no file: the opening layout
        EXPECT_EQ(table.size(), opening);
        table.resize(700, 450);  // inside the test screen
        table.lvHostState->setColumnWidth(Model::Address, 150);
        table.lvHostState->sortByColumn(Model::Jitter, Qt::DescendingOrder);
        table.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&table));
        table.hide();  // writes the file
    }
    ASSERT_TRUE(QFile::exists(path));
    {
        English english;  // a language read after the layout keeps the user's widths
        hv::HostList hosts;
        StateWindow table;
        table.attach(hosts);
        table.restoreLayout(path);
        table.retranslateColumns();
        EXPECT_EQ(table.size(), QSize(700, 450));
        EXPECT_EQ(table.lvHostState->columnWidth(Model::Address), 150);
        EXPECT_EQ(table.lvHostState->horizontalHeader()->sortIndicatorSection(), Model::Jitter);
        EXPECT_EQ(table.lvHostState->horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);
    }
    // Damaged values: each is left at its opening value, the others still apply.
    dir.write("HostvaneLayout.ini",
              "[StateTable]\nWidth=-5\nHeight=abc\nColumnAddress=0\nColumnTitle=170\n"
              "SortColumn=Nowhere\nSortOrder=sideways\n");
    StateWindow table;
    const QSize opening = table.size();
    table.restoreLayout(path);
    EXPECT_EQ(table.size(), opening);
    EXPECT_EQ(table.lvHostState->columnWidth(Model::Address), 220);
    EXPECT_EQ(table.lvHostState->columnWidth(Model::Title), 170);
    EXPECT_EQ(table.lvHostState->horizontalHeader()->sortIndicatorSection(), -1);
}

TEST(HistoryOpening, DoubleClickEnterAndTheRowMenuOpenTheRowsHost) {
    English english;
    Hosts hosts;
    StateWindow table;
    table.attach(hosts.list);
    hosts.list.rebuildFromLines({"b :  127.0.0.2", "a :  127.0.0.1"});
    // Sorted by title, the view's first row is the list's second host.
    table.lvHostState->sortByColumn(Model::Title, Qt::AscendingOrder);
    table.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&table));
    QTableView* view = table.lvHostState;
    QList<int> asked;
    QObject::connect(&table, &StateWindow::historyRequested, [&](int row) { asked << row; });

    const QRect first = view->visualRect(view->model()->index(0, Model::Address));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, first.center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, first.center());
    view->setCurrentIndex(view->model()->index(1, 0));
    view->setFocus();
    QTest::keyClick(view, Qt::Key_Return);
    // The row menu: "History..." is its item.
    QTimer::singleShot(0, [] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_TRUE(menu);
        ASSERT_EQ(menu->actions().size(), 1);
        EXPECT_EQ(menu->actions()[0]->text(), "History...");
        menu->actions()[0]->trigger();
        menu->close();
    });
    emit view->customContextMenuRequested(first.center());
    EXPECT_EQ(asked, (QList<int>{1, 0, 1}));

    // One window per host, titled with it; asking again brings the same one.
    const auto windows = table.findChildren<HistoryWindow*>();
    ASSERT_EQ(windows.size(), 2);
    QStringList titles;
    for (HistoryWindow* w : windows) titles << w->windowTitle();
    titles.sort();
    EXPECT_EQ(titles, QStringList({"History: a (127.0.0.1)", "History: b (127.0.0.2)"}));
    EXPECT_EQ(table.openHistory(1)->hostTitle(), "a");
    EXPECT_EQ(table.findChildren<HistoryWindow*>().size(), 2);
    EXPECT_EQ(table.openHistory(7), nullptr);
}

TEST(HistoryOpening, WithoutAHistoryTheWindowShowsTheLastChecksAndSaysSo) {
    English english;
    Hosts hosts;
    StateWindow table;
    table.attach(hosts.list);
    hosts.list.rebuildFromLines({"a :  127.0.0.1"});
    for (const std::int64_t ms : {4, -1, 8}) hosts.check(0, ms);
    HistoryWindow* w = table.openHistory(0);
    ASSERT_TRUE(w);
    w->setClock([&] { return hosts.now; });
    w->reload();
    EXPECT_TRUE(w->lbNotice->isVisibleTo(w));
    EXPECT_TRUE(w->lbNotice->text().startsWith("No history is kept"));
    EXPECT_EQ(w->pbChart->visibleSamples().size(), 3u);
    EXPECT_EQ(w->lbSummary->text(),
              "Checks: 3   Min: 4.00 ms   Avg: 6.00 ms   Max: 8.00 ms   Jitter: 4.00 ms   Loss: "
              "33.3 %");
    // A source set for the table is asked instead.
    Store store;
    store.samples = fixture(60);
    table.setHistorySource([&](const QString& title, const QString& address) {
        EXPECT_EQ(title, "a");
        EXPECT_EQ(address, "127.0.0.1");
        return store.loader();
    });
    w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    HistoryWindow* stored = table.openHistory(0);
    ASSERT_TRUE(stored);
    EXPECT_FALSE(stored->lbNotice->isVisibleTo(stored));
    EXPECT_EQ(store.asked.size(), 1);
}

TEST(HistoryWindowRanges, EachRangeAsksForItsSpanEndingNow) {
    English english;
    Store store;
    store.samples = fixture(30 * 24 * 60);
    HistoryWindow w("a", "127.0.0.1", store.loader());
    w.setClock([] { return kNow; });
    const struct {
        int item;
        std::int64_t span;
        std::size_t samples;
    } cases[] = {{0, kHour, 60},
                 {1, 24 * kHour, 1440},
                 {2, 7 * 24 * kHour, 10080},
                 {3, 30 * 24 * kHour, 43200}};
    for (const auto& c : cases) {
        store.asked.clear();
        w.cbRange->setCurrentIndex(c.item);
        w.reload();
        ASSERT_FALSE(store.asked.isEmpty());
        EXPECT_EQ(store.asked.last().second - store.asked.last().first, c.span) << c.item;
        EXPECT_GE(store.asked.last().second, kNow);
        EXPECT_EQ(w.pbChart->visibleSamples().size(), c.samples) << c.item;
    }
    EXPECT_EQ(w.cbRange->accessibleName(), "Range");
    EXPECT_EQ(w.cbRange->count(), 4);
    // Every control has a name a screen reader can say.
    for (QPushButton* c : {w.btnExport, w.btnClose, w.btnResetZoom})
        EXPECT_FALSE(c->text().isEmpty());
    EXPECT_FALSE(w.pbChart->accessibleName().isEmpty());
}

TEST(HistoryWindowChart, DragZoomsDoubleClickResetsAndThePointerNamesTheCheck) {
    English english;
    Store store;
    store.samples = fixture(60);
    HistoryWindow w("a", "127.0.0.1", store.loader());
    w.setClock([] { return kNow; });
    w.cbRange->setCurrentIndex(0);
    w.resize(800, 400);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    HistoryChart* chart = w.pbChart;
    const QRect plot = chart->plotRect();
    EXPECT_FALSE(w.btnResetZoom->isEnabled());

    // The second half of the hour.
    const int y = plot.center().y();
    QTest::mousePress(chart, Qt::LeftButton, {}, QPoint(plot.center().x(), y));
    QTest::mouseMove(chart, QPoint(plot.right(), y));
    QTest::mouseRelease(chart, Qt::LeftButton, {}, QPoint(plot.right(), y));
    EXPECT_TRUE(chart->zoomed());
    EXPECT_TRUE(w.btnResetZoom->isEnabled());
    const std::vector<StatsSample> shown = chart->visibleSamples();
    EXPECT_NEAR(double(shown.size()), 30.0, 2.0);
    // The summary and the export follow the span shown.
    EXPECT_TRUE(w.lbSummary->text().startsWith(QStringLiteral("Checks: %1 ").arg(shown.size())))
        << w.lbSummary->text().toStdString();
    EXPECT_EQ(w.csv().count('\n'), qsizetype(shown.size()) + 1);

    // The pointer over a check names its time and round trip.
    const StatsSample& last = shown.back();
    QTest::mouseMove(chart, QPoint(chart->xOf(last.timeMs), y));
    EXPECT_TRUE(w.lbPoint->text().endsWith(last.roundTripUs < 0 ? QString("lost") : QString(" ms")))
        << w.lbPoint->text().toStdString();
    EXPECT_TRUE(w.lbPoint->text().contains(
        QDateTime::fromMSecsSinceEpoch(last.timeMs).toString("HH:mm:ss")));

    QTest::mouseDClick(chart, Qt::LeftButton, {}, QPoint(plot.center().x(), y));
    EXPECT_FALSE(chart->zoomed());
    EXPECT_EQ(chart->visibleSamples().size(), 60u);
}

TEST(HistoryWindowChart, TheKeyboardZoomsMovesAndWalksTheChecks) {
    English english;
    Store store;
    store.samples = fixture(60);
    HistoryWindow w("a", "127.0.0.1", store.loader());
    w.setClock([] { return kNow; });
    w.cbRange->setCurrentIndex(0);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    HistoryChart* chart = w.pbChart;
    chart->setFocus();
    const std::int64_t span = chart->viewTo() - chart->viewFrom();
    QTest::keyClick(chart, Qt::Key_Plus);
    EXPECT_EQ(chart->viewTo() - chart->viewFrom(), span / 2);
    const std::int64_t from = chart->viewFrom();
    QTest::keyClick(chart, Qt::Key_Left);
    EXPECT_LT(chart->viewFrom(), from);
    QTest::keyClick(chart, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_FALSE(w.lbPoint->text().isEmpty());
    QTest::keyClick(chart, Qt::Key_Home);
    EXPECT_FALSE(chart->zoomed());
    // Tab reaches every control.
    QStringList order;
    QWidget* at = chart;
    for (int i = 0; i < 100; ++i) {
        at = at->nextInFocusChain();
        if (at->focusPolicy() & Qt::TabFocus) order << at->objectName();
        if (at == chart) break;
    }
    for (const char* name : {"cbRange", "btnExport", "btnClose", "pbChart"})
        EXPECT_TRUE(order.contains(name)) << name;
}

TEST(HistoryWindowExport, WritesTheShownChecksThroughTheLogsSaveRules) {
    hvtest::TempDir dir;
    Store store;
    store.samples = fixture(60);
    HistoryWindow w("a", "127.0.0.1", store.loader());
    w.setClock([] { return kNow; });
    w.cbRange->setCurrentIndex(0);
    QString proposed;
    hvtest::onFileDialog([&](QFileDialog* dialog) {
        EXPECT_EQ(dialog->objectName(), "sdExportHistory");
        EXPECT_EQ(dialog->directory().absolutePath(), QDir(dir.path()).absolutePath());
        proposed = dialog->selectedFiles().value(0);
        dialog->findChild<QLineEdit*>("fileNameEdit")->setText("week");
        static_cast<QDialog*>(dialog)->accept();
    });
    w.btnExportClick(dir.path());
    EXPECT_TRUE(proposed.endsWith(".csv")) << proposed.toStdString();
    // A bare name gets ".csv", as Log > Export gives it.
    const QByteArray written = dir.read("week.csv");
    EXPECT_TRUE(written.startsWith("time,title,address,state,round_trip_ms\r\n"));
    EXPECT_EQ(written.count("\r\n"), 61);
    EXPECT_EQ(written.count(",down,\r\n"), 6);
}
