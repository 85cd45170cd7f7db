#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "TestSupport.h"
#include "checking/AddressKind.h"
#include "dialogs/HostEntryDialog.h"
#include "hosts/HostEntry.h"
#include "lang/Languages.h"
#include "widgets/ErrorBox.h"
#include "widgets/MaskEdit.h"

namespace {

using hv::HostEntryDialog;
using hv::HostEntryMode;

// A language whose captions differ from their keys, so a test sees that they were looked up.
class AddHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.write("Languages/Test.lng",
                  "[Messages]\nNewIP=New IP host\nNewHTTP=New HTTP server\nNewLAN=New LAN "
                  "computer\nEditIP=Edit IP host\nEditHTTP=Edit HTTP server\nEditLAN=Edit LAN "
                  "computer\nInputIP=Input IP address\nInputHost=Input address of HTTP "
                  "server\nInputLAN=Input name of LAN computer\nTitleTaken=Taken by %1\n");
        hv::Languages::instance().setExecutable(dir.write("hostvane", ""));
        hv::Languages::instance().setCurrentLanguage("Test");
    }
    void TearDown() override { hv::Languages::instance().setCurrentLanguage("English"); }
    hvtest::TempDir dir;
};

TEST_F(AddHostTest, EachModeSetsCaptionLabelFieldsAndStartingTexts) {
    const struct {
        HostEntryMode mode;
        const char* caption;
        const char* label;
        bool masked;
        bool maskEnabled;
        const char* address;  // shown text of the field in use
        const char* title;
        bool follows;
    } cases[] = {
        {HostEntryMode::NewIP, "New IP host", "Input IP address", true, true, "___.___.___.___", "",
         true},
        {HostEntryMode::NewHTTP, "New HTTP server", "Input address of HTTP server", false, true,
         "http://", "", false},
        {HostEntryMode::NewLAN, "New LAN computer", "Input name of LAN computer", false, false,
         "\\\\", "", false},
        {HostEntryMode::EditIP, "Edit IP host", "Input IP address", true, true, "127.000.000.001",
         "Old", false},
        {HostEntryMode::EditHTTP, "Edit HTTP server", "Input address of HTTP server", false, true,
         "127.0.0.1", "Old", false},
        {HostEntryMode::EditLAN, "Edit LAN computer", "Input name of LAN computer", false, true,
         "127.0.0.1", "Old", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.caption);
        HostEntryDialog d;
        d.setMode(c.mode, hv::Host{"Old", "127.0.0.1", 1});
        EXPECT_EQ(d.windowTitle(), c.caption);
        EXPECT_EQ(d.lbHint->text(), c.label);
        EXPECT_EQ(d.MaskEdit1->isVisibleTo(&d), c.masked);
        EXPECT_EQ(d.edHTTP->isVisibleTo(&d), !c.masked);
        EXPECT_EQ(d.MaskEdit1->isEnabled(), c.maskEnabled);
        EXPECT_EQ(c.masked ? d.MaskEdit1->text() : d.edHTTP->text(), c.address);
        EXPECT_EQ(d.edTitle->text(), c.title);
        EXPECT_EQ(d.TitleFollowsAddress, c.follows);
        // The fields are announced by their labels.
        EXPECT_EQ(d.MaskEdit1->accessibleName(), c.label);
        EXPECT_EQ(d.edHTTP->accessibleName(), c.label);
        EXPECT_EQ(d.edTitle->accessibleName(), "Title");
    }
}

TEST_F(AddHostTest, TypedAddressesAndTheHostLines) {
    {
        SCOPED_TRACE("new IP, title untouched: it follows the value text");
        HostEntryDialog d;
        d.setMode(HostEntryMode::NewIP);
        QTest::keyClicks(d.MaskEdit1, "192.168.1.1");
        EXPECT_EQ(d.MaskEdit1->text(), "192.168.1__.1__");
        EXPECT_EQ(d.edTitle->text(), "192.168.1  .1  ");
        EXPECT_EQ(d.hostLine(), "192.168.1  .1   :  192.168.1.1");
    }
    {
        SCOPED_TRACE("new IP, a character typed into the title first is kept");
        HostEntryDialog d;
        d.setMode(HostEntryMode::NewIP);
        QTest::keyClicks(d.edTitle, "L");
        EXPECT_FALSE(d.TitleFollowsAddress);
        QTest::keyClicks(d.MaskEdit1, "127.0.0.1");
        EXPECT_EQ(d.hostLine(), "L :  127.0.0.1");
    }
    {
        SCOPED_TRACE("arrows and Delete in the title type nothing: it still follows");
        HostEntryDialog d;
        d.setMode(HostEntryMode::NewIP);
        QTest::keyClick(d.edTitle, Qt::Key_Left);
        QTest::keyClick(d.edTitle, Qt::Key_Delete);
        QTest::keyClicks(d.MaskEdit1, "1");
        EXPECT_EQ(d.edTitle->text(), "1  .   .   .   ");
        QTest::keyClick(d.edTitle, Qt::Key_Backspace);  // Backspace does type
        QTest::keyClicks(d.MaskEdit1, "2");
        EXPECT_EQ(d.edTitle->text(), "1  .   .   .  ");
        EXPECT_EQ(d.hostLine(), "1  .   .   .   :  12...");
    }
    {
        SCOPED_TRACE("new IP, nothing typed: three dots");
        HostEntryDialog d;
        d.setMode(HostEntryMode::NewIP);
        EXPECT_EQ(d.hostLine(), " :  ...");
    }
    {
        SCOPED_TRACE("refused characters change nothing");
        HostEntryDialog d;
        d.setMode(HostEntryMode::NewIP);
        QTest::keyClicks(d.MaskEdit1, "1x2 -3,4");
        EXPECT_EQ(d.MaskEdit1->text(), "123.4__.___.___");
        QTest::keyClick(d.MaskEdit1, Qt::Key_Backspace);
        QTest::keyClick(d.MaskEdit1, Qt::Key_Z, Qt::ControlModifier);  // no undo around the mask
        EXPECT_EQ(d.MaskEdit1->text(), "123.___.___.___");
    }
    {
        SCOPED_TRACE("new HTTP: typed after http://, the title stays");
        HostEntryDialog d;
        d.setMode(HostEntryMode::NewHTTP);
        d.edHTTP->end(false);
        QTest::keyClicks(d.edHTTP, "127.0.0.1");
        EXPECT_EQ(d.edTitle->text(), "");
        QTest::keyClicks(d.edTitle, "Web");
        EXPECT_EQ(d.hostLine(), "Web :  http://127.0.0.1");
    }
    {
        SCOPED_TRACE("new LAN: blanks around the address are dropped");
        HostEntryDialog d;
        d.setMode(HostEntryMode::NewLAN);
        d.edHTTP->end(false);
        QTest::keyClicks(d.edHTTP, "localhost  ");
        QTest::keyClicks(d.edTitle, " Pc ");
        EXPECT_EQ(d.hostLine(), " Pc  :  \\\\localhost");
    }
    {
        SCOPED_TRACE("edit LAN keeps the text as it stands");
        HostEntryDialog d;
        d.setMode(HostEntryMode::EditLAN, hv::Host{"Pc", "\\\\pc ", 1});
        EXPECT_EQ(d.hostLine(), "Pc :  \\\\pc ");
    }
    {
        SCOPED_TRACE("edit IP stores the zero-filled address");
        HostEntryDialog d;
        d.setMode(HostEntryMode::EditIP, hv::Host{"Box", "10.0.0.1", 1});
        EXPECT_EQ(d.hostLine(), "Box :  010.000.000.001");
        // Typing over it: the cursor is at the start and digits overwrite.
        QTest::keyClicks(d.MaskEdit1, "127");
        EXPECT_EQ(d.edTitle->text(), "Box");
        EXPECT_EQ(d.hostLine(), "Box :  127.000.000.001");
    }
}

// Every address form the checker knows can be typed in the mode meant for it, gives a line
// the checker takes without a fault, and survives Edit and OK untouched: the plain field
// holds it whole where the IPv4 mask would keep only its digits.
TEST_F(AddHostTest, EveryAddressFormIsEnteredAndEditedWhole) {
    const struct {
        HostEntryMode mode;
        const char* typed;  // after what the field starts with (all of it for the masked field)
        const char* line;
        HostEntryMode editMode;
        hv::ProbeTarget target;
    } cases[] = {
        {HostEntryMode::NewIP,
         "10.0.0.1",
         "T :  10.0.0.1",
         HostEntryMode::EditIP,
         {hv::ProbeKind::Icmp, "10.0.0.1"}},
        {HostEntryMode::NewHTTP,
         "web:8080/x",
         "T :  http://web:8080/x",
         HostEntryMode::EditHTTP,
         {hv::ProbeKind::Tcp, "web", hv::AddressFamily::IPv4, 8080}},
        {HostEntryMode::NewHTTP,
         "[2001:db8::5]",
         "T :  http://[2001:db8::5]",
         HostEntryMode::EditHTTP,
         {hv::ProbeKind::Tcp, "2001:db8::5", hv::AddressFamily::IPv6, 80}},
        {HostEntryMode::EditHTTP,
         "https://[::1]:8443/",
         "T :  https://[::1]:8443/",
         HostEntryMode::EditHTTP,
         {hv::ProbeKind::Tcp, "::1", hv::AddressFamily::IPv6, 8443}},
        {HostEntryMode::EditHTTP,
         "tcp://127.0.0.1:22",
         "T :  tcp://127.0.0.1:22",
         HostEntryMode::EditHTTP,
         {hv::ProbeKind::Tcp, "127.0.0.1", hv::AddressFamily::IPv4, 22}},
        {HostEntryMode::NewLAN,
         "::1 ",
         "T :  \\\\::1",
         HostEntryMode::EditLAN,
         {hv::ProbeKind::Icmp, "::1", hv::AddressFamily::IPv6}},
        {HostEntryMode::NewLAN,
         "[2001:DB8::5]",
         "T :  \\\\[2001:DB8::5]",
         HostEntryMode::EditLAN,
         {hv::ProbeKind::Icmp, "2001:db8::5", hv::AddressFamily::IPv6}},
        {HostEntryMode::EditLAN,
         "fe80::1%lo",
         "T :  fe80::1%lo",
         HostEntryMode::EditLAN,
         {hv::ProbeKind::Icmp, "fe80::1%lo", hv::AddressFamily::IPv6}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        QString line;
        {
            HostEntryDialog d;
            // The edit modes stand for a user who replaced the field's text.
            d.setMode(c.mode, hv::Host{"T", "", 1});
            QLineEdit* field = hv::isIpMode(c.mode) ? d.MaskEdit1 : d.edHTTP;
            if (c.mode == HostEntryMode::EditHTTP || c.mode == HostEntryMode::EditLAN)
                field->clear();
            if (field == d.edHTTP) field->end(false);
            QTest::keyClicks(field, c.typed);
            d.edTitle->setText("T");
            line = d.hostLine();
        }
        EXPECT_EQ(line, c.line);
        const hv::EditTarget edit = hv::editTargetOfLine(line);
        EXPECT_EQ(edit.mode, c.editMode);
        const hv::ProbeTarget target = hv::classifyAddress(edit.host.address);
        EXPECT_EQ(target.error, "");
        EXPECT_EQ(target, c.target);

        HostEntryDialog d;
        d.setMode(edit.mode, edit.host);
        if (!hv::isIpMode(edit.mode)) {
            EXPECT_EQ(d.hostLine(), line);
        }
    }
}

// The label says which forms the field takes; in every shipped language it fits the label's
// two lines, so no form is cut off.
TEST_F(AddHostTest, ShippedLabelsFitTheirPlace) {
    QDir().mkpath(dir.file("Languages"));
    const QStringList languages = {"English", "French", "German", "Russian", "Spanish"};
    for (const QString& language : languages)
        ASSERT_TRUE(QFile::copy(hvtest::sourceDir() + "/dist/Languages/" + language + ".lng",
                                dir.file("Languages/" + language + ".lng")));
    for (const QString& language : languages) {
        hv::Languages::instance().setCurrentLanguage(language);
        for (HostEntryMode mode :
             {HostEntryMode::NewIP, HostEntryMode::NewHTTP, HostEntryMode::NewLAN}) {
            HostEntryDialog d;
            d.setMode(mode);
            SCOPED_TRACE(language.toStdString() + ": " + d.lbHint->text().toStdString());
            EXPECT_NE(d.lbHint->text(), d.windowTitle());
            const QRect room = d.lbHint->contentsRect();
            const QRect needed = QFontMetrics(d.lbHint->font())
                                     .boundingRect(room, Qt::TextWordWrap, d.lbHint->text());
            EXPECT_LE(needed.width(), room.width());
            EXPECT_LE(needed.height(), room.height());
        }
    }
    const QString http = [] {
        HostEntryDialog d;
        d.setMode(HostEntryMode::NewHTTP);
        return d.lbHint->text();
    }();
    for (const char* form : {"http", "tcp://", "[ ]"}) EXPECT_TRUE(http.contains(form)) << form;
}

// Runs the dialog modally; `act` runs once it is up, a bounded fallback closes it.
int runModal(HostEntryDialog& d, const std::function<void()>& act) {
    QTimer::singleShot(0, &d, [&] {
        act();
        QTimer::singleShot(3000, &d, [&] {
            if (d.isVisible()) d.done(-1);
        });
    });
    return d.exec();
}

// The settings file keeps one host per title, letter case aside: OK refuses a title another
// host has, says so in the language's words, and leaves the dialog open to mend it.
TEST_F(AddHostTest, OkRefusesATitleAnotherHostHas) {
    const struct {
        const char* title;
        const char* clash;  // empty: accepted
    } cases[] = {
        {"Loop two", "Loop two"},
        {"LOOP TWO", "Loop two"},
        {"  loop two ", "Loop two"},
        {"Loop", ""},
        {"Loop two 2", ""},
        {"", ""},
        {"web", " Web "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        QStringList shown;
        hv::ErrorBox::setPresenter([&](const QString& text) { shown << text; });
        HostEntryDialog d;
        d.setMode(HostEntryMode::NewHTTP);
        d.otherTitles = {"Loop two", "", " Web "};
        d.edTitle->setText(c.title);
        d.btnOK->click();
        hv::ErrorBox::setPresenter(nullptr);
        EXPECT_EQ(d.clashingTitle(), c.clash);
        if (QByteArray(c.clash).isEmpty()) {
            EXPECT_EQ(d.result(), HostEntryDialog::kOk);
            EXPECT_TRUE(shown.isEmpty());
        } else {
            EXPECT_EQ(d.result(), 0);  // still open
            EXPECT_EQ(shown, QStringList(hv::ErrorBox::text(QString("Taken by ") + c.clash)));
            EXPECT_EQ(d.edTitle->text(), c.title);
        }
    }
}

TEST_F(AddHostTest, CancelHasTheFocusTabOrderAndClosing) {
    HostEntryDialog d;
    d.setMode(HostEntryMode::NewIP);
    QStringList order;
    bool stillOpen = false;
    const int result = runModal(d, [&] {
        for (int i = 0; i < 6; ++i) {
            QWidget* f = d.focusWidget();
            order << (f ? f->objectName() : QString("(none)"));
            QTest::keyClick(f ? f : &d, Qt::Key_Tab);
        }
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
            QTest::keyClick(d.edTitle, key);
        stillOpen = d.isVisible();
        d.close();
    });
    // The hidden plain field is passed over; "Depends on" comes after the title.
    EXPECT_EQ(order, QStringList({"btnCancel", "btnOK", "MaskEdit1", "edTitle", "cbDependsOn",
                                  "btnCancel"}));
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(result, 2);

    HostEntryDialog ok;
    ok.setMode(HostEntryMode::NewHTTP);
    EXPECT_EQ(runModal(ok, [&] { QTest::mouseClick(ok.btnOK, Qt::LeftButton); }), 1);
    HostEntryDialog cancel;
    cancel.setMode(HostEntryMode::NewLAN);
    EXPECT_EQ(runModal(cancel, [&] { QTest::mouseClick(cancel.btnCancel, Qt::LeftButton); }), 2);
}

// Moving through the title with Tab is no edit of it: the title still follows the address.
TEST_F(AddHostTest, TabbingThroughTheTitleKeepsItFollowing) {
    HostEntryDialog d;
    d.setMode(HostEntryMode::NewIP);
    QStringList left;
    bool follows = false;
    QString title;
    runModal(d, [&] {
        for (Qt::KeyboardModifiers modifiers : {Qt::NoModifier, Qt::ShiftModifier}) {
            d.edTitle->setFocus(Qt::TabFocusReason);
            QTest::keyClick(d.edTitle, Qt::Key_Tab, modifiers);
            QWidget* f = d.focusWidget();
            left << (f ? f->objectName() : QString("(none)"));
        }
        follows = d.TitleFollowsAddress;
        QTest::keyClicks(d.MaskEdit1, "10.1");
        title = d.edTitle->text();
        d.close();
    });
    EXPECT_EQ(left, QStringList({"cbDependsOn", "MaskEdit1"}));
    EXPECT_TRUE(follows);
    EXPECT_EQ(title, "10 .1  .   .   ");
}

TEST_F(AddHostTest, EveryControlHasAnAccessibleName) {
    HostEntryDialog d;
    d.setMode(HostEntryMode::NewIP);
    d.show();
    for (QWidget* w : d.findChildren<QWidget*>()) {
        // The "Depends on" list's pop-up is a window of its own: its scroll bars and viewport
        // are Qt's, and the list in it is named.
        if (w->window() != &d && w != d.cbDependsOn->view()) continue;
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        ASSERT_NE(a, nullptr);
        EXPECT_FALSE(a->text(QAccessible::Name).isEmpty()) << w->objectName().toStdString();
    }
}

}  // namespace
