// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "model/caption.h"
#include "model/flynode.h"

namespace settree::testing {

// A fresh folder under the system's temporary folder, removed with its content at the end of
// the scope; unique per process and per instance.
class TempDir {
public:
    TempDir() {
        static int made = 0;
        path_ = std::filesystem::temp_directory_path() /
                ("settree-test-" + std::to_string(::getpid()) + "-" + std::to_string(made++));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Element texts put together at random from the pieces lines are made of: quotes of both kinds,
// indentations, markers, tabs, every line end, names with and without descriptions, markup,
// control characters and UTF-8. The same seed gives the same texts.
inline std::vector<std::string> RandomElementTexts(size_t count, uint32_t seed) {
    static const std::vector<std::string> pieces = {
        "\"", "'", " ",   "   ", "      ", "*!",   "\t", "\r",    "\n",  "\r\n",        "a",
        "A",  "b", "B.1", " - ", "<b>",    "\x1a", "é",  "\"a\"", "'b'", "\"A\" \"d\"", "x y"};
    std::mt19937 random(seed);
    std::vector<std::string> texts(count);
    for (std::string& text : texts) {
        const size_t length = random() % 40;
        for (size_t k = 0; k < length; ++k)
            text += pieces[random() % pieces.size()];
    }
    return texts;
}

// What a conversion of element text or tuples gave: whether its input read without an error, the
// messages, the text, and the element in the way (empty when none).
struct Converted {
    bool clean = false;
    std::vector<std::string> messages;
    std::string text;
    std::string fault;
};

// Two conversions that must agree in everything.
inline void ExpectSameConversion(const Converted& got, const Converted& expected,
                                 const std::string& what) {
    EXPECT_EQ(got.clean, expected.clean) << what;
    EXPECT_EQ(got.messages, expected.messages) << what;
    EXPECT_TRUE(got.text == expected.text) << what << ": other text";
    EXPECT_EQ(got.fault, expected.fault) << what;
}

// Lines shown one per row in brackets, so that blanks at either end show in a failure message.
inline std::string ShowLines(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines)
        out += "[" + line + "]\n";
    return out;
}

// The tree in pre-order, one node a row: its depth, name and description as the caption gives
// them (an empty description counts as none), walked without recursion.
inline std::string Dump(const TFlyNodes& tree) {
    std::string out;
    std::vector<std::pair<const TFlyNode*, int>> stack;
    for (int r = tree.Count() - 1; r >= 0; --r)
        stack.emplace_back(tree.Root(r), 0);
    while (!stack.empty()) {
        const auto [node, depth] = stack.back();
        stack.pop_back();
        const CaptionParts parts = SplitCaption(node->Text());
        out += std::to_string(depth) + " [" + parts.name + "]";
        if (!parts.description.empty())
            out += " [" + parts.description + "]";
        out += "\n";
        for (int c = node->Count() - 1; c >= 0; --c)
            stack.emplace_back(node->Child(c), depth + 1);
    }
    return out;
}

} // namespace settree::testing
