// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/catalogreaders.h"

#include "formats/pcreader.h"
#include "model/caption.h"
#include "model/textfile.h"

#include <algorithm>
#include <new>

namespace settree {

namespace {

bool startsWith(std::string_view line, char c) {
    return !line.empty() && line.front() == c;
}

// Where a new item goes so that the list stays sorted by text: after the equal ones.
template <class List> auto sortedPlace(List& items, const std::string& text) {
    return std::upper_bound(
        items.begin(), items.end(), text,
        [](const std::string& t, const ChooserItem& item) { return t.compare(item.Text) < 0; });
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Lists

void ClassificationList::Insert(std::unique_ptr<tmb> entry) {
    std::string key = UpperCase(entry->Name);
    auto place = std::lower_bound(
        items_.begin(), items_.end(), key,
        [](const Item& item, const std::string& k) { return CompareNoCase(item.key, k) < 0; });
    if (place != items_.end() && CompareNoCase(place->key, key) == 0)
        place->entry = std::move(entry);
    else
        items_.insert(place, Item{std::move(key), std::move(entry)});
}

const tmb* ClassificationList::Find(std::string_view name) const {
    auto place = std::lower_bound(
        items_.begin(), items_.end(), name,
        [](const Item& item, std::string_view k) { return CompareNoCase(item.key, k) < 0; });
    if (place != items_.end() && CompareNoCase(place->key, name) == 0)
        return place->entry.get();
    return nullptr;
}

void SetList::Add(std::unique_ptr<tmb> entry) {
    ChooserItem item{SetItemText(*entry), entry.get()};
    entries_.push_back(std::move(entry));
    items_.insert(sortedPlace(items_, item.Text), std::move(item));
}

void SetList::Clear() {
    items_.clear();
    entries_.clear();
}

// ---------------------------------------------------------------------------------------------
// Item texts

std::string ChooserItemText(std::string_view name, std::string_view description,
                            bool showDescription) {
    std::string text = "<font color=\"clgreen\">";
    text.append(UpperCase(name)).append("</font>");
    if (showDescription)
        text.append(" - <font color=\"clblue\">").append(description);
    return text;
}

std::string ClassificationItemText(const std::string& key, const tmb& entry) {
    const std::string& d = entry.Description;
    return ChooserItemText(key, d, !d.empty() && d != key);
}

std::string SetItemText(const tmb& entry) {
    const std::string& d = entry.Description;
    return ChooserItemText(entry.Name, d, !d.empty() && d != entry.Name);
}

// ---------------------------------------------------------------------------------------------
// Readers

void LoadClassificationIndex(const std::string& catalogFile, ClassificationList& classifications,
                             Feedback& feedback) {
    BusyCursor busy(feedback);
    const std::vector<std::string> lines = SplitLines(ReadTextFile(catalogFile, true));

    tmb pending;
    auto record = [&] {
        if (pending.FirstLine != 0)
            classifications.Insert(std::make_unique<tmb>(pending));
    };
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.empty())
            continue;
        if (line.size() >= 3 && UpperCase(line.substr(0, 3)) == "SET") {
            record();
            pending.FirstLine = 0;
            pending.LastLine = 0;
            const std::string_view t = TrimView(std::string_view(line).substr(3));
            const size_t close = t.find(')');
            pending.Description =
                Unquote(close == std::string_view::npos ? t : t.substr(close + 1));
            // The name is what stands between the first three characters and the first "(".
            const size_t open = t.find('(');
            pending.Name = open == std::string_view::npos || open <= 3
                               ? std::string()
                               : std::string(t.substr(3, open - 3));
        } else if (line.front() == '/') {
            if (pending.FirstLine == 0)
                pending.FirstLine = static_cast<int>(i) + 1;
            else
                pending.LastLine = static_cast<int>(i) - 1;
        }
    }
    record();
}

std::vector<ChooserItem> ClassificationItems(const ClassificationList& classifications) {
    std::vector<ChooserItem> items;
    for (int i = 0; i < classifications.Count(); ++i) {
        const std::string& key = classifications.Key(i);
        if (key.empty())
            continue;
        ChooserItem item{ClassificationItemText(key, classifications.Entry(i)),
                         &classifications.Entry(i)};
        items.insert(sortedPlace(items, item.Text), std::move(item));
    }
    return items;
}

void LoadSetList(const std::string& catalogFolder, SetList& sets, Feedback& feedback) {
    BusyCursor busy(feedback);
    const std::vector<std::string> lines =
        SplitLines(ReadTextFile(catalogFolder + "ListofSets.gms", true));
    for (const std::string& line : lines) {
        if (TrimView(line).empty() || startsWith(line, '$') || startsWith(line, '*') ||
            line.find("_Alias") != std::string::npos)
            continue;
        auto entry = std::make_unique<tmb>();
        const size_t space = line.find(' ');
        if (space == std::string::npos) {
            entry->Description = Unquote(line);
        } else {
            entry->Name = Unquote(std::string_view(line).substr(0, space));
            entry->Description = Unquote(std::string_view(line).substr(space + 1));
        }
        sets.Add(std::move(entry));
    }
}

std::string SetFileName(const std::string& catalogFolder, const tmb& entry) {
    return catalogFolder + CutAtParen(entry.Name) + ".gms";
}

void LoadSetIntoText(const tmb& entry, const std::string& catalogFolder, TextLines& lines,
                     Feedback& feedback) {
    const std::string fileName = SetFileName(catalogFolder, entry);
    const std::vector<std::string> file = SplitLines(ReadTextFile(fileName, true));
    lines.clear();

    // The member block opens at the first "/" line after the first line of the file.
    size_t k = 1;
    while (k < file.size() && !startsWith(file[k], '/'))
        ++k;
    if (k >= file.size())
        throw CatalogError("Set file " + fileName + " has no member block");

    // The line right after the opening "/" line is not taken.
    size_t i = k + 2;
    for (; i < file.size() && !startsWith(file[i], '/'); ++i) {
        const std::string_view member = TrimView(file[i]);
        if (!member.empty() && !startsWith(file[i], '$'))
            lines.emplace_back(member);
    }
    if (i >= file.size())
        throw CatalogError("The member block of set file " + fileName + " is not closed");

    NormaliseElementText(lines, feedback);
}

bool LoadPCFromCatalog(const std::string& catalogFile, const tmb& entry, TFlyNodes& tree,
                       TextLines& lines, Feedback& feedback) {
    try {
        return LoadPCBlock(
            [&](PcBlockInput& input) {
                const std::string setFile = ExtractFilePath(catalogFile) + entry.Name + ".gms";
                if (IsRegularFile(setFile))
                    input.memberFile = ReadTextFile(setFile, true);
                input.index = ReadTextFile(catalogFile, true);
                input.firstLine = entry.FirstLine;
                input.lastLine = entry.LastLine;
            },
            tree, lines, feedback);
    } catch (const std::bad_alloc&) {
        feedback.message(NotEnoughMemory(catalogFile).what());
        return false;
    }
}

bool ChooserItemMatches(std::string_view itemText, std::string_view searchText) {
    return !searchText.empty() &&
           UpperCase(itemText).find(UpperCase(searchText)) != std::string::npos;
}

} // namespace settree
