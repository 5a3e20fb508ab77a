// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace settree {

// Asks for the memory at p ahead of its use. Large trees and tables lie all over memory, and a
// walk that waits for each node in turn spends most of its time waiting.
inline void Prefetch(const void* p) {
    __builtin_prefetch(p);
}

// Asks the system to back the memory from p on, for size bytes, with large pages where it can, so
// that reading it all over does not wait for the address translation as well as for the memory.
// Only for memory not yet written to and about to be filled whole: input read into it, a table
// sized ahead. Blocks smaller than a few large pages are left as they are.
inline void AskForLargePages(void* p, size_t size) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr uintptr_t kLargePage = uintptr_t{2} << 20;
    if (size < 4 * kLargePage)
        return;
    const auto begin = reinterpret_cast<uintptr_t>(p);
    const uintptr_t first = (begin + kLargePage - 1) & ~(kLargePage - 1);
    const uintptr_t last = (begin + size) & ~(kLargePage - 1);
    if (first < last)
        (void)::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    (void)p;
    (void)size;
#endif
}

} // namespace settree
