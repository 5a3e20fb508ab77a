// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/nametable.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace settree;

namespace {

// The eight bytes of a word folded at once must be the bytes folded one by one, for every byte
// value in every position and whatever stands beside it (a carry between bytes would show).
template <class Fold> void expectWordFoldMatchesByteFold() {
    for (int value = 0; value < 256; ++value) {
        for (size_t position = 0; position < 8; ++position) {
            for (const unsigned char neighbour : {0x00, 0x22, 0x60, 0x61, 0x7a, 0x7b, 0xff}) {
                unsigned char bytes[8];
                std::memset(bytes, neighbour, sizeof bytes);
                bytes[position] = static_cast<unsigned char>(value);
                uint64_t word = 0;
                std::memcpy(&word, bytes, sizeof word);
                const uint64_t folded = Fold::applyWord(word);
                unsigned char out[8];
                std::memcpy(out, &folded, sizeof out);
                for (size_t i = 0; i < 8; ++i)
                    ASSERT_EQ(out[i], Fold::apply(bytes[i]))
                        << "byte " << value << " at " << position << ", beside " << int(neighbour);
            }
        }
    }
}

TEST(NameTable, FoldsChangeOnlyTheirBytes) {
    EXPECT_EQ(NameFold::apply('a'), 'A');
    EXPECT_EQ(NameFold::apply('z'), 'Z');
    EXPECT_EQ(NameFold::apply('"'), '"');
    EXPECT_EQ(NameFold::apply(0xe9), 0xe9); // no letter outside a to z changes
    EXPECT_EQ(UnquotedNameFold::apply('"'), '\'');
    EXPECT_EQ(UnquotedNameFold::apply('q'), 'Q');
    expectWordFoldMatchesByteFold<NameFold>();
    expectWordFoldMatchesByteFold<UnquotedNameFold>();
}

TEST(NameTable, NamesEqualUnderTheFoldHashAlike) {
    struct Case {
        std::string a;
        std::string b;
    };
    // Around the eight-byte steps of the hash, and with bytes outside ASCII.
    const Case cases[] = {
        {"", ""},
        {"a", "A"},
        {"abcdefg", "ABCDEFG"},
        {"abcdefgh", "ABCDEFGH"},
        {"abcdefghi", "ABCDEFGHI"},
        {"europe and central asia", "EUROPE AND CENTRAL ASIA"},
        {"caf\xc3\xa9 x", "CAF\xc3\xa9 X"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NameHash<NameFold>(c.a), NameHash<NameFold>(c.b)) << c.a;
        EXPECT_TRUE(SameName<NameFold>(c.a, c.b)) << c.a;
    }
    EXPECT_EQ(NameHash<UnquotedNameFold>("o\"neil"), NameHash<UnquotedNameFold>("O'NEIL"));
    EXPECT_TRUE(SameName<UnquotedNameFold>("o\"neil", "O'NEIL"));
    EXPECT_FALSE(SameName<NameFold>("o\"neil", "O'NEIL"));
    // A letter beyond a to z keeps its case.
    EXPECT_FALSE(SameName<NameFold>("caf\xc3\xa9", "CAF\xc3\x89"));
    EXPECT_FALSE(SameName<NameFold>("ab", "abc"));

    // Eight bytes are compared at once: one byte changed at any place of names of any length
    // around those steps gives the answer a byte-by-byte comparison gives.
    const auto byByte = [](auto fold, std::string_view a, std::string_view b) {
        if (a.size() != b.size())
            return false;
        for (size_t i = 0; i < a.size(); ++i)
            if (fold(static_cast<unsigned char>(a[i])) != fold(static_cast<unsigned char>(b[i])))
                return false;
        return true;
    };
    const auto nameFold = [](unsigned char c) { return NameFold::apply(c); };
    const auto unquotedFold = [](unsigned char c) { return UnquotedNameFold::apply(c); };
    const std::string longest = "aB\"c'D\xc3\xa9.9_z{Q@`[xYw"; // 20 bytes
    for (size_t size = 1; size <= longest.size(); ++size) {
        const std::string name = longest.substr(0, size);
        for (size_t at = 0; at < size; ++at) {
            for (const char to : {'A', 'b', '"', '\'', '\0', '\xc3', '.', 'z', 'Z', '{'}) {
                std::string other = name;
                other[at] = to;
                EXPECT_EQ(SameName<NameFold>(name, other), byByte(nameFold, name, other))
                    << size << " " << at << " " << int(to);
                EXPECT_EQ(SameName<UnquotedNameFold>(name, other),
                          byByte(unquotedFold, name, other))
                    << size << " " << at << " " << int(to);
            }
        }
    }
}

// The last bytes of a name, read without a copy, are the bytes a copy into a zeroed word gives,
// for every length around the steps of the loads, in a buffer of the name's size only (where a
// read past either end shows under the address checks).
TEST(NameTable, TailWordIsTheLastBytesOfTheName) {
    for (size_t size = 1; size <= 24; ++size) {
        std::vector<char> bytes(size);
        for (size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<char>(0xa1 + 7 * i); // no two alike, high bits set
        const std::string_view name(bytes.data(), size);
        for (size_t from = 0; from < size; from += 8) {
            if (size - from >= 8)
                continue; // a whole word: no tail
            uint64_t copied = 0;
            std::memcpy(&copied, name.data() + from, size - from);
            EXPECT_EQ(NameTailWord(name, from), copied) << size << " from " << from;
        }
    }
}

TEST(NameTable, FirstInsertKeepsItsValueAndTheTableGrowsPastItsSize) {
    // Sized for two names, given many more, each in two letter cases.
    NameTable<NameFold, int> table(2);
    std::vector<std::string> names;
    for (int i = 0; i < 1000; ++i)
        names.push_back("name" + std::to_string(i));
    for (size_t i = 0; i < names.size(); ++i) {
        bool added = false;
        table.insert(names[i], added) = static_cast<int>(i);
        EXPECT_TRUE(added) << names[i];
    }
    std::vector<std::string> upper = names;
    for (std::string& name : upper)
        for (char& c : name)
            c = static_cast<char>(NameFold::apply(static_cast<unsigned char>(c)));
    for (size_t i = 0; i < upper.size(); ++i) {
        bool added = true;
        table.insert(upper[i], added);
        EXPECT_FALSE(added) << upper[i];
    }
    EXPECT_EQ(table.size(), names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        const int* value = table.find(upper[i]);
        ASSERT_NE(value, nullptr) << upper[i];
        EXPECT_EQ(*value, static_cast<int>(i));
    }
    EXPECT_EQ(table.find("name1000"), nullptr);

    table.reserve(5000);
    EXPECT_EQ(table.size(), names.size());
    ASSERT_NE(table.find("NAME999"), nullptr);
    EXPECT_EQ(*table.find("NAME999"), 999);

    table.reset(0);
    EXPECT_TRUE(table.empty());
    EXPECT_EQ(table.find("name1"), nullptr);
}

} // namespace
