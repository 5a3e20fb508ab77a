// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/pcwriter.h"
#include "model/caption.h"
#include "model/flynode.h"
#include "model/textfile.h"

#include <gtest/gtest.h>

#include "testsupport.h"

#include <filesystem>
#include <string>
#include <unistd.h>

using namespace settree;

namespace {

using settree::testing::TempDir;

// Roots A (with a description) and B; A's children in the order Z, A1; a weight that is empty
// and one that begins with a blank.
void buildSample(TFlyNodes& tree) {
    TFlyNode* a = tree.AddChild(nullptr, MakeCaption("A", "Alpha one"));
    a->SetCells(1, "1");
    TFlyNode* z = tree.AddChild(a, MakeCaption("Z"));
    z->SetCells(1, "");
    tree.AddChild(z, MakeCaption("Z.1", "q\"uote"))->SetCells(1, " 2");
    tree.AddChild(a, MakeCaption("A1"))->SetCells(1, "-1.5");
    TFlyNode* b = tree.AddChild(nullptr, MakeCaption("B"));
    b->SetCells(1, "abc");
    tree.AddChild(b, MakeCaption(""));
}

TEST(PcWriter, FileLinesCarryPlainNames) {
    TFlyNodes tree;
    buildSample(tree);
    EXPECT_EQ(PcText(tree, PcNames::PlainNames), "\"level1\".\"A\".\"A\" 1\r\n"
                                                 "\"level2\".\"Z\".\"A\" \r\n"
                                                 "\"level3\".\"Z.1\".\"Z\"  2\r\n"
                                                 "\"level2\".\"A1\".\"A\" -1.5\r\n"
                                                 "\"level1\".\"B\".\"B\" abc\r\n"
                                                 "\"level2\".\"\".\"B\" \r\n");
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
    buildSample(tree);
    SavePCFile(tree, name);
    EXPECT_EQ(ReadFileBytes(name), PcText(tree, PcNames::PlainNames));
}

TEST(PcWriter, SavePCFileFailureRaisesFileError) {
    TempDir dir;
    const std::string name = dir.file("missing/out.PC");
    TFlyNodes tree;
    buildSample(tree);
    try {
        SavePCFile(tree, name);
        FAIL() << "no error raised";
    } catch (const FileError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file " + name);
    }
    EXPECT_FALSE(FileExists(name));
}

} // namespace
