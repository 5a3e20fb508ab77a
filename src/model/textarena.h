// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <vector>

namespace settree {

// Storage for the captions of one tree: blocks cut from large chunks, rounded to 8 bytes, with
// no per-block header; a released block is kept for the next text of its size class. A million
// captions cost their own bytes and little more. Texts longer than the pooled sizes use the
// ordinary heap. Memory goes back to the system when the arena is destroyed.
class TextArena {
public:
    TextArena() = default;
    TextArena(const TextArena&) = delete;
    TextArena& operator=(const TextArena&) = delete;
    ~TextArena();

    // A block of at least size bytes (size > 0).
    char* allocate(size_t size);
    // Gives back a block from allocate with the same size.
    void release(char* block, size_t size) noexcept;

private:
    static constexpr size_t kGrain = 8;
    static constexpr size_t kLargest = 512;
    static constexpr size_t kChunk = 256 * 1024;
    std::vector<std::unique_ptr<char[]>> chunks_;
    char* cursor_ = nullptr;
    size_t left_ = 0;
    // Released blocks by size class, linked through their first bytes.
    std::array<char*, kLargest / kGrain + 1> free_{};
};

} // namespace settree
