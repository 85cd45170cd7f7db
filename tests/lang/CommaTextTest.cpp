#include <gtest/gtest.h>

#include "lang/CommaText.h"
#include "lang/PropertyValue.h"

using hv::CommaText;
using hv::PropertyValue;
using Type = PropertyValue::Type;

static void PrintTo(const QStringList& l, std::ostream* os) {
    *os << '[' << l.join("|").toStdString() << ']';
}
static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

TEST(CommaTextTest, SplitsLikeAStringListReadsItsCommaText) {
    const std::pair<QString, QStringList> cases[] = {
        {R"(One,"Two words",Three)", {"One", "Two words", "Three"}},
        {"One,Two words,Three", {"One", "Two", "words", "Three"}},
        {"Two words", {"Two", "words"}},
        {R"(  " a, b " , c )", {" a, b ", "c"}},
        {R"("say ""hi""",x)", {R"(say "hi")", "x"}},
        {R"("open, never closed)", {"open, never closed"}},
        {R"("ab"cd,e)", {"ab", "cd", "e"}},
        {"a,,b", {"a", "", "b"}},
        {"a,", {"a", ""}},
        {"a, ", {"a"}},
        {",", {"", ""}},
        {"", {}},
        {"   ", {}},
        {"a\tb\x01"
         "c",
         {"a", "b", "c"}},
        {QString::fromUtf8("Größe,Шрифт"),
         {QString::fromUtf8("Größe"), QString::fromUtf8("Шрифт")}},
        {QStringLiteral("a") + QChar(0) + QStringLiteral(",b"), {"a"}},
    };
    for (const auto& [text, lines] : cases)
        EXPECT_EQ(CommaText::split(text), lines) << text.toStdString();
}

TEST(CommaTextTest, JoinedListsReadBackUnchanged) {
    const QStringList lists[] = {
        {},
        {""},
        {"", ""},
        {"plain"},
        {"two words", "a,b", R"(q"uote)", " lead", "tab\t"},
        {QString::fromUtf8("Ü"), "x"},
    };
    for (const QStringList& l : lists) EXPECT_EQ(CommaText::split(CommaText::join(l)), l);
    EXPECT_EQ(CommaText::join({"One", "Two words"}), R"(One,"Two words")");
}

TEST(PropertyValueTest, ValuesReadByType) {
    const QLocale c = QLocale::c();
    const QLocale de(QLocale::German, QLocale::Germany);
    // Integers as an index is read; anything else keeps the value.
    EXPECT_EQ(PropertyValue::read(Type::Integer, " -12", 0, c), QVariant(-12));
    EXPECT_EQ(PropertyValue::read(Type::Integer, "$10", 0, c), QVariant(16));
    EXPECT_FALSE(PropertyValue::read(Type::Integer, "12px", 0, c));
    EXPECT_FALSE(PropertyValue::read(Type::Integer, "", 0, c));
    // Yes/no: 0 and 1 only; "yes" is no number, 2 no member.
    EXPECT_EQ(PropertyValue::read(Type::Enumeration, "0", 2, c), QVariant(0));
    EXPECT_EQ(PropertyValue::read(Type::Enumeration, "1", 2, c), QVariant(1));
    EXPECT_FALSE(PropertyValue::read(Type::Enumeration, "yes", 2, c));
    EXPECT_FALSE(PropertyValue::read(Type::Enumeration, "2", 2, c));
    EXPECT_FALSE(PropertyValue::read(Type::Enumeration, "-1", 2, c));
    // Floating point in the locale's own format.
    EXPECT_EQ(PropertyValue::read(Type::Float, "7.5", 0, c), QVariant(7.5));
    EXPECT_EQ(PropertyValue::read(Type::Float, "7,5", 0, de), QVariant(7.5));
    EXPECT_FALSE(PropertyValue::read(Type::Float, "7,5", 0, c));
    EXPECT_FALSE(PropertyValue::read(Type::Float, "inf", 0, c));
    // A character: the first one, a whole surrogate pair; empty keeps.
    EXPECT_EQ(PropertyValue::read(Type::Character, "xyz", 0, c), QVariant(QString("x")));
    EXPECT_EQ(PropertyValue::read(Type::Character, QString::fromUtf8("😀!"), 0, c),
              QVariant(QString::fromUtf8("😀")));
    EXPECT_FALSE(PropertyValue::read(Type::Character, "", 0, c));
    // Text as it stands, empty included; lists from comma text.
    EXPECT_EQ(PropertyValue::read(Type::Text, "", 0, c), QVariant(QString()));
    EXPECT_EQ(PropertyValue::read(Type::StringList, "a,b", 0, c), QVariant(QStringList{"a", "b"}));
}

}  // namespace
