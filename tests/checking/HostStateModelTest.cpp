#include <gtest/gtest.h>

#include <QStringList>

#include "TestSupport.h"
#include "checking/HostStateModel.h"
#include "checking/HostStateSortProxy.h"
#include "hosts/HostList.h"
#include "lang/DesignedHeader.h"
#include "lang/Languages.h"

namespace {

using Model = hv::HostStateModel;

class StateModel : public ::testing::Test {
protected:
    void SetUp() override {
        m_exeDir.write(QStringLiteral("Languages/English.lng"),
                       "[Messages]\r\nColRoundTrip=Round trip, ms\r\nColChecks=Checks\r\n");
        hv::Languages::instance().setExecutable(m_exeDir.file(QStringLiteral("hostvane")));
        hv::Languages::instance().setCurrentLanguage(QStringLiteral("English"));
        model.retranslate();  // as the window's translation does
        model.attach(hosts);
        sorted.setSourceModel(&model);
    }
    void TearDown() override { hv::Languages::instance().setExecutable(QString()); }

    // Checks host index `times` times with the given outcome and round trip.
    void check(int index, bool alive, qint64 roundTrip, int times = 1) {
        for (int i = 0; i < times; ++i)
            hosts.recordCheck(index, hosts.generation(), alive, roundTrip, 1, 1);
    }
    QStringList column(const QAbstractItemModel& m, int col) const {
        QStringList out;
        for (int r = 0; r < m.rowCount(); ++r) out << m.index(r, col).data().toString();
        return out;
    }
    QStringList titlesSortedBy(int col, Qt::SortOrder order) {
        sorted.sort(col, order);
        return column(sorted, Model::Title);
    }

    hvtest::TempDir m_exeDir;
    hv::HostList hosts;
    Model model;
    hv::HostStateSortProxy sorted;
};

TEST_F(StateModel, RowsMirrorTheListAndItsFigures) {
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.columnCount(), Model::ColumnCount);
    hosts.rebuildFromEntries({{"A", "10.0.0.1"}, {"B", "   "}, {"C", " 10.0.0.2 "}});
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(column(model, Model::Title), QStringList({"A", "C"}));
    EXPECT_EQ(column(model, Model::Address), QStringList({"10.0.0.1", "10.0.0.2"}));
    EXPECT_EQ(model.index(1, Model::Checks).data(Model::StateImageRole), 1);
    // Nothing checked yet: the figures are empty, the counts 0.
    EXPECT_EQ(column(model, Model::RoundTrip), QStringList({"", ""}));
    EXPECT_EQ(column(model, Model::LastChange), QStringList({"", ""}));
    EXPECT_EQ(column(model, Model::Checks), QStringList({"0", "0"}));
    EXPECT_EQ(column(model, Model::AnsweredPercent), QStringList({"", ""}));

    int changed = 0;
    QObject::connect(&model, &QAbstractItemModel::dataChanged, [&] { ++changed; });
    check(1, true, 12'000);
    check(1, false, -1);
    check(1, true, 7'250, 2);  // µs
    hosts.setStateImage(1, hv::kImageAnswered);
    hosts.setLastChange(1, QDateTime(QDate(2026, 12, 10), QTime(14, 5, 9)));
    EXPECT_EQ(changed, 6);
    EXPECT_EQ(model.index(1, Model::RoundTrip).data().toString(),
              QLocale::system().toString(7.25, 'f', 2));
    EXPECT_EQ(model.index(1, Model::Checks).data(), 4);
    EXPECT_EQ(model.index(1, Model::Failures).data(), 1);
    EXPECT_EQ(model.index(1, Model::AnsweredPercent).data().toString(),
              QLocale::system().toString(75.0, 'f', 1));
    EXPECT_EQ(model.index(1, Model::LastChange).data(), "2026-12-10 14:05:09");
    EXPECT_EQ(model.index(1, Model::Title).data(Model::StateImageRole), 0);
    EXPECT_EQ(model.index(0, Model::Checks).data(), 0);
    EXPECT_EQ(model.index(1, Model::Checks).data(Qt::TextAlignmentRole).toInt(),
              int(Qt::AlignRight | Qt::AlignVCenter));

    hosts.setAllStateImages(hv::kImageNotAnswering);
    EXPECT_EQ(model.index(1, Model::State).data(Model::StateImageRole), 1);
    hosts.rebuildFromLines({"C :  10.0.0.2", "D :  d"});
    EXPECT_EQ(column(model, Model::Title), QStringList({"C", "D"}));
    EXPECT_EQ(column(model, Model::Checks), QStringList({"4", "0"}));  // C kept its figures
}

TEST_F(StateModel, TitlesComeFromMessagesAndTheDesignedOnesFromTheWindow) {
    const auto title = [&](int col) { return model.headerData(col, Qt::Horizontal).toString(); };
    EXPECT_EQ(title(Model::Title), "Title");
    EXPECT_EQ(title(Model::Address), "Address");
    EXPECT_EQ(title(Model::RoundTrip), "Round trip, ms");
    EXPECT_EQ(title(Model::Failures), "ColFailures");  // a missing message shows its key
    // Only the designed columns are named by the window's language section.
    EXPECT_EQ(model.headerData(Model::Title, Qt::Horizontal, hv::kDesignedHeaderRole), "Title");
    EXPECT_FALSE(
        model.headerData(Model::Checks, Qt::Horizontal, hv::kDesignedHeaderRole).isValid());
    EXPECT_TRUE(sorted.setHeaderData(Model::Address, Qt::Horizontal, "Adresse"));
    EXPECT_FALSE(model.setHeaderData(Model::Checks, Qt::Horizontal, "x"));
    EXPECT_EQ(sorted.headerData(Model::Address, Qt::Horizontal).toString(), "Adresse");

    m_exeDir.write(QStringLiteral("Languages/German.lng"),
                   "[Messages]\r\nColRoundTrip=Antwortzeit, ms\r\n");
    hv::Languages::instance().setCurrentLanguage(QStringLiteral("German"));
    EXPECT_EQ(title(Model::RoundTrip), "Round trip, ms");  // read when the window is translated
    int header = 0;
    QObject::connect(&model, &QAbstractItemModel::headerDataChanged, [&] { ++header; });
    model.retranslate();
    EXPECT_EQ(header, 1);
    EXPECT_EQ(title(Model::RoundTrip), "Antwortzeit, ms");
    EXPECT_EQ(title(Model::Address), "Adresse");
}

TEST_F(StateModel, SortingOrdersTheViewOnlyNumbersAsNumbersEmptyLast) {
    hosts.rebuildFromLines({"delta :  d", "Alpha :  a", "charlie :  c", "Bravo :  b", "Echo :  e"});
    check(0, true, 9, 9);    // delta: 9 checks, 9 ms
    check(1, true, 10, 10);  // Alpha: 10 checks, 10 ms
    check(2, false, -1, 2);  // charlie: no round trip
    check(3, true, 100);     // Bravo: 100 ms
    // Echo: never checked

    const QStringList listOrder{"delta", "Alpha", "charlie", "Bravo", "Echo"};
    EXPECT_EQ(titlesSortedBy(-1, Qt::AscendingOrder), listOrder);
    EXPECT_EQ(titlesSortedBy(Model::Title, Qt::AscendingOrder),
              QStringList({"Alpha", "Bravo", "charlie", "delta", "Echo"}));
    EXPECT_EQ(titlesSortedBy(Model::RoundTrip, Qt::AscendingOrder),
              QStringList({"delta", "Alpha", "Bravo", "charlie", "Echo"}));
    EXPECT_EQ(titlesSortedBy(Model::RoundTrip, Qt::DescendingOrder),
              QStringList({"Bravo", "Alpha", "delta", "charlie", "Echo"}));
    EXPECT_EQ(titlesSortedBy(Model::Checks, Qt::DescendingOrder),
              QStringList({"Alpha", "delta", "charlie", "Bravo", "Echo"}));
    EXPECT_EQ(titlesSortedBy(Model::AnsweredPercent, Qt::AscendingOrder),
              QStringList({"charlie", "delta", "Alpha", "Bravo", "Echo"}));

    // A figure that changes moves the row while the sort is on; the list keeps its order.
    sorted.sort(Model::RoundTrip, Qt::AscendingOrder);
    check(3, true, 1);
    EXPECT_EQ(column(sorted, Model::Title).first(), "Bravo");
    EXPECT_EQ(column(model, Model::Title), listOrder);
    EXPECT_EQ(titlesSortedBy(-1, Qt::AscendingOrder), listOrder);  // unsorted again
    EXPECT_EQ(hosts.hosts().value(3).title, "Bravo");
}

}  // namespace
