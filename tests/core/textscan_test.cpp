// SPDX-License-Identifier: GPL-3.0-or-later
// Line splitting looks at sixteen bytes at a time where it can, then at eight; trimming looks at
// eight. They must agree with the byte by byte rules on every mix of line ends, blanks, control
// bytes and bytes from 0x80 on, wherever those stand relative to a step.
#include "model/caption.h"
#include "model/textfile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

using namespace settree;

namespace {

// The rules, byte by byte: a line ends at CR LF, CR or LF; trimming takes bytes up to 32.
std::vector<std::string> referenceLines(std::string_view text) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = pos;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n')
            ++end;
        lines.emplace_back(text.substr(pos, end - pos));
        if (end < text.size() && text[end] == '\r' && end + 1 < text.size() &&
            text[end + 1] == '\n')
            ++end;
        pos = end + 1;
    }
    return lines;
}

std::string referenceTrim(std::string_view s) {
    size_t begin = 0;
    size_t end = s.size();
    while (begin < end && static_cast<unsigned char>(s[begin]) <= 32)
        ++begin;
    while (end > begin && static_cast<unsigned char>(s[end - 1]) <= 32)
        --end;
    return std::string(s.substr(begin, end - begin));
}

} // namespace

TEST(TextScan, LinesAndTrimmingAgreeWithTheByteRules) {
    const std::string alphabet("  \t\r\n\x01\x1f!a\x7f\x80\xa0\xff\0", 14);
    unsigned seed = 7;
    const auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        const size_t length = next() % 72;
        // Mostly blanks, so that long runs of them occur; the rest from the whole alphabet.
        for (size_t i = 0; i < length; ++i)
            text += next() % 3 ? ' ' : alphabet[(next() >> 8) % alphabet.size()];
        EXPECT_EQ(SplitLines(text), referenceLines(text)) << round;
        EXPECT_EQ(std::string(TrimView(text)), referenceTrim(text)) << round;
    }
    // A line end after long runs of every length up to two sixteen-byte steps.
    for (size_t run = 0; run <= 33; ++run)
        for (const char* end : {"\r\n", "\r", "\n"}) {
            const std::string text = std::string(run, 'x') + end + std::string(run, ' ') + "y";
            EXPECT_EQ(SplitLines(text), referenceLines(text)) << run;
            EXPECT_EQ(std::string(TrimView(std::string(run, ' ') + "y" + std::string(run, '\t'))),
                      "y");
        }
}

// Searching for a set of bytes eight or sixteen at a time agrees with looking at each byte, for
// every byte value at every place around those steps, bytes next to the ones searched for
// included.
TEST(TextScan, HoldsAnyByteAgreesWithEachByte) {
    const auto reference = [](std::string_view s, std::string_view set) {
        return s.find_first_of(set) != std::string_view::npos;
    };
    const std::string_view lineBreaks("\r\n\t\0\"'", 6);
    for (size_t size = 0; size <= 40; ++size) {
        for (size_t at = 0; at < std::max<size_t>(size, 1); ++at) {
            for (int value = 0; value < 256; ++value) {
                // A name of letters, and of bytes from 0x80 on, with one byte changed.
                for (const char fill : {'N', static_cast<char>(0xC3)}) {
                    std::string s(size, fill);
                    if (size > 0)
                        s[at] = static_cast<char>(value);
                    EXPECT_EQ((HoldsAnyByte<'\r', '\n', '\t', '\0', '"', '\''>(s)),
                              reference(s, lineBreaks))
                        << size << " " << at << " " << value;
                    EXPECT_EQ((HoldsAnyByte<'<', '>'>(s)), reference(s, "<>"))
                        << size << " " << at << " " << value;
                }
            }
        }
    }
}
