// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/elementtext.h"
#include "model/caption.h"
#include "model/documenttext.h"
#include "model/feedback.h"
#include "model/flynode.h"
#include "model/textfile.h"

#include <gtest/gtest.h>

#include "testsupport.h"

#include <new>
#include <stdexcept>
#include <string>
#include <vector>

using namespace settree;

namespace {

std::string show(const TextLines& lines) {
    return settree::testing::ShowLines(lines);
}

// The tree in pre-order, one node a line, two blanks per level, the caption without markup (so a
// description part shows as " - " and the description, also when it is empty).
std::string dump(const TFlyNodes& tree) {
    std::string out;
    std::vector<std::pair<const TFlyNode*, int>> stack;
    for (int i = tree.Count() - 1; i >= 0; --i)
        stack.push_back({tree.Root(i), 0});
    while (!stack.empty()) {
        const auto [node, depth] = stack.back();
        stack.pop_back();
        out += std::string(static_cast<size_t>(depth) * 2, ' ') + StripTags(node->Text()) + "\n";
        for (int i = node->Count() - 1; i >= 0; --i)
            stack.push_back({node->Child(i), depth + 1});
    }
    return out;
}

std::vector<const TFlyNode*> allNodes(const TFlyNodes& tree) {
    std::vector<const TFlyNode*> nodes;
    std::vector<const TFlyNode*> stack;
    for (int i = 0; i < tree.Count(); ++i)
        stack.push_back(tree.Root(i));
    while (!stack.empty()) {
        const TFlyNode* node = stack.back();
        stack.pop_back();
        nodes.push_back(node);
        for (int i = 0; i < node->Count(); ++i)
            stack.push_back(node->Child(i));
    }
    return nodes;
}

TFlyNode* add(TFlyNodes& tree, TFlyNode* parent, const std::string& name) {
    return tree.AddChild(parent, MakeCaption(name));
}

// The text pane's document of lines: joined by line feeds.
std::string paneDocument(const TextLines& lines) {
    std::string document;
    DocumentText::OfLines(lines, [&](std::string_view piece) {
        document.append(piece);
        return true;
    });
    return document;
}

TextLines normalised(TextLines lines) {
    CollectingFeedback feedback;
    NormaliseElementText(lines, feedback);
    return lines;
}

TextLines written(const TFlyNodes& tree) {
    CollectingFeedback feedback;
    TextLines lines{"old text"};
    WriteElementText(tree, lines, feedback);
    EXPECT_TRUE(feedback.messages.empty());
    EXPECT_EQ(feedback.busyDepth, 0);
    // The same text whole, for the text pane to take in: the lines joined by CR LF.
    std::string text = "old text";
    EXPECT_TRUE(WriteElementText(tree, text, feedback));
    EXPECT_EQ(show(SplitLines(text)), show(lines));
    EXPECT_EQ(text, JoinLines(lines));
    return lines;
}

// ---------------------------------------------------------------------------------------------
// Normalisation

struct NormaliseCase {
    const char* what;
    TextLines input;
    TextLines expected;
};

TEST(NormaliseElementText, Table) {
    const std::string sixBlanks(6, ' ');
    const NormaliseCase cases[] = {
        {"empty text", {}, {}},
        {"blank lines go", {"", "   ", "\t", " \r"}, {}},
        {"a line of only the marker goes", {"*!", "*!   "}, {}},
        {"bare root name", {"Paris"}, {"\"Paris\""}},
        {"bare name, description untouched",
         {"   Paris capital city"},
         {"   \"Paris\" capital city"}},
        {"closing quote before the first blank after the name",
         {"a b  c", "  x\ty z"},
         {"\"a\" b  c", "  \"x\ty\" z"}},
        {"quoted names stay as they are",
         {"'Paris' x", "   \"Rome\"  \"y\" ", "\"open"},
         {"'Paris' x", "   \"Rome\"  \"y\" ", "\"open"}},
        {"blank lines between elements", {"a", "", "  ", "   b"}, {"\"a\"", "   \"b\""}},
        {"repeated root is marked, the first not",
         {"\"A\"", "\"B\"", "\"A\""},
         {"\"A\"", "\"B\"", "*!\"A\""}},
        {"marker takes two of three blanks; letter case ignored",
         {"\"A\"", "   b", "\"C\"", "   \"B\" desc"},
         {"\"A\"", "   \"b\"", "\"C\"", "*! \"B\" desc"}},
        {"deeper repetition keeps its depth",
         {"\"x\"", sixBlanks + "\"X\""},
         {"\"x\"", "*!    \"X\""}},
        {"bare repetition is quoted, then marked", {"a", "   A"}, {"\"a\"", "*! \"A\""}},
        {"hand-marked bare names are quoted in place",
         {"*! abc", "*!def"},
         {"*! \"abc\"", "*!\"def\""}},
        {"a marked line keeps its marker and does not count as seen",
         {"*!\"A\"", "\"A\"", "   \"a\""},
         {"*!\"A\"", "\"A\"", "*! \"a\""}},
        {"names without closing quote are all the empty name",
         {"\"abc", "   \"def"},
         {"\"abc", "*! \"def"}},
        {"a single quote inside a double-quoted name belongs to it",
         {"\"O'Neil\"", "\"O'Brien\"", "   \"o'neil\" x"},
         {"\"O'Neil\"", "\"O'Brien\"", "*! \"o'neil\" x"}},
        {"name compared without its quotes", {"'A'", "   \"a\""}, {"'A'", "*! \"a\""}},
        {"the first occurrence is never marked, whatever its order",
         {"\"Z\"", "\"A\"", "\"z\"", "\"a\""},
         {"\"Z\"", "\"A\"", "*!\"z\"", "*!\"a\""}},
        // A repetition indented by one or two blanks cannot carry the marker without changing
        // depth or name, so it stays unmarked.
        {"repetition indented by one or two blanks stays unmarked",
         {"\"A\"", " \"a\"", "  \"A\"", "   \"A\"", "  b", "  B"},
         {"\"A\"", " \"a\"", "  \"A\"", "*! \"A\"", "  \"b\"", "  \"B\""}},
    };
    for (const NormaliseCase& c : cases) {
        CollectingFeedback feedback;
        TextLines lines = c.input;
        NormaliseElementText(lines, feedback);
        EXPECT_EQ(show(lines), show(c.expected)) << c.what;
        EXPECT_TRUE(feedback.messages.empty()) << c.what;
        EXPECT_EQ(feedback.busyDepth, 0) << c.what;
        EXPECT_GE(feedback.busyCount, 1) << c.what;
        // The normal form is a fixed point.
        EXPECT_EQ(show(normalised(lines)), show(lines)) << c.what << " (second run)";
    }
}

// ---------------------------------------------------------------------------------------------
// Parser

struct ParseCase {
    const char* what;
    TextLines input;
    std::string tree;    // dump() of the tree afterwards
    std::string message; // "" when nothing is reported
};

TEST(ParseElementText, Table) {
    const std::string wide(1000000, ' ');
    const ParseCase cases[] = {
        {"empty text", {}, "", ""},
        {"depth follows indentation",
         {"a", "   b", "      c", "d", "   e"},
         "a\n  b\n    c\nd\n  e\n",
         ""},
        {"levels go by order of new widths, not by blanks",
         {"a", "      b", "   c"},
         "a\n  b\n",
         "Error in line 2\r\n   \"c\""},
        {"an indented first line is a root",
         {"    a", "    b", "c"},
         "a\nb\n",
         "Error in line 2\r\n\"c\""},
        {"a jump goes under the latest element of the level above",
         {"a", "   b", "      c", "d", "      e"},
         "a\n  b\n    c\n    e\nd\n",
         ""},
        {"a very wide indentation is one more level",
         {"a", wide + "b", "   c"},
         "a\n  b\n",
         "Error in line 2\r\n   \"c\""},
        {"line numbers count the normalised text, without blank lines",
         {"a", "", "      b", "", "   c"},
         "a\n  b\n",
         "Error in line 2\r\n   \"c\""},
        {"the failing line shows with the marker read as blanks",
         {"a", "      b", "   A"},
         "a\n  b\n",
         "Error in line 2\r\n   \"A\""},
        {"descriptions",
         {"\"x\" \"Some text\"", "\"y\"", "\"z\" \"\"", "w  more  words "},
         "x - Some text\ny\nz - \nw - more  words\n",
         ""},
        {"either quote closes a name", {"\"O'Neil\" \"Irish\""}, "O - Neil' 'Irish\n", ""},
        {"marked lines read three blanks deep; the marker never reaches a caption",
         {"a", "   b", "*! c", "*!a"},
         "a\n  b\n  c\na\n",
         ""},
        {"a repetition at two blanks stays where it is", {"a", "  b", "  A"}, "a\n  b\n  A\n", ""},
    };
    // The tree and the report a build gave for case c.
    const auto expectBuilt = [](const ParseCase& c, const TFlyNodes& tree,
                                const CollectingFeedback& feedback, bool clean) {
        EXPECT_EQ(dump(tree), c.tree) << c.what;
        EXPECT_EQ(feedback.lastMessage(), c.message) << c.what;
        EXPECT_LE(feedback.messages.size(), 1u) << c.what;
        EXPECT_EQ(clean, c.message.empty()) << c.what;
        EXPECT_EQ(tree.UpdateCount(), 0) << c.what;
        EXPECT_EQ(feedback.busyDepth, 0) << c.what;
    };
    for (const ParseCase& c : cases) {
        CollectingFeedback feedback;
        TFlyNodes tree;
        TextLines lines = c.input;
        const bool clean = ParseElementText(lines, tree, feedback);
        expectBuilt(c, tree, feedback, clean);
        EXPECT_EQ(show(lines), show(normalised(c.input))) << c.what << ": pane not normalised";
    }
    // The text pane's document of the normalised lines builds the same tree where it stands.
    for (const ParseCase& c : cases) {
        CollectingFeedback feedback;
        TFlyNodes tree;
        bool clean = false;
        ASSERT_TRUE(ParseNormalDocument(paneDocument(normalised(c.input)), tree, feedback, clean))
            << c.what;
        expectBuilt(c, tree, feedback, clean);
    }
}

// A document that normalisation would change is left to the lines: nothing is built or reported.
TEST(ParseNormalDocument, TextToNormaliseIsLeftAlone) {
    const char* const documents[] = {
        "\"a\"\nb",        // a bare name
        "\"a\"\n\n\"b\"",  // a blank line
        "\"a\"\n",         // an empty last line
        "\"a\"\n   \"A\"", // a repeated name not marked
        "\"a\"\t\"x\"",    // a tab, which the pane makes blanks
        "\"a\"\r\"b\"",    // a carriage return, which ends a line
        "\"a\"\r\n\"b\"",  // and so a CR LF
    };
    for (const char* document : documents) {
        TFlyNodes tree;
        add(tree, nullptr, "old");
        CollectingFeedback feedback;
        bool clean = false;
        EXPECT_FALSE(ParseNormalDocument(document, tree, feedback, clean)) << document;
        EXPECT_EQ(dump(tree), "old\n") << document;
        EXPECT_TRUE(feedback.messages.empty()) << document;
        EXPECT_EQ(feedback.busyDepth, 0) << document;
    }
}

// A file's bytes tell whether the pane's document of the file is normal, so that the document
// need not be checked again: never yes where the document's own check says no.
TEST(ParseNormalDocument, NormalFileText) {
    struct Case {
        const char* bytes;
        bool normal;
    };
    const Case cases[] = {
        {"\"a\" \"x\"\r\n   \"b\"\r\n*!    \"A\"\r\n", true}, // as saved, marker and all
        {"\"a\"\r\n   \"b\"", true},                          // no line end after the last
        {"\"a\"\n   \"b\"\n", false},                         // line feeds alone
        {"\"a\"\r\n   \"b\"\n", false},                       // one line feed alone at the end
        {"\"a\"\r   \"b\"", false},                           // a carriage return alone
        {"\"a\"\r\n\r\n", false},                             // a blank last line
        {"\"a\"\r\n\r\n   \"b\"", false},                     // a blank line
        {"\r\n", false},                                      // only a blank line
        {"", false},                                          // nothing
        {"\"a\"\r\n\t\"b\"\r\n", false},                      // a tab
        {"\"a\"\r\nb\r\n", false},                            // a bare name
        {"\"a\"\r\n   \"A\"\r\n", false},                     // a repetition not marked
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsNormalFileText(c.bytes), c.normal) << c.bytes;
        std::string document;
        DocumentText::OfText(c.bytes, true, [&](std::string_view piece) {
            document.append(piece);
            return true;
        });
        TFlyNodes checked;
        TFlyNodes trusted;
        CollectingFeedback feedback;
        bool clean = false;
        const bool normal = ParseNormalDocument(document, checked, feedback, clean);
        if (c.normal) {
            EXPECT_TRUE(normal) << c.bytes;
            EXPECT_TRUE(ParseNormalDocument(document, trusted, feedback, clean, true));
            EXPECT_EQ(dump(trusted), dump(checked)) << c.bytes;
        }
    }
}

TEST(ParseElementText, ReplacesTreeWithWeightOneAndExpandsOnSuccess) {
    TFlyNodes tree;
    TFlyNode* old = add(tree, nullptr, "old");
    old->SetCells(1, "5");
    add(tree, old, "child");

    CollectingFeedback feedback;
    TextLines lines{"a", "   b", "      c", "d"};
    ASSERT_TRUE(ParseElementText(lines, tree, feedback));
    EXPECT_EQ(dump(tree), "a\n  b\n    c\nd\n");
    for (const TFlyNode* node : allNodes(tree)) {
        EXPECT_EQ(node->Cells(1), "1");
        EXPECT_EQ(node->Expanded(), node->Count() > 0);
    }
    EXPECT_EQ(tree.Root(0)->Text(), MakeCaption("a"));
    EXPECT_EQ(tree.RowCount(), 4);
    EXPECT_EQ(tree.Selected(), tree.Root(0));
}

TEST(ParseElementText, IndentationErrorLeavesTreeUnexpanded) {
    CollectingFeedback feedback;
    TFlyNodes tree;
    TextLines lines{"a", "   b", "      c", "  d"};
    EXPECT_FALSE(ParseElementText(lines, tree, feedback));
    EXPECT_EQ(feedback.messages, std::vector<std::string>{"Error in line 3\r\n  \"d\""});
    EXPECT_EQ(dump(tree), "a\n  b\n    c\n");
    EXPECT_FALSE(tree.Root(0)->Expanded());
    EXPECT_EQ(tree.UpdateCount(), 0);
}

// A name that holds "<" or ">" would show as markup in the tree and reach a .PC file as another
// name: the parse stops at its line and says why, as at a line that fits no level.
TEST(ParseElementText, NamesThatLookLikeMarkupAreRefused) {
    const std::string reason = "\" holds \"<\" or \">\", which the tree would show as markup "
                               "and save as another name";
    for (const std::string name : {"A</color>B", "<color=clred>R</color>", "P<br>Q", "<5", "a>b"}) {
        CollectingFeedback feedback;
        TFlyNodes tree;
        TextLines lines{"\"ok\"", "   \"" + name + "\" \"a description <b>may</b> hold them\""};
        EXPECT_FALSE(ParseElementText(lines, tree, feedback)) << name;
        EXPECT_EQ(feedback.messages,
                  std::vector<std::string>{"Error in line 1\r\n" + lines[1] +
                                           "\r\nThe element name \"" + name + reason})
            << name;
        EXPECT_EQ(dump(tree), "ok\n") << name;
        EXPECT_EQ(tree.UpdateCount(), 0);
    }
    CollectingFeedback feedback;
    TFlyNodes tree;
    TextLines lines{"\"A\" \"<b>bold</b> description\""};
    EXPECT_TRUE(ParseElementText(lines, tree, feedback));
}

// A line of megabytes shows in a message by its first 200 characters and its length.
TEST(ParseElementText, LongLinesAreCutInMessages) {
    struct Case {
        std::string line;
        std::string shown;
    };
    const std::string euro = "\xE2\x82\xAC";
    std::string euros;
    for (int i = 0; i < 300; ++i)
        euros += euro;
    std::string firstEuros;
    for (int i = 0; i < 200; ++i)
        firstEuros += euro;
    const Case cases[] = {
        {"  \"short\"", "  \"short\""},
        {std::string(200, 'x'), std::string(200, 'x')},
        {std::string(5'000'000, 'x'),
         std::string(200, 'x') + "... (the line has 5000000 characters)"},
        {euros, firstEuros + "... (the line has 300 characters)"},
        {std::string(300, '\xE9'), std::string(200, '\xE9') + "... (the line has 300 characters)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LineForMessage(c.line), c.shown) << c.line.substr(0, 20);

    CollectingFeedback feedback;
    TFlyNodes tree;
    TextLines lines{"a", "   b", "  \"" + std::string(5'000'000, 'x') + "\""};
    EXPECT_FALSE(ParseElementText(lines, tree, feedback));
    EXPECT_EQ(feedback.messages,
              std::vector<std::string>{"Error in line 2\r\n  \"" + std::string(197, 'x') +
                                       "... (the line has 5000004 characters)"});
}

// Fails while the tree is being built, as a store that cannot take another node would.
struct FailingObserver : TreeObserver {
    int changesLeft;
    bool outOfMemory;
    FailingObserver(int changes, bool memory) : changesLeft(changes), outOfMemory(memory) {}
    void nodeChanged(TFlyNode*) override {
        if (--changesLeft >= 0)
            return;
        if (outOfMemory)
            throw std::bad_alloc();
        throw std::runtime_error("store full");
    }
};

TEST(ParseElementText, OtherFailureKeepsWhatWasBuiltAndExpandsIt) {
    for (const bool outOfMemory : {false, true}) {
        TFlyNodes tree;
        FailingObserver observer(2, outOfMemory); // the weight of the third node fails
        tree.AddObserver(&observer);
        CollectingFeedback feedback;
        TextLines lines{"a", "   b", "   c", "d"};
        EXPECT_FALSE(ParseElementText(lines, tree, feedback));
        tree.RemoveObserver(&observer);
        EXPECT_EQ(feedback.messages,
                  std::vector<std::string>{
                      "The code you have in your memo is incorrect, please check it!"});
        EXPECT_EQ(dump(tree), "a\n  b\n  c\n");
        EXPECT_TRUE(tree.Root(0)->Expanded());
        EXPECT_EQ(tree.UpdateCount(), 0);
        EXPECT_EQ(feedback.busyDepth, 0);
    }
}

// ---------------------------------------------------------------------------------------------
// Writer

TEST(WriteElementText, EmptyTreeGivesEmptyText) {
    TFlyNodes tree;
    EXPECT_TRUE(written(tree).empty());
}

TEST(WriteElementText, NamesDescriptionsAndIndentation) {
    TFlyNodes tree;
    TFlyNode* europe = tree.AddChild(nullptr, MakeCaption("Europe", "Continent"));
    europe->SetCells(1, "7");
    TFlyNode* france = add(tree, europe, "France");
    tree.AddChild(france, MakeCaption("Paris", ""));
    // An empty name is written as two quotes: the line keeps its place and its description.
    tree.AddChild(france, MakeCaption("", "no name"));
    tree.AddChild(france, MakeCaption(""));
    add(tree, nullptr, "Asia");
    EXPECT_EQ(show(written(tree)),
              show({"\"Europe\" \"Continent\"", "   \"France\"", "      \"Paris\"",
                    "      \"\" \"no name\"", "*!    \"\"", "\"Asia\""}));
}

TEST(WriteElementText, RepeatedNamesAtEveryDepth) {
    TFlyNodes tree;
    add(tree, add(tree, add(tree, add(tree, nullptr, "A"), "B"), "C"), "D");
    add(tree, add(tree, add(tree, add(tree, nullptr, "a"), "b"), "c"), "d");
    add(tree, nullptr, "E");
    EXPECT_EQ(show(written(tree)),
              show({"\"A\"", "   \"B\"", "      \"C\"", "         \"D\"", "*!\"a\"", "*! \"b\"",
                    "*!    \"c\"", "*!       \"d\"", "\"E\""}));
}

TEST(WriteElementText, BlankCaptionsWriteNoLineButTheirChildren) {
    TFlyNodes tree;
    TFlyNode* blank = tree.AddChild(nullptr, "  ");
    add(tree, blank, "X");
    add(tree, add(tree, blank, "Y"), "Z");
    TFlyNode* p = add(tree, nullptr, "P");
    add(tree, tree.AddChild(p, ""), "Q");
    // The whole text is trimmed, so the first line starts at the margin.
    EXPECT_EQ(show(written(tree)),
              show({"\"X\"", "   \"Y\"", "      \"Z\"", "\"P\"", "      \"Q\""}));
}

TEST(WriteElementText, ElementWithoutNameKeepsItsChildren) {
    // The first root has neither name nor description: its line holds two quotes, so its
    // children stay its children when the text is read back.
    TFlyNodes tree;
    TFlyNode* first = tree.AddChild(nullptr, MakeCaption(""));
    add(tree, first, "A");
    add(tree, first, "B");
    TextLines lines = written(tree);
    EXPECT_EQ(show(lines), show({"\"\"", "   \"A\"", "   \"B\""}));
    CollectingFeedback feedback;
    TFlyNodes back;
    ASSERT_TRUE(ParseElementText(lines, back, feedback));
    EXPECT_EQ(settree::testing::Dump(back), settree::testing::Dump(tree));
}

TEST(WriteElementText, CaptionTextEntersThePaneAsText) {
    // Tabs become blanks and a line break starts a new line, as in any text the pane takes in;
    // such a tree reads back as another, which the first of its elements reports.
    TFlyNodes tree;
    add(tree, nullptr, "a\tb");
    tree.AddChild(nullptr, MakeCaption("c", "d\r\ne"));
    CollectingFeedback feedback;
    TextLines lines;
    EXPECT_FALSE(WriteElementText(tree, lines, feedback));
    EXPECT_EQ(show(lines), show({"\"a   b\"", "\"c\" \"d", "\"e\"\""}));
    EXPECT_EQ(feedback.messages,
              std::vector<std::string>{"The element \"a\tb\" at level 1 cannot be written as "
                                       "element text: it holds a tab, which is read as three "
                                       "blanks"});
}

TEST(WriteElementText, RoundTripThroughTheTree) {
    const TextLines text{
        "\"World\" \"All regions\"",
        "   \"Europe\"",
        "      \"France\" \"Republic\"",
        "         \"Paris\"",
        "      \"Benelux\"",
        "         \"Belgium\"",
        "   \"Asia\"",
        "      \"Japan\"",
        "\"Trade\"",
        "   \"EU\"",
        "*!    \"france\"",
        "*!    \"Belgium\" \"member\"",
        "*! \"asia\"",
        "*!\"Europe\"",
    };
    CollectingFeedback feedback;
    TFlyNodes tree;
    TextLines lines = text;
    ASSERT_TRUE(ParseElementText(lines, tree, feedback));
    EXPECT_EQ(show(lines), show(text)); // already in normal form
    const std::string shape = dump(tree);
    EXPECT_EQ(show(written(tree)), show(text));
    EXPECT_EQ(dump(tree), shape); // the writer leaves the tree alone
    EXPECT_EQ(show(written(tree)), show(text));

    // Bare, tab-free user text comes back in normal form and reads as the same tree.
    TextLines user{"a x", "", "   b", "   A", "      c \"d\""};
    ASSERT_TRUE(ParseElementText(user, tree, feedback));
    const std::string userShape = dump(tree);
    TextLines again = written(tree);
    EXPECT_EQ(show(again), show({"\"a\" \"x\"", "   \"b\"", "*! \"A\"", "      \"c\" \"d\""}));
    ASSERT_TRUE(ParseElementText(again, tree, feedback));
    EXPECT_EQ(dump(tree), userShape);
    EXPECT_TRUE(feedback.messages.empty());
}

TEST(WriteElementText, DeepChain) {
    // A chain of 100,000 elements. Written in full its text would hold billions of blanks of
    // indentation, so only every 10,000th element has a caption; the rest write no line.
    constexpr int kDepth = 100000;
    constexpr int kStep = 10000;
    TFlyNodes tree;
    tree.BeginUpdate();
    TFlyNode* node = nullptr;
    for (int depth = 0; depth < kDepth; ++depth)
        node = tree.AddChild(node, depth % kStep == 0 ? MakeCaption("n" + std::to_string(depth))
                                                      : std::string());
    add(tree, node, "leaf");
    tree.EndUpdate();

    const TextLines lines = written(tree);
    ASSERT_EQ(lines.size(), static_cast<size_t>(kDepth / kStep + 1));
    for (size_t k = 0; k + 1 < lines.size(); ++k)
        EXPECT_EQ(lines[k],
                  std::string(k * kStep * 3, ' ') + "\"n" + std::to_string(k * kStep) + "\"");
    EXPECT_EQ(lines.back(), std::string(size_t{kDepth} * 3, ' ') + "\"leaf\"");

    // Reading it back replaces the deep chain by a chain of the written elements.
    CollectingFeedback feedback;
    TextLines text = lines;
    ASSERT_TRUE(ParseElementText(text, tree, feedback));
    const TFlyNode* n = tree.Root(0);
    int count = 0;
    for (; n; n = n->Child(0)) {
        ++count;
        EXPECT_LE(n->Count(), 1);
    }
    EXPECT_EQ(count, kDepth / kStep + 1);
    EXPECT_EQ(tree.NodeCount(), kDepth / kStep + 1);
}

TEST(WriteElementText, ChainOnlyTheLeafNamed) {
    constexpr int kDepth = 100000;
    TFlyNodes tree;
    tree.BeginUpdate();
    TFlyNode* node = nullptr;
    for (int depth = 0; depth < kDepth; ++depth)
        node = tree.AddChild(node, "");
    add(tree, node, "leaf");
    tree.EndUpdate();
    // The one line starts the text, so trimming takes all its indentation.
    EXPECT_EQ(show(written(tree)), show({"\"leaf\""}));
}

} // namespace
