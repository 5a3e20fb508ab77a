// SPDX-License-Identifier: GPL-3.0-or-later
// A reader of element text while it is written must only ever see beginnings of the text that is
// given at the end, cut after whole lines; and where the text the writer gives does not begin
// with what it shared (normalised, moved, or never finished), the reader has to be told.
#include "formats/elementtext.h"
#include "formats/writtentext.h"
#include "model/feedback.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace settree;

namespace {

// Element text shaped like a classification: dotted codes six levels deep, UTF-8 descriptions,
// and a name repeated in other letter case, which the writer marks.
TextLines classificationLines(int count) {
    TextLines lines;
    for (int i = 0; i < count; ++i) {
        const int depth = i % 6;
        std::string line(3 * static_cast<size_t>(depth), ' ');
        line += "\"R" + std::to_string(i / 6);
        for (int level = 1; level <= depth; ++level)
            line += "." + std::to_string(level);
        line += "\" \"Región número " + std::to_string(i) + " – Österreich\"";
        lines.push_back(line);
    }
    lines.push_back("\"r0\"");
    return lines;
}

TFlyNodes& treeOf(TFlyNodes& tree, TextLines lines) {
    CollectingFeedback feedback;
    EXPECT_TRUE(ParseElementText(lines, tree, feedback));
    return tree;
}

// What a reader saw: each text so far as it was when given.
struct Seen {
    std::vector<std::string> texts;
    WrittenText::Reader reader() {
        return [this](std::string_view soFar, size_t) { texts.emplace_back(soFar); };
    }
};

// Every text seen is longer than the one before, begins the final text and ends where a line of
// it ends.
void expectBeginningsOf(const Seen& seen, const std::string& text) {
    size_t before = 0;
    for (const std::string& soFar : seen.texts) {
        EXPECT_GT(soFar.size(), before);
        before = soFar.size();
        ASSERT_LE(soFar.size(), text.size());
        EXPECT_TRUE(text.compare(0, soFar.size(), soFar) == 0) << soFar.size(); // no diff of MBs
        EXPECT_TRUE(soFar.size() == text.size() || text.compare(soFar.size(), 2, "\r\n") == 0)
            << soFar.size();
    }
}

} // namespace

TEST(WrittenText, TheReaderSeesBeginningsOfTheTextCutAfterWholeLines) {
    // Above the size that walks the tree beside the reader, and below it, where the walk gives
    // the text between its batches.
    for (const int count : {60000, 3000}) {
        TFlyNodes tree;
        treeOf(tree, classificationLines(count));
        std::string expected;
        CollectingFeedback feedback;
        ASSERT_TRUE(WriteElementText(tree, expected, feedback));

        Seen seen;
        WrittenText written(seen.reader(), 64 * 1024);
        std::string text;
        ASSERT_TRUE(WriteElementText(tree, text, feedback, nullptr, &written));
        EXPECT_TRUE(text == expected) << count;
        EXPECT_TRUE(written.Kept()) << count;
        EXPECT_GE(seen.texts.size(), 2u) << count;
        expectBeginningsOf(seen, text);
    }
}

TEST(WrittenText, NotKeptWhereTheTextIsNotTheOneShared) {
    CollectingFeedback feedback;
    // A tab in a description makes the writer normalise the text at its end.
    {
        TextLines lines = classificationLines(60000);
        lines[40000] = "\"T\" \"a\tb\"";
        TFlyNodes tree;
        treeOf(tree, lines);
        Seen seen;
        WrittenText written(seen.reader(), 64 * 1024);
        std::string text;
        WriteElementText(tree, text, feedback, nullptr, &written);
        EXPECT_FALSE(written.Kept());
        EXPECT_FALSE(seen.texts.empty());
        expectBeginningsOf(seen, text); // what came before the quote stands
    }
    // The builder's memory has to move: far less room set aside than the text takes.
    const TextLines lines = classificationLines(3000);
    std::vector<std::string> captions;
    {
        TFlyNodes tree;
        treeOf(tree, lines);
        for (int i = 0; i < tree.Count(); ++i)
            captions.emplace_back(tree.Root(i)->Text());
    }
    {
        Seen seen;
        WrittenText written(seen.reader(), 1);
        ElementTextBuilder builder(captions.size(), 100);
        builder.ShareAsWritten(written);
        for (const std::string& caption : captions) {
            builder.add({{SplitCaptionViews(caption), 0}});
            written.Poll();
        }
        const std::string text = builder.finish(feedback);
        EXPECT_FALSE(written.Kept());
        EXPECT_FALSE(seen.texts.empty()); // the first lines fit the room
        expectBeginningsOf(seen, text);
    }
    // The builder gives up: the text is too large.
    {
        Seen seen;
        WrittenText written(seen.reader(), 1);
        bool raised = false;
        try {
            ElementTextBuilder builder(captions.size(), 1 << 20, 10000);
            builder.ShareAsWritten(written);
            for (const std::string& caption : captions) {
                builder.add({{SplitCaptionViews(caption), 0}});
                written.Poll();
            }
        } catch (const ElementTextTooLarge&) {
            raised = true;
        }
        EXPECT_TRUE(raised);
        EXPECT_FALSE(written.Kept());
        EXPECT_FALSE(seen.texts.empty());
    }
}
