// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "formats/elementnotwritable.h"
#include "model/flynode.h"

namespace settree {

// Which text of a caption names a node in the tuples.
enum class PcNames {
    PlainNames, // the element name alone (the .PC file)
    Captions,   // the whole caption without its markup: name, " - " and description (clipboard)
};

// The tuple lines of the whole tree, `"level<N>"."<child>"."<parent>" <weight>`, each followed
// by CR LF, in depth-first pre-order. Names and weights are written as stored. An empty tree
// gives an empty text. With plain names (the file), a tree the tuples cannot carry back raises
// ElementNotWritable for the first element in the way: a name the tuple reader would read
// otherwise (see TupleNameFault), a name holding markup, a weight that does not read back with
// decimalSeparator (see TupleWeightFault), or an element with children whose name an earlier
// element of its level has already.
std::string PcText(const TFlyNodes& tree, PcNames names, char decimalSeparator = '.');

// The bytes SavePCFile writes to fileName: PcText with plain names. Raises ElementNotWritable
// "Cannot create file <name>: the element ..." for a tree the tuples cannot carry back.
std::string PcFileBytes(const TFlyNodes& tree, const std::string& fileName,
                        char decimalSeparator = '.');

// Writes PcText with plain names to fileName, replacing the file once the new one is complete.
// Raises FileError "Cannot create file <name>" (the old file then stays as it was), or
// ElementNotWritable "Cannot create file <name>: the element ..." before anything is written.
void SavePCFile(const TFlyNodes& tree, const std::string& fileName, char decimalSeparator = '.');

} // namespace settree
