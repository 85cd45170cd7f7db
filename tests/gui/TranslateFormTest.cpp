#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>
#include <QTreeWidget>

#include "TestSupport.h"
#include "dialogs/SettingsDialog.h"
#include "lang/LanguageFile.h"
#include "lang/Languages.h"
#include "shell/CheckLanguage.h"
#include "shell/MainWindow.h"
#include "shell/StartupSequence.h"
#include "translation/FormTranslator.h"
#include "translation/TranslateForm.h"
#include "views/LogWindow.h"
#include "views/StateWindow.h"
#include "widgets/SpinEdit.h"

static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
static void PrintTo(const QStringList& l, std::ostream* os) {
    *os << '[' << l.join("|").toStdString() << ']';
}

namespace {

using hv::FormTranslator;

QStringList lines(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
    return out;
}

// Applies a language file's text to the window; returns the keys that were skipped.
QStringList apply(QWidget* window, const QByteArray& file) {
    QStringList skipped;
    for (const auto& o : FormTranslator::apply(window, hv::LanguageFile::fromData("t.lng", file)))
        if (!o.applied) skipped << o.key;
    return skipped;
}

class TranslateFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        hv::Languages::instance().setExecutable(dir.file("hostvane"));
        d.lbxHosts->addItems({"Mail :  10.0.0.5", "Web :  http://example.org"});
        // The language box acts on every change of its text: fill it before choosing ours.
        d.cbLang->setEditText("English");
        hv::Languages::instance().setCurrentLanguage("Test");
    }
    void TearDown() override { hv::Languages::instance().setTranslateAllForms({}); }

    hvtest::TempDir dir;
    hv::SettingsDialog d;
};

TEST_F(TranslateFormTest, BareNamesSetTheDefaultPropertyOrTheWindowsOwn) {
    const QStringList skipped = apply(&d,
                                      "[frmsettings]\n"
                                      "btnOK=Accept\n"
                                      "OK=Accept\n"
                                      "Caption=Einstellungen\n"
                                      "BTNCANCEL.hint=Close without saving\n"
                                      "cbAutorun=Start at log-in\n"
                                      "gbView=Ansicht\n"
                                      "seCheckPeriod=1234\n"
                                      "lbxHosts=Oops\n"
                                      "cbLang=Oops\n"
                                      "Notebook1=Nothing\n");
    EXPECT_EQ(d.btnOK->text(), "Accept");
    EXPECT_EQ(d.windowTitle(), "Einstellungen");
    EXPECT_EQ(d.btnCancel->toolTip(), "Close without saving");
    EXPECT_EQ(d.cbAutorun->text(), "Start at log-in");
    EXPECT_EQ(d.gbView->title(), "Ansicht");
    EXPECT_EQ(d.seCheckPeriod->spinValue(), 1234);
    // A bare list or combo box name touches neither the hosts nor the language.
    EXPECT_EQ(lines(d.lbxHosts), QStringList({"Mail :  10.0.0.5", "Web :  http://example.org"}));
    EXPECT_EQ(d.cbLang->currentText(), "English");
    EXPECT_EQ(skipped, QStringList({"OK", "lbxHosts", "cbLang", "Notebook1"}));
}

TEST_F(TranslateFormTest, IndexFormsSetOneLineAndBadIndexesAreSkipped) {
    d.lbSettings->setCurrentRow(1);
    const QStringList skipped = apply(&d,
                                      "[frmSettings]\n"
                                      "lbSettings(1)=Allgemein\n"
                                      "lbSettings(5)=X\n"
                                      "lbSettings(0)=.  Hosts\n"
                                      "lbSettings.Items(2)=.X\n"
                                      "lbSettings($3)=Ansicht\n"
                                      "lbSettings(4)x=Sprache\n"
                                      "lbSettings.Items(-1)=Y\n"
                                      "lbSettings.Colour(0)=Z\n"
                                      "nothing(0)=Z\n"
                                      "btnOK=After\n");
    EXPECT_EQ(lines(d.lbSettings),
              QStringList({"  Hosts", "Allgemein", ".X", "Ansicht", "Sprache"}));
    EXPECT_EQ(d.btnOK->text(), "After");
    EXPECT_EQ(skipped, QStringList({"lbSettings(5)", "lbSettings.Items(-1)", "lbSettings.Colour(0)",
                                    "nothing(0)"}));
    // The selected page stays selected.
    EXPECT_EQ(d.lbSettings->currentRow(), 1);
    EXPECT_EQ(d.pages->currentIndex(), 1);
}

TEST_F(TranslateFormTest, WholeListsReadCommaText) {
    d.lbSettings->setCurrentRow(1);
    apply(&d, "[frmSettings]\nlbSettings.Items=One,\"Two words\",Three\n");
    EXPECT_EQ(lines(d.lbSettings), QStringList({"One", "Two words", "Three"}));
    EXPECT_EQ(d.lbSettings->currentRow(), 1);
    apply(&d, "[frmSettings]\nlbSettings.Items=Two words\n");
    EXPECT_EQ(lines(d.lbSettings), QStringList({"Two", "words"}));
}

TEST_F(TranslateFormTest, ComboBoxLinesNeverChangeItsTextOrTheLanguage) {
    int changes = 0;
    QObject::connect(d.cbLang, &QComboBox::editTextChanged, [&] { ++changes; });
    QObject::connect(d.cbLang, &QComboBox::currentTextChanged, [&] { ++changes; });
    apply(&d, "[frmSettings]\ncbLang.Items=German,French\ncbLang(0)=Deutsch\n");
    EXPECT_EQ(d.cbLang->itemText(0), "Deutsch");
    EXPECT_EQ(d.cbLang->itemText(1), "French");
    EXPECT_EQ(d.cbLang->currentText(), "English");
    EXPECT_EQ(changes, 0);
}

TEST_F(TranslateFormTest, YesNoAndIntegersReadAsNumbersOrKeepTheValue) {
    d.show();
    const QStringList skipped = apply(&d,
                                      "[frmSettings]\n"
                                      "btnOK.Visible=0\n"
                                      "btnHelp.Visible=yes\n"
                                      "btnEdit.Enabled=0\n"
                                      "btnDelete.Enabled=2\n"
                                      "lbSelectLang.WordWrap=1\n"
                                      "btnCancel.Width=$60\n"
                                      "btnAddIP.Width=wide\n");
    EXPECT_TRUE(d.btnOK->isHidden());
    EXPECT_FALSE(d.btnHelp->isHidden());
    EXPECT_FALSE(d.btnEdit->isEnabled());
    EXPECT_TRUE(d.btnDelete->isEnabled());
    EXPECT_EQ(d.btnCancel->width(), 96);
    EXPECT_EQ(skipped, QStringList({"btnHelp.Visible", "btnDelete.Enabled", "btnAddIP.Width"}));
}

TEST_F(TranslateFormTest, LaterKeyWinsInFileOrder) {
    apply(&d, "[frmSettings]\nbtnOK=First\nbtnOK.Caption=Second\n");
    EXPECT_EQ(d.btnOK->text(), "Second");
    apply(&d, "[frmSettings]\nbtnOK.Caption=First\nbtnOK=Second\n");
    EXPECT_EQ(d.btnOK->text(), "Second");
}

TEST_F(TranslateFormTest, WindowsNamedWithOneOrTwoDigitSuffixReadTheBaseSection) {
    const QByteArray file = "[frmSettings]\nbtnOK=Base\n[frmSettings_123]\nbtnOK=Own\n";
    for (const auto& [name, caption] : {std::pair{"frmSettings_1", "Base"},
                                        {"frmSettings_12", "Base"},
                                        {"frmSettings_123", "Own"}}) {
        d.btnOK->setText("OK");
        d.setObjectName(name);
        apply(&d, file);
        EXPECT_EQ(d.btnOK->text(), caption) << name;
    }
}

TEST_F(TranslateFormTest, KeyNamesBeyond16384BytesAreNotSeen) {
    for (const int fillers : {150, 170}) {  // 100 bytes each with its zero byte
        QByteArray file = "[frmSettings]\n";
        for (int i = 0; i < fillers; ++i)
            file += "k" + QByteArray::number(i).rightJustified(98, '0') + "=x\n";
        file += "btnOK=Late\n";
        d.btnOK->setText("OK");
        apply(&d, file);
        EXPECT_EQ(d.btnOK->text(), fillers == 150 ? "Late" : "OK") << fillers;
    }
}

TEST_F(TranslateFormTest, TranslateFormReadsTheCurrentLanguageFile) {
    hv::translateForm(&d);  // no folder: nothing changes
    EXPECT_EQ(d.btnOK->text(), "OK");
    dir.write("Languages/Test.lng", "[Messages]\nStart=Los\n");  // no section
    hv::translateForm(&d);
    EXPECT_EQ(d.btnOK->text(), "OK");
    dir.write("Languages/Test.lng",
              "[frmSettings]\nbtnOK=Schlie\xDF"
              "en\n");  // Latin-1
    hv::translateForm(&d);
    EXPECT_EQ(d.btnOK->text(), QString::fromUtf8("Schließen"));
    hv::translateForm(nullptr);
}

// The main window with its tray menu, the log and the state table.
class WindowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        exe = dir.write("hostvane", "#!/bin/sh\n");
        QDir().mkpath(dir.file("Languages"));
        hv::Languages::instance().setExecutable(exe);
        hv::MainWindow::Options o;
        o.executablePath = exe;
        o.trayIcon = false;
        o.brokenFilesMessage = [] {};
        main = std::make_unique<hv::MainWindow>(o);
        main->setWindows(&log, &state);
    }
    void TearDown() override {
        hv::StartupSequence::installTranslateAllForms(nullptr, nullptr, nullptr);
        main.reset();
    }

    hvtest::TempDir dir;
    QString exe;
    hv::LogWindow log;
    hv::StateWindow state;
    std::unique_ptr<hv::MainWindow> main;
};

TEST_F(WindowsTest, MenuItemsAreComponentsOfTheMainWindowAndMinusMakesASeparator) {
    apply(main.get(),
          "[frmMain]\n"
          "miHoststate=Host-Status\n"
          "miQuit=-\n"
          "N1=Trenner\n"
          "miViewLog.Hint=Protokoll zeigen\n"
          "memReport=Hello\n");
    EXPECT_EQ(main->miHoststate->menuAction()->text(), "Host-Status");
    EXPECT_TRUE(main->miQuit->isSeparator());
    EXPECT_FALSE(main->settingsSeparator->isSeparator());
    EXPECT_EQ(main->settingsSeparator->text(), "Trenner");
    EXPECT_EQ(main->miViewLog->statusTip(), "Protokoll zeigen");
    EXPECT_EQ(main->memReport->toPlainText(), "Hello");
    apply(main.get(), "[frmMain]\nmiQuit=Beenden\nN1=-\n");
    EXPECT_FALSE(main->miQuit->isSeparator());
    EXPECT_EQ(main->miQuit->text(), "Beenden");
    EXPECT_TRUE(main->settingsSeparator->isSeparator());
}

TEST_F(WindowsTest, CancelledSettingsTranslateTheThreeWindowsBack) {
    dir.write("Hostvane.ini", "[General]\nLanguage=English\n");
    dir.write("Languages/English.lng",
              "[Messages]\nTable=Table\nColChecks=Checks\n[frmMain]\nmiQuit=Quit\n[frmLog]\n"
              "Caption=Event log\n"
              "[frmState]\nCaption=Host status\nlvHostState.Columns(1)=Address\n");
    dir.write(
        "Languages/German.lng",
        "[Messages]\nTable=Tabelle\nColChecks=Prüfungen\n[frmMain]\nmiQuit=Beenden\n[frmLog]\n"
        "Caption=Ereignisprotokoll\n[frmState]\nCaption=Host-Status\n"
        "lvHostState.Columns(1)=Adresse\n");
    hv::StartupSequence::installTranslateAllForms(main.get(), &log, &state);
    hv::Languages::instance().loadLanguage(true);  // as at start-up
    EXPECT_EQ(log.windowTitle(), "Event log");

    QString tableInDialog;
    main->runSettingsDialog = [&](hv::SettingsDialog&) {
        // What the language box does.
        hv::Languages::instance().setCurrentLanguage("German");
        hv::Languages::instance().translateAllForms();
        EXPECT_EQ(main->miQuit->text(), "Beenden");
        EXPECT_EQ(log.windowTitle(), "Ereignisprotokoll");
        EXPECT_EQ(state.windowTitle(), "Host-Status");
        EXPECT_EQ(state.lvHostState->model()->headerData(1, Qt::Horizontal), "Adresse");
        // The figure columns' titles are messages, read again with the window's texts.
        EXPECT_EQ(state.lvHostState->model()->headerData(5, Qt::Horizontal), "Prüfungen");
        // Built with langMessage before the change: keeps its language until built again.
        tableInDialog = main->miHoststate->actions().value(0)->text();
        return int(hv::SettingsDialog::kCancel);
    };
    main->miSettingsClick();
    EXPECT_EQ(tableInDialog, "Table");
    EXPECT_EQ(hv::Languages::instance().currentLanguage(), "English");
    EXPECT_EQ(main->miQuit->text(), "Quit");
    EXPECT_EQ(log.windowTitle(), "Event log");
    EXPECT_EQ(state.windowTitle(), "Host status");
    EXPECT_EQ(state.lvHostState->model()->headerData(1, Qt::Horizontal), "Address");
    EXPECT_EQ(state.lvHostState->model()->headerData(5, Qt::Horizontal), "Checks");
}

TEST(CheckLanguageTest, ListsSkippedKeysAndMissingTexts) {
    hvtest::TempDir dir;
    const QString path = dir.write("Broken.lng",
                                   "[Messages]\nStart=Go\nBogus=x\n"
                                   "[frmSettings]\nbtnOKK=x\nbtnOK.Colour=red\nlbSettings(7)=x\n"
                                   "Caption=Settings\nlbSettings.Items=a,b,c,d,e\n"
                                   "[frmSetings]\na=b\n");
    const QStringList out = hv::CheckLanguage::problems(path, hv::CheckLanguage::windows());
    const auto has = [&](const QString& start) {
        for (const QString& line : out)
            if (line.startsWith(start)) return true;
        return false;
    };
    for (const char* expected :
         {"[Messages] Bogus: the program never asks", "[Messages] Stop: missing",
          "[Messages] AppearHosts: missing", "[frmSettings] btnOKK: no component",
          "[frmSettings] btnOK.Colour: button \"btnOK\" has no property Colour",
          "[frmSettings] lbSettings(7): line 7 is out of range",
          "[frmSetings]: no window reads this section",
          "[frmSettings] btnOK: missing (designed text \"OK\")",
          "[frmSettings] btnAddIP.Hint: missing", "[frmMain] miQuit: missing",
          "[frmState] lvHostState.Columns(0): missing", "[frmLog] Caption: missing"})
        EXPECT_TRUE(has(expected)) << expected << "\n" << out.join('\n').toStdString();
    for (const char* notExpected :
         {"[Messages] Start", "[frmSettings] Caption", "[frmSettings] lbSettings.Items",
          "[frmSettings] lbxHosts", "[frmMain] miStart", "[frmState] plItemsCount"})
        EXPECT_FALSE(has(notExpected)) << notExpected;
}

TEST(CheckLanguageTest, EveryShippedLanguageFileIsComplete) {
    const QDir folder(hvtest::buildDir() + "/Languages");
    const QStringList files = folder.entryList({"*.lng"}, QDir::Files, QDir::Name);
    ASSERT_GE(files.size(), 5);
    for (const QString& name : files) {
        QByteArray out, err;
        const int rc =
            hvtest::runCommand(hvtest::buildDir() + "/hostvane",
                               {"--check-language", folder.filePath(name)}, 60000, &out, &err);
        EXPECT_EQ(rc, 0) << name.toStdString() << ":\n" << out.toStdString() << err.toStdString();
        EXPECT_TRUE(out.isEmpty()) << out.toStdString();
    }
    QByteArray out, err;
    EXPECT_EQ(hvtest::runCommand(hvtest::buildDir() + "/hostvane",
                                 {"--check-language", "/nonexistent/x.lng"}, 60000, &out, &err),
              2);
}

}  // namespace
