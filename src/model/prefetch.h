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
// The compiler sees no effect in a prefetch: a function that does nothing but look something up
// and prefetch would count as one without effects, and a call of it as one to leave out. The
// empty statement that takes p keeps every prefetch where it is written.
inline void Prefetch(const void* p) {
    __builtin_prefetch(p);
    asm volatile("" : : "r"(p));
}

// Has the system back the memory from p on, for size bytes, with pages before they are first
// written, in one request instead of one fault for each page; the bytes there do not change.
// Where the system cannot, the pages come one by one when they are written, as before.
inline void BackBeforeWriting(void* p, size_t size) {
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
    constexpr uintptr_t kPage = 4096;
    const auto begin = reinterpret_cast<uintptr_t>(p);
    const uintptr_t first = (begin + kPage - 1) & ~(kPage - 1);
    const uintptr_t last = (begin + size) & ~(kPage - 1);
    if (first < last)
        (void)::madvise(reinterpret_cast<void*>(first), last - first, MADV_POPULATE_WRITE);
#else
    (void)p;
    (void)size;
#endif
}

} // namespace settree
