// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

#include "model/feedback.h"
#include "model/flynode.h"

namespace settree {

// The parent-child tuple half of the converter, on the editor's tuple reader and writer.

// Replaces the tree by the tuples of a .PC file, as the editor loads a file: descriptions come
// from the .tree file beside inputName when there is one, and from "@" annotations; weights use
// the decimal separator of the locale. bytes is the content of the input ("-" as inputName:
// standard input, with no .tree file beside it). Only a regular .tree file gives descriptions.
// Returns true when nothing was reported. Raises FileError when the .tree file beside the input
// cannot be read, TextFormError when it holds no text (see ReadTextFile).
bool readPc(const std::string& inputName, std::string_view bytes, TFlyNodes& tree,
            Feedback& feedback);

// The element text of the tree readPc would build, made without building it: the bytes of a
// .tree file. Reports and returns as readPc does; text is empty on an error.
bool pcToElementText(const std::string& inputName, std::string_view bytes, std::string& text,
                     Feedback& feedback);

// The bytes of the .PC file of the tree, as the tree pane's "Save" writes it, with the decimal
// separator of the locale. Raises ElementNotWritable for a tree the tuples cannot carry back.
std::string writePc(const TFlyNodes& tree);

} // namespace settree
