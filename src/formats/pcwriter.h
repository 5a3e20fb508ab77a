// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/elementnotwritable.h"
#include "model/feedback.h"
#include "model/flynode.h"
#include "model/textfile.h"

namespace settree {

// Which text of a caption names a node in the tuples.
enum class PcNames {
    PlainNames, // the element name alone (the .PC file)
    Captions,   // the whole caption without its markup: name, " - " and description (clipboard)
};

// Writes the tuple lines of nodes given in pre-order, as PcText writes those of a tree: the
// writer behind PcText, for callers that have the nodes without holding a tree.
class PcTextBuilder {
public:
    // expectedNodes: about how many nodes come.
    PcTextBuilder(PcNames names, char decimalSeparator, size_t expectedNodes = 0);
    ~PcTextBuilder();
    PcTextBuilder(const PcTextBuilder&) = delete;
    PcTextBuilder& operator=(const PcTextBuilder&) = delete;

    // Appends the line of the node at depth (1 for a root) with this caption and weight. With
    // plain names, raises ElementNotWritable for the first node the tuples cannot carry back (see
    // PcText), which needs to know whether the node has children. A name repeated on its level
    // may show only with a later node, or in Take: the fault raised is always that of the first
    // node in the way. After a fault the builder is spent.
    void add(size_t depth, std::string_view caption, std::string_view weight, bool hasChildren);

    // Hands the lines to file a megabyte at a time as they are made, so that many lines are never
    // held whole; Take then gives the rest of them. Called before the first add.
    void StreamInto(FileWriter& file) { file_ = &file; }

    // The lines of all the nodes, less those handed to the file of StreamInto; raises
    // ElementNotWritable as add does. The builder is spent afterwards.
    std::string Take();

private:
    class TupleCheck;
    PcNames names_;
    std::unique_ptr<TupleCheck> check_; // with plain names
    std::vector<std::string> path_;     // the name of the latest node at each depth
    std::string name_;                  // the name of the node being added, where it is made
    std::string text_;
    FileWriter* file_ = nullptr; // see StreamInto
};

// The tuple lines of the whole tree, `"level<N>"."<child>"."<parent>" <weight>`, each followed
// by CR LF, in depth-first pre-order. Names and weights are written as stored. An empty tree
// gives an empty text. With plain names (the file), a tree the tuples cannot carry back raises
// ElementNotWritable for the first element in the way: a name the tuple reader would read
// otherwise (see TupleNameFault), a name holding markup, a weight that does not read back with
// decimalSeparator (see TupleWeightFault), or an element with children whose name an earlier
// element of its level has already.
std::string PcText(const TFlyNodes& tree, PcNames names, char decimalSeparator = '.');

// The tuple lines of the tree that ParseElementText builds from the lines of a .tree file (see
// ReadTreeText), made without building it: PcText with plain names. A line the parser refuses is
// reported through feedback as ParseElementText reports it; the result is then false and text is
// empty. Otherwise the result is true, and fault holds the first element the tuples cannot carry
// back, where PcText would raise ElementNotWritable; text is then empty.
// With file, the lines go into it as they are made (see PcTextBuilder::StreamInto), and text
// gets what is left of them to append; after a failure the file holds nothing to keep.
bool ElementTextToPcText(std::string_view bytes, std::string& text,
                         std::optional<ElementNotWritable>& fault, Feedback& feedback,
                         char decimalSeparator = '.', FileWriter* file = nullptr);

// The bytes SavePCFile writes to fileName: PcText with plain names. Raises ElementNotWritable
// "Cannot create file <name>: the element ..." for a tree the tuples cannot carry back.
std::string PcFileBytes(const TFlyNodes& tree, const std::string& fileName,
                        char decimalSeparator = '.');

// Writes PcText with plain names to fileName, replacing the file once the new one is complete.
// Raises FileError "Cannot create file <name>" (the old file then stays as it was), or
// ElementNotWritable "Cannot create file <name>: the element ..." before anything is written.
void SavePCFile(const TFlyNodes& tree, const std::string& fileName, char decimalSeparator = '.');

} // namespace settree
