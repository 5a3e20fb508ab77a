// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/documenttext.h"
#include "model/textfile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace settree;

namespace {

// The document made of a text, and the sizes of the pieces it came in.
std::string documentOf(std::string_view text, bool cutAtNul,
                       std::vector<size_t>* pieces = nullptr) {
    std::string document;
    DocumentText::OfText(text, cutAtNul, [&](std::string_view piece) {
        EXPECT_FALSE(piece.empty());
        EXPECT_LE(piece.size(), DocumentText::kPieceBytes);
        if (pieces)
            pieces->push_back(piece.size());
        document.append(piece);
        return true;
    });
    return document;
}

std::string documentOf(const std::vector<std::string>& lines) {
    std::string document;
    DocumentText::OfLines(lines, [&](std::string_view piece) {
        document.append(piece);
        return true;
    });
    return document;
}

struct Case {
    std::string text;
    std::string document; // of the text's lines: LF between lines, after an empty last one
};

TEST(DocumentText, LinesOfATextJoinedByLineFeeds) {
    using namespace std::string_literals;
    const Case cases[] = {
        {"", ""},
        {"a", "a"},
        {"a\r\n", "a"},         // a line end at the very end adds no line
        {"a\r\n\r\n", "a\n\n"}, // an empty last line keeps a line end of its own
        {"\r\n", "\n"},
        {"\n\n", "\n\n"},
        {"a\rb\nc\r\n\r\nd", "a\nb\nc\n\nd"},
        {"a\r\r\nb", "a\n\nb"},
        {"\tx\t\ty", "   x      y"},
        {"a\0b\nc"s, "a\0b\nc"s}, // kept: see the NUL case below for a file's text
    };
    for (const Case& c : cases) {
        EXPECT_EQ(documentOf(c.text, false), c.document) << ::testing::PrintToString(c.text);
        // The same lines given one by one make the same document.
        EXPECT_EQ(documentOf(SplitLines(c.text)), c.document) << ::testing::PrintToString(c.text);
    }
    EXPECT_EQ(documentOf("a\0b\nc"s, true), "a");
    EXPECT_EQ(documentOf("x\n\0\n"s, true), "x");
    EXPECT_EQ(documentOf(std::vector<std::string>{"", ""}), "\n\n");
}

// Lines and a line longer than a piece: every piece is full but the last, and together they are
// the document, whatever falls on a piece's edge (a line end, a tab, a line's middle).
TEST(DocumentText, LargeTextsComeInFullPieces) {
    std::string text;
    std::string expected;
    for (int i = 0; text.size() < 3 * DocumentText::kPieceBytes; ++i) {
        const std::string line = "   \"E" + std::to_string(i) + "\"\t\"d\"";
        text.append(line).append("\r\n");
        expected.append(expected.empty() ? "" : "\n")
            .append("   \"E" + std::to_string(i) + "\"   \"d\"");
    }
    const std::string huge(2 * DocumentText::kPieceBytes + 7, 'x');
    text.append(huge);
    expected.append("\n").append(huge);
    std::vector<size_t> pieces;
    EXPECT_EQ(documentOf(text, false, &pieces), expected);
    ASSERT_GE(pieces.size(), 6u);
    for (size_t i = 0; i + 1 < pieces.size(); ++i)
        EXPECT_EQ(pieces[i], DocumentText::kPieceBytes) << i;
}

TEST(DocumentText, ASinkThatStopsGetsNoMorePieces) {
    const std::string text(3 * DocumentText::kPieceBytes, 'y');
    int pieces = 0;
    DocumentText::OfText(text, false, [&](std::string_view) { return ++pieces < 2; });
    EXPECT_EQ(pieces, 2);
}

// Lines longer than the limit, counted with each tab as three blanks, go to the handler with
// their index and their tabs made blanks; the handler's text stands in their place. A line at
// the limit stays in the document.
TEST(DocumentText, LongLinesGoToTheirHandler) {
    std::vector<std::pair<size_t, std::string>> beside;
    const DocumentText::LongLines longLines{8, [&](size_t index, std::string&& line) {
                                                beside.emplace_back(index, std::move(line));
                                                return "<" + std::to_string(index) + ">";
                                            }};
    std::string document;
    DocumentText::OfText(
        "short\r\n12345678\r\n123456789\r\nab\tcd\r\nabcd\tde\r\n\t\t\t", false,
        [&](std::string_view piece) {
            document.append(piece);
            return true;
        },
        longLines);
    EXPECT_EQ(document, "short\n12345678\n<2>\nab   cd\n<4>\n<5>");
    const std::vector<std::pair<size_t, std::string>> expected = {
        {2, "123456789"}, {4, "abcd   de"}, {5, "         "}};
    EXPECT_EQ(beside, expected);
}

} // namespace
