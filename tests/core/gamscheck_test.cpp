// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/elementtext.h"
#include "formats/gamscheck.h"
#include "model/caption.h"
#include "model/feedback.h"
#include "model/flynode.h"
#include "model/textfile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <ostream>
#include <random>
#include <string>
#include <vector>

using namespace settree;

namespace {

const char* ruleName(GamsRule rule) {
    switch (rule) {
    case GamsRule::EmptyName:
        return "EmptyName";
    case GamsRule::LongName:
        return "LongName";
    case GamsRule::NameControl:
        return "NameControl";
    case GamsRule::NameQuotes:
        return "NameQuotes";
    case GamsRule::LongText:
        return "LongText";
    case GamsRule::TextControl:
        return "TextControl";
    case GamsRule::UnreadableWeight:
        return "UnreadableWeight";
    case GamsRule::MissingWeight:
        return "MissingWeight";
    case GamsRule::OtherSpelling:
        return "OtherSpelling";
    }
    return "?";
}

// Each problem as "LINE RULE [BYTES] [DETAIL@FIRSTLINE]", LINE from 1, and the bytes of the line
// it marks, which must lie inside the line.
struct Seen {
    std::vector<std::string> problems;
    std::vector<std::string> marked;
};

GamsReport collect(Seen& seen, const std::vector<std::string>& lines) {
    return [&seen, lines](const GamsProblem& p) {
        std::string text = std::to_string(p.line + 1) + " " + ruleName(p.rule);
        if (p.bytes > 0)
            text += " " + std::to_string(p.bytes);
        if (p.rule == GamsRule::UnreadableWeight)
            text += " " + std::string(p.detail);
        if (p.rule == GamsRule::OtherSpelling)
            text += " " + std::string(p.detail) + "@" + std::to_string(p.firstLine + 1);
        seen.problems.push_back(text);
        const std::string& line = lines.at(p.line);
        EXPECT_LE(p.at + p.size, line.size()) << text;
        seen.marked.push_back(line.substr(p.at, p.size));
    };
}

std::string repeat(std::string_view unit, size_t times) {
    std::string s;
    for (size_t i = 0; i < times; ++i)
        s += unit;
    return s;
}

const std::string k63 = repeat("A", 63);
const std::string k64 = repeat("B", 64);
const std::string kUtf63 = repeat("\xc3\xa9", 31) + "x"; // 32 characters, 63 bytes
const std::string kUtf64 = repeat("\xc3\xa9", 32);       // 32 characters, 64 bytes
const std::string kText255 = repeat("d", 255);
const std::string kText256 = repeat("d", 256);

struct Case {
    const char* name;
    bool tuples; // else element text
    std::vector<std::string> lines;
    std::vector<std::string> expected;
};

void PrintTo(const Case& c, std::ostream* out) {
    *out << c.name;
}

class GamsCheckTable : public ::testing::TestWithParam<Case> {};

TEST_P(GamsCheckTable, ReportsTheProblemsOfEachLine) {
    const Case& c = GetParam();
    Seen seen;
    if (c.tuples) {
        // Lines of tuples end in CR LF; the check counts them as the tuple reader does.
        std::string bytes;
        for (const std::string& line : c.lines)
            bytes += line + "\r\n";
        CheckTuplesForGams(bytes, collect(seen, c.lines));
    } else {
        CheckElementTextForGams(c.lines, collect(seen, c.lines));
    }
    EXPECT_EQ(seen.problems, c.expected);
}

const Case kCases[] = {
    {"labels_of_63_bytes_pass_64_do_not",
     false,
     {"\"" + k63 + "\"", "   \"" + k64 + "\" \"d\"", "   \"" + kUtf63 + "\"",
      "   \"" + kUtf64 + "\"", k64},
     {"2 LongName 64", "4 LongName 64", "5 LongName 64"}},
    {"control_characters_and_long_descriptions",
     false,
     {"\"a\x01z\" \"fine\"", "\"DEL\x7f\"", "\"d\" \"text \x02 here\"",
      "\"e\" \"" + kText255 + "\"", "\"f\" \"" + kText256 + "\"",
      "\"g\" \"caf\xc3\xa9 \xe2\x82\xac\""},
     {"1 NameControl", "2 NameControl", "3 TextControl", "5 LongText 256"}},
    {"repeats_in_other_letter_case_get_a_note",
     false,
     {"\"Paris\"", "   \"lyon\"", "\"paris\" \"again\"", "*!   \"PARIS\"", "*! \"Paris\"",
      "   \"Lyon\""},
     {"3 OtherSpelling Paris@1", "4 OtherSpelling Paris@1", "6 OtherSpelling lyon@2"}},
    {"empty_names_blank_lines_and_bare_names",
     false,
     {"\"\" \"no name\"", "", "   ", "bare description", "*!", "   \"\"", "BARE"},
     {"1 EmptyName", "6 EmptyName", "7 OtherSpelling bare@4"}},
    {"tuple_labels_and_descriptions",
     true,
     {"\"level1\".\"" + k64 + "\".\"" + k64 + "\" 1",
      "\"level1\".\"" + k63 + "\".\"" + k63 + "\" 1", "\"level1\".\"a'b\"c\".\"x\" 1",
      "\"level1\".A.A 1", "\"level1\".\"T\".\"T\" 1 @ \"" + kText256 + "\"",
      "\"level1\".\"U\".\"U\" 1 @ \"bell\x07\""},
     {"1 LongName 64", "3 NameQuotes", "4 EmptyName", "5 LongText 256", "6 TextControl"}},
    {"weights_gams_cannot_read",
     true,
     {"\"level1\".\"A\".\"A\" 1", "\"level2\".\"B\".\"A\" abc", "\"level2\".\"C\".\"A\" 1..2",
      "\"level2\".\"D\".\"A\" ", "\"level2\".\"E\".\"A\" 1,5", "\"level2\".\"F\".\"A\" -1.5",
      "\"level2\".\"G\".\"A\" 1e5", "\"level2\".\"H\".\"A\" .5E-3", "\"level2\".\"I\".\"A\" +INF",
      "\"level2\".\"J\".\"A\" eps", "\"level2\".\"K\".\"A\"  7.", "\"level2\".\"L\".\"A\" 1e",
      "\"level2\".\"M\".\"A\" -"},
     {"2 UnreadableWeight abc", "3 UnreadableWeight 1..2", "4 MissingWeight",
      "5 UnreadableWeight 1,5", "12 UnreadableWeight 1e", "13 UnreadableWeight -"}},
    {"tuples_without_any_weight_are_a_set",
     true,
     {"\"level1\".\"A\".\"A\"", "\"level2\".\"B\".\"A\" ", "\"level2\".\"" + k64 + "\".\"A\""},
     {"3 LongName 64"}},
    {"tuple_spellings_children_and_parents",
     true,
     {"\"level1\".\"EUR\".\"EUR\" 1", "\"level2\".\"DEU\".\"Eur\" 1",
      "\"level2\".\"FRA\".\"Eur\" 1", "\"level2\".\"ITA\".\"EUR\" 1",
      "\"level1\".\"deu\".\"deu\" 1", "\"level2\".\"X\".\"deu\" 1"},
     {"2 OtherSpelling EUR@1", "3 OtherSpelling EUR@1", "5 OtherSpelling DEU@2",
      "6 OtherSpelling DEU@2"}},
    {"lines_the_reader_refuses_are_left_to_it",
     true,
     {"no dot here " + k64, "\"level1\".\"" + k64 + " unclosed", "\"level1\".\"A\".\"A\" 1"},
     {}},
};

INSTANTIATE_TEST_SUITE_P(Rules, GamsCheckTable, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& row) {
                             return std::string(row.param.name);
                         });

TEST(GamsCheck, MarksTheNameOrTheDescriptionItIsAbout) {
    const std::vector<std::string> lines = {"*!   \"" + k64 + "\" \"ok\"", "   \"n\" \"x\x01y\"",
                                            "   \"\" \"nameless\"", "ba\x01re rest"};
    Seen seen;
    CheckElementTextForGams(lines, collect(seen, lines));
    EXPECT_EQ(seen.marked,
              (std::vector<std::string>{k64, "x\x01y", "\"\" \"nameless\"", "ba\x01re"}));
}

// Tuples end at byte 26, and a lone CR or LF ends a line as CR LF does.
TEST(GamsCheck, CountsTupleLinesAsTheReaderDoes) {
    const std::string bytes = "\"level1\".\"A\".\"A\" 1\r\"level1\".\"B\".\"B\" x\n"
                              "\"level1\".\"C\".\"C\" 1\r\n\"level1\".\"D\".\"D\" y\x1a"
                              "\"level1\".\"E\".\"E\" z\r\n";
    std::vector<size_t> lines;
    CheckTuplesForGams(bytes, [&](const GamsProblem& p) { lines.push_back(p.line + 1); });
    EXPECT_EQ(lines, (std::vector<size_t>{2, 4}));
}

TEST(GamsCheck, MessagesNameFileLineAndElementOnOneLine) {
    const std::vector<std::string> lines = {"\"EUR\"",
                                            "   \"a\tb\x01"
                                            "c\" \"" +
                                                kText256 + "\"",
                                            "\"eur\"", "\"\" \"x\""};
    std::vector<std::string> messages;
    CheckElementTextForGams(
        lines, [&](const GamsProblem& p) { messages.push_back(GamsMessage("in.tree", p)); });
    EXPECT_EQ(messages,
              (std::vector<std::string>{
                  "in.tree:2: warning: element 'a\\x09b\\x01c': its name holds a control "
                  "character, which no GAMS label may hold",
                  "in.tree:2: warning: element 'a\\x09b\\x01c': its description is 256 bytes "
                  "long; a GAMS explanatory text has at most 255",
                  "in.tree:3: note: element 'eur': GAMS shows it as 'EUR', its first spelling "
                  "(line 1)",
                  "in.tree:4: warning: element without a name: it has no name; GAMS takes no "
                  "empty label"}));
}

// A name of megabytes is named by its first 200 characters: a message is read, not scrolled.
TEST(GamsCheck, MessagesShowALongNameCut) {
    const std::string name(5'000'000, 'x');
    std::vector<std::string> messages;
    CheckElementTextForGams(
        std::vector<std::string>{"\"" + name + "\""},
        [&](const GamsProblem& p) { messages.push_back(GamsMessage("in.tree", p)); });
    EXPECT_EQ(messages,
              std::vector<std::string>{"in.tree:1: warning: element '" + name.substr(0, 200) +
                                       "...': its name is 5000000 bytes long; a GAMS "
                                       "label has at most 63"});
}

// A whole text is checked as its lines are: the text pane's document holds its lines so.
TEST(GamsCheck, WholeTextAsItsLines) {
    const std::string text = "\"" + k64 + "\"\r\n\"abc\"\r   \"ABC\" \"x\x01\"\n\n\"\" \"e\"\n";
    const auto collectAll = [](auto&& input) {
        std::vector<std::string> seen;
        CheckElementTextForGams(input, [&](const GamsProblem& p) {
            seen.push_back(GamsMessage("f", p) + " @" + std::to_string(p.at));
        });
        return seen;
    };
    const std::vector<std::string> fromText = collectAll(std::string_view(text));
    EXPECT_EQ(fromText, collectAll(SplitLines(text)));
    EXPECT_EQ(fromText.size(), 4u);

    // A text of megabytes is read in two halves at once: the problems and the spellings of
    // both halves, and of the lines around the cut, are found as in its lines. Lines end in
    // CR LF, and in CR alone around the middle.
    std::string large;
    const auto add = [&](const std::string& line, std::string_view end = "\r\n") {
        large.append(line).append(end);
    };
    add("\"Mixed\" \"first spelling\"");
    for (int i = 0; large.size() < 3 * (size_t{1} << 20); ++i) {
        add(std::string(3 * static_cast<size_t>(i % 4), ' ') + "\"E" + std::to_string(i) +
                "\" \"Gr\xC3\xBC\xC3\x9F" + "e\"",
            large.size() > 1500000 && large.size() < 1700000 ? "\r" : "\r\n");
        if (i % 9973 == 0)
            add("   \"" + k64 + "\" \"x\x01\"");
        if (i % 15013 == 0)
            add("      \"MIXED\"", "\r");
    }
    add("\"mixed\" \"last\"", "");
    const std::vector<std::string> fromLarge = collectAll(std::string_view(large));
    EXPECT_EQ(fromLarge, collectAll(SplitLines(large)));
    EXPECT_GT(fromLarge.size(), 30u);
}

// The check reads each line as the parser does: the element it checks is the element the tree
// gets.
TEST(GamsCheck, ReadsElementLinesAsTheParser) {
    const std::vector<std::string> lines = {
        "plain",           "  bare with description", "\"quoted\" \"desc\"", "'single' 'd'",
        "*! \"marked\" x", "*!   \"deep\"",           "\"O'Neil\" rest",     "bare'quote more",
        "\"unclosed name", "\"  padded  \"",          "\"x\" \"a\"\"b\"",    "  ",
    };
    for (const std::string& line : lines) {
        TextLines text = {line};
        TFlyNodes tree;
        CollectingFeedback feedback;
        ParseElementText(text, tree, feedback);
        ElementLine element;
        std::string scratch;
        const bool read = ReadElementLine(line, element, scratch);
        ASSERT_EQ(read, tree.Count() == 1) << line;
        if (!read)
            continue;
        const std::string caption = element.hasDescription
                                        ? MakeCaption(DoubleToSingleQuotes(element.name),
                                                      DoubleToSingleQuotes(element.description))
                                        : MakeCaption(DoubleToSingleQuotes(element.name));
        EXPECT_EQ(caption, tree.Root(0)->Text()) << line;
        EXPECT_EQ(line.substr(element.nameAt, element.name.size()), element.name) << line;
    }
}

// ---- Spellings of large inputs, against a plain table of first spellings.

// One element of a generated classification: its line, name and parent (a root has itself).
struct Occurrence {
    std::string name;
    std::string parent;
    int depth = 0;
};

std::string folded(std::string_view name) {
    std::string f(name);
    for (char& c : f)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return f;
}

// The notes a repeated name gets, found the plain way: each name of each line in order (the child
// first, then the parent unless it is the child as written) against the first spelling of its
// fold.
std::vector<std::string> plainNotes(const std::vector<Occurrence>& elements, bool withParents) {
    std::map<std::string, std::pair<std::string, size_t>> first;
    std::vector<std::string> notes;
    const auto meet = [&](const std::string& name, size_t line) {
        const auto [at, added] = first.try_emplace(folded(name), name, line);
        if (!added && at->second.first != name)
            notes.push_back(std::to_string(line + 1) + " OtherSpelling " + at->second.first + "@" +
                            std::to_string(at->second.second + 1));
    };
    for (size_t i = 0; i < elements.size(); ++i) {
        meet(elements[i].name, i);
        if (withParents && elements[i].parent != elements[i].name)
            meet(elements[i].parent, i);
    }
    return notes;
}

// A classification of so many elements in pre-order, shaped to reach every way a name is met:
// a run of names in capitals first (some met again later in lower case), then names in lower
// and mixed case, some with UTF-8 letters (which have no other case); a few leaves repeat
// an earlier name, and a few names (children and parents) are spelled in other letter case.
std::vector<Occurrence> spelledClassification(size_t count, size_t inCapitals, uint64_t seed) {
    std::mt19937_64 random(seed);
    const auto otherCase = [&](std::string name) {
        std::vector<size_t> letters;
        for (size_t i = 0; i < name.size(); ++i)
            if ((name[i] | 0x20) >= 'a' && (name[i] | 0x20) <= 'z')
                letters.push_back(i);
        if (!letters.empty())
            name[letters[random() % letters.size()]] ^= 0x20;
        return name;
    };
    std::vector<Occurrence> out;
    std::vector<std::string> path; // the ancestors of the next element, as first written
    std::vector<std::string> names;
    for (size_t i = 0; i < count; ++i) {
        path.resize(path.empty() ? 0 : random() % (std::min<size_t>(path.size(), 7) + 1));
        std::string name;
        const uint64_t r = random();
        if (i < inCapitals)
            name = "SEC" + std::to_string(i);
        else if (r % 37 == 0 && !names.empty())
            name = otherCase(names[random() % names.size()]);
        else if (r % 41 == 0)
            name = "sec" + std::to_string(random() % inCapitals);
        else if (r % 43 == 0 && !names.empty())
            name = names[random() % names.size()];
        else
            name = (r % 5 == 0 ? "Min\xc3\xa9ral" : "agr") + std::to_string(i) + ".x" +
                   std::to_string(r % 9);
        std::string parent = path.empty() ? name : path.back();
        if (!path.empty() && i >= inCapitals && random() % 53 == 0)
            parent = otherCase(parent);
        out.push_back({name, parent, static_cast<int>(path.size())});
        names.push_back(name);
        path.push_back(name);
    }
    return out;
}

std::vector<std::string> spellingNotes(const Seen& seen) {
    std::vector<std::string> notes;
    for (const std::string& p : seen.problems)
        if (p.find("OtherSpelling") != std::string::npos)
            notes.push_back(p);
    return notes;
}

// Inputs large enough to be read in parts at once and to fill the filters that spare most names
// the table: the notes are those of the plain table, line for line, in pre-order and shuffled,
// and with a first half all in capitals.
TEST(GamsCheck, SpellingsOfLargeInputsAsThePlainTableFindsThem) {
    struct Shape {
        size_t inCapitals;
        bool shuffled;
    };
    for (const auto [inCapitals, shuffled] :
         {Shape{5000, false}, Shape{5000, true}, Shape{25000, false}}) {
        std::vector<Occurrence> elements = spelledClassification(40000, inCapitals, 7);
        if (shuffled)
            std::shuffle(elements.begin(), elements.end(), std::mt19937_64(11));
        std::vector<std::string> tuples;
        std::vector<std::string> text;
        std::string bytes;
        for (const Occurrence& e : elements) {
            tuples.push_back("\"level" + std::to_string(e.depth + 1) + "\".\"" + e.name + "\".\"" +
                             e.parent + "\" 1");
            bytes += tuples.back() + "\r\n";
            text.push_back(std::string(3 * e.depth, ' ') + "\"" + e.name + "\" \"d\"");
        }
        ASSERT_GT(bytes.size(), size_t{1} << 20); // tuples are read in two parts from 1 MiB on

        Seen fromTuples;
        CheckTuplesForGams(bytes, collect(fromTuples, tuples));
        const std::vector<std::string> expected = plainNotes(elements, true);
        EXPECT_GT(expected.size(), 1000u);
        EXPECT_EQ(fromTuples.problems.size(), expected.size())
            << inCapitals << (shuffled ? " in capitals, shuffled" : " in capitals");
        EXPECT_EQ(spellingNotes(fromTuples), expected)
            << inCapitals << (shuffled ? " in capitals, shuffled" : " in capitals");

        Seen fromText;
        CheckElementTextForGams(text, collect(fromText, text));
        const std::vector<std::string> expectedText = plainNotes(elements, false);
        EXPECT_EQ(fromText.problems.size(), expectedText.size())
            << inCapitals << (shuffled ? " in capitals, shuffled" : " in capitals");
        EXPECT_EQ(spellingNotes(fromText), expectedText)
            << inCapitals << (shuffled ? " in capitals, shuffled" : " in capitals");
    }
}

} // namespace
