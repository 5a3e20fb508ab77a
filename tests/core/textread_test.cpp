// SPDX-License-Identifier: GPL-3.0-or-later
// Every reader takes a file's text by one rule: a leading UTF-8 byte order mark is left out, and
// a NUL byte or UTF-16 text is refused with the file, the line and the reason. Files, streams and
// bytes held already follow it alike. Where only a regular file will do, a FIFO is refused at
// once instead of waited for.
#include "model/textfile.h"

#include <gtest/gtest.h>

#include "testsupport.h"

#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace settree;
using namespace std::string_literals;

namespace {

using settree::testing::TempDir;

struct TextCase {
    std::string bytes;
    std::string result; // the text, or the message of the refusal after "Cannot read file f: "
    bool refused = false;
};

const std::string kNul = "a NUL byte, which no text file holds";
const std::string kUtf16 = "UTF-16 text; save the file as UTF-8";

const TextCase kCases[] = {
    {"", ""},
    {"\"A\" \"x\"\r\n", "\"A\" \"x\"\r\n"},
    {"\xEF\xBB\xBF\"A\"", "\"A\""},
    {"\xEF\xBB\xBF", ""},
    {"\xEF\xBB\xBF\xEF\xBB\xBF\"A\"", "\xEF\xBB\xBF\"A\""}, // one mark is left out, not more
    {"\"A\"\xEF\xBB\xBF", "\"A\"\xEF\xBB\xBF"},             // only at the start
    {"\xEF\xBB", "\xEF\xBB"},
    {"\xE9t\xE9", "\xE9t\xE9"}, // single-byte text stays as it is
    {"\0"s, "line 1: " + kNul, true},
    {"\"A\"\r\n   \"B\"\r\n\"C\0D\""s, "line 3: " + kNul, true},
    {"a\rb\nc\r\n\r\nd\0"s, "line 5: " + kNul, true},
    {"\xEF\xBB\xBF"
     "a\n\0"s,
     "line 2: " + kNul, true},
    {"\xFF\xFE\"\0A\0\"\0"s, "line 1: " + kUtf16, true},
    {"\xFE\xFF\0\"\0A\0\""s, "line 1: " + kUtf16, true},
    {"\xFF\xFE"s, "line 1: " + kUtf16, true},
    {"\xFF\xFE\0\0\"\0\0\0"s, "line 1: UTF-32 text; save the file as UTF-8", true},
    {"\"\0A\0\"\0\r\0\n\0"s, "line 1: " + kUtf16, true}, // UTF-16 without a mark
    {"\0\"\0A\0\""s, "line 1: " + kUtf16, true},
};

std::string outcome(const std::function<std::string()>& read) {
    try {
        return "text: " + read();
    } catch (const TextFormError& e) {
        return std::string("refused: ") + e.what();
    }
}

std::string expected(const TextCase& c, const std::string& name) {
    return c.refused ? "refused: Cannot read file " + name + ": " + c.result : "text: " + c.result;
}

void writePlain(const std::string& file, const std::string& bytes) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ::close(fd);
}

TEST(TextRead, BytesFilesAndStreamsFollowOneRule) {
    TempDir dir;
    for (const TextCase& c : kCases) {
        SCOPED_TRACE(::testing::PrintToString(c.bytes));
        EXPECT_EQ(outcome([&] { return std::string(TextOfBytes(c.bytes, "f")); }),
                  expected(c, "f"));

        const std::string file = dir.file("in.tree");
        writePlain(file, c.bytes);
        EXPECT_EQ(outcome([&] { return ReadTextFile(file); }), expected(c, file));
        EXPECT_EQ(outcome([&] { return ReadTextFile(file, true); }), expected(c, file));

        int ends[2];
        ASSERT_EQ(::pipe(ends), 0);
        std::thread writer([&] {
            (void)::write(ends[1], c.bytes.data(), c.bytes.size());
            ::close(ends[1]);
        });
        EXPECT_EQ(outcome([&] { return ReadTextStream(ends[0], "standard input"); }),
                  expected(c, "standard input"));
        writer.join();
        ::close(ends[0]);
    }
}

TEST(TextRead, ANulByteFarIntoAStreamStopsTheRead) {
    // A device that never ends: the first NUL byte ends the read, with its line.
    try {
        ReadTextFile("/dev/zero");
        ADD_FAILURE() << "/dev/zero was read";
    } catch (const TextFormError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot read file /dev/zero: line 1: " + kNul);
    }
    // A NUL byte after many lines in a large file, past the first piece read.
    TempDir dir;
    std::string bytes;
    for (int i = 0; i < 20000; ++i)
        bytes += "\"E" + std::to_string(i) + "\"\r\n";
    bytes += "\"x\0\""s;
    const std::string file = dir.file("late.tree");
    writePlain(file, bytes);
    EXPECT_EQ(outcome([&] { return ReadTextFile(file); }),
              "refused: Cannot read file " + file + ": line 20001: " + kNul);
}

TEST(TextRead, OnlyARegularFileWhereOneIsAsked) {
    TempDir dir;
    const std::string fifo = dir.file("fifo.tree");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    // No writer ever opens the FIFO: refused at once, never waited for.
    try {
        ReadTextFile(fifo, true);
        ADD_FAILURE() << "a FIFO was read";
    } catch (const NotARegularFile& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file " + fifo);
    }
    EXPECT_THROW(ReadTextFile("/dev/null", true), NotARegularFile);
    EXPECT_FALSE(IsRegularFile(fifo));
    EXPECT_FALSE(IsRegularFile(dir.path().string()));
    EXPECT_EQ(ReadTextFile("/dev/null"), ""); // a device where any file will do

    // A folder and a missing file are refused with the system's reason.
    const struct {
        std::string name;
        std::string reason;
    } failures[] = {{dir.path().string(), "Is a directory"},
                    {dir.file("missing.tree"), "No such file or directory"}};
    for (const auto& f : failures) {
        try {
            ReadTextFile(f.name);
            ADD_FAILURE() << f.name << " was read";
        } catch (const FileError& e) {
            EXPECT_EQ(std::string(e.what()), "Cannot open file " + f.name);
            EXPECT_EQ(e.Detailed(), "Cannot open file " + f.name + ": " + f.reason);
        }
    }
}

} // namespace
