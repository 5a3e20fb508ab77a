// SPDX-License-Identifier: GPL-3.0-or-later
// Text that holds both encodings is read run by run: a run of bytes from 0x80 on that is UTF-8
// stays, any other is Latin-1. Latin-1 holds UTF-8 text only while every character fits.
#include "model/utf8.h"
#include "model/utf8check.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
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

// The block reading gives the sequence reading's answer for every text, wherever a sequence
// stands against the blocks of 32 bytes and whatever stands before and after it. (The block
// reading needs vector instructions; without them there is nothing to compare.)
std::optional<bool> byBlock(std::string_view bytes) {
    return IsValidUtf8ByBlock(bytes);
}

TEST(Utf8, BlockReadingAgreesWithTheSequenceReadingAtEveryPlace) {
    if (!byBlock("")) {
        GTEST_SKIP() << "no vector instructions for the block reading";
    }
    struct Case {
        std::string bytes;
        bool valid;
    };
    const Case cases[] = {
        {"\xC3\xA9", true},
        {"\xE2\x82\xAC", true},
        {"\xF0\x9F\x98\x80", true},
        {"\xF4\x8F\xBF\xBF", true},
        {"\xED\x9F\xBF", true},
        {"\xEE\x80\x80", true},
        {"\xC2\x80", true},
        {"\xE0\xA0\x80", true},
        {"\xF0\x90\x80\x80", true},
        {"\xC3", false},
        {"\xE2\x82", false},
        {"\xF0\x9F\x98", false},
        {"\x80", false},
        {"\xC3\xA9\xA9", false},
        {"\xC0\x80", false},
        {"\xC1\xBF", false},
        {"\xE0\x9F\xBF", false},
        {"\xF0\x8F\xBF\xBF", false},
        {"\xED\xA0\x80", false},
        {"\xED\xBF\xBF", false},
        {"\xF4\x90\x80\x80", false},
        {"\xF5\x80\x80\x80", false},
        {"\xF8\x88\x80\x80", false},
        {"\xFF", false},
        {"\xE2\x82\xAC\x80", false},
        {"\xF0\x9F\x98\x80\x80", false},
        {"\xC3 ", false},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(IsValidUtf8BySequence(c.bytes), c.valid) << ::testing::PrintToString(c.bytes);
        // Up to three blocks: in the first, across the first boundary, at the end of the text,
        // after ASCII and after other sequences.
        for (const char* around : {"a", "\xC3\xA9", "\xE2\x82\xAC"}) {
            for (size_t at = 0; at <= 70; ++at) {
                std::string text;
                while (text.size() < at)
                    text.append(around);
                text.resize(at, 'b');
                text.append(c.bytes);
                const std::string whole = text;
                for (const std::string& t : {whole, whole + std::string(100 - at % 32, 'c')}) {
                    const bool valid = IsValidUtf8BySequence(t);
                    ASSERT_EQ(byBlock(t), valid) << ::testing::PrintToString(t);
                    ASSERT_EQ(IsValidUtf8(t), valid) << ::testing::PrintToString(t);
                }
            }
        }
    }
    // Every pair of bytes, and every lead with every second byte before two continuation
    // bytes, standing across the first boundary.
    for (int first = 0; first < 256; ++first) {
        for (int second = 0; second < 256; ++second) {
            std::string pair(31, 'x');
            pair.push_back(static_cast<char>(first));
            pair.push_back(static_cast<char>(second));
            ASSERT_EQ(byBlock(pair), IsValidUtf8BySequence(pair)) << first << " " << second;
            std::string four = pair + "\x80\xBF";
            ASSERT_EQ(byBlock(four), IsValidUtf8BySequence(four)) << first << " " << second;
        }
    }
    // Texts of characters of every length, with now and then a byte that may break one, of all
    // lengths up to a few blocks.
    const char* const characters[] = {"a",
                                      "\xC3\xA9",
                                      "\xE2\x82\xAC",
                                      "\xF0\x9F\x98\x80",
                                      "\xED\x9F\xBF",
                                      "\xF4\x8F\xBF\xBF",
                                      "\xE0\xA0\x80"};
    const unsigned char bytes[] = {0x00, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0,
                                   0xC2, 0xDF, 0xE0, 0xED, 0xEF, 0xF0, 0xF4, 0xF5, 0xFF};
    std::mt19937 random(20261211);
    std::uniform_int_distribution<size_t> character(0, std::size(characters) - 1);
    std::uniform_int_distribution<size_t> byte(0, std::size(bytes) - 1);
    std::uniform_int_distribution<size_t> length(0, 130);
    std::uniform_int_distribution<int> percent(0, 99);
    size_t valid = 0;
    for (int round = 0; round < 20000; ++round) {
        const size_t size = length(random);
        std::string text;
        while (text.size() < size) {
            if (percent(random) < 2)
                text.push_back(static_cast<char>(bytes[byte(random)]));
            else
                text.append(characters[character(random)]);
        }
        valid += IsValidUtf8BySequence(text) ? 1 : 0;
        ASSERT_EQ(byBlock(text), IsValidUtf8BySequence(text)) << ::testing::PrintToString(text);
    }
    // Both kinds of text came up often.
    EXPECT_GT(valid, 2000u);
    EXPECT_LT(valid, 18000u);
}

} // namespace
