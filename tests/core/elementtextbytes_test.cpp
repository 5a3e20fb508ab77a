// SPDX-License-Identifier: GPL-3.0-or-later
// The writer's text takes a short way when normalisation has nothing to change; trees whose text
// it must change take the long way and come out the same as the text pane would hold them.
#include "formats/elementtext.h"
#include "formats/treefile.h"
#include "model/caption.h"
#include "model/feedback.h"
#include "model/flynode.h"
#include "model/textfile.h"

#include <gtest/gtest.h>

#include "testsupport.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using namespace settree;

namespace {

std::string show(const TextLines& lines) {
    return settree::testing::ShowLines(lines);
}

TFlyNode* add(TFlyNodes& tree, TFlyNode* parent, const std::string& name) {
    return tree.AddChild(parent, MakeCaption(name));
}
TFlyNode* add(TFlyNodes& tree, TFlyNode* parent, const std::string& name,
              const std::string& description) {
    return tree.AddChild(parent, MakeCaption(name, description));
}

struct WriterCase {
    const char* what;
    std::function<void(TFlyNodes&)> build;
    TextLines expected;
    // The reason given for the first element that element text cannot hold; none when every
    // element reads back as written.
    const char* fault = nullptr;
};

// The writer's text for trees whose lines normalisation changes or checks the long way. A tree
// that element text cannot hold still gives its text to the pane, with the first such element
// reported; its bytes for a file are refused.
TEST(ElementTextBytes, TextsThatNormalisationChanges) {
    const char* const quote = "its name holds a quote, which ends a name in element text";
    const char* const lineEnd = "it holds a line end, which would split its line";
    const WriterCase cases[] = {
        {"a double quote in a name ends the name that normalisation compares",
         [](TFlyNodes& t) {
             add(t, nullptr, "a\"b");
             add(t, nullptr, "A");
         },
         {"\"a\"b\"", "*!\"A\""},
         quote},
        {"an apostrophe inside a double-quoted name ends it for the parser",
         [](TFlyNodes& t) {
             add(t, nullptr, "O'Neil", "x");
             add(t, nullptr, "o'neil");
             add(t, nullptr, "O");
         },
         {"\"O'Neil\" \"x\"", "*!\"o'neil\"", "\"O\""},
         quote},
        {"an empty name is written as two quotes, so its description stays a description",
         [](TFlyNodes& t) { add(t, add(t, nullptr, "X"), "", "x"); },
         {"\"X\"", "   \"\" \"x\""}},
        {"roots without names: the second is a repeat of the first, the named third is not",
         [](TFlyNodes& t) {
             add(t, nullptr, "", "d");
             add(t, nullptr, "", "d");
             add(t, nullptr, "d");
         },
         {"\"\" \"d\"", "*!\"\" \"d\"", "\"d\""}},
        {"lines of empty names stay, the second marked",
         [](TFlyNodes& t) {
             TFlyNode* a = add(t, nullptr, "a");
             add(t, a, "");
             add(t, a, "");
             add(t, a, "b");
         },
         {"\"a\"", "   \"\"", "*! \"\"", "   \"b\""}},
        {"a line feed in a name starts a line",
         [](TFlyNodes& t) { add(t, nullptr, "a\nb"); },
         {"\"a", "\"b\"\""},
         lineEnd},
        {"a carriage return in a description starts a line",
         [](TFlyNodes& t) { add(t, nullptr, "c", "d\re"); },
         {"\"c\" \"d", "\"e\"\""},
         lineEnd},
        {"a line break at the end of the last description",
         [](TFlyNodes& t) {
             add(t, nullptr, "a");
             add(t, nullptr, "b", "c\r\n");
         },
         {"\"a\"", "\"b\" \"c", "\""},
         lineEnd},
        {"tabs become blanks",
         [](TFlyNodes& t) { add(t, add(t, nullptr, "a"), "b\tc", "\t"); },
         {"\"a\"", "   \"b   c\" \"   \""},
         "it holds a tab, which is read as three blanks"},
        {"blanks around a name are trimmed away when read",
         [](TFlyNodes& t) { add(t, nullptr, " a"); },
         {"\" a\""},
         "its name begins or ends with a blank or a control character, which reading drops"},
    };
    for (const WriterCase& c : cases) {
        TFlyNodes tree;
        c.build(tree);
        CollectingFeedback feedback;
        TextLines lines{"old text"};
        EXPECT_EQ(WriteElementText(tree, lines, feedback), c.fault == nullptr) << c.what;
        EXPECT_EQ(show(lines), show(c.expected)) << c.what;
        TextLines again = lines;
        NormaliseElementText(again, feedback);
        EXPECT_EQ(again, lines) << c.what;
        EXPECT_EQ(feedback.busyDepth, 0) << c.what;
        if (!c.fault) {
            EXPECT_TRUE(feedback.messages.empty()) << c.what;
            EXPECT_EQ(ElementTextBytes(tree, feedback), TreeFileBytes(c.expected)) << c.what;
            // What the writer leaves reads back as the same tree.
            TFlyNodes back;
            ASSERT_TRUE(ParseElementText(again, back, feedback)) << c.what;
            EXPECT_EQ(settree::testing::Dump(back), settree::testing::Dump(tree)) << c.what;
            continue;
        }
        ASSERT_EQ(feedback.messages.size(), 1u) << c.what;
        EXPECT_NE(feedback.messages[0].find(c.fault), std::string::npos)
            << c.what << ": " << feedback.messages[0];
        try {
            ElementTextBytes(tree, feedback);
            ADD_FAILURE() << c.what << ": the bytes were written";
        } catch (const ElementNotWritable& fault) {
            EXPECT_EQ(fault.what(), feedback.messages[0]) << c.what;
        }
    }
}

TEST(ElementTextBytes, LargeTreeWithRepeatsAtEveryDepth) {
    // Many names, each used twice in a tree wider than the writer's batches; every second use is
    // marked, and only that.
    TFlyNodes tree;
    tree.BeginUpdate();
    for (int copy = 0; copy < 2; ++copy) {
        for (int r = 0; r < 20; ++r) {
            TFlyNode* root = add(tree, nullptr, "r" + std::to_string(r));
            for (int c = 0; c < 50; ++c)
                add(tree, root, (copy == 0 ? "c" : "C") + std::to_string(r * 50 + c));
        }
    }
    tree.EndUpdate();
    CollectingFeedback feedback;
    const std::string bytes = ElementTextBytes(tree, feedback);
    const TextLines lines = SplitLines(bytes);
    ASSERT_EQ(lines.size(), 2040u);
    size_t marked = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        const bool isMarked = lines[i].rfind("*!", 0) == 0;
        EXPECT_EQ(isMarked, i >= 1020) << i << ": " << lines[i];
        marked += isMarked;
    }
    EXPECT_EQ(marked, 1020u);
    EXPECT_EQ(lines[1021], "*! \"C0\"");
    EXPECT_EQ(bytes.find("\r\n\r\n"), std::string::npos);
}

// The element text made straight from element text is the text of the tree the parser builds
// from it: the same bytes, messages and element in the way, for a table of texts that take each
// way through the writer, and for texts put together at random; a file takes the same bytes.
TEST(ElementTextBytes, OfTextIsTheTextOfItsParsedTree) {
    using settree::testing::Converted;
    const auto viaTree = [](std::string_view bytes) {
        Converted result;
        TFlyNodes tree;
        CollectingFeedback feedback;
        result.clean = ParseTreeFile(bytes, tree, feedback);
        result.messages = feedback.messages;
        if (result.clean) {
            try {
                result.text = ElementTextBytes(tree, feedback);
            } catch (const ElementNotWritable& e) {
                result.fault = e.what();
            }
        }
        return result;
    };
    const auto direct = [](std::string_view bytes, FileWriter* file) {
        Converted result;
        std::optional<ElementNotWritable> fault;
        CollectingFeedback feedback;
        result.clean = ElementTextOfText(bytes, result.text, fault, feedback, file);
        result.messages = feedback.messages;
        if (fault)
            result.fault = fault->what();
        return result;
    };
    std::string large; // written a piece at a time into a file: about 2 MB
    for (int r = 0; r < 80000; ++r)
        large +=
            "R" + std::to_string(r) + " \"Région\"\r\n\t\"R" + std::to_string(r % 7) + "\"\r\n";
    const std::vector<std::string> texts = {
        "\"EU\" \"Europe\"\r\n   \"DE\"\r\n      \"DE.1\" \"Bund\"\r\n   \"FR\"",
        "EU Europe\n\n\tDE\r   \t\r\n\tde again\r\n*!FR\r\n\r\nAS\n",
        "\"A\"\r\n      \"B\"\r\n\"C\"\r\n      \"D\"", // D goes under B
        "\"A\"\r\n\r\n      \"B\"\r\n   \"C\"",         // C fits no level
        "\"a\tb\"\r\n\"c\x1a d\"",                      // names element text cannot hold
        "  \"A\"\r\n",                                  // a text that does not begin its line
        "\"\" \"no name\"\r\n   \"child\"",
        large,
        large + "\"S\"\r\n      \"T\"\r\n", // T goes under the last R.. of the level above
    };
    for (const std::string& text : texts) {
        const std::string what = ::testing::PrintToString(text.substr(0, 60));
        const Converted expected = viaTree(text);
        settree::testing::ExpectSameConversion(direct(text, nullptr), expected, what);
        if (!expected.clean || !expected.fault.empty())
            continue;
        settree::testing::TempDir dir;
        const std::string name = dir.file("out.tree");
        {
            FileWriter file(name);
            const Converted streamed = direct(text, &file);
            file.commit(streamed.text);
        }
        EXPECT_TRUE(ReadFileBytes(name) == expected.text) << what << ": the file differs";
    }
    for (const std::string& text : settree::testing::RandomElementTexts(3000, 20261212)) {
        settree::testing::ExpectSameConversion(direct(text, nullptr), viaTree(text),
                                               "random text " + ::testing::PrintToString(text));
        if (::testing::Test::HasFailure())
            break;
    }
}

} // namespace
