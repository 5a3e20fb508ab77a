// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/pcwriter.h"
#include "model/caption.h"
#include "model/flynode.h"
#include "model/textfile.h"

#include <gtest/gtest.h>

#include "testsupport.h"

#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>

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
