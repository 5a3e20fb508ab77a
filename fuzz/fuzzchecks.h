// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The code paths the fuzz targets drive, with the invariants they check. Shared by the libFuzzer
// targets and by the regression test that replays every saved crash input, so both run exactly
// the same code. A broken invariant raises FuzzInvariantError; the fuzz targets let it escape,
// which libFuzzer reports as a crash together with the input.

#include "catalog/catalogreaders.h"
#include "formats/elementtext.h"
#include "formats/pcreader.h"
#include "formats/pcwriter.h"
#include "formats/treefile.h"
#include "model/caption.h"
#include "model/feedback.h"
#include "model/flynode.h"
#include "model/textfile.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unistd.h>
#include <utility>
#include <vector>

namespace settree::fuzz {

class FuzzInvariantError : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

inline void Require(bool condition, const std::string& what) {
    if (!condition)
        throw FuzzInvariantError(what);
}

// What a writer made straight from its input gives, against what writing the tree gives
// (write()): the same bytes, or the same element in the way and no bytes.
template <class Write>
void RequireAsWrittenFromTree(const std::string& text,
                              const std::optional<ElementNotWritable>& fault, Write&& write,
                              const std::string& what) {
    std::string expected;
    std::string expectedFault;
    try {
        expected = write();
    } catch (const ElementNotWritable& e) {
        expectedFault = e.what();
    }
    Require(text == (expectedFault.empty() ? expected : std::string()) &&
                (fault ? fault->what() : "") == expectedFault,
            what);
}

// Splits data at every occurrence of separator.
inline std::vector<std::string_view> SplitParts(std::string_view data, std::string_view separator) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (;;) {
        const size_t at = data.find(separator, start);
        if (at == std::string_view::npos) {
            parts.push_back(data.substr(start));
            return parts;
        }
        parts.push_back(data.substr(start, at - start));
        start = at + separator.size();
    }
}

// One node of a tree in pre-order: depth, number of children and element name.
struct OutlineEntry {
    int depth;
    int children;
    std::string name;
    bool operator==(const OutlineEntry&) const = default;
};

// Hands each node of the tree to visit(node, depth) in pre-order, walked with an explicit stack.
template <class Visit> void WalkPreOrder(const TFlyNodes& tree, Visit&& visit) {
    std::vector<std::pair<const TFlyNode*, int>> stack;
    for (int r = tree.Count() - 1; r >= 0; --r)
        stack.emplace_back(tree.Root(r), 0);
    while (!stack.empty()) {
        const auto [node, depth] = stack.back();
        stack.pop_back();
        visit(*node, depth);
        for (int c = node->Count() - 1; c >= 0; --c)
            stack.emplace_back(node->Child(c), depth + 1);
    }
}

// The tree's shape and names in pre-order.
inline std::vector<OutlineEntry> Outline(const TFlyNodes& tree) {
    std::vector<OutlineEntry> out;
    WalkPreOrder(tree, [&](const TFlyNode& node, int depth) {
        out.push_back({depth, node.Count(), PlainName(node.Text())});
    });
    return out;
}

inline std::vector<const TFlyNode*> PreOrder(const TFlyNodes& tree) {
    std::vector<const TFlyNode*> out;
    std::vector<const TFlyNode*> stack;
    for (int r = tree.Count() - 1; r >= 0; --r)
        stack.push_back(tree.Root(r));
    while (!stack.empty()) {
        const TFlyNode* node = stack.back();
        stack.pop_back();
        out.push_back(node);
        for (int c = node->Count() - 1; c >= 0; --c)
            stack.push_back(node->Child(c));
    }
    return out;
}

inline bool HasQuote(std::string_view s) {
    return s.find_first_of("\"'") != std::string_view::npos;
}

// ---------------------------------------------------------------------------------------------
// Element text: normalise, parse, write.

// Whether the element text writer can carry a node's caption through a parse unchanged in name:
// a non-empty trimmed name without quotes, in a caption of the exact element caption layout.
inline bool WritableCaption(std::string_view caption) {
    const CaptionParts parts = SplitCaption(caption);
    const bool hasDescription = caption.find(kDescriptionOpen) != std::string::npos;
    const std::string rebuilt =
        hasDescription ? MakeCaption(parts.name, parts.description) : MakeCaption(parts.name);
    return rebuilt == caption && !parts.name.empty() && parts.name == Trim(parts.name) &&
           !HasQuote(parts.name) && parts.description.find('"') == std::string::npos;
}

// The text of the bytes as the file readers take it; false when they refuse it (a NUL byte,
// UTF-16), which is then no fault of the code under test.
inline bool TextOf(std::string_view bytes, std::string_view& text) {
    try {
        text = TextOfBytes(bytes, "input");
    } catch (const TextFormError&) {
        return false;
    }
    Require(text.find('\0') == std::string_view::npos, "a NUL byte passed the text check");
    return true;
}

// Invariants: normalising twice changes nothing; the element text written from the parsed tree
// is normal, survives the .tree file form, and parses back to the same shape and names when
// every caption is one the writer can carry.
inline void CheckElementText(std::string_view bytes) {
    std::string_view text;
    if (!TextOf(bytes, text))
        return;
    CollectingFeedback feedback;
    TextLines lines = ReadTreeText(text);
    NormaliseElementText(lines, feedback);
    TextLines again = lines;
    NormaliseElementText(again, feedback);
    Require(again == lines, "normalising a second time changed the text");

    TFlyNodes tree;
    TextLines parsed = lines;
    const bool parsedOk = ParseElementText(parsed, tree, feedback);
    Require(tree.UpdateCount() == 0, "the parser left an update bracket open");
    Require(parsed == lines, "parsing changed normalised text");
    Require(parsedOk == feedback.messages.empty(), "parse result and messages disagree");

    // The tuples and the element text made straight from the text are those of the tree the
    // parser builds, and fail alike.
    const auto requireAsParsed = [&](const std::string& made, auto&& convert, auto&& fromTree) {
        std::string result;
        std::optional<ElementNotWritable> fault;
        CollectingFeedback converting;
        const bool ok = convert(result, fault, converting);
        Require(ok == parsedOk && converting.messages == feedback.messages,
                made + " made from the text: not the parser's failure");
        if (parsedOk)
            RequireAsWrittenFromTree(result, fault, fromTree,
                                     made + " made from the text: not that of the parsed tree");
    };
    requireAsParsed(
        "the tuples",
        [&](std::string& result, std::optional<ElementNotWritable>& fault, Feedback& converting) {
            return ElementTextToPcText(text, result, fault, converting);
        },
        [&] { return PcText(tree, PcNames::PlainNames); });
    CollectingFeedback quiet;
    requireAsParsed(
        "the element text",
        [&](std::string& result, std::optional<ElementNotWritable>& fault, Feedback& converting) {
            return ElementTextOfText(text, result, fault, converting);
        },
        [&] { return ElementTextBytes(tree, quiet); });

    TextLines written;
    WriteElementText(tree, written, feedback);
    TextLines renormalised = written;
    NormaliseElementText(renormalised, feedback);
    Require(renormalised == written, "written element text is not normal");
    Require(ReadTreeText(TreeFileBytes(written)) == written,
            "written element text does not survive the .tree file form");

    const std::vector<const TFlyNode*> nodes = PreOrder(tree);
    if (!std::all_of(nodes.begin(), nodes.end(),
                     [](const TFlyNode* n) { return WritableCaption(n->Text()); }))
        return;
    TFlyNodes back;
    CollectingFeedback backFeedback;
    TextLines copy = written;
    Require(ParseElementText(copy, back, backFeedback),
            "written element text does not parse: " +
                (backFeedback.messages.empty() ? std::string() : backFeedback.messages.front()));
    Require(Outline(back) == Outline(tree),
            "written element text parses back to another shape or other names");
}

// ---------------------------------------------------------------------------------------------
// Parent-child tuples: LoadPC on bytes, with and without a .tree description buffer.

// Separates the .PC bytes from the .tree description bytes in a fuzz input.
inline constexpr std::string_view kTreeSeparator = "\n--tree--\n";

inline void CheckRoundTrips(std::string_view data);

// Invariants: every failure is reported with the one tuple message (or, for a tree that element
// text cannot hold, the element's), brackets stay balanced, the returned lines are the element
// text of the tree, the element text made straight from the tuples is the same (and fails
// alike); and the round trips of CheckRoundTrips hold for the tree.
inline void CheckPcLoad(std::string_view data) {
    CheckRoundTrips(data);
    const size_t cut = data.find(kTreeSeparator);
    const std::string_view pc = data.substr(0, cut);
    std::string treeBytes;
    if (cut != std::string_view::npos)
        treeBytes.assign(data.substr(cut + kTreeSeparator.size()));
    constexpr char kSeparator = '.';

    TFlyNodes tree;
    TextLines lines;
    CollectingFeedback feedback;
    const bool ok = LoadPCFromBytes(pc, cut == std::string_view::npos ? nullptr : &treeBytes, tree,
                                    lines, feedback, kSeparator);
    Require(tree.UpdateCount() == 0, "LoadPC left an update bracket open");
    Require(feedback.busyDepth == 0, "LoadPC left the busy cursor on");
    Require(ok == feedback.messages.empty(), "LoadPC result and messages disagree");
    for (const std::string& m : feedback.messages)
        Require(m.rfind(kPcErrorMessage, 0) == 0 || m.rfind("The element ", 0) == 0,
                "LoadPC reported another message: " + m);
    TextLines expected;
    CollectingFeedback quiet;
    (void)WriteElementText(tree, expected, quiet);
    Require(lines == expected, "LoadPC lines are not the element text of the loaded tree");

    // The text whole, written while the tree is built: the same load, the lines joined.
    TFlyNodes twin;
    std::string whole;
    CollectingFeedback wholeFeedback;
    std::optional<std::string> beside;
    if (cut != std::string_view::npos)
        beside = treeBytes;
    const bool wholeOk =
        LoadPCFromBytes(std::string(pc), beside, twin, whole, wholeFeedback, kSeparator);
    Require(wholeOk == ok && wholeFeedback.messages == feedback.messages,
            "the load giving its text whole fails otherwise than the load giving lines");
    Require(whole == JoinLines(lines), "the text given whole is not the lines joined");

    std::string direct;
    CollectingFeedback directFeedback;
    const bool directOk =
        PCElementTextFromBytes(pc, cut == std::string_view::npos ? nullptr : &treeBytes, direct,
                               directFeedback, kSeparator);
    // The text made without a tree stops at a failing tuple; the load goes on to write the text
    // of the tree built so far, whose elements the writer may refuse after that first message.
    const std::vector<std::string>& said = feedback.messages;
    const std::vector<std::string>& saidDirectly = directFeedback.messages;
    bool sameMessages = saidDirectly.size() <= said.size() &&
                        std::equal(saidDirectly.begin(), saidDirectly.end(), said.begin());
    for (size_t i = saidDirectly.size(); sameMessages && i < said.size(); ++i)
        sameMessages = !ok && !saidDirectly.empty() && said[i].rfind("The element ", 0) == 0;
    Require(directOk == ok && sameMessages,
            "the text made without a tree fails otherwise than the load");
    Require(direct == (ok ? ElementTextBytes(tree, quiet) : std::string()),
            "the text made without a tree is not the element text of the loaded tree");

    // The tuples made, and the check done, without a tree: those of the tree alone, failing where
    // its load fails.
    const std::string* besideBytes = cut == std::string_view::npos ? nullptr : &treeBytes;
    TFlyNodes treeOnly;
    CollectingFeedback treeOnlyFeedback;
    const bool treeOnlyOk =
        LoadPCTreeFromBytes(pc, besideBytes, treeOnly, treeOnlyFeedback, kSeparator);
    std::string tuples;
    std::optional<ElementNotWritable> tupleFault;
    CollectingFeedback tupleFeedback;
    Require(PCTuplesFromBytes(pc, besideBytes, tuples, tupleFault, tupleFeedback, kSeparator) ==
                    treeOnlyOk &&
                tupleFeedback.messages == treeOnlyFeedback.messages,
            "the tuples made without a tree fail otherwise than the load");
    if (treeOnlyOk)
        RequireAsWrittenFromTree(
            tuples, tupleFault, [&] { return PcText(treeOnly, PcNames::PlainNames, kSeparator); },
            "the tuples made without a tree are not those of the loaded tree");
    else
        Require(tuples.empty() && !tupleFault, "a failed load gave tuples");
    CollectingFeedback checkFeedback;
    Require(CheckPCFromBytes(pc, besideBytes, checkFeedback, kSeparator) == treeOnlyOk &&
                checkFeedback.messages == treeOnlyFeedback.messages,
            "the check without a tree fails otherwise than the load");
}

// ---------------------------------------------------------------------------------------------
// Round trips: what one form writes, the other reads back to the same tree, or the writer says
// which element it cannot write.

// One node as a form carries it: its depth, element name (as the caption gives it) and weight.
struct CarriedNode {
    int depth;
    std::string name;
    std::string weight; // trimmed; an empty weight is "1"
    bool operator==(const CarriedNode&) const = default;
};

inline std::vector<CarriedNode> Carried(const TFlyNodes& tree) {
    std::vector<CarriedNode> out;
    WalkPreOrder(tree, [&](const TFlyNode& node, int depth) {
        std::string weight = Trim(node.Cells(1));
        out.push_back({depth, SplitCaption(node.Text()).name, weight.empty() ? "1" : weight});
    });
    return out;
}

inline std::vector<std::string> Descriptions(const TFlyNodes& tree) {
    std::vector<std::string> out;
    for (const TFlyNode* node : PreOrder(tree))
        out.push_back(SplitCaption(node->Text()).description);
    return out;
}

// The descriptions a tuple load gives back from a .tree file written from `before`: each node's
// is one that an element of its name (in any letter case) had in `before`, or none; and where
// all those elements had the same one, which differs from the name, exactly that one. No node
// gets a description that no element had.
inline void CheckDescriptionsBack(const TFlyNodes& before, const TFlyNodes& after) {
    const std::vector<const TFlyNode*> nodes = PreOrder(before);
    const std::vector<std::string> back = Descriptions(after);
    Require(back.size() == nodes.size(), "another number of nodes came back");
    std::vector<std::pair<std::string, std::string>> byName; // upper-cased name, description
    for (const TFlyNode* node : nodes) {
        const CaptionParts parts = SplitCaption(node->Text());
        byName.emplace_back(UpperCase(parts.name), parts.description);
    }
    for (size_t i = 0; i < nodes.size(); ++i) {
        const std::string name = SplitCaption(nodes[i]->Text()).name;
        std::vector<std::string> had;
        for (const auto& [key, description] : byName)
            if (key == UpperCase(name))
                had.push_back(description);
        const bool known =
            back[i].empty() || std::find(had.begin(), had.end(), back[i]) != had.end();
        Require(known, "a description that no element of the name had came back: " + back[i]);
        if (std::all_of(had.begin(), had.end(), [&](const std::string& d) { return d == had[0]; }))
            Require(back[i] == (had[0] == name ? std::string() : had[0]),
                    "the one description of a name did not come back for " + name);
    }
}

// The tree as tuples, read back with its element text beside them as the .tree file: the same
// shape, names and weights, and descriptions as CheckDescriptionsBack says; or a refusal that
// names an element.
inline void CheckTuplesRoundTrip(const TFlyNodes& tree, char decimalSeparator) {
    std::string pc;
    try {
        pc = PcText(tree, PcNames::PlainNames, decimalSeparator);
    } catch (const ElementNotWritable& fault) {
        Require(std::string(fault.what()).rfind("The element ", 0) == 0,
                "a refusal without its element");
        return;
    }
    CollectingFeedback feedback;
    std::string beside;
    bool withBeside = true;
    try {
        beside = ElementTextBytes(tree, feedback);
    } catch (const ElementNotWritable&) {
        withBeside = false; // no .tree file can stand beside: the names alone go round
    }
    TFlyNodes back;
    Require(
        LoadPCTreeFromBytes(pc, withBeside ? &beside : nullptr, back, feedback, decimalSeparator),
        "the written .PC does not load: " +
            (feedback.messages.empty() ? std::string() : feedback.messages.front()));
    Require(Carried(back) == Carried(tree),
            "the written .PC loads to another shape, other names or other weights");
    if (withBeside)
        CheckDescriptionsBack(tree, back);
}

// The tree as element text, read back: the same shape, names and descriptions; or a refusal
// that names an element.
inline void CheckElementTextRoundTrip(const TFlyNodes& tree) {
    CollectingFeedback feedback;
    std::string text;
    try {
        text = ElementTextBytes(tree, feedback);
    } catch (const ElementNotWritable& fault) {
        Require(std::string(fault.what()).rfind("The element ", 0) == 0,
                "a refusal without its element");
        return;
    }
    std::string_view read;
    Require(TextOf(text, read), "written element text is refused as no text");
    Require(read.size() == text.size(), "written element text begins with a byte order mark");
    TextLines lines = ReadTreeText(read);
    TFlyNodes back;
    Require(ParseElementText(lines, back, feedback),
            "written element text does not parse: " +
                (feedback.messages.empty() ? std::string() : feedback.messages.front()));
    std::vector<CarriedNode> before = Carried(tree);
    for (CarriedNode& node : before)
        node.weight = "1"; // element text carries no weight
    Require(Carried(back) == before, "written element text reads back to another shape or names");
    Require(Descriptions(back) == Descriptions(tree),
            "written element text reads back with other descriptions");
}

// The input both ways: as element text taken to tuples and back, and as tuples (with a .tree
// description file after the separator) taken to element text and back, and then to tuples.
inline void CheckRoundTrips(std::string_view data) {
    constexpr char kSeparator = '.';
    std::string_view text;
    if (TextOf(data, text)) {
        TextLines lines = ReadTreeText(text);
        TFlyNodes tree;
        CollectingFeedback feedback;
        ParseElementText(lines, tree, feedback); // what it built, also after an error
        CheckElementTextRoundTrip(tree);
        CheckTuplesRoundTrip(tree, kSeparator);
    }

    const size_t cut = data.find(kTreeSeparator);
    std::string_view pc;
    std::string_view beside;
    if (!TextOf(data.substr(0, cut), pc))
        return;
    const bool withBeside = cut != std::string_view::npos;
    if (withBeside && !TextOf(data.substr(cut + kTreeSeparator.size()), beside))
        return;
    const std::string besideBytes(beside);
    TFlyNodes tree;
    CollectingFeedback feedback;
    if (!LoadPCTreeFromBytes(pc, withBeside ? &besideBytes : nullptr, tree, feedback, kSeparator))
        return; // the input has an error
    std::string direct;
    CollectingFeedback directFeedback;
    const bool directOk = PCElementTextFromBytes(pc, withBeside ? &besideBytes : nullptr, direct,
                                                 directFeedback, kSeparator);
    try {
        const std::string treeText = ElementTextBytes(tree, feedback);
        Require(directOk && direct == treeText,
                "the text made without a tree is not the element text of the loaded tree");
    } catch (const ElementNotWritable& fault) {
        Require(!directOk && directFeedback.messages == std::vector<std::string>{fault.what()},
                "the text made without a tree is not refused as the tree's text is");
    }
    CheckElementTextRoundTrip(tree);
    CheckTuplesRoundTrip(tree, kSeparator);
}

// ---------------------------------------------------------------------------------------------
// Catalog readers, on files in a scratch folder.

// Separates the files of a catalog fuzz input: the classification index, the set list, then
// the contents handed out as set files to the entries in turn.
inline constexpr std::string_view kFileSeparator = "\n--file--\n";

// A private folder for the catalog files of one process, removed with its files at exit.
class ScratchFolder {
public:
    ScratchFolder() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/settree-fuzz-XXXXXX";
        if (char* made = ::mkdtemp(pattern.data()))
            path_ = std::string(made) + "/";
    }
    ~ScratchFolder() {
        for (const std::string& f : files_)
            ::unlink(f.c_str());
        if (!path_.empty())
            ::rmdir(path_.c_str());
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& Path() const { return path_; }
    // A plain write: the catalog readers only read, and a synced atomic save per input would
    // slow the fuzzer down a hundredfold.
    void Write(const std::string& fileName, std::string_view bytes) {
        if (std::FILE* f = std::fopen(fileName.c_str(), "wb")) {
            std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
        }
        if (std::find(files_.begin(), files_.end(), fileName) == files_.end())
            files_.push_back(fileName);
    }
    void Remove(const std::string& fileName) { ::unlink(fileName.c_str()); }

private:
    std::string path_;
    std::vector<std::string> files_;
};

// A name that stays inside the scratch folder as a file name.
inline bool LocalFileName(std::string_view name) {
    return !name.empty() && name.size() < 128 && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

inline void CheckCatalog(std::string_view data, ScratchFolder& folder) {
    Require(!folder.Path().empty(), "no scratch folder");
    const std::vector<std::string_view> parts = SplitParts(data, kFileSeparator);
    const std::vector<std::string_view> setFiles(parts.begin() + std::min<size_t>(2, parts.size()),
                                                 parts.end());
    size_t nextSetFile = 0;
    // Gives the set file of an entry the next set file contents, or removes it when there are
    // none, so the readers also meet a missing file.
    auto placeSetFile = [&](const std::string& fileName) {
        if (setFiles.empty())
            folder.Remove(fileName);
        else
            folder.Write(fileName, setFiles[nextSetFile++ % setFiles.size()]);
    };
    constexpr int kMaxEntries = 8; // keeps one input fast

    CollectingFeedback feedback;
    const std::string index = folder.Path() + "pcclassifications.gms";
    folder.Write(index, parts[0]);
    ClassificationList classifications;
    // A catalog file that holds no text (a NUL byte, UTF-16) is refused whole, with its reason.
    try {
        LoadClassificationIndex(index, classifications, feedback);
    } catch (const TextFormError&) {
        Require(classifications.Count() == 0, "an index that is no text gave classifications");
        return;
    }
    for (int i = 1; i < classifications.Count(); ++i)
        Require(CompareNoCase(classifications.Key(i - 1), classifications.Key(i)) < 0,
                "classification keys are not sorted and unique");
    const std::vector<ChooserItem> items = ClassificationItems(classifications);
    for (size_t i = 1; i < items.size(); ++i)
        Require(items[i - 1].Text <= items[i].Text, "classification items are not sorted");
    for (int i = 0; i < classifications.Count() && i < kMaxEntries; ++i) {
        const tmb& entry = classifications.Entry(i);
        if (!LocalFileName(entry.Name))
            continue;
        placeSetFile(folder.Path() + entry.Name + ".gms");
        TFlyNodes tree;
        TextLines lines;
        CollectingFeedback loadFeedback;
        const bool ok = LoadPCFromCatalog(index, entry, tree, lines, loadFeedback);
        Require(tree.UpdateCount() == 0, "a catalog load left an update bracket open");
        Require(ok == loadFeedback.messages.empty(), "catalog load result and messages disagree");
        for (const TFlyNode* node : PreOrder(tree))
            Require(node->Cells(1) == "1", "a catalog load gave a weight other than 1");
    }

    if (parts.size() < 2)
        return;
    folder.Write(folder.Path() + "ListofSets.gms", parts[1]);
    SetList sets;
    try {
        LoadSetList(folder.Path(), sets, feedback);
    } catch (const TextFormError&) {
        Require(sets.Items().empty(), "a set list that is no text gave sets");
        return;
    }
    const std::vector<ChooserItem>& setItems = sets.Items();
    for (size_t i = 1; i < setItems.size(); ++i)
        Require(setItems[i - 1].Text <= setItems[i].Text, "set items are not sorted");
    for (size_t i = 0; i < setItems.size() && i < size_t{kMaxEntries}; ++i) {
        const tmb& entry = *setItems[i].Entry;
        if (!LocalFileName(CutAtParen(entry.Name)))
            continue;
        placeSetFile(SetFileName(folder.Path(), entry));
        TextLines lines{"untouched"};
        try {
            LoadSetIntoText(entry, folder.Path(), lines, feedback);
            TextLines again = lines;
            NormaliseElementText(again, feedback);
            Require(again == lines, "set members are not left normalised");
        } catch (const CatalogError&) {
        } catch (const FileError&) {
            Require(lines == TextLines{"untouched"}, "an unreadable set file changed the lines");
        } catch (const TextFormError&) {
            Require(lines == TextLines{"untouched"},
                    "a set file that is no text changed the lines");
        }
    }
}

} // namespace settree::fuzz
