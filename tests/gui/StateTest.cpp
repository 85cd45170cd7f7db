#include <gtest/gtest.h>

#include <QEvent>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>

#include "TestSupport.h"
#include "hosts/HostList.h"
#include "lang/Languages.h"
#include "views/ImageList.h"
#include "views/TfrmState.h"

using hv::TfrmState;

namespace {

bool hasImage(QTreeWidgetItem* row, int image) {
    return row->icon(0).pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32) ==
           hv::ImageList1::pixmap(image).toImage().convertToFormat(QImage::Format_ARGB32);
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
    TfrmState table;
    EXPECT_EQ(table.windowTitle(), "Hosts state");
    EXPECT_EQ(table.lvHostState->headerItem()->text(0), "Title");
    EXPECT_EQ(table.lvHostState->headerItem()->text(1), "Address");
    EXPECT_EQ(table.lvHostState->columnWidth(0), 135);
    EXPECT_EQ(table.lvHostState->columnWidth(1), 220);

    table.attach(hosts);
    EXPECT_EQ(table.lvHostState->topLevelItemCount(), 0);
    EXPECT_EQ(table.plItemsCount->text(), " 0 hosts watched");

    // The blank entry gives no row but counts.
    hosts.rebuildFromEntries({{"A", "10.0.0.1"}, {"B", "   "}, {"C", " 10.0.0.2 "}});
    ASSERT_EQ(table.lvHostState->topLevelItemCount(), 2);
    EXPECT_EQ(table.plItemsCount->text(), " 3 hosts watched");
    QTreeWidgetItem* a = table.lvHostState->topLevelItem(0);
    QTreeWidgetItem* c = table.lvHostState->topLevelItem(1);
    EXPECT_EQ(a->text(0), "A");
    EXPECT_EQ(a->text(1), "10.0.0.1");
    EXPECT_EQ(c->text(0), "C");
    EXPECT_EQ(c->text(1), "10.0.0.2");
    EXPECT_TRUE(hasImage(a, 1));
    EXPECT_TRUE(hasImage(c, 1));

    hosts.setStateImage(1, hv::kImageAnswered);
    EXPECT_TRUE(hasImage(a, 1));
    EXPECT_TRUE(hasImage(c, 0));
    hosts.setAllStateImages(hv::kImageNotAnswering);
    EXPECT_TRUE(hasImage(c, 1));
    EXPECT_FALSE(table.isVisible());

    hosts.rebuildFromLines({"Web :  http://localhost", "Web :  http://localhost"});
    ASSERT_EQ(table.lvHostState->topLevelItemCount(), 2);  // same titles: two rows
    EXPECT_EQ(table.lvHostState->topLevelItem(1)->text(1), "http://localhost");
    EXPECT_EQ(table.plItemsCount->text(), " 2 hosts watched");
}

TEST(State, RowsAreReadOnly) {
    hv::HostList hosts;
    TfrmState table;
    table.attach(hosts);
    hosts.rebuildFromLines({"Mail :  10.0.0.5"});
    table.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&table));
    QTreeWidgetItem* row = table.lvHostState->topLevelItem(0);
    const QRect r = table.lvHostState->visualItemRect(row);
    QTest::mouseDClick(table.lvHostState->viewport(), Qt::LeftButton, {}, r.center());
    QTest::keyClick(table.lvHostState, Qt::Key_F2);
    for (QLineEdit* editor : table.lvHostState->viewport()->findChildren<QLineEdit*>())
        EXPECT_FALSE(editor->isVisible()) << "an editor opened";
    EXPECT_EQ(row->text(0), "Mail");
}

TEST(State, ShowStateTableHidesFirstThenShows) {
    TfrmState table;
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
