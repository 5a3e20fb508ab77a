// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "model/feedback.h"
#include "model/flynode.h"

namespace settree {

// The lines of the text pane: bytes, without line terminators.
using TextLines = std::vector<std::string>;

// Brings element text into its normal form in place: blank lines removed, bare names quoted,
// repeated names marked with "*!".
void NormaliseElementText(TextLines& lines, Feedback& feedback);

// Normalises the lines in place, then replaces the tree by one node per line. Problems go to
// feedback ("Error in line ..." or "The code you have in your memo is incorrect, please check
// it!"). Returns true when nothing was reported.
bool ParseElementText(TextLines& lines, TFlyNodes& tree, Feedback& feedback);

// Replaces the lines by the element text of the tree (normalised); the tree is unchanged. The
// lines are those the text pane would hold after taking in the whole written text: trimmed as
// one text, with tabs turned into blanks.
void WriteElementText(const TFlyNodes& tree, TextLines& lines, Feedback& feedback);

// The lines WriteElementText leaves, joined by CR LF with no line end after the last (the bytes
// of a .tree file), built without holding them as lines.
std::string ElementTextBytes(const TFlyNodes& tree, Feedback& feedback);

// Replaces every tab by three blanks, as the text pane does with all text it takes in.
void ExpandTabs(std::string& line);

} // namespace settree
