#include <gtest/gtest.h>

#include <QMenu>
#include <QWidget>

#include "TestSupport.h"
#include "skin/Skin.h"

namespace {

const QByteArray kGood =
    "[Skin]\nVersion=1\nWindow=#f3f0e6\nText=#1e2a3a\nBalloon=#fff8d6\nMenu=#fbfaf6\n";

QByteArray replaced(const QByteArray& from, const QByteArray& to) {
    QByteArray s = kGood;
    return s.replace(from, to);
}

TEST(SkinTest, LoadingFailsForEveryDamage) {
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"empty file", ""},
        {"no section", replaced("[Skin]\n", "")},
        {"other section", replaced("[Skin]", "[Colours]")},
        {"no version", replaced("Version=1\n", "")},
        {"unknown version", replaced("Version=1", "Version=2")},
        {"version not a number", replaced("Version=1", "Version=one")},
        {"missing colour", replaced("Menu=#fbfaf6\n", "")},
        {"short colour", replaced("#1e2a3a", "#1e2a3")},
        {"named colour", replaced("#1e2a3a", "navy")},
        {"bad hex digit", replaced("#fff8d6", "#fff8g6")},
        {"binary junk", QByteArray("\x00\xff\xfe[Skin", 8)},
    };
    for (const auto& c : cases) {
        hvtest::TempDir dir;
        const QString path = dir.write("hostvane.skn", c.bytes);
        EXPECT_THROW(hv::Skin::load(path), hv::Error) << c.name;
    }
    hvtest::TempDir dir;
    EXPECT_THROW(hv::Skin::load(dir.file("missing.skn")), hv::Error) << "missing file";
    EXPECT_THROW(hv::Skin::load(dir.path()), hv::Error) << "a folder";
}

TEST(SkinTest, GoodFilesLoadTheirColours) {
    hvtest::TempDir dir;
    // Names and keys in any case, CR LF line ends and blanks, as a hand-edited file has them.
    const hv::Skin s = hv::Skin::load(
        dir.write("a.skn",
                  "; comment\r\n[skin]\r\nversion = 1\r\nWINDOW=#F3F0E6\r\ntext=#1e2a3a\r\n"
                  "Balloon= #fff8d6 \r\nMenu=#fbfaf6\r\n"));
    EXPECT_EQ(s.window, QColor(0xf3, 0xf0, 0xe6));
    EXPECT_EQ(s.text, QColor(0x1e, 0x2a, 0x3a));
    EXPECT_EQ(s.balloon, QColor(0xff, 0xf8, 0xd6));
    EXPECT_EQ(s.menu, QColor(0xfb, 0xfa, 0xf6));
    // The shipped skin is a good one.
    EXPECT_NO_THROW(hv::Skin::load(hvtest::sourceDir() + "/dist/skins/hostvane.skn"));
}

TEST(SkinTest, AppliesColoursToWindowsAndMenu) {
    hvtest::TempDir dir;
    const hv::Skin s = hv::Skin::load(dir.write("a.skn", kGood));
    QWidget window;
    s.applyTo(&window, hv::Skin::Element::Window);
    EXPECT_EQ(window.palette().color(QPalette::Window), s.window);
    EXPECT_EQ(window.palette().color(QPalette::WindowText), s.text);
    QWidget balloon;
    s.applyTo(&balloon, hv::Skin::Element::Balloon);
    EXPECT_EQ(balloon.palette().color(QPalette::Window), s.balloon);
    QMenu menu;
    s.applyTo(&menu, hv::Skin::Element::Menu);
    EXPECT_TRUE(menu.styleSheet().contains(s.menu.name()));
    EXPECT_EQ(menu.palette().color(QPalette::Window), s.menu);
}

}  // namespace
