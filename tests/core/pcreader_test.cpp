// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/catalogreaders.h"
#include "formats/elementtext.h"
#include "formats/pcreader.h"
#include "formats/pcwriter.h"
#include "model/caption.h"
#include "model/feedback.h"
#include "model/flynode.h"
#include "model/readahead.h"
#include "model/textfile.h"

#include <gtest/gtest.h>

#include "testsupport.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

using namespace settree;
using namespace std::string_literals;

namespace {

const std::string kFixtures = SETTREE_FIXTURES;

std::string message(const std::string& child, const std::string& parent) {
    return std::string(kPcErrorMessage) + child + " : " + parent;
}

// The tree in pre-order, one node a line: two blanks per level, the caption without its
// markup, "=" and the weight.
std::string shape(const TFlyNodes& tree) {
    std::string out;
    std::vector<std::pair<const TFlyNode*, size_t>> pending;
    for (int i = tree.Count() - 1; i >= 0; --i)
        pending.push_back({tree.Root(i), 0});
    while (!pending.empty()) {
        auto [node, depth] = pending.back();
        pending.pop_back();
        out += std::string(2 * depth, ' ') + StripTags(node->Text()) + "=" +
               std::string(node->Cells(1)) + "\n";
        for (int i = node->Count() - 1; i >= 0; --i)
            pending.push_back({node->Child(i), depth + 1});
    }
    return out;
}

bool allExpanded(const TFlyNodes& tree) {
    std::vector<const TFlyNode*> pending;
    for (int i = 0; i < tree.Count(); ++i)
        pending.push_back(tree.Root(i));
    while (!pending.empty()) {
        const TFlyNode* node = pending.back();
        pending.pop_back();
        if (node->Count() > 0 && !node->Expanded())
            return false;
        for (int i = 0; i < node->Count(); ++i)
            pending.push_back(node->Child(i));
    }
    return true;
}

// One load from bytes, with the checks every load must pass whatever its outcome: one message
// exactly when it failed, the busy cursor back, the brackets balanced, everything expanded and
// the text pane rebuilt from the tree.
struct Load {
    TFlyNodes tree;
    TextLines lines{"old pane line"};
    CollectingFeedback feedback;
    bool ok = false;

    void checkAfter() {
        EXPECT_EQ(feedback.messages.size(), ok ? 0u : 1u);
        EXPECT_EQ(feedback.busyDepth, 0);
        EXPECT_GT(feedback.busyCount, 0);
        EXPECT_EQ(tree.UpdateCount(), 0);
        EXPECT_TRUE(allExpanded(tree));
        TextLines expected;
        CollectingFeedback quiet;
        WriteElementText(tree, expected, quiet);
        EXPECT_EQ(lines, expected);
    }
    bool run(std::string_view pc, const std::string* treeBytes = nullptr, char separator = '.') {
        ok = LoadPCFromBytes(pc, treeBytes, tree, lines, feedback, separator);
        checkAfter();
        // The element text whole, for the text pane to take in: the same load, the same lines.
        TFlyNodes twin;
        if (seeded)
            seed(twin);
        CollectingFeedback twinFeedback;
        std::string text = "old pane text";
        std::optional<std::string> beside;
        if (treeBytes)
            beside = *treeBytes;
        EXPECT_EQ(LoadPCFromBytes(std::string(pc), beside, twin, text, twinFeedback, separator),
                  ok);
        EXPECT_EQ(twinFeedback.messages, feedback.messages);
        EXPECT_EQ(shape(twin), shape(tree));
        EXPECT_EQ(text, JoinLines(lines));
        return ok;
    }
    // A tree that a failed read must leave as it was.
    void seedOldTree() {
        seed(tree);
        seeded = true;
    }
    static void seed(TFlyNodes& into) {
        TFlyNode* old = into.AddChild(nullptr, MakeCaption("OLD"));
        old->SetCells(1, "7");
        into.AddChild(old, MakeCaption("KID"))->SetCells(1, "8");
    }
    bool seeded = false;
};

using settree::testing::TempDir;

const char* const kRegionsShape = "WLD=1\n"
                                  "  EUR= 1\n"
                                  "    FRA= 2\n"
                                  "  AME= 3\n";

TEST(PcReader, EveryLineEndGivesTheSameTree) {
    const std::string lines[] = {R"("level1"."WLD"."WLD")", R"("level2"."EUR"."WLD" 1)",
                                 R"("level3"."FRA"."EUR" 2)", R"("level2"."AME"."WLD" 3)"};
    auto joined = [&](const std::string& end) {
        std::string out;
        for (const std::string& line : lines)
            out += line + end;
        return out;
    };
    const std::string inputs[] = {
        joined("\r\n"),
        joined("\n"),
        joined("\r"),
        joined("\r\n").substr(0, joined("\r\n").size() - 2), // no final line end
        lines[0] + "\n" + lines[1] + "\r" + lines[2] + "\r\n" + lines[3],
        joined("\r\n") + "\x1a" + "garbage without a dot",
        joined("\n") + "\x1a\r\n\r\n",
        lines[0] + "\n" + lines[1] + "\n" + lines[2] + "\n" + lines[3] + "\x1a" + "ignored",
    };
    for (const std::string& input : inputs) {
        Load load;
        EXPECT_TRUE(load.run(input)) << input;
        EXPECT_EQ(shape(load.tree), kRegionsShape) << input;
    }
}

TEST(PcReader, LinesInAnyOrderGiveTheSameTree) {
    std::vector<std::string> lines = {R"("level1"."WLD"."WLD")", R"("level2"."EUR"."WLD" 1)",
                                      R"("level3"."FRA"."EUR" 2)", R"("level2"."AME"."WLD" 3)"};
    // Within a level the lines keep their order, so only orders with EUR before AME give the
    // same tree.
    std::sort(lines.begin(), lines.end());
    int orders = 0;
    do {
        const auto eur = std::find(lines.begin(), lines.end(), R"("level2"."EUR"."WLD" 1)");
        const auto ame = std::find(lines.begin(), lines.end(), R"("level2"."AME"."WLD" 3)");
        std::string input;
        for (const std::string& line : lines)
            input += line + "\r\n";
        Load load;
        EXPECT_TRUE(load.run(input)) << input;
        if (eur < ame) {
            EXPECT_EQ(shape(load.tree), kRegionsShape) << input;
            ++orders;
        } else {
            EXPECT_EQ(shape(load.tree), "WLD=1\n  AME= 3\n  EUR= 1\n    FRA= 2\n") << input;
        }
    } while (std::next_permutation(lines.begin(), lines.end()));
    EXPECT_EQ(orders, 12);
}

TEST(PcReader, ParentIsFirstNodeOfLevelAboveWithThatNameInAnyCase) {
    Load load;
    EXPECT_TRUE(load.run(R"("level2"."X"."a" 1
"level1"."A"."A" 1
"level1"."b"."b" 2
"level1"."a"."a" 3
"level2"."Y"."B" 4
"level3"."Z"."x" 5
"level2"."x"."A" 6
)"));
    EXPECT_EQ(shape(load.tree), "A= 1\n"
                                "  X= 1\n"
                                "    Z= 5\n"
                                "  x= 6\n"
                                "b= 2\n"
                                "  Y= 4\n"
                                "a= 3\n");
}

TEST(PcReader, ParentIsLookedUpOnlyOnTheLevelAbove) {
    // "A" exists at level 1, but the level-3 tuple looks for it among the level-2 nodes.
    Load load;
    EXPECT_FALSE(load.run(R"("level1"."A"."A" 1
"level2"."B"."A" 1
"level3"."C"."A" 1
)"));
    EXPECT_EQ(load.feedback.lastMessage(), message("C", "A"));
    EXPECT_EQ(shape(load.tree), "A= 1\n  B= 1\n");
}

struct WeightCase {
    std::string parentPart; // after `"level1"."A".`
    char separator;
    std::string weight;
};

TEST(PcReader, WeightIsSplitOffTheEndOfTheParentPart) {
    const WeightCase cases[] = {
        {R"("A" 2)", '.', " 2"},
        {R"("A"  2)", '.', " 2"},
        {R"("A" -1.5)", '.', " -1.5"},
        {R"("A" 1e5)", '.', "e5"},
        {R"("A" 3.)", '.', " 3."},
        {R"("A"7)", '.', "\"7"},
        {R"("A")", '.', "1"},
        {R"("A"   )", '.', "1"},
        {"123", '.', "1"},
        {"", '.', "1"},
        {R"("A" 1,5)", ',', " 1,5"},
        {R"("A" 1,5)", '.', ",5"},
        {R"("A" 1.5)", ',', ".5"},
    };
    for (const WeightCase& c : cases) {
        Load load;
        EXPECT_TRUE(load.run("\"level1\".\"A\"." + c.parentPart, nullptr, c.separator))
            << c.parentPart;
        ASSERT_EQ(load.tree.Count(), 1) << c.parentPart;
        EXPECT_EQ(load.tree.Root(0)->Cells(1), c.weight) << c.parentPart;
    }
}

TEST(PcReader, ParentNameIsWhatTheWeightSplitLeaves) {
    struct Case {
        std::string level2;
        std::string expected; // shape, or the failure message
    };
    const std::string level1 = "\"level1\".\"A\".\"A\" 1\r\n\"level1\".\"123\".\"123\" 1\r\n";
    const Case cases[] = {
        {R"("level2"."B"."A" 1e5)", message("B", "A' 1e")},
        {R"("level2"."B".123)", "A= 1\n123= 1\n  B=1\n"},
        {R"("level2"."B".123 4)", "A= 1\n123= 1\n  B= 4\n"},
        {R"("level2"."B"."a")", "A= 1\n  B=1\n123= 1\n"},
        {R"("level2".B.A 1)", message("", ".A")},
        {R"("level2"."B"."A" x)", message("B", "A' x")},
    };
    for (const Case& c : cases) {
        Load load;
        load.run(level1 + c.level2);
        if (load.ok)
            EXPECT_EQ(shape(load.tree), c.expected) << c.level2;
        else
            EXPECT_EQ(load.feedback.lastMessage(), c.expected) << c.level2;
    }
}

TEST(PcReader, QuotedNames) {
    // Names holding a quote load, but element text cannot hold them: rebuilding the text pane
    // from the tree says so, for the first of them.
    Load load;
    EXPECT_FALSE(load.run(R"("level1"."A.B"."A.B" 1
"level1".'S'.'S' 1
"level1"."a"b"."a"b" 1
"level1".A.A 2
"level1". 3
'level2'."C"."a.b" 1
"level2"."D"."A'B" 1
"level2"."E" . 's' 1
"level2"."F".'a"b' 1
)"));
    EXPECT_EQ(shape(load.tree), "A.B= 1\n"
                                "  C= 1\n"
                                "S= 1\n"
                                "  E= 1\n"
                                "a'b= 1\n"
                                "  D= 1\n"
                                "  F= 1\n"
                                "= 2\n"
                                "=1\n");
    EXPECT_EQ(load.tree.Root(3)->Text(), MakeCaption(""));
    EXPECT_EQ(load.feedback.lastMessage(),
              "The element \"a'b\" at level 1 cannot be written as element text: its name holds "
              "a quote, which ends a name in element text");
}

// A name that holds "<" or ">" is refused with the one tuple message and why; the tree keeps
// the nodes built before it. Descriptions may hold them.
TEST(PcReader, NamesThatLookLikeMarkupAreRefused) {
    for (const std::string name : {"A</color>B", "<color=clred>R</color>", "P<br>Q", "<5"}) {
        Load load;
        EXPECT_FALSE(load.run("\"level1\".\"A\".\"A\" 1 @ \"<b>bold</b>\"\r\n\"level2\".\"" + name +
                              "\".\"A\" 1\r\n"))
            << name;
        EXPECT_EQ(load.feedback.lastMessage(),
                  message(name, "A") + "\r\nThe element name \"" + name +
                      "\" holds \"<\" or \">\", which the tree would show as markup and save as "
                      "another name")
            << name;
        EXPECT_EQ(shape(load.tree), "A - bold= 1\n") << name;
    }
}

// A tuple of megabytes that cannot be hung is named by the first 200 characters of its names.
TEST(PcReader, LongNamesAreCutInMessages) {
    const std::string name(5'000'000, 'x');
    const std::string shown = std::string(200, 'x') + "...";
    Load load;
    EXPECT_FALSE(
        load.run("\"level1\".\"A\".\"A\" 1\r\n\"level2\".\"" + name + "\".\"" + name + "\" 1\r\n"));
    EXPECT_EQ(load.feedback.lastMessage(), message(shown, shown));
    Load markup;
    EXPECT_FALSE(markup.run("\"level1\".\"<" + name + "\".\"A\" 1\r\n"));
    EXPECT_EQ(markup.feedback.lastMessage(),
              message("<" + name.substr(0, 199) + "...", "A") + "\r\nThe element name \"<" +
                  name.substr(0, 199) +
                  "...\" holds \"<\" or \">\", which the tree would show as markup and save as "
                  "another name");
}

struct FailureCase {
    std::string input;
    std::string message;
    std::string shape; // the tree afterwards
};

TEST(PcReader, FailuresReportOneMessageAndLeaveTheTreeAsTheTableSays) {
    const std::string unchanged = "OLD=7\n  KID=8\n";
    const std::string a = "\"level1\".\"A\".\"A\" 1\r\n";
    const FailureCase cases[] = {
        // Read phase: both names empty, the tree as it was.
        {a + "\r\n" + "\"level2\".\"B\".\"A\" 1", message("", ""), unchanged},
        {a + "\r\n", message("", ""), unchanged},
        {a + "\r\n\r\n", message("", ""), unchanged},
        {"\n" + a, message("", ""), unchanged},
        {a + "level1 A A 1", message("", ""), unchanged},
        {a + R"("levelX"."B"."A" 1)", message("", ""), unchanged},
        {a + R"("level"."B"."A" 1)", message("", ""), unchanged},
        {a + R"("lev2"."B"."A" 1)", message("", ""), unchanged},
        {a + R"("level0"."B"."A" 1)", message("", ""), unchanged},
        {a + R"("level-1"."B"."A" 1)", message("", ""), unchanged},
        {a + R"("level2x"."B"."A" 1)", message("", ""), unchanged},
        {a + R"("level 2"."B"."A" 1)", message("", ""), unchanged},
        {a + R"("level99999999999"."B"."A" 1)", message("", ""), unchanged},
        // Build phase: the names of the failing tuple, the nodes built before it.
        {a + R"("level2"."B1"."B" 1)", message("B1", "B"), "A= 1\n"},
        {a + R"("level2"."B1"."A" 1)" + "\n" + R"("level2"."B2"."X" 1)" + "\n" +
             R"("level2"."B3"."A" 1)",
         message("B2", "X"), "A= 1\n  B1= 1\n"},
        {a + R"("level3"."C"."A" 1)", message("C", "A"), "A= 1\n"},
        {a + R"("level2000000000"."C"."A" 1)", message("C", "A"), "A= 1\n"},
        {R"("level2"."B"."A" 1)", message("B", "A"), ""},
        {a + R"("level1"."B)", message("B", ""), "A= 1\n"},
        {a + R"("level1"."B" 1)", message("B' 1", ""), "A= 1\n"},
        {a + R"("level1".'B" 1)", message("B' 1", ""), "A= 1\n"},
        {a + R"("level1".")", message("", ""), "A= 1\n"},
    };
    for (const FailureCase& c : cases) {
        Load load;
        load.seedOldTree();
        EXPECT_FALSE(load.run(c.input)) << c.input;
        EXPECT_EQ(load.feedback.lastMessage(), c.message) << c.input;
        EXPECT_EQ(shape(load.tree), c.shape) << c.input;
    }
}

TEST(PcReader, EmptyInputGivesAnEmptyTree) {
    Load load;
    load.seedOldTree();
    EXPECT_TRUE(load.run(""));
    EXPECT_EQ(load.tree.Count(), 0);
    EXPECT_TRUE(load.lines.empty());
}

TEST(PcReader, DescriptionsFromTreeFileAndAnnotations) {
    const std::string treeBytes = "\"A\" \"From the tree file\"\r\n"
                                  "   \"a\" \"Later line wins\"\r\n"
                                  "   \"B\" \"B\"\r\n"
                                  "\"D\"\n"
                                  "*! \"b\" \"A marked line is read as any other\"\r";
    const std::string pc = "\"level1\".\"A\".\"A\" 1 @ \"Annotation loses to the tree file\"\r\n"
                           "\"level2\".\"B\".\"A\" 1 @\"b\"\r\n"
                           "\"level2\".\"C\".\"A\" 1@ \"First annotation\" \r\n"
                           "\"level2\".\"c\".\"A\" 1 @ \"Second annotation\"\r\n"
                           "\"level2\".\"D\".\"A\" @'Quoted \"inside\"'\r\n"
                           "\"level2\".\"E\".\"A\" 1 @ \"E\"\r\n"
                           "\"level2\".\"F\".\"A\" 1 @ \"f\"\r\n";
    Load load;
    EXPECT_TRUE(load.run(pc, &treeBytes));
    const TFlyNode* a = load.tree.Root(0);
    ASSERT_EQ(a->Count(), 6);
    EXPECT_EQ(a->Text(), MakeCaption("A", "Later line wins"));
    // The tree file beats "b"; its marked line, the last for the name, wins there.
    EXPECT_EQ(a->Child(0)->Text(), MakeCaption("B", "A marked line is read as any other"));
    EXPECT_EQ(a->Child(1)->Text(), MakeCaption("C", "First annotation"));
    EXPECT_EQ(a->Child(2)->Text(), MakeCaption("c", "First annotation"));
    EXPECT_EQ(a->Child(3)->Text(), MakeCaption("D")); // "D" alone: no description
    EXPECT_EQ(a->Child(4)->Text(), MakeCaption("E"));
    EXPECT_EQ(a->Child(5)->Text(), MakeCaption("F", "f"));
    EXPECT_EQ(a->Child(3)->Cells(1), "1");

    Load withoutTreeFile;
    EXPECT_TRUE(withoutTreeFile.run(pc));
    EXPECT_EQ(withoutTreeFile.tree.Root(0)->Text(),
              MakeCaption("A", "Annotation loses to the tree file"));
    EXPECT_EQ(withoutTreeFile.tree.Root(0)->Child(0)->Text(), MakeCaption("B", "b"));
    EXPECT_EQ(withoutTreeFile.tree.Root(0)->Child(3)->Text(), MakeCaption("D", "Quoted 'inside'"));

    // An empty tree file beside gives no description and takes none away.
    const std::string emptyTreeFile;
    Load besideEmptyTreeFile;
    EXPECT_TRUE(besideEmptyTreeFile.run(pc, &emptyTreeFile));
    EXPECT_EQ(besideEmptyTreeFile.tree.Root(0)->Child(0)->Text(), MakeCaption("B", "b"));
    EXPECT_EQ(besideEmptyTreeFile.tree.Root(0)->Child(2)->Text(),
              MakeCaption("c", "First annotation"));
}

TEST(PcReader, TreeFileDescriptionForms) {
    struct Case {
        std::string treeLine;
        std::string caption;
    };
    const Case cases[] = {
        {"\"A\" \"Desc\"", MakeCaption("A", "Desc")},
        {"\t   \"A\"   \"Desc\" trailing", MakeCaption("A", "Desc")},
        {"\"A\" 'Desc\"", MakeCaption("A", "Desc")},
        {"\"A\" 'Desc'", MakeCaption("A")},
        {"\"A\" Two words", MakeCaption("A", "Two words")},
        {"\"A\" \"\"", MakeCaption("A")},
        {"\"A\"", MakeCaption("A")},
        {"\"A\" \"a\"", MakeCaption("A", "a")},
        {"A Desc", MakeCaption("A")},
    };
    for (const Case& c : cases) {
        Load load;
        EXPECT_TRUE(load.run(R"("level1"."A"."A" 1)", &c.treeLine)) << c.treeLine;
        EXPECT_EQ(load.tree.Root(0)->Text(), c.caption) << c.treeLine;
    }
}

// Many names: some share the part of their hash that a table of .tree lines or of annotations
// keeps, and their lines must then be told apart by the names in them. Every name has its own
// description.
TEST(PcReader, TreeFileAndAnnotationsDescribeEachOfManyNames) {
    constexpr int kCount = 100000;
    std::string pc = "\"level1\".\"R\".\"R\" 1\n";
    std::string treeBytes;
    for (int i = kCount - 1; i >= 0; --i) // in another order and spelling than the tuples
        treeBytes += "   \"n" + std::to_string(i) + "\" \"first " + std::to_string(i) + "\"\r\n";
    for (int i = 0; i < kCount; ++i) {
        const std::string n = std::to_string(i);
        pc += "\"level2\".\"N" + n + "\".\"R\" 1 @ \"annotation " + n + "\"\n";
        if (i % 7 == 0) // named by no line of the .tree file: its annotation describes it
            pc += "\"level2\".\"M" + n + "\".\"R\" 1 @ \"annotation " + n + "\"\n";
        if (i % 11 == 0) // a later annotation of the name: the first one wins
            pc += "\"level2\".\"n" + n + "\".\"R\" 1 @ \"later " + n + "\"\n";
        if (i % 3 == 0)
            treeBytes += "*!      \"N" + n + "\" \"last " + n + "\"\n";
        if (i % 5 == 0) // a last line without a description: none, whatever the annotation says
            treeBytes += "\"N" + n + "\"\r";
    }
    for (const bool beside : {true, false}) {
        Load load;
        EXPECT_TRUE(load.run(pc, beside ? &treeBytes : nullptr));
        ASSERT_EQ(load.tree.Count(), 1);
        const TFlyNode* root = load.tree.Root(0);
        ASSERT_EQ(root->Count(), kCount + (kCount + 6) / 7 + (kCount + 10) / 11);
        int wrong = 0;
        std::string firstWrong;
        int child = 0;
        for (int i = 0; i < kCount; ++i) {
            const std::string n = std::to_string(i);
            const std::string annotation = "annotation " + n;
            const std::string first = !beside      ? annotation
                                      : i % 5 == 0 ? std::string()
                                      : i % 3 == 0 ? "last " + n
                                                   : "first " + n;
            const auto captionOf = [](const std::string& name, const std::string& description) {
                return description.empty() ? MakeCaption(name) : MakeCaption(name, description);
            };
            std::vector<std::string> expected = {captionOf("N" + n, first)};
            if (i % 7 == 0)
                expected.push_back(MakeCaption("M" + n, annotation));
            if (i % 11 == 0)
                expected.push_back(captionOf("n" + n, first));
            for (const std::string& caption : expected) {
                const std::string_view text = root->Child(child++)->Text();
                if (text != caption && wrong++ == 0)
                    firstWrong = std::string(text) + " instead of " + caption;
            }
        }
        EXPECT_EQ(wrong, 0) << firstWrong << (beside ? " beside a .tree file" : "");
    }
}

// A .tree file whose lines end with a carriage return alone has no line feed to count its
// lines by: its names are all read all the same.
TEST(PcReader, TreeFileWithEveryLineEndDescribesEveryName) {
    std::string pc = "\"level1\".\"R\".\"R\" 1\n";
    for (int i = 0; i < 1000; ++i)
        pc += "\"level2\".\"N" + std::to_string(i) + "\".\"R\" 1\n";
    for (const std::string_view end : {"\r", "\n", "\r\n"}) {
        std::string treeBytes = "\"R\" \"root\"" + std::string(end);
        for (int i = 0; i < 1000; ++i)
            treeBytes += "   \"N" + std::to_string(i) + "\" \"d" + std::to_string(i) + "\"" +
                         std::string(end);
        Load load;
        EXPECT_TRUE(load.run(pc, &treeBytes));
        ASSERT_EQ(load.tree.Count(), 1);
        const TFlyNode* root = load.tree.Root(0);
        EXPECT_EQ(root->Text(), MakeCaption("R", "root"));
        ASSERT_EQ(root->Count(), 1000);
        EXPECT_EQ(root->Child(0)->Text(), MakeCaption("N0", "d0"));
        EXPECT_EQ(root->Child(999)->Text(), MakeCaption("N999", "d999"));
    }
}

TEST(PcReader, LoadPCReadsTheTreeFileBesideTheTuples) {
    CollectingFeedback feedback;
    TFlyNodes tree;
    TextLines lines;
    EXPECT_TRUE(LoadPC(kFixtures + "/pc/annotated.PC", tree, lines, feedback));
    EXPECT_TRUE(feedback.messages.empty());
    EXPECT_EQ(shape(tree), "WLD - World=1\n"
                           "  EUR - Europe= 5\n"
                           "    FRA - France= 2\n"
                           "    NLD - Holland= 3\n"
                           "  AME - The Americas= -1.5\n");
    EXPECT_EQ(lines[0], "\"WLD\" \"World\"");
    TFlyNodes twin;
    std::string text;
    EXPECT_TRUE(LoadPC(kFixtures + "/pc/annotated.PC", twin, text, feedback));
    EXPECT_EQ(shape(twin), shape(tree));
    EXPECT_EQ(text, JoinLines(lines));
}

TEST(PcReader, LoadPCMissingFileLeavesTheTree) {
    Load load;
    load.seedOldTree();
    load.ok = LoadPC(kFixtures + "/pc/no-such-file.PC", load.tree, load.lines, load.feedback);
    load.checkAfter();
    EXPECT_FALSE(load.ok);
    EXPECT_EQ(load.feedback.lastMessage(), message("", ""));
    EXPECT_EQ(shape(load.tree), "OLD=7\n  KID=8\n");
    EXPECT_EQ(load.lines, (TextLines{"\"OLD\"", "   \"KID\""}));
}

TEST(PcReader, RoundTripThroughTheWriter) {
    TFlyNodes tree;
    TFlyNode* a = tree.AddChild(nullptr, MakeCaption("A", "Alpha"));
    a->SetCells(1, "1");
    TFlyNode* a1 = tree.AddChild(a, MakeCaption("A1"));
    a1->SetCells(1, "2.5");
    tree.AddChild(a1, MakeCaption("x"))->SetCells(1, "");
    tree.AddChild(a, MakeCaption("A2"))->SetCells(1, " -3");
    TFlyNode* b = tree.AddChild(nullptr, MakeCaption("B"));
    tree.AddChild(b, MakeCaption("x"))->SetCells(1, "4");
    tree.AddChild(nullptr, MakeCaption("a1"))->SetCells(1, "5");

    const std::string written = PcText(tree, PcNames::PlainNames);
    Load load;
    EXPECT_TRUE(load.run(written));
    // Names, order and shape come back; each weight with the blank before it, an empty one as
    // "1"; descriptions stay behind in the file form.
    EXPECT_EQ(shape(load.tree), "A= 1\n"
                                "  A1= 2.5\n"
                                "    x=1\n"
                                "  A2= -3\n"
                                "B=1\n"
                                "  x= 4\n"
                                "a1= 5\n");
    // A default weight "1" read back gains its blank on the next round; from then on the text
    // no longer changes.
    std::string text = PcText(load.tree, PcNames::PlainNames);
    for (int round = 0; round < 2; ++round) {
        Load again;
        EXPECT_TRUE(again.run(text));
        const std::string next = PcText(again.tree, PcNames::PlainNames);
        EXPECT_EQ(next == text, round == 1) << next;
        text = next;
    }
}

TEST(PcReader, ChildrenOfEqualNamesComeBackUnderTheFirst) {
    Load load;
    EXPECT_TRUE(load.run("\"level1\".\"A\".\"A\" 1\n\"level1\".\"a\".\"a\" 1\n"
                         "\"level2\".\"X\".\"A\" 1\n\"level2\".\"Y\".\"a\" 1\n"));
    EXPECT_EQ(shape(load.tree), "A= 1\n  X= 1\n  Y= 1\na= 1\n");
}

// Every description a load gives comes from the .tree file's line for that name, or from an
// annotation: a line without a description gives none, also to other spellings of the name.
TEST(PcReader, NoDescriptionThatNoElementHad) {
    const std::string treeBytes = "\"abc\"\r\n*! \"ABC\"\r\n*!\"Abc\"";
    Load load;
    EXPECT_TRUE(load.run("\"level1\".\"abc\".\"abc\" 1\r\n\"level2\".\"ABC\".\"abc\" 1\r\n"
                         "\"level1\".\"Abc\".\"Abc\" 1\r\n",
                         &treeBytes));
    EXPECT_EQ(shape(load.tree), "abc= 1\n  ABC= 1\nAbc= 1\n");
    EXPECT_EQ(load.lines, (TextLines{"\"abc\"", "*! \"ABC\"", "*!\"Abc\""}));
}

// An "@" inside quotes belongs to a name or a description, never to an annotation.
TEST(PcReader, AnnotationBeginsAtTheFirstAtSignOutsideQuotes) {
    Load load;
    EXPECT_TRUE(load.run("\"level1\".\"A@B\".\"A@B\" 1 @ \"x@y\"\r\n"
                         "\"level2\".\"C\".\"a@b\" 2\r\n"
                         "\"level2\".'E@F'.\"A@B\" 3 @ 'q'\r\n"
                         "\"level2\".\"D.E\".\"A@B\" 4 @ \"d\"\r\n"));
    EXPECT_EQ(shape(load.tree), "A@B - x@y= 1\n  C= 2\n  E@F - q= 3\n  D.E - d= 4\n");
}

// Nodes are made parent by parent, not in input order; "first" still means first in the input.
TEST(PcReader, FirstOfEqualNamesIsFirstInTheInputWhateverItsParent) {
    Load load;
    EXPECT_TRUE(load.run("\"level1\".\"A\".\"A\" 1\n"
                         "\"level1\".\"B\".\"B\" 1\n"
                         "\"level2\".\"X\".\"B\" 1\n"
                         "\"level2\".\"X\".\"A\" 2\n"
                         "\"level3\".\"Y\".\"x\" 3\n"));
    EXPECT_EQ(shape(load.tree), "A= 1\n  X= 2\nB= 1\n  X= 1\n    Y= 3\n");
}

TEST(PcReader, FailureAmongInterleavedParentsKeepsTheTuplesBeforeIt) {
    Load load;
    EXPECT_FALSE(load.run("\"level3\".\"q\".\"a2\"\n"
                          "\"level2\".\"a1\".\"A\"\n"
                          "\"level1\".\"A\".\"A\"\n"
                          "\"level2\".\"b1\".\"B\"\n"
                          "\"level3\".\"z\".\"missing\"\n"
                          "\"level2\".\"a2\".\"A\"\n"
                          "\"level1\".\"B\".\"B\"\n"
                          "\"level3\".\"r\".\"b1\"\n"));
    EXPECT_EQ(load.feedback.lastMessage(), message("z", "missing"));
    EXPECT_EQ(shape(load.tree), "A=1\n  a1=1\n  a2=1\n    q=1\nB=1\n  b1=1\n");
}

// A tuple whose parent is missing, after an element that element text cannot hold: both are
// reported, the tuple first, and the text is that of the tree built before the tuple, whether the
// load gives lines or the text whole, for a small tree and for one large enough for the text to be
// written on a second thread.
TEST(PcReader, FailingTupleAfterAnUnwritableElementReportsBoth) {
    std::string many;
    for (int i = 0; i < 20000; ++i)
        many += "\"level2\".\"W" + std::to_string(i) + "\".\"it's\" 1\n";
    const std::vector<std::string> expectedMessages{
        message("B", "X"), "The element \"it's\" at level 1 cannot be written as element text: "
                           "its name holds a quote, which ends a name in element text"};
    for (const std::string& children : {"\"level2\".\"V\".\"IT'S\" 1\n"s, many}) {
        const std::string pc =
            "\"level1\".\"it's\".\"it's\" 1\n" + children + "\"level2\".\"B\".\"X\" 1\n";
        const size_t nodes =
            1 + static_cast<size_t>(std::count(children.begin(), children.end(), '\n'));
        for (const bool whole : {false, true}) {
            TFlyNodes tree;
            TextLines lines{"old pane line"};
            std::string text = "old pane text";
            CollectingFeedback feedback;
            EXPECT_FALSE(whole ? LoadPCFromBytes(pc, std::nullopt, tree, text, feedback)
                               : LoadPCFromBytes(pc, nullptr, tree, lines, feedback));
            if (!whole)
                text = JoinLines(lines);
            EXPECT_EQ(feedback.messages, expectedMessages) << nodes << whole;
            EXPECT_EQ(static_cast<size_t>(tree.NodeCount()), nodes) << whole;
            EXPECT_EQ(tree.UpdateCount(), 0);
            std::string expected;
            CollectingFeedback quiet;
            EXPECT_FALSE(WriteElementText(tree, expected, quiet));
            EXPECT_EQ(text, expected) << nodes << whole;
            EXPECT_EQ(SplitLines(text).size(), nodes) << whole;
        }
    }
}

TEST(PcReader, TreeOnlyLoadBuildsTheSameTreeAndLeavesTheTextAlone) {
    const std::string pc = "\"level2\".\"EUR\".\"WLD\" 1\n"
                           "\"level1\".\"WLD\".\"WLD\" 1\n"
                           "\"level3\".\"FRA\".\"EUR\" 2 @\"France\"\n";
    Load full;
    ASSERT_TRUE(full.run(pc));
    TFlyNodes tree;
    tree.AddChild(nullptr, MakeCaption("OLD"));
    CollectingFeedback feedback;
    EXPECT_TRUE(LoadPCTreeFromBytes(pc, nullptr, tree, feedback));
    EXPECT_EQ(shape(tree), shape(full.tree));
    EXPECT_TRUE(allExpanded(tree));
    EXPECT_EQ(tree.UpdateCount(), 0);
    EXPECT_EQ(feedback.busyDepth, 0);
    EXPECT_TRUE(feedback.messages.empty());

    EXPECT_FALSE(LoadPCTreeFromBytes("\"level2\".\"X\".\"Y\"", nullptr, tree, feedback));
    EXPECT_EQ(feedback.messages, std::vector<std::string>{message("X", "Y")});
    EXPECT_EQ(tree.Count(), 0);
    EXPECT_EQ(tree.UpdateCount(), 0);
}

// Catalog mode reads a block of the classification index, with descriptions from the set file
// of the classification.
TEST(PcReader, CatalogModeReadsTheBlockWithSetDescriptions) {
    const std::string catalog = kFixtures + "/catalog/pcclassifications.gms";
    ClassificationList classifications;
    CollectingFeedback quiet;
    LoadClassificationIndex(catalog, classifications, quiet);
    const tmb* regions = classifications.Find("regions");
    ASSERT_NE(regions, nullptr);

    Load load;
    load.seedOldTree();
    load.ok = LoadPCFromCatalog(catalog, *regions, load.tree, load.lines, load.feedback);
    load.checkAfter();
    EXPECT_TRUE(load.ok) << load.feedback.lastMessage();
    EXPECT_EQ(shape(load.tree), "WLD - World=1\n"
                                "  EUR - Europe=1\n"
                                "    FRA - France, later=1\n"
                                "    NLD=1\n"
                                "  AME - America=1\n");
}

TEST(PcReader, CatalogModeEdges) {
    TempDir dir;
    const std::string catalog = dir.file("pcclassifications.gms");
    WriteFileAtomically(catalog, "SET abcW(a) \"W\"\n"
                                 "/\n"
                                 "\"level1\".\"W\".\"W\" 5 @ \"not an annotation\"\n"
                                 "\"level2\".\"X\".\"W\" 5\n"
                                 "\"level2\".\"Y\".\"W\" 5\n"
                                 "/;");
    struct Case {
        tmb entry;
        bool ok;
        std::string message;
        std::string shape;
    };
    const std::string unchanged = "OLD=7\n  KID=8\n";
    const Case cases[] = {
        {{2, 2, "W", ""}, true, "", "W=1\n"},
        // Text after the parent's closing quote belongs to the parent name.
        {{2, 3, "W", ""}, false, message("X", "W' 5"), "W=1\n"},
        {{5, 4, "W", ""}, true, "", ""},
        {{3, 6, "W", ""}, false, message("", ""), unchanged},
        {{0, 0, "W", ""}, false, message("", ""), unchanged},
    };
    for (const Case& c : cases) {
        Load load;
        load.seedOldTree();
        load.ok = LoadPCFromCatalog(catalog, c.entry, load.tree, load.lines, load.feedback);
        load.checkAfter();
        EXPECT_EQ(load.ok, c.ok) << c.entry.FirstLine << "-" << c.entry.LastLine;
        EXPECT_EQ(load.feedback.lastMessage(), c.message) << c.entry.FirstLine;
        EXPECT_EQ(shape(load.tree), c.shape) << c.entry.FirstLine;
    }

    Load missing;
    missing.seedOldTree();
    missing.ok = LoadPCFromCatalog(dir.file("absent.gms"), tmb{1, 1, "W", ""}, missing.tree,
                                   missing.lines, missing.feedback);
    missing.checkAfter();
    EXPECT_EQ(missing.feedback.lastMessage(), message("", ""));
    EXPECT_EQ(shape(missing.tree), unchanged);
}

} // namespace

namespace {

// The element text of the tree a load builds: what the direct text path must give.
std::string textOfTree(std::string_view pc, const std::string* treeBytes) {
    TFlyNodes tree;
    CollectingFeedback quiet;
    EXPECT_TRUE(LoadPCTreeFromBytes(pc, treeBytes, tree, quiet));
    return ElementTextBytes(tree, quiet);
}

// A shuffled classification of n tuples, wider and deeper than the text path's batches: names
// repeat in every letter case, some carry "@" descriptions, some are described in the tree file.
std::string generatedPc(int n, std::string& treeBytes) {
    std::vector<std::string> lines;
    unsigned seed = 12345;
    const auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    std::vector<std::pair<int, std::string>> nodes{{1, "ROOT"}};
    lines.push_back("\"level1\".\"ROOT\".\"ROOT\" 1");
    for (int i = 1; i < n; ++i) {
        const auto& parent = nodes[next() % nodes.size()];
        std::string name = "N" + std::to_string(next() % (n / 2));
        if (next() % 3 == 0)
            name[0] = 'n';
        std::string line = "\"level" + std::to_string(parent.first + 1) + "\".\"" + name + "\".\"" +
                           parent.second + "\" " + std::to_string(i % 7);
        if (i % 11 == 0)
            line += " @\"about " + name + "\"";
        if (i % 13 == 0)
            treeBytes += "\"" + name + "\" \"tree file text " + std::to_string(i) + "\"\r\n";
        lines.push_back(line);
        nodes.push_back({parent.first + 1, name});
    }
    for (size_t i = lines.size() - 1; i > 0; --i)
        std::swap(lines[i], lines[next() % (i + 1)]);
    std::string pc;
    for (const std::string& line : lines)
        pc += line + "\r\n";
    return pc;
}

} // namespace

// The converter writes the element text straight from the tuples; it has to be byte for byte the
// text of the tree that a load builds, and fail where a load fails.
TEST(PcReader, ElementTextWithoutTheTreeIsTheTextOfTheTree) {
    struct Case {
        const char* what;
        std::string pc;
        std::string treeBytes; // none when empty
    };
    std::string generatedTree;
    const std::string generated = generatedPc(20000, generatedTree);
    const Case cases[] = {
        {"regions",
         "\"level2\".\"EUR\".\"WLD\" 1\n\"level1\".\"WLD\".\"WLD\" 1\n"
         "\"level3\".\"FRA\".\"EUR\" 2 @\"France\"\n\"level2\".\"AME\".\"wld\" 3\n",
         ""},
        {"quoted names and an empty name",
         "\"level1\".\"A.B\".\"A.B\" 1\n\"level1\". 3\n\"level1\".\"a@b\".\"x\" 1\n"
         "\"level2\".\"C\".\"a.b\" 1\n\"level2\".\"D\".\"A@B\" 1 @ \"d@\"\n",
         ""},
        {"descriptions from the tree file and annotations, with repeats",
         "\"level1\".\"A\".\"A\" 1 @\"first\"\n\"level2\".\"B\".\"A\" 1 @\"b@here\"\n"
         "\"level2\".\"a\".\"A\" 1\n\"level3\".\"C\".\"B\" 1\n",
         "\"A\" \"From the tree file\"\r\n\"C\" \"C's own\"\r\n"},
        {"twenty thousand shuffled tuples", generated, generatedTree},
    };
    for (const Case& c : cases) {
        const std::string* treeBytes = c.treeBytes.empty() ? nullptr : &c.treeBytes;
        std::string text = "old";
        CollectingFeedback feedback;
        EXPECT_TRUE(PCElementTextFromBytes(c.pc, treeBytes, text, feedback)) << c.what;
        EXPECT_EQ(text, textOfTree(c.pc, treeBytes)) << c.what;
        EXPECT_TRUE(feedback.messages.empty()) << c.what;
        EXPECT_EQ(feedback.busyDepth, 0) << c.what;
    }
    std::string text;
    CollectingFeedback feedback;
    EXPECT_TRUE(PCElementTextFromBytes(generated, nullptr, text, feedback));
    EXPECT_EQ(SplitLines(text).size(), 20000u);
}

TEST(PcReader, ElementTextWithoutTheTreeFailsWhereTheLoadFails) {
    struct Case {
        std::string pc;
        // Sound tuples whose element text would read back as another tree: the text is refused
        // with the message that rebuilding the text pane after a load gives.
        bool unwritable;
    };
    const Case cases[] = {
        {"\"level1\".\"A\".\"A\" 1\n\"level2\".\"B\".\"X\" 1\n", false},
        {"\"level1\".\"A\".\"A\" 1\nno tuple here\n", false},
        {"\"level1\".\"A.\"A\" 1\n", false},
        {"\"level3\".\"C\".\"B\" 1\n", false},
        {"\"level1\".\"x - <color=clblue>y\".\"x\" 1 @\"desc\"\n", false},
        {"\"level1\".\"it's\".\"it's\" 1\n", true},
        {"\"level1\".\"A\".\"A\" 1 @ \"a\ttab\"\n", true},
        {"\"level1\".\"A\".\"A\" 1\n\"level2\".\" B\".\"A\" 1\n", true},
    };
    for (const Case& c : cases) {
        TFlyNodes tree;
        TextLines lines;
        CollectingFeedback loadFeedback;
        EXPECT_FALSE(LoadPCFromBytes(c.pc, nullptr, tree, lines, loadFeedback)) << c.pc;
        ASSERT_EQ(loadFeedback.messages.size(), 1u) << c.pc;
        EXPECT_EQ(
            loadFeedback.messages[0].rfind(c.unwritable ? "The element " : kPcErrorMessage, 0), 0u)
            << c.pc;
        std::string text = "old";
        CollectingFeedback feedback;
        EXPECT_FALSE(PCElementTextFromBytes(c.pc, nullptr, text, feedback)) << c.pc;
        EXPECT_EQ(text, "") << c.pc;
        EXPECT_EQ(feedback.messages, loadFeedback.messages) << c.pc;
        EXPECT_EQ(feedback.busyDepth, 0) << c.pc;
    }
}

// The converter also writes tuples, and checks them, straight from the tuples: the tuples of the
// tree a load builds, failing where the load fails or where that tree's tuples are refused.
TEST(PcReader, TuplesAndChecksWithoutTheTreeAreThoseOfTheTree) {
    std::string generatedTree;
    const std::string generated = generatedPc(20000, generatedTree);
    std::string largeTree; // walked on a second thread
    const std::string large = generatedPc(50000, largeTree);
    using namespace std::string_literals;
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"\"level2\".\"EUR\".\"WLD\" 1\n\"level1\".\"WLD\".\"WLD\" 1\n"
         "\"level3\".\"FRA\".\"EUR\" 2 @\"France\"\n\"level2\".\"AME\".\"wld\" 3\n",
         ""},
        {"\"level1\".\"A\".\"A\" 1 @\"first\"\n\"level2\".\"B\".\"A\" 1 @\"b@here\"\n"
         "\"level2\".\"a\".\"A\" 1\n\"level3\".\"C\".\"B\" 1\n",
         "\"A\" \"From the tree file\"\r\n\"C\" \"C's own\"\r\n"},
        {"\"level1\".\"A\".\"A\" 1\n\"level2\".\"B\".\"X\" 1\n", ""},
        {"\"level1\".\"A\".\"A\" 1\nno tuple here\n", ""},
        {"\"level1\".\"x - <color=clblue>y\".\"x\" 1 @\"desc\"\n", ""},
        {"\"level1\".\"it's\".\"it's\" 1\n\"level1\".\"a\0b\".\"a\0b\" 1\n"s, ""},
        {generated, generatedTree},
        {large, largeTree},
        {large + "\"level2\".\"LAST\".\"NOWHERE\" 1\n", ""},
        {large + "\"level1\".\"a\0b\".\"a\0b\" 1\n"s, ""},
    };
    for (const auto& [pc, besideText] : cases) {
        const std::string what = pc.substr(0, 50);
        const std::string* beside = besideText.empty() ? nullptr : &besideText;
        TFlyNodes tree;
        CollectingFeedback loadFeedback;
        const bool loaded = LoadPCTreeFromBytes(pc, beside, tree, loadFeedback);
        std::string expected;
        std::string expectedFault;
        if (loaded) {
            try {
                expected = PcText(tree, PcNames::PlainNames);
            } catch (const ElementNotWritable& e) {
                expectedFault = e.what();
            }
        }
        std::string tuples = "old";
        std::optional<ElementNotWritable> fault;
        CollectingFeedback feedback;
        EXPECT_EQ(PCTuplesFromBytes(pc, beside, tuples, fault, feedback), loaded) << what;
        EXPECT_EQ(feedback.messages, loadFeedback.messages) << what;
        EXPECT_TRUE(tuples == expected) << what << ": other tuples";
        EXPECT_EQ(fault ? fault->what() : "", expectedFault) << what;
        EXPECT_EQ(feedback.busyDepth, 0) << what;

        CollectingFeedback checkFeedback;
        EXPECT_EQ(CheckPCFromBytes(pc, beside, checkFeedback), loaded) << what;
        EXPECT_EQ(checkFeedback.messages, loadFeedback.messages) << what;

        if (!loaded || fault)
            continue;
        TempDir dir;
        const std::string name = dir.file("out.PC");
        {
            FileWriter file(name);
            std::string rest;
            EXPECT_TRUE(PCTuplesFromBytes(pc, beside, rest, fault, feedback, '.', &file));
            file.commit(rest);
        }
        EXPECT_TRUE(ReadFileBytes(name) == expected) << what << ": the file differs";
    }
}

// Into a file, the element text goes as it is made, megabytes before the last tuple is reached.
// The file ends as the text made in memory, also where a line near the end makes the text one to
// normalise (an empty name); where a late tuple fails, or its element cannot be written, the file
// stays as it was.
TEST(PcReader, ElementTextIntoAFileAsItIsMade) {
    std::string pc = "\"level1\".\"ROOT\".\"ROOT\" 1\n";
    for (int i = 0; i < 40000; ++i)
        pc += "\"level2\".\"ELEMENT" + std::to_string(i) +
              "\".\"ROOT\" 1 @\"the element numbered " + std::to_string(i) +
              " of the classification\"\n";
    struct Case {
        const char* what;
        std::string pc;
        bool ok;
    };
    const Case cases[] = {
        {"plain", pc, true},
        {"an empty name at the end", pc + "\"level2\".\"\".\"ROOT\" 1\n", true},
        {"a parent missing at the end", pc + "\"level2\".\"LAST\".\"NOWHERE\" 1\n", false},
        {"an unwritable name at the end", pc + "\"level2\".\"it's\".\"ROOT\" 1\n", false},
    };
    TempDir dir;
    const std::string target = dir.file("made.tree");
    for (const Case& c : cases) {
        std::string inMemory;
        CollectingFeedback memoryFeedback;
        EXPECT_EQ(PCElementTextFromBytes(c.pc, nullptr, inMemory, memoryFeedback), c.ok) << c.what;
        if (c.ok) { // pieces of it went before the end was made
            ASSERT_GT(inMemory.size(), size_t{2} << 20) << c.what;
            // Annotations this many go into their table while the levels are linked.
            for (const char* line : {"\r\n   \"ELEMENT0\" \"the element numbered 0 of",
                                     "\r\n   \"ELEMENT39999\" \"the element numbered 39999 of"})
                EXPECT_NE(inMemory.find(line), std::string::npos) << c.what << ": " << line;
        }

        WriteFileAtomically(target, "old");
        CollectingFeedback feedback;
        {
            FileWriter file(target);
            std::string rest;
            const bool ok = PCElementTextFromBytes(c.pc, nullptr, rest, feedback, '.', &file);
            EXPECT_EQ(ok, c.ok) << c.what;
            if (ok)
                file.commit(rest);
        }
        EXPECT_EQ(feedback.messages, memoryFeedback.messages) << c.what;
        EXPECT_TRUE(ReadFileBytes(target) == (c.ok ? inMemory : "old")) << c.what;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1) << c.what;
    }
}

// Large files are read in two halves at once. The lines around the middle, whatever their ends,
// the first of two annotations of a name, and a bad line in either half must come out as they
// would from one reading.
TEST(PcReader, FilesReadAheadAreTheFilesReadThen) {
    TempDir dir;
    const auto readPc = [](const std::string& name) { return ReadPcAndTreeBeside(name, false); };
    const std::string pc = dir.file("in.PC");
    const std::string tuples = "\"level1\".\"EUR\".\"EUR\" 1\r\n\"level2\".\"DEU\".\"EUR\" 2\r\n";
    WriteFileAtomically(pc, tuples);
    WriteFileAtomically(dir.file("in.tree"), "\"EUR\" \"Europe\"\r\n   \"DEU\"");
    {
        ReadAhead<PcAndTreeBytes> ahead(pc, readPc);
        EXPECT_FALSE(ahead.Take(dir.file("other.PC"))); // another file: not read ahead
        const std::optional<PcAndTreeBytes> files = ahead.Take(pc);
        ASSERT_TRUE(files);
        const PcAndTreeBytes read = readPc(pc);
        EXPECT_EQ(files->pc, read.pc);
        EXPECT_EQ(files->tree, read.tree);
        EXPECT_FALSE(ahead.Take(pc)); // taken once
    }
    // Without a .tree file beside it.
    const std::string alone = dir.file("alone.PC");
    WriteFileAtomically(alone, tuples);
    EXPECT_FALSE(ReadAhead<PcAndTreeBytes>(alone, readPc).Take(alone)->tree);
    // An element file, read as the text pane reads it.
    const auto readText = [](const std::string& name) { return ReadTextFile(name, false); };
    EXPECT_EQ(ReadAhead<std::string>(dir.file("in.tree"), readText).Take(dir.file("in.tree")),
              readText(dir.file("in.tree")));
    // Nothing is read ahead from what is no regular file: the caller reads it itself.
    std::filesystem::create_directory(dir.file("folder.PC"));
    for (const std::string& name : {dir.file("missing.PC"), dir.file("folder.PC")})
        EXPECT_FALSE(ReadAhead<PcAndTreeBytes>(name, readPc).Take(name)) << name;
    // What the reading raises comes with the files.
    const std::string holey = dir.file("holey.PC");
    WriteFileAtomically(holey, "\"level1\".\"A\".\"A\" 1" + std::string(1, '\0'));
    ReadAhead<PcAndTreeBytes> ahead(holey, readPc);
    EXPECT_THROW(ahead.Take(holey), TextFormError);
    EXPECT_THROW(readPc(holey), TextFormError);
}

TEST(PcReader, LargeFilesReadInTwoHalvesLikeOne) {
    // A tree of 60,000 elements with names unique on each level, so the tuples give it back.
    TFlyNodes original;
    original.BeginUpdate();
    TFlyNode* root = original.AddChild(nullptr, MakeCaption("ROOT"));
    root->SetCells(1, "1");
    for (int i = 0; i < 2000; ++i) {
        TFlyNode* group = original.AddChild(root, MakeCaption("G" + std::to_string(i)));
        group->SetCells(1, std::to_string(i % 9));
        for (int k = 0; k < 29; ++k)
            original
                .AddChild(group, MakeCaption("E" + std::to_string(i) + "_" + std::to_string(k)))
                ->SetCells(1, "-0.5");
    }
    original.EndUpdate();
    const std::string crlf = PcText(original, PcNames::PlainNames);
    ASSERT_GT(crlf.size(), size_t{3} << 19); // well past the size read in halves

    // Every line end, changing from line to line.
    std::string mixed;
    size_t pos = 0;
    std::string_view line;
    for (int i = 0; NextLine(crlf, pos, line); ++i)
        mixed.append(line).append(i % 3 == 0 ? "\r\n" : i % 3 == 1 ? "\n" : "\r");
    // The reader keeps the blank before a weight with it.
    std::string expected;
    for (const char c : shape(original))
        expected += c == '=' ? std::string("= ") : std::string(1, c);
    for (const std::string& input : {crlf, mixed}) {
        Load load;
        EXPECT_TRUE(load.run(input));
        EXPECT_TRUE(shape(load.tree) == expected); // no diff of a 60,000-line text
    }

    // Two annotations of one name, the first near the start, the second near the end.
    const std::string first = "\"level2\".\"DUP\".\"ROOT\" 1 @\"first\"\r\n";
    const std::string second = "\"level2\".\"dup\".\"ROOT\" 1 @\"second\"\r\n";
    Load annotated;
    EXPECT_TRUE(annotated.run(first + crlf + second));
    const TFlyNode* top = annotated.tree.Root(0);
    ASSERT_EQ(top->Count(), 2002);
    EXPECT_EQ(top->Child(0)->Text(), MakeCaption("DUP", "first"));
    EXPECT_EQ(top->Child(2001)->Text(), MakeCaption("dup", "first"));

    // A .tree file beside is read while the tuples are: its descriptions still beat the
    // annotations, and describe the elements it names.
    const std::string beside =
        "\"ROOT\"\r\n   \"dup\" \"from the tree\"\r\n   \"G5\" \"group five\"\r\n";
    Load described;
    EXPECT_TRUE(described.run(first + crlf + second, &beside));
    const TFlyNode* describedTop = described.tree.Root(0);
    ASSERT_EQ(describedTop->Count(), 2002);
    EXPECT_EQ(describedTop->Child(0)->Text(), MakeCaption("DUP", "from the tree"));
    EXPECT_EQ(describedTop->Child(6)->Text(), MakeCaption("G5", "group five"));
    EXPECT_EQ(describedTop->Child(2001)->Text(), MakeCaption("dup", "from the tree"));
    // The text made without a tree waits for the descriptions as well.
    std::string direct;
    CollectingFeedback directFeedback;
    EXPECT_TRUE(
        PCElementTextFromBytes(first + crlf + second, &beside, direct, directFeedback, '.'));
    EXPECT_TRUE(direct == JoinLines(described.lines));
    EXPECT_NE(direct.find("   \"G5\" \"group five\"\r\n"), std::string::npos);

    // On a level this large the parents are looked up in two halves: the first tuple in input
    // order whose parent is missing is the one reported, and the tuples before it are built.
    const std::string lost1 = "\"level3\".\"LOST1\".\"NOWHERE1\" 1\r\n";
    const std::string lost2 = "\"level3\".\"LOST2\".\"NOWHERE2\" 1\r\n";
    struct Lost {
        std::string input;
        std::string child;
        std::string parent;
        int nodes;
    };
    for (const Lost& c : {Lost{crlf + lost2, "LOST2", "NOWHERE2", 60001},
                          Lost{lost1 + crlf + lost2, "LOST1", "NOWHERE1", 2001}}) {
        Load load;
        EXPECT_FALSE(load.run(c.input));
        EXPECT_EQ(load.feedback.messages, std::vector<std::string>{message(c.child, c.parent)});
        EXPECT_EQ(load.tree.NodeCount(), c.nodes) << c.child;
        // The nodes built before the failing tuple have the .tree file's descriptions.
        Load besideLoad;
        EXPECT_FALSE(besideLoad.run(c.input, &beside));
        EXPECT_EQ(besideLoad.feedback.messages, load.feedback.messages);
        ASSERT_EQ(besideLoad.tree.NodeCount(), c.nodes) << c.child;
        EXPECT_EQ(besideLoad.tree.Root(0)->Child(5)->Text(), MakeCaption("G5", "group five"));
    }

    // A line that is no tuple line in either half fails the whole read.
    const std::string bad = "no tuple line\r\n";
    for (const std::string& input : {bad + crlf, crlf + bad}) {
        for (const std::string* treeBytes : {static_cast<const std::string*>(nullptr), &beside}) {
            Load load;
            load.seedOldTree();
            EXPECT_FALSE(load.run(input, treeBytes));
            EXPECT_EQ(load.feedback.messages, std::vector<std::string>{message("", "")});
            EXPECT_EQ(shape(load.tree), "OLD=7\n  KID=8\n");
        }
    }
}

#if !defined(__SANITIZE_ADDRESS__) // a sanitizer reserves far more address space than the limit
// Under a memory limit the tree of a long chain loads, but its element text (three blanks per
// element above each line, so 1.3 GB for 30,000 elements) cannot be held: the load reports that,
// leaves the text pane empty instead of failing half way, and tells its caller that the lines are
// not the tree's text. The load runs in a child process
// started afresh, which sets the limit before anything measures the memory.
TEST(PcReaderDeathTest, TextTooLargeForTheMemoryLeavesTheTreeAndReports) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The load giving lines, and the one giving the text whole.
    const auto load = [](bool whole) {
        const rlimit limit{rlim_t{1} << 30, rlim_t{1} << 30};
        if (setrlimit(RLIMIT_AS, &limit) != 0)
            std::exit(3);
        std::string pc = "\"level1\".\"E0\".\"E0\" 1\n";
        for (int i = 1; i < 30000; ++i)
            pc += "\"level" + std::to_string(i + 1) + "\".\"E" + std::to_string(i) + "\".\"E" +
                  std::to_string(i - 1) + "\" 1\n";
        TFlyNodes tree;
        TextLines lines{"old pane line"};
        std::string text = "old pane text";
        CollectingFeedback feedback;
        const bool ok = whole ? LoadPCFromBytes(std::move(pc), std::nullopt, tree, text, feedback)
                              : LoadPCFromBytes(pc, nullptr, tree, lines, feedback);
        const bool reported =
            feedback.messages.size() == 1 &&
            feedback.messages[0].rfind("The element text would take more than", 0) == 0;
        const bool emptied = whole ? text.empty() : lines.empty();
        std::exit(!ok && tree.NodeCount() == 30000 && emptied && reported && tree.UpdateCount() == 0
                      ? 0
                      : 1);
    };
    EXPECT_EXIT(load(false), ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(load(true), ::testing::ExitedWithCode(0), "");
}
#endif
