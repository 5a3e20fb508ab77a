// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

#include "formats/elementtext.h"
#include "model/feedback.h"

namespace settree {

// The lines of a .tree file: a NUL byte ends the text, a line ends at CR LF, CR or LF, a line end
// at the very end adds no line, and every tab becomes three blanks. Bytes are not transcoded.
TextLines ReadTreeText(std::string_view bytes);

// Replaces the tree by the elements of the bytes of a .tree file: ParseElementText on the lines
// ReadTreeText gives, which are let go once the tree is built.
bool ParseTreeFile(std::string_view bytes, TFlyNodes& tree, Feedback& feedback);

// The bytes of a .tree file: the lines joined by CR LF, no line end after the last one.
std::string TreeFileBytes(const TextLines& lines);

// Normalises the lines in place and writes them as a .tree file through a temporary file and a
// rename. Raises FileError ("Cannot create file <name>") when the file cannot be written; the
// old file then stays as it was.
void SaveElementText(TextLines& lines, const std::string& fileName, Feedback& feedback);

} // namespace settree
