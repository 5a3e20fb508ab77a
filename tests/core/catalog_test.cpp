// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/cataloglocation.h"
#include "catalog/catalogreaders.h"
#include "formats/elementtext.h"
#include "formats/pcreader.h"
#include "model/caption.h"
#include "model/feedback.h"
#include "model/flynode.h"
#include "model/textfile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

using namespace settree;

namespace {

const std::string kCatalogFolder = std::string(SETTREE_FIXTURES) + "/catalog/";
const std::string kCatalogFile = kCatalogFolder + "pcclassifications.gms";

class TempDir {
public:
    TempDir() {
        path_ = std::filesystem::temp_directory_path() /
                ("settree-catalog-" + std::to_string(::getpid()));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    std::string folder() const { return path_.string() + "/"; }
    std::string write(const std::string& name, const std::string& bytes) const {
        const std::string file = folder() + name;
        WriteFileAtomically(file, bytes);
        return file;
    }

private:
    std::filesystem::path path_;
};

std::string green(const std::string& name) {
    return "<font color=\"clgreen\">" + name + "</font>";
}
std::string withBlue(const std::string& name, const std::string& description) {
    return green(name) + " - <font color=\"clblue\">" + description;
}

std::vector<std::string> texts(const std::vector<ChooserItem>& items) {
    std::vector<std::string> out;
    for (const ChooserItem& item : items)
        out.push_back(item.Text);
    return out;
}

TEST(ClassificationIndex, BlocksOfTheFixture) {
    ClassificationList list;
    CollectingFeedback feedback;
    LoadClassificationIndex(kCatalogFile, list, feedback);
    EXPECT_EQ(feedback.busyCount, 1);
    EXPECT_EQ(feedback.busyDepth, 0);

    struct Expected {
        std::string key;
        std::string name;
        int first;
        int last;
    };
    // A block before the first header gets an empty name; the header without a "/" line
    // records nothing; several "/" lines end the block before the last of them; a block with
    // only its opening line ends at 0; the later of two names differing in case replaces the
    // entry in its place.
    const Expected expected[] = {
        {"", "", 2, 2},
        {"EMPTY", "Empty", 21, 0},
        {"PRODUCTS", "PRODUCTS", 24, 24},
        {"REGIONS", "Regions", 6, 10},
        {"TOTAL", "Total", 28, 28},
    };
    ASSERT_EQ(list.Count(), static_cast<int>(std::size(expected)));
    for (int i = 0; i < list.Count(); ++i) {
        const Expected& e = expected[i];
        EXPECT_EQ(list.Key(i), e.key);
        EXPECT_EQ(list.Entry(i).Name, e.name) << e.key;
        EXPECT_EQ(list.Entry(i).FirstLine, e.first) << e.key;
        EXPECT_EQ(list.Entry(i).LastLine, e.last) << e.key;
    }
    EXPECT_EQ(list.Find("products")->Description, "Products, later");
    EXPECT_EQ(list.Find("Regions")->Description, "Regions of the world");
    EXPECT_EQ(list.Find("NoBlock"), nullptr);

    // Items only for non-empty keys; a description equal to the key is not shown.
    const std::vector<ChooserItem> items = ClassificationItems(list);
    EXPECT_EQ(texts(items), (std::vector<std::string>{
                                withBlue("EMPTY", "Only an opening line"),
                                withBlue("PRODUCTS", "Products, later"),
                                withBlue("REGIONS", "Regions of the world"),
                                green("TOTAL"),
                            }));
    EXPECT_EQ(items[3].Entry, list.Find("TOTAL"));
}

TEST(ClassificationIndex, HeaderLines) {
    struct Case {
        std::string header;
        std::string name;
        std::string description;
    };
    const Case cases[] = {
        {R"h(SET abcRegions(x,y,z) "Regions of the world")h", "Regions", "Regions of the world"},
        {R"h(set abcregions(x) regions)h", "regions", "regions"},
        {R"h(SETabcY(a)"Tight")h", "Y", "Tight"},
        {R"h(Sets abcFoo(x) "Foo")h", "bcFoo", "Foo"},
        {R"h(SET abc(x) "No name")h", "", "No name"},
        {R"h(SET abcNoParen "D")h", "", "abcNoParen 'D"},
        {R"h(SET abcX(a) ") closes early")h", "X", ") closes early"},
        {R"h(SET   abcW(a)   'Single'  )h", "W", "Single"},
    };
    TempDir dir;
    for (const Case& c : cases) {
        const std::string file = dir.write("index.gms", c.header + "\r\n/\r\n\"level1\"\r\n/;");
        ClassificationList list;
        CollectingFeedback feedback;
        LoadClassificationIndex(file, list, feedback);
        ASSERT_EQ(list.Count(), 1) << c.header;
        EXPECT_EQ(list.Entry(0).Name, c.name) << c.header;
        EXPECT_EQ(list.Entry(0).Description, c.description) << c.header;
        EXPECT_EQ(list.Entry(0).FirstLine, 2) << c.header;
        EXPECT_EQ(list.Entry(0).LastLine, 2) << c.header;
    }
}

TEST(ClassificationIndex, UnreadableFileAddsNothing) {
    ClassificationList list;
    CollectingFeedback feedback;
    EXPECT_THROW(LoadClassificationIndex(kCatalogFolder + "absent.gms", list, feedback), FileError);
    EXPECT_TRUE(list.Empty());
    EXPECT_EQ(feedback.busyDepth, 0);
}

TEST(SetList, LinesOfTheFixture) {
    SetList sets;
    CollectingFeedback feedback;
    LoadSetList(kCatalogFolder, sets, feedback);
    EXPECT_EQ(feedback.busyCount, 1);
    EXPECT_EQ(feedback.busyDepth, 0);
    // Sorted by item text; comments, "$" lines, blank lines and "_Alias" lines are passed over.
    EXPECT_EQ(texts(sets.Items()), (std::vector<std::string>{
                                       withBlue("", "Indented 'Line begins with a blank"),
                                       withBlue("", "Lonely"),
                                       withBlue("GOODS_ALIAS", "Alias in lower case is kept"),
                                       withBlue("PRODUCTS", "Products"),
                                       withBlue("REGIONS(*)", "All regions"),
                                       green("SAME"),
                                       withBlue("TOTAL", "TOTAL"),
                                   }));
    const tmb& regions = *sets.Items()[4].Entry;
    EXPECT_EQ(regions.Name, "Regions(*)");
    EXPECT_EQ(regions.Description, "All regions");
    EXPECT_EQ(regions.FirstLine, 0);
    EXPECT_EQ(regions.LastLine, 0);
    EXPECT_EQ(sets.Items()[1].Entry->Name, "");
}

TEST(SetList, UnreadableFileAddsNothing) {
    SetList sets;
    CollectingFeedback feedback;
    EXPECT_THROW(LoadSetList(kCatalogFolder + "absent/", sets, feedback), FileError);
    EXPECT_TRUE(sets.Empty());
    EXPECT_EQ(feedback.busyDepth, 0);
}

TEST(ChooserItems, Texts) {
    EXPECT_EQ(ChooserItemText("Abc", "Desc", true),
              R"(<font color="clgreen">ABC</font> - <font color="clblue">Desc)");
    EXPECT_EQ(ChooserItemText("\xe9t\xe9", "", false), "<font color=\"clgreen\">\xe9T\xe9</font>");
    // Classification items compare the description with the key, set items with the name.
    EXPECT_EQ(ClassificationItemText("REGIONS", tmb{1, 2, "Regions", "REGIONS"}), green("REGIONS"));
    EXPECT_EQ(ClassificationItemText("REGIONS", tmb{1, 2, "Regions", "Regions"}),
              withBlue("REGIONS", "Regions"));
    EXPECT_EQ(ClassificationItemText("REGIONS", tmb{1, 2, "Regions", ""}), green("REGIONS"));
    EXPECT_EQ(SetItemText(tmb{0, 0, "Regions", "Regions"}), green("REGIONS"));
    EXPECT_EQ(SetItemText(tmb{0, 0, "Regions", "REGIONS"}), withBlue("REGIONS", "REGIONS"));
    EXPECT_EQ(SetItemText(tmb{0, 0, "Regions", ""}), green("REGIONS"));
}

TEST(LoadSetIntoText, MembersOfTheBlockNormalised) {
    TextLines lines{"old"};
    CollectingFeedback feedback;
    LoadSetIntoText(tmb{0, 0, "Regions(*)", "All regions"}, kCatalogFolder, lines, feedback);
    // The member right after the "/" line is not taken; "$" lines and blank lines are passed
    // over; the rest is trimmed and normalised.
    TextLines expected{"\"EUR\" \"Europe\"", "\"AME\" \"America\"",       "\"NLD\" Netherlands",
                       "\"fra\" \"France\"", "\"FRA\" \"France, later\"", "GER"};
    const TextLines raw = expected;
    CollectingFeedback quiet;
    NormaliseElementText(expected, quiet);
    EXPECT_NE(expected, raw);
    EXPECT_EQ(lines, expected);
}

TEST(LoadSetIntoText, BlockEdges) {
    struct Case {
        std::string file;
        TextLines lines;       // the pane afterwards, before normalisation
        std::string errorHead; // empty: no error
    };
    const Case cases[] = {
        // A "/" on the first line is not seen: the next one opens the block.
        {"/\r\n\"A\"\r\n/\r\nskipped\r\n\"B\"\r\n/;", {"\"B\""}, ""},
        {"Set S\n/\n/\n\"A\"\n/", {"\"A\""}, ""},
        {"Set S\n/\nskipped\n/", {}, ""},
        {"Set S\r\n\"A\"\r\n", {}, "Set file "},
        {"/\r\n\"A\"", {}, "Set file "},
        {"", {}, "Set file "},
        {"Set S\r\n/\r\nskipped\r\n\"A\"\r\nB\r\n",
         {"\"A\"", "B"},
         "The member block of set file "},
        {"Set S\r\n/\r\nskipped", {}, "The member block of set file "},
        {"Set S\r\n/", {}, "The member block of set file "},
    };
    TempDir dir;
    for (const Case& c : cases) {
        const std::string file = dir.write("S.gms", c.file);
        TextLines lines{"old"};
        CollectingFeedback feedback;
        if (c.errorHead.empty()) {
            LoadSetIntoText(tmb{0, 0, "S(*)", ""}, dir.folder(), lines, feedback);
            TextLines expected = c.lines;
            NormaliseElementText(expected, feedback);
            EXPECT_EQ(lines, expected) << c.file;
            continue;
        }
        try {
            LoadSetIntoText(tmb{0, 0, "S", ""}, dir.folder(), lines, feedback);
            ADD_FAILURE() << "no error for " << c.file;
        } catch (const CatalogError& e) {
            const std::string text = e.what();
            EXPECT_EQ(text.rfind(c.errorHead, 0), 0u) << text;
            EXPECT_NE(text.find(file), std::string::npos) << text;
        }
        EXPECT_EQ(lines, c.lines) << c.file;
    }
}

TEST(LoadSetIntoText, ErrorMessagesNameTheFile) {
    TempDir dir;
    const std::string noBlock = dir.write("NoBlock.gms", "Set NoBlock\r\n\"A\"\r\n");
    const std::string open = dir.write("Open.gms", "Set Open\r\n/\r\n\"A\"\r\n\"B\"\r\n");
    TextLines lines;
    CollectingFeedback feedback;
    try {
        LoadSetIntoText(tmb{0, 0, "NoBlock", ""}, dir.folder(), lines, feedback);
        ADD_FAILURE() << "no error";
    } catch (const CatalogError& e) {
        EXPECT_EQ(std::string(e.what()), "Set file " + noBlock + " has no member block");
    }
    try {
        LoadSetIntoText(tmb{0, 0, "Open(*)", ""}, dir.folder(), lines, feedback);
        ADD_FAILURE() << "no error";
    } catch (const CatalogError& e) {
        EXPECT_EQ(std::string(e.what()), "The member block of set file " + open + " is not closed");
    }
    EXPECT_EQ(lines, (TextLines{"\"B\""}));
}

TEST(LoadSetIntoText, UnreadableFileLeavesThePane) {
    TextLines lines{"keep", "these"};
    CollectingFeedback feedback;
    EXPECT_THROW(LoadSetIntoText(tmb{0, 0, "Absent(*)", ""}, kCatalogFolder, lines, feedback),
                 FileError);
    EXPECT_EQ(lines, (TextLines{"keep", "these"}));
}

// The find panel's rule: upper-case containment (a to z only) over the whole item text, markup
// included; an empty search text matches nothing.
TEST(ChooserItemMatches, SearchRule) {
    const std::string item = withBlue("REGIONS(*)", "All régions");
    struct Case {
        std::string search;
        bool matches;
    };
    const Case cases[] = {
        {"regions", true}, {"REGIONS(*)", true},       {"ll r", true},
        {"font", true},    {"COLOR=\"CLBLUE\"", true}, {"</FONT> - <", true},
        {"", false},       {"regionsx", false},        {"RÉGIONS", false}, // é is no letter a to z
        {"régions", true}, {"all  r", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ChooserItemMatches(item, c.search), c.matches) << c.search;
    EXPECT_FALSE(ChooserItemMatches("", "a"));
    EXPECT_FALSE(ChooserItemMatches("", ""));
}

// The catalog folder and the folder of the catalog program: beside the executable, or a folder
// named instead whose parent holds the program.
TEST(CatalogLocation, Places) {
    struct Case {
        std::string commandLine, environment, exe;
        std::string index, programFolder;
    };
    const Case cases[] = {
        {"", "", "/opt/st/", "/opt/st/tessarocgams/pcclassifications.gms", "/opt/st/"},
        {"/data/cat", "", "/opt/st/", "/data/cat/pcclassifications.gms", "/data/"},
        {"/data/cat//", "/env/cat", "/opt/st/", "/data/cat/pcclassifications.gms", "/data/"},
        {"", "/env/cat/", "/opt/st/", "/env/cat/pcclassifications.gms", "/env/"},
        {"cat", "", "/opt/st/", "cat/pcclassifications.gms", ""},
        {"examples/tessarocgams", "", "", "examples/tessarocgams/pcclassifications.gms",
         "examples/"},
        {"/", "", "/opt/st/", "/pcclassifications.gms", "/"},
    };
    for (const Case& c : cases) {
        const CatalogLocation place = CatalogLocation::Choose(c.commandLine, c.environment, c.exe);
        EXPECT_EQ(place.IndexFile(), c.index) << c.commandLine << "|" << c.environment;
        EXPECT_EQ(place.ProgramFolder(), c.programFolder) << c.commandLine << "|" << c.environment;
        EXPECT_EQ(place.Folder() + "pcclassifications.gms", place.IndexFile());
    }
}

TEST(CatalogLocation, ProgramBesideTheCatalogFolder) {
    TempDir dir;
    std::filesystem::create_directories(dir.folder() + "cat");
    const CatalogLocation place = CatalogLocation::InFolder(dir.folder() + "cat");
    EXPECT_FALSE(place.ProgramPresent());
    dir.write("tessaroc.sh", "");
    dir.write("cat/tessaroc", ""); // inside the catalog folder does not count
    EXPECT_FALSE(place.ProgramPresent());
    dir.write("tessaroc", "");
    EXPECT_TRUE(place.ProgramPresent());
    std::filesystem::remove(dir.folder() + "tessaroc");
    dir.write("tessaroc.exe", "");
    EXPECT_TRUE(place.ProgramPresent());
}

// The example catalog that ships with the program reads without a message: its classifications
// load into trees with their descriptions, and every set of its list loads into element text.
TEST(ExampleCatalog, EveryClassificationAndSetLoads) {
    const CatalogLocation place = CatalogLocation::InFolder(SETTREE_EXAMPLES "/tessarocgams");
    EXPECT_TRUE(place.ProgramPresent());
    CollectingFeedback feedback;
    ClassificationList classifications;
    LoadClassificationIndex(place.IndexFile(), classifications, feedback);
    const std::vector<ChooserItem> items = ClassificationItems(classifications);
    ASSERT_EQ(texts(items),
              (std::vector<std::string>{withBlue("FUELS", "Energy carriers"),
                                        withBlue("REGIONS", "World regions by continent"),
                                        withBlue("SECTORS", "Economic activities")}));
    std::vector<std::string> firstLines;
    for (const ChooserItem& item : items) {
        TFlyNodes tree;
        TextLines lines;
        EXPECT_TRUE(LoadPCFromCatalog(place.IndexFile(), *item.Entry, tree, lines, feedback))
            << item.Text;
        EXPECT_EQ(tree.Count(), 1) << item.Text;
        EXPECT_GT(lines.size(), size_t(10)) << item.Text;
        firstLines.push_back(lines.empty() ? "" : lines.front());
    }
    // Descriptions from the set files; the fuels' set file has none.
    EXPECT_EQ(firstLines, (std::vector<std::string>{"\"ALL\"", "\"WLD\" \"World\"",
                                                    "\"TOT\" \"All activities\""}));

    SetList sets;
    LoadSetList(place.Folder(), sets, feedback);
    ASSERT_EQ(sets.Count(), 3); // the alias is not listed
    for (const ChooserItem& item : sets.Items()) {
        TextLines lines;
        LoadSetIntoText(*item.Entry, place.Folder(), lines, feedback);
        EXPECT_GT(lines.size(), size_t(10)) << item.Text;
        TFlyNodes tree;
        EXPECT_TRUE(ParseElementText(lines, tree, feedback)) << item.Text;
    }
    EXPECT_TRUE(feedback.messages.empty()) << feedback.messages.front();
}

} // namespace
