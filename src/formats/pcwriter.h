// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "model/flynode.h"

namespace settree {

// Which text of a caption names a node in the tuples.
enum class PcNames {
    PlainNames, // the element name alone (the .PC file)
    Captions,   // the whole caption without its markup: name, " - " and description (clipboard)
};

// The tuple lines of the whole tree, `"level<N>"."<child>"."<parent>" <weight>`, each followed
// by CR LF, in depth-first pre-order. Names and weights are written as stored, unchecked. An
// empty tree gives an empty text.
std::string PcText(const TFlyNodes& tree, PcNames names);

// Writes PcText with plain names to fileName, replacing the file once the new one is complete.
// Raises FileError "Cannot create file <name>"; the old file then stays as it was.
void SavePCFile(const TFlyNodes& tree, const std::string& fileName);

} // namespace settree
