// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace settree {

// An element caption is "<color=clgreen>" NAME "</color>", optionally followed by
// " - <color=clblue>" DESCRIPTION "</color>". The tree view renders the markup; the
// element text and tuple forms never carry it.
inline constexpr std::string_view kNameOpen = "<color=clgreen>";
inline constexpr std::string_view kNameClose = "</color>";
inline constexpr std::string_view kDescriptionOpen = " - <color=clblue>";
inline constexpr std::string_view kDescriptionClose = "</color>";

// The caption of an element without a description part.
std::string MakeCaption(std::string_view name);
// The caption of an element with a description part (which may be empty).
std::string MakeCaption(std::string_view name, std::string_view description);
// MakeCaption into caption, keeping its storage: for readers that build many captions in turn.
// name and description must not lie in caption.
void AssignCaption(std::string& caption, std::string_view name);
void AssignCaption(std::string& caption, std::string_view name, std::string_view description);

// Removes leading and trailing characters whose code is 32 or less.
std::string Trim(std::string_view s);
std::string_view TrimView(std::string_view s);

// Whether s holds any of the bytes kBytes. A string of sixteen bytes or more (a description,
// mostly) is tested sixteen bytes at a time, its last sixteen bytes in one step as well; a
// shorter one eight bytes at a time: a byte equal to c
// leaves a zero byte in the word xor c, and a word holds a zero byte exactly when
// (v - 0x01..01) & ~v & 0x80..80 is not zero, where the lowest zero byte is marked and no byte
// below it. The last bytes (most names are short) come in one word as well: the last eight
// bytes again, or the bytes of a shorter string with the rest of the word unmarked.
template <char... kBytes> bool HoldsAnyByte(std::string_view s) {
    constexpr uint64_t kOnes = 0x0101010101010101ull;
    constexpr uint64_t kHigh = 0x8080808080808080ull;
    const auto marked = [](uint64_t word) {
        const auto zeroBytes = [](uint64_t v) { return (v - kOnes) & ~v & kHigh; };
        return (zeroBytes(word ^ (kOnes * static_cast<unsigned char>(kBytes))) | ...);
    };
#if defined(__SSE2__)
    if (s.size() >= 16) {
        const auto found = [](const char* at) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
            return (_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(kBytes))) | ...) != 0;
        };
        for (size_t at = 0; s.size() - at > 16; at += 16)
            if (found(s.data() + at))
                return true;
        return found(s.data() + s.size() - 16);
    }
#endif
    size_t i = 0;
    for (; s.size() - i >= 8; i += 8) {
        uint64_t word = 0;
        std::memcpy(&word, s.data() + i, 8);
        if (marked(word) != 0)
            return true;
    }
    const size_t rest = s.size() - i;
    if (rest == 0)
        return false;
    if constexpr (std::endian::native == std::endian::little) {
        uint64_t word = 0;
        if (s.size() >= 8) {
            std::memcpy(&word, s.data() + s.size() - 8, 8);
            return marked(word) != 0;
        }
        // The bytes past the string stand above its bytes, where a mark cannot reach down.
        std::memcpy(&word, s.data(), rest);
        return (marked(word) & (kHigh >> (8 * (8 - rest)))) != 0;
    } else {
        for (; i < s.size(); ++i)
            if (((s[i] == kBytes) || ...))
                return true;
        return false;
    }
}
// Upper-cases the letters a to z only; every other byte stays as it is.
std::string UpperCase(std::string_view s);
// Byte comparison of two strings with a to z taken as A to Z.
int CompareNoCase(std::string_view a, std::string_view b);

// Removes tags (text from "<" to the next ">"), looking only at the first "<" and the first
// ">" each time: a string whose first ">" stands before its first "<" comes back unchanged.
std::string StripTags(std::string_view s);
// Every double quote becomes a single quote.
std::string DoubleToSingleQuotes(std::string_view s);
// DoubleToSingleQuotes without a copy where none is needed: s itself when it holds no double
// quote, else the changed text in storage.
std::string_view DoubleToSingleQuotesView(std::string_view s, std::string& storage);
// Trimmed, at most one quote (either kind) removed at each end, inner double quotes made
// single. The result is not trimmed again.
std::string Unquote(std::string_view s);
// What Unquote keeps of s before it makes inner double quotes single: a view into s.
std::string_view StripOuterQuotes(std::string_view s);
// Makes room for the duplicate marker "*!": removes the first two characters of a line that
// begins with a blank; any other line comes back unchanged.
std::string ShiftForMarker(std::string_view line);
// The text before the first "(", or the whole string when it holds none.
std::string CutAtParen(std::string_view s);
// The element name of a caption, without description and markup.
std::string PlainName(std::string_view caption);
// Whether the caption is a name without "<" or ">" in the name tags, alone or before a
// description, as MakeCaption makes nearly every caption: name is then that name, a view into
// the caption, which is PlainName and the name part of SplitCaptionViews alike.
bool UntaggedName(std::string_view caption, std::string_view& name);

// Whether an element name holds "<" or ">". The tree would draw such a name as markup, and the
// tuple file, which takes the name through PlainName, would get another one; so no reader takes
// such a name into the tree.
bool NameHoldsMarkup(std::string_view name);
// Why a reader refuses such a name, naming it.
std::string MarkupNameReason(std::string_view name);

struct CaptionParts {
    std::string name;
    std::string description;
};
// Takes a caption apart by fixed counts of the caption layout; the tags are never compared.
CaptionParts SplitCaption(std::string_view caption);

// SplitCaption as views into the caption, for writers that only copy the parts onwards.
struct CaptionViews {
    std::string_view name;
    std::string_view description;
};
CaptionViews SplitCaptionViews(std::string_view caption);

} // namespace settree
