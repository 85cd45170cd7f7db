#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDialog>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <limits>

#include "dialogs/SpinEdit.h"
#include "dialogs/TfrmSettings.h"

namespace {

void keyClick(QWidget* w, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    QApplication::sendEvent(w, &release);
}

// Runs the dialog modally; `act` runs once it is up, then a bounded fallback closes it.
int runModal(hv::TfrmSettings& dialog, const std::function<void()>& act) {
    QTimer::singleShot(0, &dialog, [&] {
        act();
        QTimer::singleShot(2000, &dialog, [&] {
            if (dialog.isVisible()) dialog.done(-1);
        });
    });
    return dialog.exec();
}

TEST(SettingsDialogTest, ResultsOfOkCancelAndTitleBarClose) {
    {
        hv::TfrmSettings d;
        EXPECT_EQ(runModal(d, [&] { d.btnOK->click(); }), 1);
    }
    {
        hv::TfrmSettings d;
        EXPECT_EQ(runModal(d, [&] { d.btnCancel->click(); }), 2);
    }
    {
        hv::TfrmSettings d;
        EXPECT_EQ(runModal(d, [&] { d.close(); }), 2);
    }
}

TEST(SettingsDialogTest, EnterAndEscapeDoNotCloseIt) {
    hv::TfrmSettings d;
    bool stillOpen = false;
    const int result = runModal(d, [&] {
        for (QWidget* focus : {static_cast<QWidget*>(d.btnOK), static_cast<QWidget*>(d.lbxHosts),
                               static_cast<QWidget*>(d.btnCancel)}) {
            focus->setFocus();
            keyClick(focus, Qt::Key_Return);
            keyClick(focus, Qt::Key_Enter);
            keyClick(focus, Qt::Key_Escape);
        }
        stillOpen = d.isVisible();
        d.btnCancel->click();
    });
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(result, 2);
}

TEST(SettingsDialogTest, PageListSelectsPagesAndControlsBearTheirNames) {
    hv::TfrmSettings d;
    ASSERT_EQ(d.lbSettings->count(), 5);
    EXPECT_EQ(d.lbSettings->item(2)->text(), "Check parametrs");
    ASSERT_EQ(d.Notebook1->count(), 5);
    QGroupBox* pageBoxes[] = {d.gbHostList, d.gbGenaral, d.gbCheckParams, d.gbView, d.gbLanguages};
    for (int k : {3, 1, 4, 0, 2}) {
        d.lbSettings->setCurrentRow(k);
        EXPECT_EQ(d.Notebook1->currentIndex(), k);
        EXPECT_TRUE(d.Notebook1->currentWidget()->isAncestorOf(pageBoxes[k]));
    }
    d.lbSettings->clearSelection();  // a click that leaves no line selected changes nothing
    EXPECT_EQ(d.Notebook1->currentIndex(), 2);

    // Translation finds the controls by name.
    for (const char* name :
         {"lbSettings",    "Notebook1",      "btnHelp",     "btnCancel",       "btnOK",
          "gbHostList",    "lbxHosts",       "btnAddIP",    "btnAddHTTP",      "btnAddLan",
          "btnEdit",       "btnDelete",      "gbGenaral",   "lbAutorun",       "cbAutorun",
          "gbCheckParams", "lbPopUpDelay",   "sePopUpInt",  "lbCheckInterval", "seCheckPeriod",
          "gbView",        "btnFontInPopUp", "FontDialog1", "gbLanguages",     "lbSelectLang",
          "cbLang"})
        EXPECT_NE(d.findChild<QObject*>(name), nullptr) << name;
    EXPECT_EQ(d.objectName(), "frmSettings");
    EXPECT_EQ(d.windowTitle(), "Settings");
    EXPECT_EQ(d.size(), QSize(435, 325));
    EXPECT_TRUE(d.cbLang->isEditable());
    for (QPushButton* b : {d.btnOK, d.btnCancel, d.btnHelp})
        EXPECT_FALSE(b->isDefault() || b->autoDefault()) << b->objectName().toStdString();
}

TEST(SettingsDialogTest, SpinEditsHaveNoBoundsAndReadBadTextAsZero) {
    hv::SpinEdit se;
    const struct {
        const char* text;
        int value;
    } cases[] = {
        {"", 0},
        {"abc", 0},
        {"0", 0},
        {"-5", -5},
        {"+7", 7},
        {"60000", 60000},
        {"2147483647", std::numeric_limits<int>::max()},
        {"-2147483648", std::numeric_limits<int>::min()},
        {"2147483648", 0},  // beyond 32 bits is not an integer
    };
    for (const auto& c : cases) {
        se.setSpinText(c.text);
        EXPECT_EQ(se.spinValue(), c.value) << c.text;
    }
    se.setSpinValue(-1234567);
    EXPECT_EQ(se.spinValue(), -1234567);
    se.setSpinValue(5);
    se.stepBy(1);
    EXPECT_EQ(se.spinValue(), 6);
}

TEST(SettingsDialogTest, ConfirmedFontReachesTheReportAtOnceCancelledChangesNothing) {
    hv::TfrmSettings d;
    QFont current("DejaVu Sans", 10);
    QColor currentColour = Qt::black;
    int applied = 0;
    d.reportFont = [&] { return qMakePair(current, currentColour); };
    d.setReportFont = [&](const QFont& f, const QColor& c) {
        current = f;
        currentColour = c;
        ++applied;
    };
    // Font dialog cancelled: nothing changes.
    QTimer::singleShot(0, [] {
        if (auto* fd = qobject_cast<QFontDialog*>(QApplication::activeModalWidget())) fd->reject();
    });
    d.btnFontInPopUpClick();
    EXPECT_EQ(applied, 0);

    // Font confirmed (the colour step then cancelled keeps the colour).
    QTimer::singleShot(0, [] {
        auto* fd = qobject_cast<QFontDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(fd, nullptr);
        QFont f = fd->currentFont();
        f.setPointSize(14);
        fd->setCurrentFont(f);
        QTimer::singleShot(0, [] {
            if (QWidget* w = QApplication::activeModalWidget())
                QMetaObject::invokeMethod(w, "reject");
        });
        fd->accept();
    });
    d.btnFontInPopUpClick();
    EXPECT_EQ(applied, 1);
    EXPECT_EQ(current.pointSize(), 14);
    EXPECT_EQ(currentColour, QColor(Qt::black));
    EXPECT_EQ(d.FontDialog1->currentFont().pointSize(), 14);
    EXPECT_EQ(d.btnFontInPopUp->font().pointSize(), 14);
}

}  // namespace
