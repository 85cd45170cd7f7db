#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <stdexcept>

#include "platform/Error.h"
#include "widgets/ErrorBox.h"

namespace {

TEST(ErrorBoxTest, FullStopAddedOnlyAfterCharactersSortingAfterDot) {
    const struct {
        const char16_t* message;
        const char16_t* shown;
    } cases[] = {
        {u"Disk full", u"Disk full."},
        {u"Done.", u"Done."},
        {u"Why?", u"Why?."},   // '?' sorts after '.'
        {u"Oops!", u"Oops!"},  // '!' sorts before '.'
        {u"(see log)", u"(see log)"},
        {u"a-", u"a-"},
        {u"for 'Hostvane'", u"for 'Hostvane'"},
        {u"path/", u"path/."},  // '/' is the first character after '.'
        {u"Error 42", u"Error 42."},
        {u"Fehler: Datei \u00e4", u"Fehler: Datei \u00e4."},
        {u"", u""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(hv::ErrorBox::text(QString::fromUtf16(c.message)), QString::fromUtf16(c.shown))
            << QString::fromUtf16(c.message).toStdString();
}

TEST(ErrorBoxTest, GuardShowsEveryErrorAndCarriesOn) {
    QStringList shown;
    hv::ErrorBox::setPresenter([&](const QString& text) { shown << text; });
    EXPECT_FALSE(
        hv::ErrorBox::guard([] { throw hv::Error("Unable to write to /x/Hostvane.ini"); }));
    EXPECT_FALSE(hv::ErrorBox::guard([] { throw std::runtime_error("bad thing"); }));
    EXPECT_TRUE(hv::ErrorBox::guard([] {}));
    hv::ErrorBox::setPresenter(nullptr);
    EXPECT_EQ(shown, QStringList({"Unable to write to /x/Hostvane.ini.", "bad thing."}));
}

TEST(ErrorBoxTest, BoxHasCaptionErrorIconAndOnlyOk) {
    QString caption, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = 0;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        caption = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = int(box->buttons().size());
        box->button(QMessageBox::Ok)->click();
    });
    hv::ErrorBox::show("Failed to set data");
    EXPECT_EQ(caption, "Hostvane");
    EXPECT_EQ(text, "Failed to set data.");
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_EQ(buttons, 1);
}

}  // namespace
