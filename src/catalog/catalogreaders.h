// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "formats/elementtext.h"
#include "model/feedback.h"

namespace settree {

class TFlyNodes;

// The catalog files of the sibling catalog program, read only: the classification index
// (pcclassifications.gms), the set list (ListofSets.gms) and one file per set (<set>.gms), all
// in one folder. Every file is read whole, as ReadTextFile reads a regular file (a leading byte
// order mark left out; a NUL byte or UTF-16 text raises TextFormError); a line ends at CR LF, CR
// or LF. Line indexes count from 0.

// One catalog entry, a classification or a set.
struct tmb {
    int FirstLine = 0; // classification: index of the first tuple line of its block; set: 0
    int LastLine = 0;  // classification: index of the last tuple line of its block; set: 0
    std::string Name;
    std::string Description;
};

// A set file whose member block cannot be found or does not end.
class CatalogError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One item of a chooser list: its text with colour markup, and the entry it carries (owned
// by the list the item comes from).
struct ChooserItem {
    std::string Text;
    const tmb* Entry = nullptr;
};

// The classifications of the index, sorted by the key UpperCase(Name), keys compared without
// regard to case a to z. Owns its entries.
class ClassificationList {
public:
    // Inserts entry under UpperCase(entry->Name). When the key is present already, it keeps its
    // place and the entry it carried is released and replaced.
    void Insert(std::unique_ptr<tmb> entry);
    int Count() const { return static_cast<int>(items_.size()); }
    bool Empty() const { return items_.empty(); }
    const std::string& Key(int i) const { return items_[static_cast<size_t>(i)].key; }
    const tmb& Entry(int i) const { return *items_[static_cast<size_t>(i)].entry; }
    // The entry under the key of name, none when there is none.
    const tmb* Find(std::string_view name) const;
    void Clear() { items_.clear(); }

private:
    struct Item {
        std::string key;
        std::unique_ptr<tmb> entry;
    };
    std::vector<Item> items_;
};

// The sets of the set list with their chooser items, kept sorted by item text (unsigned
// bytes; equal texts keep the order they came in). Owns its entries.
class SetList {
public:
    void Add(std::unique_ptr<tmb> entry);
    int Count() const { return static_cast<int>(items_.size()); }
    bool Empty() const { return items_.empty(); }
    const std::vector<ChooserItem>& Items() const { return items_; }
    void Clear();

private:
    std::vector<std::unique_ptr<tmb>> entries_;
    std::vector<ChooserItem> items_;
};

// Chooser item text: the upper-case name in green and, when shown, " - " and the description
// in blue (left without a closing tag).
std::string ChooserItemText(std::string_view name, std::string_view description,
                            bool showDescription);
// A classification item shows its description when it is not empty and differs from the key.
std::string ClassificationItemText(const std::string& key, const tmb& entry);
// A set item shows its description when it is not empty and differs from Name as written.
std::string SetItemText(const tmb& entry);

// Reads the classification index catalogFile into classifications, with the busy cursor shown.
// A header line begins with "SET" in any case; a block runs from the line after the first "/"
// line that follows its header to the line before the last "/" line before the next header.
// Raises FileError when the file cannot be read; nothing is added then.
void LoadClassificationIndex(const std::string& catalogFile, ClassificationList& classifications,
                             Feedback& feedback);
// The chooser items of the classifications with a non-empty key, sorted by item text.
std::vector<ChooserItem> ClassificationItems(const ClassificationList& classifications);

// Reads "ListofSets.gms" in catalogFolder (which ends in a separator) into sets, with the busy
// cursor shown. Raises FileError when the file cannot be read; nothing is added then.
void LoadSetList(const std::string& catalogFolder, SetList& sets, Feedback& feedback);

// The set file of a set entry: catalogFolder, the name without its domain, ".gms".
std::string SetFileName(const std::string& catalogFolder, const tmb& entry);

// Replaces lines by the members of the set file of entry and normalises them. The file is read
// first: FileError leaves lines untouched. A set file without a member block after its first
// line, or whose block is not closed, raises CatalogError; lines then hold the members taken so
// far, not normalised.
void LoadSetIntoText(const tmb& entry, const std::string& catalogFolder, TextLines& lines,
                     Feedback& feedback);

// Loads one classification of the index catalogFile into the tree, as LoadPC loads a .PC file,
// then lines from the tree: the lines entry.FirstLine to entry.LastLine of the index (none when
// LastLine is smaller), every weight "1", descriptions from the set file <folder of
// catalogFile><entry.Name>.gms when it exists. Every error is reported through feedback as
// LoadPC reports it (a file that cannot be read, a block that reaches past the end of the
// index); returns true when nothing was reported.
bool LoadPCFromCatalog(const std::string& catalogFile, const tmb& entry, TFlyNodes& tree,
                       TextLines& lines, Feedback& feedback);

// Whether the find panel lists a chooser item for a search text: the search text, upper-cased
// (a to z), occurs in the item's whole text, upper-cased, colour markup included. An empty
// search text matches nothing.
bool ChooserItemMatches(std::string_view itemText, std::string_view searchText);

} // namespace settree
