// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/caption.h"

#include <gtest/gtest.h>

using namespace settree;

namespace {

struct Case {
    const char* input;
    const char* expected;
};

TEST(Caption, UnquoteTable) {
    const Case cases[] = {
        {"  \"Paris\"  ", "Paris"},
        {"'Paris'", "Paris"},
        {"\"Paris'", "Paris"},
        {"\"a\"b\"", "a'b"},
        {"", ""},
        {"   ", ""},
        {"\"", ""},
        {"'", ""},
        {"\" a \"", " a "},
        {"\"abc", "abc"},
        {"abc'", "abc"},
        {"ab\"c", "ab'c"},
        {"\t'x'\r\n", "x"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Unquote(c.input), c.expected) << "input: [" << c.input << "]";
}

TEST(Caption, StripTagsTable) {
    const Case cases[] = {
        {"<color=clgreen>abc</color> - <color=clblue>d e</color>", "abc - d e"},
        {"a<b", "a<b"},
        {"a>b<c", "a>b<c"},
        {"<<a>>", ">"},
        {"", ""},
        {"x<>y", "xy"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StripTags(c.input), c.expected) << "input: [" << c.input << "]";
}

TEST(Caption, ShiftForMarkerTable) {
    const Case cases[] = {
        {"      \"x\"", "    \"x\""}, {"\"x\"", "\"x\""}, {" ", ""}, {"", ""}, {" \"x\"", "x\""},
        {"  \"x\"", "\"x\""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ShiftForMarker(c.input), c.expected) << "input: [" << c.input << "]";
}

TEST(Caption, CutAtParenAndQuotes) {
    EXPECT_EQ(CutAtParen("regions(r,c)"), "regions");
    EXPECT_EQ(CutAtParen("(x)"), "");
    EXPECT_EQ(CutAtParen("plain"), "plain");
    EXPECT_EQ(DoubleToSingleQuotes("a\"b\"\"c"), "a'b''c");
}

TEST(Caption, PlainNameAndSplitCaption) {
    EXPECT_EQ(PlainName(MakeCaption("abc", "Some text")), "abc");
    EXPECT_EQ(PlainName(MakeCaption("abc")), "abc");
    EXPECT_EQ(PlainName(MakeCaption(" abc ")), " abc "); // no trim without a description
    EXPECT_EQ(PlainName(" x " + MakeCaption("abc", "d")),
              "x abc");                                         // trimmed before the description
    EXPECT_EQ(PlainName(" x " + MakeCaption("abc")), " x abc"); // not trimmed without one

    auto parts = SplitCaption(MakeCaption("abc"));
    EXPECT_EQ(parts.name, "abc");
    EXPECT_EQ(parts.description, "");
    parts = SplitCaption("<color=clgreen>abc</color> - <color=clblue></color>");
    EXPECT_EQ(parts.name, "abc");
    EXPECT_EQ(parts.description, "");
    parts = SplitCaption(MakeCaption("", ""));
    EXPECT_EQ(parts.name, "");
    parts = SplitCaption(MakeCaption("Europe", "Continent"));
    EXPECT_EQ(parts.name, "Europe");
    EXPECT_EQ(parts.description, "Continent");
    // Fixed counts: a caption off the layout loses its first 15 and last 8 characters.
    parts = SplitCaption("0123456789abcdefNAME12345678");
    EXPECT_EQ(parts.name, "fNAME");
    parts = SplitCaption("short");
    EXPECT_EQ(parts.name, "");
    parts = SplitCaption("<color=clgreen>abc</color> - <color=clblue>xyz");
    EXPECT_EQ(parts.description, "xyz"); // shorter than the closing tag: kept whole
    parts = SplitCaption("<color=clgreen>abc</color> - <color=clblue>1234567890");
    EXPECT_EQ(parts.description, "12");
}

// The writers read most names straight out of the caption: where they do, the name is the one
// PlainName and SplitCaptionViews give; any caption off that layout is left to them.
TEST(Caption, UntaggedNameIsPlainNameWhereItAnswers) {
    struct Layout {
        std::string caption;
        bool untagged;
    };
    const Layout cases[] = {
        {MakeCaption("R05.7.5.12"), true},
        {MakeCaption("Wien", "Österreich - Hauptstadt"), true},
        {MakeCaption("", ""), true},
        {MakeCaption(" a b "), true},
        {MakeCaption("x - <color=clblue>y"), false}, // the name holds the description's opening
        {MakeCaption("a>b"), false},                 // StripTags keeps the tags
        {MakeCaption("a<b>c", "d"), false},
        {MakeCaption("a</color>b"), false},
        {MakeCaption("a", "d") + "!", true},  // read as PlainName reads it
        {MakeCaption("a") + "tail", false},   // no description after the name
        {" " + MakeCaption("a", "d"), false}, // the name tags not first
        {"<color=clgreen>abc", false},        // no closing tag
        {"plain", false},
    };
    for (const Layout& c : cases) {
        std::string_view name;
        ASSERT_EQ(UntaggedName(c.caption, name), c.untagged) << c.caption;
        if (!c.untagged)
            continue;
        EXPECT_EQ(name, PlainName(c.caption)) << c.caption;
        EXPECT_EQ(name, SplitCaptionViews(c.caption).name) << c.caption;
    }
}

TEST(Caption, TrimAndUpperCase) {
    EXPECT_EQ(Trim("\x01\t a b \r\n"), "a b");
    EXPECT_EQ(UpperCase("abz\xe9\xc3\xa9-AZ"), "ABZ\xe9\xc3\xa9-AZ");
    EXPECT_EQ(CompareNoCase("abc", "ABC"), 0);
    EXPECT_LT(CompareNoCase("ab", "abc"), 0);
    EXPECT_GT(CompareNoCase("b", "A"), 0);
}

} // namespace
