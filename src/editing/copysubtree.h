// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/flynode.h"

namespace settree {

// Deep copy of the captions and weights of a subtree.
//
// With includeSource, a copy of source is appended as the last child of target (the last root
// of source's tree when target is none) and becomes the destination; without it the destination
// is target itself, whose caption stays. The destination takes source's weight, and copies of
// source's children, with their subtrees in order, are appended under it. New nodes start
// collapsed. The subtree is copied as it stood when the copy began, so a target inside it is
// no trouble. Returns the destination; none, without any change, when source is none or when
// target is none without includeSource.
TFlyNode* CopySubtree(TFlyNode* source, TFlyNode* target, bool includeSource);

} // namespace settree
