// SPDX-License-Identifier: GPL-3.0-or-later
// Text that holds both encodings is read run by run: a run of bytes from 0x80 on that is UTF-8
// stays, any other is Latin-1. Latin-1 holds UTF-8 text only while every character fits.
#include "model/utf8.h"

#include <gtest/gtest.h>

#include <string>

using namespace settree;

namespace {

struct RunCase {
    std::string bytes;
    bool both;
    std::string utf8;
};

TEST(Utf8, RunsOfBothEncodings) {
    const RunCase cases[] = {
        {"", false, ""},
        {"plain", false, "plain"},
        {"caf\xC3\xA9", false, "caf\xC3\xA9"},                                // UTF-8 alone
        {"caf\xE9", false, "caf\xC3\xA9"},                                    // Latin-1 alone
        {"caf\xE9 \xE2\x82\xAC", true, "caf\xC3\xA9 \xE2\x82\xAC"},           // one of each
        {"\xE9\xE2\x82\xAC", false, "\xC3\xA9\xC3\xA2\xC2\x82\xC2\xAC"},      // one run, no UTF-8
        {"\"\xFC\".\"\xC3\xBC\"\r\n", true, "\"\xC3\xBC\".\"\xC3\xBC\"\r\n"}, // a tuple line
    };
    for (const RunCase& c : cases) {
        EXPECT_EQ(HoldsBothEncodings(c.bytes), c.both) << c.bytes;
        EXPECT_EQ(ToUtf8(c.bytes), c.utf8) << c.bytes;
        EXPECT_TRUE(IsValidUtf8(ToUtf8(c.bytes))) << c.bytes;
    }
}

TEST(Utf8, Latin1HoldsWhatFits) {
    std::string latin1;
    EXPECT_TRUE(Utf8ToLatin1("caf\xC3\xA9 \xC2\xA0\xC3\xBF", latin1));
    EXPECT_EQ(latin1, "caf\xE9 \xA0\xFF");
    EXPECT_FALSE(Utf8ToLatin1("Euro\xE2\x82\xAC", latin1)); // U+20AC
    EXPECT_FALSE(Utf8ToLatin1("\xC4\x80", latin1));         // U+0100, the first past it
    EXPECT_FALSE(Utf8ToLatin1("caf\xE9", latin1));          // no UTF-8 at all
    EXPECT_TRUE(Utf8ToLatin1("", latin1));
    EXPECT_EQ(latin1, "");
}

// A whole document is checked in two halves at once: whatever stands where they meet, the answer
// is the one for the whole text, wherever around the middle it stands.
TEST(Utf8, LargeTextsCheckedInHalvesAsAWhole) {
    struct Case {
        std::string middle;
        bool valid;
    };
    const Case cases[] = {
        {"\xE2\x82\xAC", true},      // a three-byte character
        {"\xF0\x9F\x98\x80", true},  // a four-byte one
        {"\xC3\xA9\xC3\xA9", true},  // two two-byte ones
        {"\xE2\x82", false},         // cut short
        {"\x80\x80", false},         // continuing nothing
        {"\xED\xA0\x80", false},     // a surrogate
        {"\xC3\xA9\xFF", false},     // a byte no text holds
        {"\xF4\x90\x80\x80", false}, // past U+10FFFF
    };
    const size_t half = size_t{1} << 20;
    for (const Case& c : cases) {
        for (size_t shift = 0; shift <= 4; ++shift) {
            std::string text(half - shift, 'a');
            text.append(c.middle).append(half, 'b');
            EXPECT_EQ(IsValidUtf8(text), c.valid) << ::testing::PrintToString(c.middle) << shift;
        }
    }
    std::string tail(2 * half, 'a');
    tail.append("\xE2\x82");
    EXPECT_FALSE(IsValidUtf8(tail));
    EXPECT_FALSE(IsValidUtf8(std::string(2 * half, '\x80')));
}

} // namespace
