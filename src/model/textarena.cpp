// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/textarena.h"

#include <cstring>

namespace settree {

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kPooled = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kPooled = false;
#else
constexpr bool kPooled = true;
#endif
#else
constexpr bool kPooled = true;
#endif

} // namespace

TextArena::~TextArena() = default;

char* TextArena::allocate(size_t size) {
    if (!kPooled || size > kLargest)
        return new char[size];
    const size_t cls = (size + kGrain - 1) / kGrain;
    const size_t rounded = cls * kGrain;
    if (char* block = free_[cls]) {
        std::memcpy(&free_[cls], block, sizeof(char*));
        return block;
    }
    if (left_ < rounded) {
        chunks_.emplace_back(new char[kChunk]); // not zeroed: blocks are written first
        cursor_ = chunks_.back().get();
        left_ = kChunk;
    }
    char* block = cursor_;
    cursor_ += rounded;
    left_ -= rounded;
    return block;
}

void TextArena::release(char* block, size_t size) noexcept {
    if (!block)
        return;
    if (!kPooled || size > kLargest) {
        delete[] block;
        return;
    }
    const size_t cls = (size + kGrain - 1) / kGrain;
    std::memcpy(block, &free_[cls], sizeof(char*));
    free_[cls] = block;
}

} // namespace settree
