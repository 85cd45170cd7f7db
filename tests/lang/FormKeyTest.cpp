#include <gtest/gtest.h>

#include "lang/FormKey.h"

using hv::FormKey;
using Form = FormKey::Form;

namespace {

struct KeyCase {
    const char* key;
    Form form;
    const char* component;
    const char* property;
    int index;
};

// Every form, and the keys that fit none.
const KeyCase kKeys[] = {
    {"btnOK", Form::Bare, "btnOK", "", -1},
    {"_x9", Form::Bare, "_x9", "", -1},
    {"Caption", Form::Bare, "Caption", "", -1},
    {"btnOK.Hint", Form::Dotted, "btnOK", "Hint", -1},
    {"cbLang.Items(2)", Form::DottedIndex, "cbLang", "Items", 2},
    {"cbLang.Items( -1)", Form::DottedIndex, "cbLang", "Items", -1},
    {"lb.Items($1F)", Form::DottedIndex, "lb", "Items", 31},
    {"lb.Items(0x10)", Form::DottedIndex, "lb", "Items", 16},
    {"lb.Items(1).more", Form::DottedIndex, "lb", "Items", 1},  // after ")" not looked at
    {"lb.(1)", Form::DottedIndex, "lb", "", 1},                 // no such property later
    {"lbSettings(0)", Form::NameIndex, "lbSettings", "Items", 0},
    {"lbSettings(0)x", Form::NameIndex, "lbSettings", "Items", 0},
    {"lbSettings(X1)", Form::NameIndex, "lbSettings", "Items", 1},
    {"lb(1).x", Form::NameIndex, "lb", "Items", 1},  // no identifier before the "."
    // Fit no form.
    {"OK!", Form::Invalid, "", "", -1},
    {"9lives", Form::Invalid, "", "", -1},
    {"lb(1", Form::Invalid, "", "", -1},
    {"lb(one)", Form::Invalid, "", "", -1},
    {"lb(1 )", Form::Invalid, "", "", -1},
    {"lb.Items)1(", Form::Invalid, "", "", -1},
    {"lb.Items", Form::Dotted, "lb", "Items", -1},
    {"lb.It ems", Form::Invalid, "", "", -1},
    {"lb.a.b", Form::Invalid, "", "", -1},
    {".Items(1)", Form::Invalid, "", "", -1},
    {"(1)", Form::Invalid, "", "", -1},
    {"Größe", Form::Invalid, "", "", -1},
    {"lb(99999999999)", Form::Invalid, "", "", -1},
};

TEST(FormKeyTest, KeysFallIntoTheirForms) {
    for (const KeyCase& c : kKeys) {
        SCOPED_TRACE(c.key);
        const FormKey k = FormKey::parse(QString::fromUtf8(c.key));
        EXPECT_EQ(k.form, c.form);
        if (c.form == Form::Invalid) {
            EXPECT_FALSE(k.problem.isEmpty());
            continue;
        }
        EXPECT_EQ(k.component, QString::fromUtf8(c.component));
        EXPECT_EQ(k.property, QString::fromUtf8(c.property));
        EXPECT_EQ(k.index, c.index);
    }
}

TEST(FormKeyTest, SectionNameLosesOneOrTwoDigitSuffixOnly) {
    const std::pair<const char*, const char*> cases[] = {
        {"frmAddHost", "frmAddHost"},
        {"frmAddHost_1", "frmAddHost"},
        {"frmAddHost_12", "frmAddHost"},
        {"frmAddHost_123", "frmAddHost_123"},
        {"frmAddHost_", "frmAddHost_"},
        {"frmAddHost_a1", "frmAddHost_a1"},
        {"frmAddHost1", "frmAddHost1"},
        {"_1", ""},
        {"x_1_2", "x_1"},
    };
    for (const auto& [name, section] : cases)
        EXPECT_EQ(FormKey::sectionName(name), QString::fromLatin1(section)) << name;
}

TEST(FormKeyTest, LineValueDropsOneLeadingDot) {
    EXPECT_EQ(FormKey::lineValue(".  Hosts"), "  Hosts");
    EXPECT_EQ(FormKey::lineValue("..x"), ".x");
    EXPECT_EQ(FormKey::lineValue("x."), "x.");
    EXPECT_EQ(FormKey::lineValue(""), "");
}

}  // namespace
