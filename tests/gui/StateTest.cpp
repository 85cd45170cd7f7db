#include <gtest/gtest.h>

#include <QEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QTableView>
#include <QTest>
#include <QToolTip>

#include "TestSupport.h"
#include "checking/HostStateModel.h"
#include "checking/HostStateSortProxy.h"
#include "hosts/HostList.h"
#include "lang/Languages.h"
#include "views/ImageList.h"
#include "views/StateWindow.h"

using hv::StateWindow;
using Model = hv::HostStateModel;

namespace {

// The row's image as the table draws it: at the start of the title.
bool hasImage(const StateWindow& table, int row, int image) {
    const QIcon icon = table.lvHostState->model()
                           ->index(row, Model::Title)
                           .data(Qt::DecorationRole)
                           .value<QIcon>();
    return icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32) ==
           hv::ImageList::pixmap(image).toImage().convertToFormat(QImage::Format_ARGB32);
}

int rows(const StateWindow& table) { return table.lvHostState->model()->rowCount(); }
QString text(const StateWindow& table, int row, int column) {
    return table.lvHostState->model()->index(row, column).data().toString();
}
QString header(const StateWindow& table, int column) {
    return table.lvHostState->model()->headerData(column, Qt::Horizontal).toString();
}

// A language whose "items" message differs from its key, for the time of one test.
struct TestLanguage {
    hvtest::TempDir exe;
    QString previous = hv::Languages::instance().currentLanguage();
    TestLanguage() {
        exe.write("Languages/Test.lng", "[Messages]\r\nitems=hosts watched\r\n");
        hv::Languages::instance().setExecutable(exe.file("hostvane"));
        hv::Languages::instance().setCurrentLanguage("Test");
    }
    ~TestLanguage() {
        hv::Languages::instance().setExecutable(QString());
        hv::Languages::instance().setCurrentLanguage(previous);
    }
};

struct EventLog : QObject {
    QList<QEvent::Type> seen;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Show || e->type() == QEvent::Hide) seen << e->type();
        return false;
    }
};

}  // namespace

TEST(State, RowsMirrorTheHostListWhileHidden) {
    TestLanguage lang;
    hv::HostList hosts;
    StateWindow table;
    EXPECT_EQ(table.windowTitle(), "Hosts state");
    EXPECT_EQ(header(table, Model::Title), "Title");
    EXPECT_EQ(header(table, Model::Address), "Address");
    EXPECT_EQ(table.lvHostState->columnWidth(Model::Title), 135);
    EXPECT_EQ(table.lvHostState->columnWidth(Model::Address), 220);
    // The state is the image in the title cell; the figures follow the address.
    EXPECT_TRUE(table.lvHostState->isColumnHidden(Model::State));
    const QHeaderView* h = table.lvHostState->horizontalHeader();
    EXPECT_EQ(h->visualIndex(Model::Title), 0);
    EXPECT_EQ(h->visualIndex(Model::Address), 1);
    EXPECT_LT(h->visualIndex(Model::Address), h->visualIndex(Model::RoundTrip));
    EXPECT_EQ(header(table, Model::Checks), "ColChecks");  // the test language lacks it

    table.attach(hosts);
    EXPECT_EQ(rows(table), 0);
    EXPECT_EQ(table.plItemsCount->text(), " 0 hosts watched");

    // The blank entry gives no row but counts.
    hosts.rebuildFromEntries({{"A", "10.0.0.1"}, {"B", "   "}, {"C", " 10.0.0.2 "}});
    ASSERT_EQ(rows(table), 2);
    EXPECT_EQ(table.plItemsCount->text(), " 3 hosts watched");
    EXPECT_EQ(text(table, 0, Model::Title), "A");
    EXPECT_EQ(text(table, 0, Model::Address), "10.0.0.1");
    EXPECT_EQ(text(table, 1, Model::Title), "C");
    EXPECT_EQ(text(table, 1, Model::Address), "10.0.0.2");
    EXPECT_TRUE(hasImage(table, 0, 1));
    EXPECT_TRUE(hasImage(table, 1, 1));

    hosts.setStateImage(1, hv::kImageAnswered);
    hosts.recordCheck(1, hosts.generation(), true, 42'000, 1, 1);  // µs
    EXPECT_TRUE(hasImage(table, 0, 1));
    EXPECT_TRUE(hasImage(table, 1, 0));
    EXPECT_EQ(text(table, 1, Model::RoundTrip), QLocale::system().toString(42.0, 'f', 1));
    EXPECT_EQ(text(table, 1, Model::Checks), "1");
    hosts.setAllStateImages(hv::kImageNotAnswering);
    EXPECT_TRUE(hasImage(table, 1, 1));
    EXPECT_FALSE(table.isVisible());

    hosts.rebuildFromLines({"Web :  http://localhost", "Web :  http://localhost"});
    ASSERT_EQ(rows(table), 2);  // same titles: two rows
    EXPECT_EQ(text(table, 1, Model::Address), "http://localhost");
    EXPECT_EQ(table.plItemsCount->text(), " 2 hosts watched");
}

TEST(State, ClickingAHeaderSortsTheTableOnly) {
    hv::HostList hosts;
    StateWindow table;
    table.attach(hosts);
    hosts.rebuildFromLines({"b :  1", "A :  2", "c :  3"});
    hosts.recordCheck(0, hosts.generation(), true, 30, 1, 1);
    hosts.recordCheck(2, hosts.generation(), true, 5, 1, 1);
    table.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&table));
    const auto titles = [&] {
        QStringList out;
        for (int r = 0; r < rows(table); ++r) out << text(table, r, Model::Title);
        return out;
    };
    EXPECT_EQ(titles(), QStringList({"b", "A", "c"}));  // list order until a click

    QHeaderView* h = table.lvHostState->horizontalHeader();
    const auto click = [&](int column) {
        const QPoint at(h->sectionViewportPosition(column) + h->sectionSize(column) / 2,
                        h->height() / 2);
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, at);
    };
    click(Model::Title);
    EXPECT_EQ(titles(), QStringList({"A", "b", "c"}));
    click(Model::Title);
    EXPECT_EQ(titles(), QStringList({"c", "b", "A"}));
    click(Model::RoundTrip);
    EXPECT_EQ(titles(), QStringList({"c", "b", "A"}));  // 5, 30, none
    click(Model::RoundTrip);
    EXPECT_EQ(titles(), QStringList({"b", "c", "A"}));  // 30, 5, none: still last
    // The list, and with it the menu, the settings and the checking, keep their order.
    EXPECT_EQ(hosts.hostLines(), QStringList({"b :  1", "A :  2", "c :  3"}));
    // A change reaches the right row whatever the order.
    hosts.setStateImage(1, hv::kImageAnswered);
    EXPECT_TRUE(hasImage(table, 2, 0));
    EXPECT_TRUE(hasImage(table, 0, 1));
}

TEST(State, RowsAreReadOnly) {
    hv::HostList hosts;
    StateWindow table;
    table.attach(hosts);
    hosts.rebuildFromLines({"Mail :  10.0.0.5"});
    table.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&table));
    const QModelIndex cell = table.lvHostState->model()->index(0, Model::Title);
    const QRect r = table.lvHostState->visualRect(cell);
    table.lvHostState->setCurrentIndex(cell);
    QTest::mouseDClick(table.lvHostState->viewport(), Qt::LeftButton, {}, r.center());
    QTest::keyClick(table.lvHostState, Qt::Key_F2);
    for (QLineEdit* editor : table.lvHostState->viewport()->findChildren<QLineEdit*>())
        EXPECT_FALSE(editor->isVisible()) << "an editor opened";
    EXPECT_EQ(text(table, 0, Model::Title), "Mail");
}

TEST(State, ShowStateTableHidesFirstThenShows) {
    StateWindow table;
    EventLog events;
    table.installEventFilter(&events);

    table.miShowStateTable();
    EXPECT_TRUE(table.isVisible());
    EXPECT_EQ(events.seen, QList<QEvent::Type>{QEvent::Show});

    events.seen.clear();
    table.miShowStateTable();  // already open: hidden, then shown and raised again
    EXPECT_TRUE(table.isVisible());
    EXPECT_EQ(events.seen, (QList<QEvent::Type>{QEvent::Hide, QEvent::Show}));
}

// The Address column shows the address as written; hovering it tells where the last check
// went and, while the host fails, why.
TEST(State, TheAddressTooltipTellsTheCheckedAddressAndTheLastFailure) {
    hvtest::TempDir exe;
    exe.write("Languages/Test.lng",
              "[Messages]\r\nCheckedAddress=via %1\r\nLastFailure=failed: %1\r\n");
    const QString previous = hv::Languages::instance().currentLanguage();
    hv::Languages::instance().setExecutable(exe.file("hostvane"));
    hv::Languages::instance().setCurrentLanguage("Test");

    hv::HostList hosts;
    StateWindow table;
    table.attach(hosts);
    hosts.rebuildFromLines({"Name :  name", "Bad :  tcp://db:70000", "Web :  http://w", "V6 :  ::1",
                            "New :  10.0.0.9"});
    const int g = hosts.generation();
    hosts.recordCheck(0, g, true, 3, 1, 1, "10.1.2.3", "");
    hosts.recordCheck(1, g, false, -1, 1, 1, "", "port out of range");
    hosts.recordCheck(2, g, false, -1, 1, 1, "10.0.0.7:80", "Connection refused");
    hosts.recordCheck(3, g, true, 1, 1, 1, "::1", "ignored: it answered");
    table.resize(700, 300);
    table.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&table));

    // What a hover over a cell shows; empty when no tooltip comes up.
    const auto hover = [&](int row, int column) {
        // A hidden tip lingers a moment before it goes.
        QToolTip::hideText();
        EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 3000));
        QAbstractItemView* view = table.lvHostState;
        const QRect cell = view->visualRect(view->model()->index(row, column));
        QHelpEvent help(QEvent::ToolTip, cell.center(),
                        view->viewport()->mapToGlobal(cell.center()));
        QApplication::sendEvent(view->viewport(), &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    const struct {
        int row;
        const char* address;
        const char* tip;
    } cases[] = {
        {0, "name", "via 10.1.2.3"},
        {1, "tcp://db:70000", "failed: port out of range"},
        {2, "http://w", "via 10.0.0.7:80\nfailed: Connection refused"},
        {3, "::1", "via ::1"},
        {4, "10.0.0.9", ""},  // not checked yet
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        EXPECT_EQ(text(table, c.row, Model::Address), c.address);
        EXPECT_EQ(hover(c.row, Model::Address), c.tip);
    }
    EXPECT_EQ(hover(2, Model::Title), "");

    // An answer clears the failure.
    hosts.recordCheck(2, g, true, 4, 1, 1, "10.0.0.8:80", "");
    EXPECT_EQ(hover(2, Model::Address), "via 10.0.0.8:80");
    QToolTip::hideText();

    hv::Languages::instance().setExecutable(QString());
    hv::Languages::instance().setCurrentLanguage(previous);
}
