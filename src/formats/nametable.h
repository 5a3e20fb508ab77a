// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "model/prefetch.h"

namespace settree {

// Element names are compared without regard to letter case: a to z count as A to Z, every other
// byte as itself. apply folds one byte, applyWord eight at once.
struct NameFold {
    static constexpr unsigned char apply(unsigned char c) {
        return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 'a' + 'A') : c;
    }
    static constexpr uint64_t applyWord(uint64_t x) {
        constexpr uint64_t kHigh = 0x8080808080808080ull;
        const uint64_t low7 = x & ~kHigh;
        const uint64_t atLeastA = low7 + 0x1f1f1f1f1f1f1f1full; // bit 7 set from 'a' (0x61) on
        const uint64_t aboveZ = low7 + 0x0505050505050505ull;   // bit 7 set from '{' (0x7b) on
        const uint64_t lower = atLeastA & ~aboveZ & ~x & kHigh;
        return x ^ (lower >> 2); // 0x20 off each lower-case letter
    }
};

// Names compared as Unquote gives them, read where they stand in the quoted text: Unquote makes
// every double quote a single one, so here a double quote counts as a single quote and the
// unquoted copy is never made.
struct UnquotedNameFold {
    static constexpr unsigned char apply(unsigned char c) {
        return c == '"' ? static_cast<unsigned char>('\'') : NameFold::apply(c);
    }
    static constexpr uint64_t applyWord(uint64_t x) {
        constexpr uint64_t kHigh = 0x8080808080808080ull;
        constexpr uint64_t kLow7 = ~kHigh;
        const uint64_t y = x ^ 0x2222222222222222ull; // 0 in each byte that is a double quote
        const uint64_t quote = ~(((y & kLow7) + kLow7) | y) & kHigh;
        return NameFold::applyWord(x ^ ((quote >> 7) * ('"' ^ '\'')));
    }
};

// The last bytes of a name from byte from on (one to seven of them) as a word, the first of them
// lowest: what std::memcpy into a zeroed word gives, without a call and without a store and a
// wider load of the same bytes. A name of eight bytes or more gives its last eight bytes in one
// load; a shorter one in two loads that may overlap.
inline uint64_t NameTailWord(std::string_view name, size_t from) {
    const size_t n = name.size() - from;
    const char* p = name.data() + from;
    uint64_t word = 0;
    if constexpr (std::endian::native != std::endian::little) {
        std::memcpy(&word, p, n);
    } else if (name.size() >= 8) {
        std::memcpy(&word, name.data() + name.size() - 8, 8);
        word >>= 8 * (8 - n);
    } else if (n >= 4) {
        uint32_t low = 0;
        uint32_t high = 0;
        std::memcpy(&low, p, 4);
        std::memcpy(&high, p + n - 4, 4);
        word = low | (uint64_t{high} << (8 * (n - 4)));
    } else {
        const auto byte = [&](size_t i) {
            return uint64_t{static_cast<unsigned char>(p[i])} << (8 * i);
        };
        word = byte(0) | byte(n / 2) | byte(n - 1);
    }
    return word;
}

// Hash of a name, every byte taken through the fold, eight bytes at a time; folded tells
// whether the fold changed any byte.
template <class Fold> uint64_t NameHash(std::string_view name, bool& folded) {
    uint64_t h = 0x9e3779b97f4a7c15ull ^ name.size();
    uint64_t changed = 0;
    size_t i = 0;
    for (; i + 8 <= name.size(); i += 8) {
        uint64_t word = 0;
        std::memcpy(&word, name.data() + i, 8);
        const uint64_t fold = Fold::applyWord(word);
        changed |= fold ^ word;
        h = (h ^ fold) * 0xff51afd7ed558ccdull;
        h ^= h >> 32;
    }
    if (i < name.size()) {
        const uint64_t word = NameTailWord(name, i); // the bytes past the name are 0, which every
        const uint64_t fold = Fold::applyWord(word); // fold keeps
        changed |= fold ^ word;
        h = (h ^ fold) * 0xff51afd7ed558ccdull;
    }
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ull;
    h ^= h >> 33;
    folded = changed != 0;
    return h;
}

template <class Fold> uint64_t NameHash(std::string_view name) {
    bool folded = false;
    return NameHash<Fold>(name, folded);
}

// Whether two names are equal under the fold, compared eight bytes at a time as the hash reads
// them: names of a million elements are compared at every lookup.
template <class Fold> bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    const auto same = [](uint64_t x, uint64_t y) {
        return x == y || Fold::applyWord(x) == Fold::applyWord(y);
    };
    size_t i = 0;
    for (; i + 8 <= a.size(); i += 8) {
        uint64_t x = 0;
        uint64_t y = 0;
        std::memcpy(&x, a.data() + i, 8);
        std::memcpy(&y, b.data() + i, 8);
        if (!same(x, y))
            return false;
    }
    return i == a.size() || same(NameTailWord(a, i), NameTailWord(b, i));
}

// The value of a table that is a set of names.
struct NoValue {};

// Names under a fold, each with a value: open addressing with linear probing, sized once for
// the number of names expected (it grows only when more come). A slot holds part of the hash and
// a view of the name; names are never copied, so the text they stand in must stay in place for
// as long as the table is used.
template <class Fold, class Value = NoValue> class NameTable {
public:
    explicit NameTable(size_t expected = 0) { reset(expected); }

    // Empties the table and sizes it for about expected names.
    void reset(size_t expected) {
        slots_.assign(capacityFor(expected), Slot{});
        count_ = 0;
    }

    // Makes room for about expected names in all, keeping those present.
    void reserve(size_t expected) {
        if (capacityFor(expected) > slots_.size())
            rehash(capacityFor(expected));
    }

    bool empty() const { return count_ == 0; }
    size_t size() const { return count_; }

    static uint64_t hash(std::string_view name) { return NameHash<Fold>(name); }

    // Asks for the slot where the search for a name of this hash starts (see Prefetch).
    void prefetch(uint64_t hash) const { Prefetch(&slots_[home(hash)]); }

    // Asks for the name in that slot, once the slot itself is at hand: where the names lie all
    // over memory, comparing with them is the next wait.
    void prefetchName(uint64_t hash) const {
        const Slot& slot = slots_[home(hash)];
        if (slot.tag != 0)
            Prefetch(slot.data);
    }

    // The value of name; none when it is not in the table.
    const Value* find(std::string_view name, uint64_t hash) const {
        const uint32_t tag = tagOf(hash);
        for (size_t i = home(hash);; i = next(i)) {
            const Slot& slot = slots_[i];
            if (slot.tag == 0)
                return nullptr;
            if (matches(slot, tag, name))
                return &slot.value;
        }
    }
    const Value* find(std::string_view name) const { return find(name, hash(name)); }

    // The value of name: the one present (added false), or a new one (added true).
    Value& insert(std::string_view name, uint64_t hash, bool& added) {
        return insert(name, hash, added, [](std::string_view kept) { return kept; });
    }
    Value& insert(std::string_view name, bool& added) { return insert(name, hash(name), added); }

    // insert that also gives the name the value is kept under: the first one inserted of all
    // names equal to name.
    Value& insert(std::string_view name, uint64_t hash, bool& added, std::string_view& kept) {
        const char* data = nullptr;
        uint32_t size = 0;
        Value& value = insert(
            name, hash, added, [](std::string_view k) { return k; }, &data, &size);
        kept = std::string_view(data, size);
        return value;
    }

    // insert that keeps a new name as keep(name) gives it (an equal name, see NameCopies): for
    // names whose text does not stay in place.
    template <class Keep>
    Value& insert(std::string_view name, uint64_t hash, bool& added, Keep&& keep,
                  const char** keptData = nullptr, uint32_t* keptSize = nullptr) {
        if (name.size() > UINT32_MAX)
            throw std::length_error("name too long");
        if ((count_ + 1) * 4 > slots_.size() * 3)
            grow();
        const uint32_t tag = tagOf(hash);
        size_t i = home(hash);
        for (; slots_[i].tag != 0; i = next(i)) {
            if (matches(slots_[i], tag, name)) {
                added = false;
                return found(slots_[i], keptData, keptSize);
            }
        }
        const std::string_view kept = keep(name);
        ++count_;
        added = true;
        slots_[i] = Slot{tag, static_cast<uint32_t>(kept.size()), kept.data(), Value{}};
        return found(slots_[i], keptData, keptSize);
    }

private:
    struct Slot {
        uint32_t tag = 0; // high half of the hash, never 0; 0 marks a free slot
        uint32_t size = 0;
        const char* data = nullptr;
        [[no_unique_address]] Value value{};
    };

    // Room for a third more than expected, so that probe runs stay short.
    static size_t capacityFor(size_t expected) {
        const size_t capacity = expected + expected / 2 + 8;
        if (capacity > UINT32_MAX)
            throw std::length_error("too many names");
        return capacity;
    }
    static uint32_t tagOf(uint64_t hash) { return static_cast<uint32_t>(hash >> 32) | 1u; }
    // The low half of the hash scaled to the table: no power-of-two size needed.
    size_t home(uint64_t hash) const {
        return static_cast<size_t>(((hash & 0xffffffffull) * slots_.size()) >> 32);
    }
    size_t next(size_t i) const { return i + 1 == slots_.size() ? 0 : i + 1; }

    static Value& found(Slot& slot, const char** keptData, uint32_t* keptSize) {
        if (keptData)
            *keptData = slot.data;
        if (keptSize)
            *keptSize = slot.size;
        return slot.value;
    }

    static bool matches(const Slot& slot, uint32_t tag, std::string_view name) {
        return slot.tag == tag && slot.size == name.size() &&
               SameName<Fold>(std::string_view(slot.data, slot.size), name);
    }

    void grow() { rehash(capacityFor(count_ * 2)); }

    void rehash(size_t capacity) {
        std::vector<Slot> old(capacity);
        old.swap(slots_);
        for (const Slot& slot : old) {
            if (slot.tag == 0)
                continue;
            const uint64_t hash = NameHash<Fold>(std::string_view(slot.data, slot.size));
            size_t i = home(hash);
            while (slots_[i].tag != 0)
                i = next(i);
            slots_[i] = slot;
        }
    }

    std::vector<Slot> slots_;
    size_t count_ = 0;
};

// Copies of names, packed into large blocks that stay in place until the store goes: the keys
// of a NameTable whose names come from text that does not last.
class NameCopies {
public:
    std::string_view keep(std::string_view name) {
        if (name.empty())
            return {};
        if (name.size() > left_) {
            const size_t size = name.size() > kBlock ? name.size() : kBlock;
            blocks_.emplace_back(new char[size]); // not zeroed: every byte is written first
            cursor_ = blocks_.back().get();
            left_ = size;
        }
        char* const at = cursor_;
        std::memcpy(at, name.data(), name.size());
        cursor_ += name.size();
        left_ -= name.size();
        return {at, name.size()};
    }

private:
    static constexpr size_t kBlock = size_t{1} << 20;
    std::vector<std::unique_ptr<char[]>> blocks_;
    char* cursor_ = nullptr;
    size_t left_ = 0;
};

} // namespace settree
