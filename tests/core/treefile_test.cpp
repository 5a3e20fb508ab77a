// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/treefile.h"
#include "model/feedback.h"
#include "model/textfile.h"

#include <gtest/gtest.h>

#include "testsupport.h"

#include <filesystem>
#include <string>
#include <unistd.h>

using namespace settree;

namespace {

std::string show(const TextLines& lines) {
    return settree::testing::ShowLines(lines);
}

struct ReadCase {
    std::string bytes;
    TextLines lines;
};

TEST(TreeFile, ReadTreeTextTable) {
    using namespace std::string_literals;
    const ReadCase cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\n", {"a"}},
        {"a\r\nb", {"a", "b"}},
        {"a\rb\nc\r\n\r\nd", {"a", "b", "c", "", "d"}},
        {"a\n\r", {"a", ""}},
        {"\r\n", {""}},
        {"\n\n", {"", ""}},
        {"a\r\r\nb", {"a", "", "b"}},
        {"a\0b\nc"s, {"a"}},
        {"\0a"s, {}},
        {"x\n\0\n"s, {"x"}},
        {"\tx\t\ty", {"   x      y"}},
        {"\xe9t\xe9\r\n\xff", {"\xe9t\xe9", "\xff"}},
    };
    for (const ReadCase& c : cases)
        EXPECT_EQ(show(ReadTreeText(c.bytes)), show(c.lines)) << "bytes: [" << c.bytes << "]";
}

TEST(TreeFile, TreeFileBytesJoinsWithCrLfAndNoFinalLineEnd) {
    EXPECT_EQ(TreeFileBytes({}), "");
    EXPECT_EQ(TreeFileBytes({"a"}), "a");
    EXPECT_EQ(TreeFileBytes({"a", "b"}), "a\r\nb");
    EXPECT_EQ(TreeFileBytes({"a", ""}), "a\r\n");
    const TextLines lines{"\"a\"", "   \"b\" \"x\"", "*! \"A\""};
    EXPECT_EQ(ReadTreeText(TreeFileBytes(lines)), lines);
}

using settree::testing::TempDir;

TEST(TreeFile, SaveElementTextNormalisesAndWrites) {
    TempDir dir;
    const std::string name = dir.file("out.tree");
    WriteFileAtomically(name, "old content");
    CollectingFeedback feedback;
    TextLines lines{"a x", "", "   b", "   A"};
    SaveElementText(lines, name, feedback);
    EXPECT_EQ(show(lines), show({"\"a\" x", "   \"b\"", "*! \"A\""}));
    EXPECT_EQ(ReadFileBytes(name), "\"a\" x\r\n   \"b\"\r\n*! \"A\"");
    EXPECT_EQ(feedback.busyDepth, 0);
}

TEST(TreeFile, SaveElementTextFailureRaisesFileError) {
    TempDir dir;
    const std::string name = dir.file("missing/out.tree");
    CollectingFeedback feedback;
    TextLines lines{"a"};
    try {
        SaveElementText(lines, name, feedback);
        FAIL() << "no error raised";
    } catch (const FileError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file " + name);
    }
    EXPECT_FALSE(FileExists(name));
}

} // namespace
