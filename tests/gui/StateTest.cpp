#include <gtest/gtest.h>

#include <QEvent>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTest>

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
    hosts.recordCheck(1, hosts.generation(), true, 42, 1, 1);
    EXPECT_TRUE(hasImage(table, 0, 1));
    EXPECT_TRUE(hasImage(table, 1, 0));
    EXPECT_EQ(text(table, 1, Model::RoundTrip), "42");
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
