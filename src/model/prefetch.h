// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace settree {

// Asks for the memory at p ahead of its use. Large trees and tables lie all over memory, and a
// walk that waits for each node in turn spends most of its time waiting.
inline void Prefetch(const void* p) {
    __builtin_prefetch(p);
}

} // namespace settree
