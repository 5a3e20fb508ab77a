// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/elementtext.h"
#include "formats/pcwriter.h"
#include "formats/treefile.h"
#include "model/caption.h"
#include "model/flynode.h"
#include "model/textfile.h"

#include <gtest/gtest.h>

#include "testsupport.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

using namespace settree;

namespace {

using settree::testing::TempDir;

// Roots A (with a description) and B; A's children in the order Z, A1; a weight that is empty
// and one that begins with a blank. B's weight is no number unless given: the clipboard takes
// it as it is, a file refuses it.
void buildSample(TFlyNodes& tree, const std::string& weightOfB = "abc") {
    TFlyNode* a = tree.AddChild(nullptr, MakeCaption("A", "Alpha one"));
    a->SetCells(1, "1");
    TFlyNode* z = tree.AddChild(a, MakeCaption("Z"));
    z->SetCells(1, "");
    tree.AddChild(z, MakeCaption("Z.1", "q\"uote"))->SetCells(1, " 2");
    tree.AddChild(a, MakeCaption("A1"))->SetCells(1, "-1.5");
    TFlyNode* b = tree.AddChild(nullptr, MakeCaption("B"));
    b->SetCells(1, weightOfB);
    tree.AddChild(b, MakeCaption(""));
}

TEST(PcWriter, FileLinesCarryPlainNames) {
    TFlyNodes tree;
    buildSample(tree, "7");
    EXPECT_EQ(PcText(tree, PcNames::PlainNames), "\"level1\".\"A\".\"A\" 1\r\n"
                                                 "\"level2\".\"Z\".\"A\" \r\n"
                                                 "\"level3\".\"Z.1\".\"Z\"  2\r\n"
                                                 "\"level2\".\"A1\".\"A\" -1.5\r\n"
                                                 "\"level1\".\"B\".\"B\" 7\r\n"
                                                 "\"level2\".\"\".\"B\" \r\n");
}

// A tree whose tuples would read back as another tree is refused, naming the first element in
// the way and why; the clipboard takes every tree.
TEST(PcWriter, FileRefusesWhatTheTuplesCannotCarryBack) {
    struct Case {
        const char* what;
        std::function<void(TFlyNodes&)> build;
        std::string message; // empty: written
    };
    const auto element = [](const std::string& name, int level, const std::string& reason) {
        return "The element \"" + name + "\" at level " + std::to_string(level) +
               " cannot be written as parent-child tuples: " + reason;
    };
    const std::string repeated = "an earlier element of its level has the same name, and the "
                                 "tuples would hang the children of both under that one";
    const std::string notANumber =
        "its weight is not a number, which the tuples read back only after a blank";
    const Case cases[] = {
        {"a repeated name with children, in another letter case and under another parent",
         [](TFlyNodes& t) {
             t.AddChild(t.AddChild(nullptr, MakeCaption("EUR")), MakeCaption("OTH"));
             TFlyNode* asia = t.AddChild(nullptr, MakeCaption("ASI"));
             t.AddChild(t.AddChild(asia, MakeCaption("oth")), MakeCaption("X"));
         },
         element("oth", 2, repeated)},
        {"repeated names without children of their own",
         [](TFlyNodes& t) {
             t.AddChild(t.AddChild(nullptr, MakeCaption("OTH")), MakeCaption("X"));
             t.AddChild(nullptr, MakeCaption("OTH"));
             t.AddChild(t.AddChild(nullptr, MakeCaption("B")), MakeCaption("OTH"));
         },
         ""},
        {"markup in a name, which the tuples leave out",
         [](TFlyNodes& t) { t.AddChild(nullptr, MakeCaption("A</color>B")); },
         element("A</color>B", 1, "its name holds markup, which the tuples leave out")},
        {"a Ctrl+Z, which ends the tuples",
         [](TFlyNodes& t) { t.AddChild(nullptr, MakeCaption("a\x1a")); },
         element("a\x1a", 1, "its name holds a Ctrl+Z, which ends the tuples")},
        {"a line end", [](TFlyNodes& t) { t.AddChild(nullptr, MakeCaption("a\nb")); },
         element("a\nb", 1, "its name holds a line end, which would split its tuple")},
        {"weights the reader splits off",
         [](TFlyNodes& t) {
             for (const char* weight : {"", "1", " 2", "-1.5", "  3.", "4 \t"})
                 t.AddChild(nullptr, MakeCaption("W"))->SetCells(1, weight);
         },
         ""},
        {"a weight that is no number",
         [](TFlyNodes& t) { t.AddChild(nullptr, MakeCaption("W"))->SetCells(1, "1e5"); },
         element("W", 1, notANumber)},
        {"a weight after a quote",
         [](TFlyNodes& t) {
             t.AddChild(t.AddChild(nullptr, MakeCaption("A")), MakeCaption("B"))
                 ->SetCells(1, "\"7");
         },
         element("B", 2, notANumber)},
        {"a comma where the separator is a point",
         [](TFlyNodes& t) { t.AddChild(nullptr, MakeCaption("W"))->SetCells(1, "1,5"); },
         element("W", 1, notANumber)},
        {"a repeated name with children, then soon a name the reader reads otherwise",
         [](TFlyNodes& t) {
             t.AddChild(nullptr, MakeCaption("R"));
             t.AddChild(t.AddChild(nullptr, MakeCaption("r")), MakeCaption("C"));
             t.AddChild(nullptr, MakeCaption("a\x1a"));
         },
         element("r", 1, repeated)},
        {"a name the reader reads otherwise, then a repeated name with children",
         [](TFlyNodes& t) {
             t.AddChild(nullptr, MakeCaption("R"));
             t.AddChild(nullptr, MakeCaption("a\x1a"));
             t.AddChild(t.AddChild(nullptr, MakeCaption("R")), MakeCaption("C"));
         },
         element("a\x1a", 1, "its name holds a Ctrl+Z, which ends the tuples")},
        {"a repeated name with children as the last but one element",
         [](TFlyNodes& t) {
             t.AddChild(nullptr, MakeCaption("R"));
             t.AddChild(t.AddChild(nullptr, MakeCaption("R")), MakeCaption("C"));
         },
         element("R", 1, repeated)},
        {"one name at every depth of a chain, and at depths 16 apart",
         [](TFlyNodes& t) {
             TFlyNode* node = nullptr;
             for (int d = 1; d <= 40; ++d)
                 node = t.AddChild(node, MakeCaption("SAME"));
             TFlyNode* other = t.AddChild(nullptr, MakeCaption("X"));
             for (int d = 2; d <= 17; ++d)
                 other = t.AddChild(other, MakeCaption(d == 17 ? "ONLY" : "Y" + std::to_string(d)));
             t.AddChild(t.AddChild(nullptr, MakeCaption("ONLY")), MakeCaption("Z"));
         },
         ""},
    };
    for (const Case& c : cases) {
        TFlyNodes tree;
        c.build(tree);
        EXPECT_NO_THROW(PcText(tree, PcNames::Captions)) << c.what;
        try {
            PcText(tree, PcNames::PlainNames);
            EXPECT_EQ(c.message, "") << c.what;
        } catch (const ElementNotWritable& e) {
            EXPECT_EQ(e.what(), c.message) << c.what;
        }
    }
    // The user's decimal separator belongs to the weights.
    TFlyNodes comma;
    comma.AddChild(nullptr, MakeCaption("W"))->SetCells(1, " 1,5");
    EXPECT_EQ(PcText(comma, PcNames::PlainNames, ','), "\"level1\".\"W\".\"W\"  1,5\r\n");
}

TEST(PcWriter, ClipboardLinesCarryWholeCaptionsWithoutMarkup) {
    TFlyNodes tree;
    buildSample(tree);
    EXPECT_EQ(PcText(tree, PcNames::Captions),
              "\"level1\".\"A - Alpha one\".\"A - Alpha one\" 1\r\n"
              "\"level2\".\"Z\".\"A - Alpha one\" \r\n"
              "\"level3\".\"Z.1 - q\"uote\".\"Z\"  2\r\n"
              "\"level2\".\"A1\".\"A - Alpha one\" -1.5\r\n"
              "\"level1\".\"B\".\"B\" abc\r\n"
              "\"level2\".\"\".\"B\" \r\n");
}

TEST(PcWriter, EmptyTreeGivesNoText) {
    TFlyNodes tree;
    EXPECT_EQ(PcText(tree, PcNames::PlainNames), "");
    EXPECT_EQ(PcText(tree, PcNames::Captions), "");
}

TEST(PcWriter, DepthsOfTenAndMoreAndDeepChains) {
    constexpr int kDepth = 100000;
    TFlyNodes tree;
    TFlyNode* node = nullptr;
    for (int d = 1; d <= kDepth; ++d)
        node = tree.AddChild(node, MakeCaption("n" + std::to_string(d)));
    const std::string text = PcText(tree, PcNames::PlainNames);
    EXPECT_NE(text.find("\"level9\".\"n9\".\"n8\" \r\n\"level10\".\"n10\".\"n9\" \r\n"
                        "\"level11\".\"n11\".\"n10\" \r\n"),
              std::string::npos);
    const std::string last = "\"level100000\".\"n100000\".\"n99999\" \r\n";
    ASSERT_GE(text.size(), last.size());
    EXPECT_EQ(text.substr(text.size() - last.size()), last);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), kDepth);
}

// The tuples of element text made without a tree, and those of the tree the parser builds from
// it: the same text, the same messages, the same element in the way.
using settree::testing::Converted;

Converted viaTree(std::string_view bytes) {
    Converted result;
    TFlyNodes tree;
    CollectingFeedback feedback;
    result.clean = ParseTreeFile(bytes, tree, feedback);
    result.messages = feedback.messages;
    if (!result.clean)
        return result;
    try {
        result.text = PcText(tree, PcNames::PlainNames);
    } catch (const ElementNotWritable& e) {
        result.fault = e.what();
    }
    return result;
}

Converted direct(std::string_view bytes) {
    Converted result;
    CollectingFeedback feedback;
    std::optional<ElementNotWritable> fault;
    result.clean = ElementTextToPcText(bytes, result.text, fault, feedback);
    result.messages = feedback.messages;
    if (fault)
        result.fault = fault->what();
    if (!result.clean || fault) {
        EXPECT_EQ(result.text, "") << "text given with a failure";
    }
    return result;
}

TEST(PcWriter, ElementTextGivesTheTuplesOfItsParsedTree) {
    struct Case {
        const char* what;
        std::string text;
        const char* expected; // a part of the result: text, message or fault
    };
    const Case cases[] = {
        {"a .tree file as the editor writes it",
         "\"EU\" \"Europe\"\r\n   \"DE\" \"Deutschland, \"\"Bund\"\"\"\r\n      "
         "\"DE.1\"\r\n   \"FR\"\r\n\"AS\"",
         "\"level3\".\"DE.1\".\"DE\" 1\r\n\"level2\".\"FR\".\"EU\" 1\r\n"},
        {"bare names, tabs, blank lines, and every line end",
         "EU Europe\n\n\tDE\r   \t\r\n\tFR France\r\n\r\nAS\n",
         "\"level1\".\"EU\".\"EU\" 1\r\n\"level2\".\"DE\".\"EU\" 1\r\n"},
        {"marked lines, with and without a blank after the marker",
         "\"A\"\r\n*! \"B\"\r\n*!\"A\"\r\n*!*!x\r\n*!\r\n", "\"level1\".\"*!x\".\"*!x\" 1"},
        {"quotes of both kinds in names", "'it\"s'\r\n   \"a'b\" 'x'\r\n",
         "\"level2\".\"a\".\"it\" 1"},
        {"an indentation that fits no level, after a blank line",
         "\"A\"\r\n\r\n      \"B\"\r\n   \"C\"", "Error in line 2"},
        {"markup in a name", "\"A\"\r\n   \"x<b>y\"", "Error in line 1"},
        {"an indentation narrower than the first", "   \"A\"\r\n\"B\"", "Error in line 1"},
        {"a repeated name with children", "\"R\"\r\n   \"X\"\r\n\"S\"\r\n\"r\"\r\n   \"Y\"",
         "an earlier element of its level"},
        {"a repeated name with children as the last but one line", "\"R\"\r\n\"r\"\r\n   \"Y\"",
         "an earlier element of its level"},
        {"a Ctrl+Z in a name, and a parse error further on",
         "\"a\x1a\"\r\n\"B\"\r\n      \"C\"\r\n   \"D\"", "Error in line 3"},
        {"a Ctrl+Z in a name", "\"A\"\r\n\"b\x1a c\"", "Ctrl+Z"},
        {"no element at all", "\r\n  \r\n\t\r\n", ""},
    };
    for (const Case& c : cases) {
        const Converted expected = viaTree(c.text);
        const std::string all = expected.text + expected.fault +
                                (expected.messages.empty() ? "" : expected.messages.front());
        EXPECT_NE(all.find(c.expected), std::string::npos) << c.what << ": " << all;
        settree::testing::ExpectSameConversion(direct(c.text), expected, c.what);
    }

    // Texts put together at random: what the parser builds and the tuples made straight from
    // the text never differ.
    for (const std::string& text : settree::testing::RandomElementTexts(3000, 20261211)) {
        settree::testing::ExpectSameConversion(direct(text), viaTree(text),
                                               "random text " + ::testing::PrintToString(text));
        if (::testing::Test::HasFailure())
            break;
    }
}

// Many elements are checked on a second thread while their lines are written, the names handed
// over in chunks of thousands: the element reported is the first in the way all the same,
// wherever it lies among the chunks, whether its fault shows at once or only once the names after
// it are looked up, from a tree and straight from element text alike.
TEST(PcWriter, ManyElementsReportTheFirstInTheWay) {
    constexpr int kRoots = 40000;
    const auto element = [](const std::string& name, const std::string& reason) {
        return "The element \"" + name +
               "\" at level 1 cannot be written as parent-child tuples: " + reason;
    };
    const std::string repeated = "an earlier element of its level has the same name, and the "
                                 "tuples would hang the children of both under that one";
    const std::string ctrlZ = "its name holds a Ctrl+Z, which ends the tuples";
    // Roots R0 to R39999; the changes put other names and children at some of them.
    struct Root {
        std::string name;
        bool child = false;
        std::string weight = "1";
    };
    struct Case {
        std::string what;
        std::vector<std::pair<int, Root>> changes;
        std::string fault;
        bool fromText = true; // element text carries neither weights nor markup
    };
    std::vector<Case> cases{{"no fault", {}, ""}};
    for (const int at : {1, 15, 16, 17, 4095, 4096, 4097, 8192, 20000, kRoots - 5}) {
        const std::string where = " at root " + std::to_string(at);
        cases.push_back({"a repeated name with children" + where,
                         {{at, {"r0", true}}},
                         element("r0", repeated)});
        cases.push_back({"a Ctrl+Z" + where, {{at, {"a\x1az"}}}, element("a\x1az", ctrlZ)});
        cases.push_back({"a repeated name, then a Ctrl+Z before its name is looked up" + where,
                         {{at, {"r0", true}}, {at + 3, {"b\x1az"}}},
                         element("r0", repeated)});
        cases.push_back({"a Ctrl+Z, then a repeated name" + where,
                         {{at, {"b\x1az"}}, {at + 3, {"r0", true}}},
                         element("b\x1az", ctrlZ)});
        cases.push_back({"markup in a name" + where,
                         {{at, {"x<b>y"}}},
                         element("x<b>y", "its name holds markup, which the tuples leave out"),
                         false});
        cases.push_back({"a weight that is no number" + where,
                         {{at, {"W", false, "1e5"}}},
                         element("W", "its weight is not a number, which the tuples read back "
                                      "only after a blank"),
                         false});
    }
    for (const Case& c : cases) {
        std::vector<Root> roots(kRoots);
        for (int r = 0; r < kRoots; ++r)
            roots[static_cast<size_t>(r)].name = "R" + std::to_string(r);
        for (const auto& [at, root] : c.changes)
            roots[static_cast<size_t>(at)] = root;
        TFlyNodes tree;
        std::string text;
        for (const Root& root : roots) {
            TFlyNode* node = tree.AddChild(nullptr, MakeCaption(root.name));
            node->SetCells(1, root.weight);
            text += "\"" + root.name + "\"\r\n";
            if (root.child) {
                tree.AddChild(node, MakeCaption(root.name + ".1"))->SetCells(1, "1");
                text += "   \"" + root.name + ".1\"\r\n";
            }
        }
        std::string fault;
        try {
            const std::string tuples = PcText(tree, PcNames::PlainNames);
            EXPECT_EQ(std::count(tuples.begin(), tuples.end(), '\n'), tree.NodeCount()) << c.what;
        } catch (const ElementNotWritable& e) {
            fault = e.what();
        }
        EXPECT_EQ(fault, c.fault) << c.what;
        if (c.fromText) {
            EXPECT_EQ(direct(text).fault, c.fault) << c.what;
        }
    }
}

// A file takes the tuples as they are made; where the lines of a large text turn out not to
// follow the tree's order, the file takes the tree's tuples instead of those already given.
TEST(PcWriter, ElementTextStreamsItsTuplesIntoAFile) {
    std::string inOrder;
    for (int r = 0; r < 40000; ++r) {
        inOrder += "\"R" + std::to_string(r) + "\" \"Région\"\r\n";
        inOrder += "   \"R" + std::to_string(r) + ".1\"\r\n";
    }
    // The last line, two levels below the root S, goes under R39999.1, the latest element of
    // the level above it.
    const std::string jumping = inOrder + "\"S\"\r\n      \"T\"\r\n";
    TempDir dir;
    const std::vector<const std::string*> texts = {&inOrder, &jumping};
    for (const std::string* text : texts) {
        const Converted expected = viaTree(*text);
        ASSERT_TRUE(expected.clean);
        ASSERT_GT(expected.text.size(), size_t{2} << 20) << "the text fits in one piece";
        const std::string name = dir.file("out.PC");
        {
            FileWriter file(name);
            std::string rest;
            std::optional<ElementNotWritable> fault;
            CollectingFeedback feedback;
            ASSERT_TRUE(ElementTextToPcText(*text, rest, fault, feedback, '.', &file));
            ASSERT_FALSE(fault);
            if (text == &inOrder)
                EXPECT_LT(rest.size(), expected.text.size()) << "nothing went into the file";
            else
                EXPECT_EQ(rest.size(), expected.text.size()) << "the file keeps the text's order";
            file.commit(rest);
        }
        EXPECT_TRUE(ReadFileBytes(name) == expected.text) << "the file holds other tuples";
    }
    EXPECT_NE(viaTree(jumping).text.find("\"level3\".\"T\".\"R39999.1\" 1\r\n\"level1\".\"S\""),
              std::string::npos);
}

TEST(PcWriter, SavePCFileWritesTheFileLines) {
    TempDir dir;
    const std::string name = dir.file("out.PC");
    WriteFileAtomically(name, "old content");
    TFlyNodes tree;
    SavePCFile(tree, name);
    EXPECT_EQ(ReadFileBytes(name), ""); // an empty tree empties the file
    buildSample(tree, "7");
    SavePCFile(tree, name);
    EXPECT_EQ(ReadFileBytes(name), PcText(tree, PcNames::PlainNames));

    // A tree the tuples cannot carry back leaves the file as it was, and the message names it.
    tree.Root(1)->SetCells(1, "abc");
    try {
        SavePCFile(tree, name);
        ADD_FAILURE() << "a weight that is no number was written";
    } catch (const ElementNotWritable& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot create file " + name +
                      ": the element \"B\" at level 1 cannot be written as parent-child tuples: "
                      "its weight is not a number, which the tuples read back only after a blank");
    }
    tree.Root(1)->SetCells(1, "7");
    EXPECT_EQ(ReadFileBytes(name), PcText(tree, PcNames::PlainNames));
}

TEST(PcWriter, SavePCFileFailureRaisesFileError) {
    TempDir dir;
    const std::string name = dir.file("missing/out.PC");
    TFlyNodes tree;
    buildSample(tree, "7");
    try {
        SavePCFile(tree, name);
        FAIL() << "no error raised";
    } catch (const FileError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file " + name);
    }
    EXPECT_FALSE(FileExists(name));
}

} // namespace
