#include <gtest/gtest.h>

#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDialog>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <limits>

#include <QAccessible>
#include <QPointer>
#include <QTest>

#include "TestSupport.h"
#include "dialogs/HostEntryDialog.h"
#include "dialogs/SettingsDialog.h"
#include "hosts/Settings.h"
#include "lang/Languages.h"
#include "widgets/ErrorBox.h"
#include "widgets/MaskEdit.h"
#include "widgets/SpinEdit.h"

namespace {

void keyClick(QWidget* w, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    QApplication::sendEvent(w, &release);
}

// Runs the dialog modally; `act` runs once it is up, then a bounded fallback closes it.
int runModal(hv::SettingsDialog& dialog, const std::function<void()>& act) {
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
        hv::SettingsDialog d;
        EXPECT_EQ(runModal(d, [&] { d.btnOK->click(); }), 1);
    }
    {
        hv::SettingsDialog d;
        EXPECT_EQ(runModal(d, [&] { d.btnCancel->click(); }), 2);
    }
    {
        hv::SettingsDialog d;
        EXPECT_EQ(runModal(d, [&] { d.close(); }), 2);
    }
}

TEST(SettingsDialogTest, EnterAndEscapeDoNotCloseIt) {
    hv::SettingsDialog d;
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
    hv::SettingsDialog d;
    ASSERT_EQ(d.lbSettings->count(), 5);
    EXPECT_EQ(d.lbSettings->item(2)->text(), "Check parametrs");
    ASSERT_EQ(d.pages->count(), 5);
    QGroupBox* pageBoxes[] = {d.gbHostList, d.generalGroup, d.gbCheckParams, d.gbView,
                              d.gbLanguages};
    for (int k : {3, 1, 4, 0, 2}) {
        d.lbSettings->setCurrentRow(k);
        EXPECT_EQ(d.pages->currentIndex(), k);
        EXPECT_TRUE(d.pages->currentWidget()->isAncestorOf(pageBoxes[k]));
    }
    d.lbSettings->clearSelection();  // a click that leaves no line selected changes nothing
    EXPECT_EQ(d.pages->currentIndex(), 2);

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

// Counts the beeps of refused keys instead of sounding them.
struct BeepCounter {
    BeepCounter() {
        hv::SpinEdit::beepHook() = [this] { ++beeps; };
    }
    ~BeepCounter() { hv::SpinEdit::beepHook() = nullptr; }
    int beeps = 0;
};

TEST(SettingsDialogTest, SpinEditsTakeDigitsSignsAndTheDecimalSeparatorAndBeepAtTheRest) {
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QLocale german(QLocale::German, QLocale::Germany);
    const struct {
        const QLocale& locale;
        const char* typed;
        const char* text;
        int beeps;
    } cases[] = {
        {english, "-1.5", "-1.5", 0}, {english, "+7", "+7", 0},
        {english, "1a2 b", "12", 3},  {english, "1,5", "15", 1},  // another locale's separator
        {german, "1,5", "1,5", 0},    {german, "1.5", "15", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        BeepCounter counter;
        hv::SpinEdit se;
        se.setLocale(c.locale);
        se.setSpinText("");
        QTest::keyClicks(&se, c.typed);
        EXPECT_EQ(se.text(), c.text);
        EXPECT_EQ(counter.beeps, c.beeps);
    }
    // Control keys edit; Enter is refused like a character.
    BeepCounter counter;
    hv::SpinEdit se;
    se.setSpinText("12");
    QTest::keyClick(&se, Qt::Key_End);
    QTest::keyClick(&se, Qt::Key_Backspace);
    EXPECT_EQ(se.text(), "1");
    EXPECT_EQ(counter.beeps, 0);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
    QApplication::sendEvent(&se, &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_EQ(se.text(), "1");
    EXPECT_EQ(counter.beeps, 1);
}

// What the user leaves in a spin edit is what OK hands back, also once the focus has moved on
// to the OK button: a box cleared or left without an integer gives 0.
TEST(SettingsDialogTest, OkHandsBackTheTypedValueAndZeroForATextThatIsNoInteger) {
    const struct {
        const char* typed;  // after the old text has been selected
        int value;
    } cases[] = {
        {"", 0},  // cleared with Backspace
        {"1.5", 0}, {"-", 0}, {"12-3", 0}, {"-42", -42}, {"+300", 300},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        hv::SettingsDialog d;
        d.seCheckPeriod->setSpinValue(60000);
        bool focused = false;
        const int result = runModal(d, [&] {
            d.lbSettings->setCurrentRow(2);
            d.activateWindow();
            (void)QTest::qWaitForWindowActive(&d, 2000);
            d.seCheckPeriod->setFocus(Qt::TabFocusReason);
            focused = d.seCheckPeriod->hasFocus();
            d.seCheckPeriod->selectAll();
            QTest::keyClick(d.seCheckPeriod, Qt::Key_Backspace);
            QTest::keyClicks(d.seCheckPeriod, c.typed);
            d.btnOK->setFocus(Qt::MouseFocusReason);  // as the click on OK moves it
            d.btnOK->click();
        });
        EXPECT_TRUE(focused);
        EXPECT_EQ(result, 1);
        EXPECT_EQ(d.seCheckPeriod->spinValue(), c.value);
    }
}

TEST(SettingsDialogTest, ConfirmedFontReachesTheReportAtOnceCancelledChangesNothing) {
    hv::SettingsDialog d;
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
    EXPECT_EQ(d.fontDialog->currentFont().pointSize(), 14);
    EXPECT_EQ(d.btnFontInPopUp->font().pointSize(), 14);
}

QStringList lines(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
    return out;
}

// The host entry dialog that a button opens, found once it is up and driven with keys.
void whenHostDialogUp(const std::function<void(hv::HostEntryDialog&)>& act) {
    QTimer::singleShot(0, [act] {
        auto* d = qobject_cast<hv::HostEntryDialog*>(QApplication::activeModalWidget());
        if (!d) {
            ADD_FAILURE() << "no host entry dialog";
            if (QWidget* w = QApplication::activeModalWidget()) w->close();
            return;
        }
        QPointer<hv::HostEntryDialog> guard = d;
        QTimer::singleShot(3000, [guard] {
            if (guard && guard->isVisible()) guard->done(-1);
        });
        act(*d);
    });
}

// A value of the row's type other than its default, inside its bounds.
QVariant otherValue(const hv::SettingsKey& k) {
    switch (k.type) {
        case hv::SettingType::Integer:
            if (!k.bounded()) return k.defaultValue.toInt() + 7;
            return k.defaultValue.toInt() == k.hi ? k.lo : k.hi;
        case hv::SettingType::Boolean:
            return !k.defaultValue.toBool();
        case hv::SettingType::Text:
            return k.defaultValue.toString() + "x";
        case hv::SettingType::Colour:
            return QVariant::fromValue(k.defaultValue.toUInt() ^ 0x123456u);
    }
    return {};
}

// What the control shows, as the row's value.
QVariant shown(const hv::SettingsKey& k, const QWidget* control) {
    if (auto* spin = qobject_cast<const hv::SpinEdit*>(control)) return spin->spinValue();
    if (auto* box = qobject_cast<const QCheckBox*>(control)) {
        if (k.type == hv::SettingType::Boolean) return box->isChecked();
        return box->isChecked() ? 1 : 0;
    }
    if (auto* edit = qobject_cast<const QLineEdit*>(control)) return edit->text();
    if (auto* combo = qobject_cast<const QComboBox*>(control)) {
        if (k.type == hv::SettingType::Text) return combo->currentText();
        if (combo->itemData(0).isValid()) return combo->currentData().toInt();
        return combo->currentIndex();
    }
    return {};
}

// The language box changes the current language as it is filled.
class SettingsTableDialogTest : public ::testing::Test {
protected:
    void TearDown() override { hv::Languages::instance().setCurrentLanguage(previous); }
    QString previous = hv::Languages::instance().currentLanguage();
};

// Every row that names a control: the control is there under that name, shows the row's value
// once filled, and hands back that value and nothing else.
TEST_F(SettingsTableDialogTest, EveryRowWithAControlRoundTripsThroughIt) {
    hv::SettingsDialog d;
    QStringList named;
    for (const hv::SettingsKey& k : hv::settingsKeys()) {
        if (k.control.isEmpty()) continue;
        SCOPED_TRACE(("[" + k.section + "] " + k.key + " " + k.control).toStdString());
        EXPECT_FALSE(named.contains(k.control)) << "two rows on one control";
        named << k.control;
        const QList<QWidget*> found = d.findChildren<QWidget*>(k.control);
        ASSERT_EQ(found.size(), 1);

        hv::Settings in = hv::defaultSettings();
        k.set(in, otherValue(k));
        d.fill(in, false);
        EXPECT_EQ(shown(k, found[0]), otherValue(k));

        hv::Settings out = hv::defaultSettings();
        d.apply(out);
        EXPECT_EQ(out, in);
        EXPECT_EQ(k.get(out), otherValue(k));
    }
    // And the other way round: every value control of the dialog shows a row, but for the
    // autorun box, which is no key of the file (and the font dialog's own controls).
    for (QWidget* w : d.findChildren<QWidget*>()) {
        // A text field of its own, not the one inside a spin or combo box.
        const bool ownEdit = qobject_cast<QLineEdit*>(w) &&
                             !qobject_cast<QAbstractSpinBox*>(w->parentWidget()) &&
                             !qobject_cast<QComboBox*>(w->parentWidget());
        if (!qobject_cast<QAbstractSpinBox*>(w) && !qobject_cast<QCheckBox*>(w) &&
            !qobject_cast<QComboBox*>(w) && !ownEdit)
            continue;
        if (w == d.cbAutorun || d.fontDialog->isAncestorOf(w)) continue;
        EXPECT_TRUE(named.contains(w->objectName())) << w->objectName().toStdString();
    }
    EXPECT_TRUE(named.contains("sePopUpInt") && named.contains("cbLang") &&
                named.contains("edMetricsListen"));
}

TEST_F(SettingsTableDialogTest, TypedNumbersComeBackWithinTheRowsBounds) {
    hv::SettingsDialog d;
    d.fill(hv::defaultSettings(), false);
    int spins = 0;
    for (const hv::SettingsKey& k : hv::settingsKeys()) {
        auto* spin = d.findChild<hv::SpinEdit*>(k.control);
        if (!spin || k.control.isEmpty()) continue;
        ++spins;
        SCOPED_TRACE(k.key.toStdString());
        const struct {
            QString typed;
            int handed;
        } cases[] = {
            {"", k.clamp(0)},  // a cleared box is 0, then bounded
            {"-2147483648", k.lo},
            {"2147483647", k.hi},
            {QString::number(k.defaultValue.toInt()), k.defaultValue.toInt()},
        };
        for (const auto& c : cases) {
            spin->setSpinText(c.typed);
            hv::Settings out = hv::defaultSettings();
            d.apply(out);
            EXPECT_EQ(k.get(out).toInt(), c.handed) << c.typed.toStdString();
        }
        spin->setSpinValue(k.defaultValue.toInt());
    }
    EXPECT_GT(spins, 0);
}

TEST_F(SettingsTableDialogTest, HostLinesFontAndAutorunAreFilledAndHandedBack) {
    hv::SettingsDialog d;
    d.lbSettings->setCurrentRow(3);
    d.lbxHosts->addItem("left over :  10.9.9.9");
    hv::Settings in = hv::defaultSettings();
    in.hostEntries = {{"Mail", "10.0.0.5"}, {"Web", "http://localhost"}, {"Gone", ""}};
    in.font = hv::ReportFont{true, false, 12, 0x0000FF, "DejaVu Sans"};
    d.fill(in, true);
    EXPECT_EQ(d.pages->currentIndex(), 0);
    EXPECT_EQ(d.lbSettings->currentRow(), 0);
    EXPECT_EQ(lines(d.lbxHosts),
              QStringList({"Mail :  10.0.0.5", "Web :  http://localhost", "Gone :  "}));
    EXPECT_TRUE(d.cbAutorun->isChecked());
    EXPECT_EQ(d.fontDialog->currentFont().family(), "DejaVu Sans");
    EXPECT_EQ(d.fontDialog->currentFont().pointSize(), 12);
    EXPECT_TRUE(d.btnFontInPopUp->font().bold());
    EXPECT_EQ(d.fontDialogColor, QColor(255, 0, 0));

    hv::Settings out;
    d.apply(out);
    EXPECT_EQ(out.hostEntries, in.hostEntries);
    EXPECT_EQ(out.font, in.font);

    // Edited lines come back split at their first separator; a line without one is all title.
    d.lbxHosts->clear();
    d.lbxHosts->addItems({"A :  b :  c", "no separator"});
    d.apply(out);
    EXPECT_EQ(out.hostEntries,
              (QList<QPair<QString, QString>>{{"A", "b :  c"}, {"no separator", ""}}));
    d.fill(in, false);
    EXPECT_FALSE(d.cbAutorun->isChecked());
}

TEST(SettingsDialogTest, AddsAppendInOrderAndSelectNothing) {
    hv::SettingsDialog d;
    whenHostDialogUp([](hv::HostEntryDialog& h) {
        QTest::keyClicks(h.MaskEdit1, "127.0.0.1");
        QTest::mouseClick(h.btnOK, Qt::LeftButton);
    });
    QTest::mouseClick(d.btnAddIP, Qt::LeftButton);
    whenHostDialogUp([](hv::HostEntryDialog& h) {
        h.edHTTP->end(false);
        QTest::keyClicks(h.edHTTP, "127.0.0.2");
        QTest::keyClicks(h.edTitle, "Web");
        QTest::mouseClick(h.btnOK, Qt::LeftButton);
    });
    QTest::mouseClick(d.btnAddHTTP, Qt::LeftButton);
    whenHostDialogUp([](hv::HostEntryDialog& h) {
        h.edHTTP->end(false);
        QTest::keyClicks(h.edHTTP, "localhost ");
        QTest::keyClicks(h.edTitle, "Pc");
        QTest::mouseClick(h.btnOK, Qt::LeftButton);
    });
    QTest::mouseClick(d.btnAddLan, Qt::LeftButton);
    whenHostDialogUp([](hv::HostEntryDialog& h) {
        QTest::keyClicks(h.edTitle, "not added");
        QTest::mouseClick(h.btnCancel, Qt::LeftButton);
    });
    QTest::mouseClick(d.btnAddLan, Qt::LeftButton);
    EXPECT_EQ(lines(d.lbxHosts), QStringList({"127.0  .0  .1   :  127.0.0.1",
                                              "Web :  http://127.0.0.2", "Pc :  \\\\localhost"}));
    EXPECT_TRUE(d.lbxHosts->selectedItems().isEmpty());
}

TEST(SettingsDialogTest, EditReplacesInPlaceInTheModeTheLineCallsFor) {
    hv::SettingsDialog d;
    d.lbxHosts->addItems(
        {"Box :  10.0.0.1", "Web :  HTTP://127.0.0.1", "Pc :  //server", "Lan :  \\\\pc"});
    QList<hv::HostEntryMode> modes;
    int result = hv::HostEntryDialog::kOk;
    d.runAddHost = [&](hv::HostEntryDialog& h) {
        modes << h.mode();
        return result;
    };
    for (int row : {0, 1, 2, 3}) {
        d.lbxHosts->setCurrentRow(row);
        d.btnEdit->click();
    }
    EXPECT_EQ(modes,
              QList<hv::HostEntryMode>({hv::HostEntryMode::EditIP, hv::HostEntryMode::EditHTTP,
                                        hv::HostEntryMode::EditIP, hv::HostEntryMode::EditLAN}));
    // OK without changes: the IP address comes back zero-filled (nothing is probed here).
    EXPECT_EQ(lines(d.lbxHosts), QStringList({"Box :  010.000.000.001", "Web :  HTTP://127.0.0.1",
                                              "Pc :  000.000.000.", "Lan :  \\\\pc"}));
    EXPECT_EQ(d.lbxHosts->currentRow(), 3);

    result = hv::HostEntryDialog::kCancel;
    d.runAddHost = [&](hv::HostEntryDialog& h) {
        h.edTitle->setText("changed");
        return result;
    };
    d.lbxHosts->setCurrentRow(1);
    d.btnEdit->click();
    EXPECT_EQ(d.lbxHosts->item(1)->text(), "Web :  HTTP://127.0.0.1");
}

// The host entry dialog knows the other hosts' titles: a new host may not take one, an edited
// host may keep its own.
TEST(SettingsDialogTest, TheHostDialogIsGivenTheOtherTitles) {
    hv::SettingsDialog d;
    d.lbxHosts->addItems({"Loop two :  http://127.0.0.2", "Web :  http://127.0.0.3"});
    QList<QStringList> given;
    QString typed;
    int shown = 0;
    hv::ErrorBox::setPresenter([&](const QString&) { ++shown; });
    d.runAddHost = [&](hv::HostEntryDialog& h) {
        given << h.otherTitles;
        h.edTitle->setText(typed);
        h.btnOK->click();
        return h.result() == hv::HostEntryDialog::kOk ? h.result()
                                                      : int(hv::HostEntryDialog::kCancel);
    };
    typed = "loop two";
    d.btnAddHTTP->click();
    EXPECT_EQ(shown, 1);
    d.lbxHosts->setCurrentRow(0);
    typed = "LOOP TWO";  // its own title in other letter case
    d.btnEdit->click();
    d.lbxHosts->setCurrentRow(1);
    typed = "Loop Two";  // another's
    d.btnEdit->click();
    hv::ErrorBox::setPresenter(nullptr);
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(given, QList<QStringList>({{"Loop two", "Web"}, {"Web"}, {"LOOP TWO"}}));
    EXPECT_EQ(lines(d.lbxHosts),
              QStringList({"LOOP TWO :  http://127.0.0.2", "Web :  http://127.0.0.3"}));
}

// "Depends on" offers the other titles with the current parent chosen; renaming a parent keeps
// its dependents' lines pointing at it, deleting it drops them.
TEST(SettingsDialogTest, DependsOnOffersTheOtherTitlesAndFollowsRenamesAndDeletes) {
    hv::SettingsDialog d;
    hv::Settings settings = hv::defaultSettings();
    settings.hostEntries = {
        {"Router", "http://127.0.0.2"}, {"Web", "http://127.0.0.3"}, {"Mail", "http://127.0.0.4"}};
    settings.dependencies = {{"Web", "Router"}, {"Mail", "Router"}};
    d.fill(settings, false);
    QStringList offered;
    QString chosenBefore;
    QString typed;
    int pick = -1;  // line of "Depends on" to choose; -1 leaves it
    d.runAddHost = [&](hv::HostEntryDialog& h) {
        offered.clear();
        for (int i = 0; i < h.cbDependsOn->count(); ++i) offered << h.cbDependsOn->itemText(i);
        chosenBefore = h.dependsOn();
        if (!typed.isEmpty()) h.edTitle->setText(typed);
        if (pick >= 0) h.cbDependsOn->setCurrentIndex(pick);
        h.btnOK->click();
        return h.result();
    };
    const auto applied = [&] {
        hv::Settings out = settings;
        d.apply(out);
        return out.dependencies;
    };
    using Lines = QList<QPair<QString, QString>>;

    // Web: the others offered after "(none)", Router chosen; renaming Web keeps its line.
    d.lbxHosts->setCurrentRow(1);
    typed = "Site";
    d.btnEdit->click();
    EXPECT_EQ(offered, QStringList({"(none)", "Router", "Mail"}));
    EXPECT_EQ(chosenBefore, "Router");
    EXPECT_EQ(applied(), (Lines{{"Site", "Router"}, {"Mail", "Router"}}));

    // The parent renamed: both lines follow it.
    d.lbxHosts->setCurrentRow(0);
    typed = "Core";
    d.btnEdit->click();
    EXPECT_EQ(chosenBefore, "");
    EXPECT_EQ(applied(), (Lines{{"Site", "Core"}, {"Mail", "Core"}}));

    // Mail set to no parent, then a new host added behind Core.
    d.lbxHosts->setCurrentRow(2);
    typed.clear();
    pick = 0;
    d.btnEdit->click();
    EXPECT_EQ(applied(), (Lines{{"Site", "Core"}}));
    typed = "Files";
    pick = 1;
    d.btnAddHTTP->click();
    EXPECT_EQ(offered.mid(1), QStringList({"Core", "Site", "Mail"}));
    EXPECT_EQ(applied(), (Lines{{"Site", "Core"}, {"Files", "Core"}}));

    // Deleting the parent drops every line naming it.
    d.lbxHosts->setCurrentRow(0);
    d.btnDelete->click();
    EXPECT_TRUE(applied().isEmpty());
}

TEST(SettingsDialogTest, DeleteSelectsTheFirstLineEditAndDeleteNeedASelection) {
    hv::SettingsDialog d;
    int opened = 0;
    d.runAddHost = [&](hv::HostEntryDialog&) {
        ++opened;
        return int(hv::HostEntryDialog::kOk);
    };
    d.lbxHosts->addItems({"1 :  a", "2 :  b", "3 :  c", "4 :  d", "5 :  e"});
    d.btnDelete->click();  // nothing selected
    d.btnEdit->click();
    EXPECT_EQ(d.lbxHosts->count(), 5);
    EXPECT_EQ(opened, 0);

    d.lbxHosts->setCurrentRow(2);
    d.btnDelete->click();
    EXPECT_EQ(lines(d.lbxHosts), QStringList({"1 :  a", "2 :  b", "4 :  d", "5 :  e"}));
    ASSERT_EQ(d.lbxHosts->selectedItems().size(), 1);
    EXPECT_EQ(d.lbxHosts->selectedItems()[0]->text(), "1 :  a");
    d.btnDelete->click();
    EXPECT_EQ(lines(d.lbxHosts), QStringList({"2 :  b", "4 :  d", "5 :  e"}));

    d.lbxHosts->clear();
    d.lbxHosts->addItem("only :  x");
    d.lbxHosts->setCurrentRow(0);
    d.btnDelete->click();
    EXPECT_EQ(d.lbxHosts->count(), 0);
    d.btnDelete->click();
    d.btnEdit->click();
    EXPECT_EQ(opened, 0);
}

// Fixture languages beside a stand-in executable; the translate-all hook counts its calls.
class SettingsLanguageTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.write("Languages/English.lng", "[Messages]\nNewIP=New IP host\n");
        dir.write("Languages/Deutsch.lng", "[Messages]\nNewIP=Neuer IP-Rechner\n");
        hv::Languages::instance().setExecutable(dir.write("hostvane", ""));
        hv::Languages::instance().setCurrentLanguage("English");
        hv::Languages::instance().setTranslateAllForms(
            [this] { seen << hv::Languages::instance().currentLanguage(); });
    }
    void TearDown() override {
        hv::Languages::instance().setTranslateAllForms(nullptr);
        hv::Languages::instance().setCurrentLanguage("English");
    }
    hvtest::TempDir dir;
    QStringList seen;
};

TEST_F(SettingsLanguageTest, EveryEditOfTheBoxTranslatesAndTheDropDownListsLanguages) {
    hv::SettingsDialog d;
    d.cbLang->setEditText("English");
    seen.clear();
    d.cbLang->lineEdit()->selectAll();
    QTest::keyClicks(d.cbLang->lineEdit(), "Germ");
    EXPECT_EQ(seen, QStringList({"G", "Ge", "Ger", "Germ"}));
    EXPECT_EQ(hv::Languages::instance().currentLanguage(), "Germ");
    EXPECT_EQ(hv::langMessage("NewIP"), "NewIP");  // no such file: texts stay as they are
    EXPECT_EQ(d.btnOK->text(), "OK");

    // Each drop-down lists the files afresh and leaves the text alone.
    seen.clear();
    d.cbLang->showPopup();
    d.cbLang->hidePopup();
    QStringList listed;
    for (int i = 0; i < d.cbLang->count(); ++i) listed << d.cbLang->itemText(i);
    listed.sort();
    EXPECT_EQ(listed, QStringList({"Deutsch", "English"}));
    EXPECT_EQ(d.cbLang->currentText(), "Germ");
    EXPECT_TRUE(seen.isEmpty());
    dir.write("Languages/Francais.lng", "[Messages]\n");
    d.cbLang->showPopup();
    d.cbLang->hidePopup();
    EXPECT_EQ(d.cbLang->count(), 3);

    // Picking a line is a change too.
    d.cbLang->setCurrentIndex(d.cbLang->findText("Deutsch"));
    EXPECT_EQ(seen, QStringList({"Deutsch"}));
    EXPECT_EQ(hv::langMessage("NewIP"), "Neuer IP-Rechner");
}

TEST(SettingsDialogTest, EveryControlHasAnAccessibleName) {
    hv::SettingsDialog d;
    d.show();
    for (const char* name :
         {"lbSettings",      "btnHelp",        "btnCancel",       "btnOK",         "gbHostList",
          "lbxHosts",        "btnAddIP",       "btnAddHTTP",      "btnAddLan",     "btnEdit",
          "btnDelete",       "gbGenaral",      "lbAutorun",       "cbAutorun",     "gbCheckParams",
          "lbPopUpDelay",    "sePopUpInt",     "lbCheckInterval", "seCheckPeriod", "gbView",
          "btnFontInPopUp",  "gbLanguages",    "lbSelectLang",    "cbLang",        "cbIpVersion",
          "lbMetricsListen", "edMetricsListen"}) {
        auto* w = d.findChild<QWidget*>(name);
        ASSERT_NE(w, nullptr) << name;
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        ASSERT_NE(a, nullptr) << name;
        EXPECT_FALSE(a->text(QAccessible::Name).isEmpty()) << name;
    }
    EXPECT_EQ(d.seCheckPeriod->accessibleName(), "Check period, ms");
    EXPECT_EQ(d.sePopUpInt->accessibleName(), "Pop-up window delay, ms");
    EXPECT_EQ(d.cbLang->accessibleName(), "Select language");
    EXPECT_EQ(d.cbIpVersion->accessibleName(), "Names resolve to");
    EXPECT_EQ(d.edMetricsListen->accessibleName(), "Serve metrics on:");
}

// The IpVersion box: each line stands for its value, not its position; a value no line has
// (only a hand-edited file holds one) shows the default's line.
TEST_F(SettingsTableDialogTest, IpVersionLinesStandForTheirValues) {
    hv::SettingsDialog d;
    const struct {
        int stored;
        QString line;
        int applied;
    } cases[] = {{4, "IPv4 addresses", 4},
                 {6, "IPv6 addresses", 6},
                 {0, "either, the first the system gives", 0},
                 {5, "IPv4 addresses", 4}};
    for (const auto& c : cases) {
        hv::Settings in = hv::defaultSettings();
        in.ipVersion = c.stored;
        d.fill(in, false);
        EXPECT_EQ(d.cbIpVersion->currentText(), c.line) << c.stored;
        hv::Settings out = hv::defaultSettings();
        d.apply(out);
        EXPECT_EQ(out.ipVersion, c.applied) << c.stored;
    }
}

}  // namespace
