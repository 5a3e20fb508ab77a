// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "model/flynode.h"

namespace settree {

class EditHistory;

// What the element dialog's "OK" does: add a root, add a child of the selected node, or rename
// the selected node. The values are those of the window's edit mode field.
enum class ElementEditMode : uint8_t { addRoot = 0, addChild = 1, rename = 2 };

// The caption made of the dialog's fields: the name unquoted and trimmed; a description part
// whenever the description field is not empty as typed (an all-blank field gives an empty
// description), unquoted and trimmed.
std::string CaptionFromFields(std::string_view name, std::string_view description);

// "OK" on the tree as it is at this moment: a new last root (addRoot), a new last child of the
// selected node or a new last root when nothing is selected (addChild), or the selected node's
// new caption (rename). The weight is stored exactly as typed. The new node is neither selected
// nor revealed. Returns the node created or renamed; none for a rename without a selection,
// which changes nothing. With a history the change is one step that can be undone.
TFlyNode* ApplyElementFields(TFlyNodes& tree, ElementEditMode mode, std::string_view name,
                             std::string_view description, std::string_view weight,
                             EditHistory* history = nullptr);

// The title the dialog shows in each mode; addChild names the selected node's caption without
// its markup.
std::string ElementDialogTitle(ElementEditMode mode, const TFlyNode* selected);

} // namespace settree
