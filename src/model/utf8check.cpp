// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/utf8check.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define SETTREE_UTF8_BY_BLOCK 1
#endif

namespace settree {

bool IsValidUtf8BySequence(std::string_view bytes) {
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    size_t i = 0;
    while (i < n) {
        // Runs of ASCII, most of most texts, eight bytes at a time.
        uint64_t word = 0;
        while (n - i >= 8 && (std::memcpy(&word, s + i, 8), (word & 0x8080808080808080ull) == 0))
            i += 8;
        if (i == n)
            break;
        const unsigned char c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t len = 0;
        unsigned char lo = 0x80, hi = 0xBF; // allowed range of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            if (c == 0xE0)
                lo = 0xA0; // overlong
            else if (c == 0xED)
                hi = 0x9F; // surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            if (c == 0xF0)
                lo = 0x90; // overlong
            else if (c == 0xF4)
                hi = 0x8F; // past U+10FFFF
        } else {
            return false;
        }
        if (i + len > n || s[i + 1] < lo || s[i + 1] > hi)
            return false;
        for (size_t k = 2; k < len; ++k)
            if (s[i + k] < 0x80 || s[i + k] > 0xBF)
                return false;
        i += len;
    }
    return true;
}

#ifdef SETTREE_UTF8_BY_BLOCK

namespace {

// Each block of 32 bytes is checked against the 32 bytes before it, as the sequences that cross
// from one into the other require. Every pair of bytes one after the other is looked up by three
// nibbles: the high and the low nibble of the first and the high nibble of the second. Each table
// gives the faults that its nibble allows, one bit each; a pair is wrong where all three allow
// the same fault. A continuation byte that is the second of a pair of continuation bytes is
// right exactly where a three- or four-byte lead stands two or three bytes before it.
constexpr uint8_t kTooShort = 1 << 0;     // 11______ followed by 0_______ or 11______
constexpr uint8_t kTooLong = 1 << 1;      // 0_______ 10______
constexpr uint8_t kOverlong3 = 1 << 2;    // 11100000 100_____
constexpr uint8_t kTooLarge = 1 << 3;     // 11110100 1001____, 11110100 101_____, 11110101 and on
constexpr uint8_t kSurrogate = 1 << 4;    // 11101101 101_____
constexpr uint8_t kOverlong2 = 1 << 5;    // 1100000_ 10______
constexpr uint8_t kTooLarge1000 = 1 << 6; // 11110101 and on, followed by 1000____
constexpr uint8_t kOverlong4 = 1 << 6;    // 11110000 1000____
constexpr uint8_t kTwoConts = 1 << 7;     // 10______ 10______
constexpr uint8_t kCarry = kTooShort | kTooLong | kTwoConts; // whatever the low nibble

// The faults allowed by the high nibble of the first byte of a pair.
constexpr uint8_t kFirstHigh[16] = {
    kTooLong,
    kTooLong,
    kTooLong,
    kTooLong,
    kTooLong,
    kTooLong,
    kTooLong,
    kTooLong, // ASCII
    kTwoConts,
    kTwoConts,
    kTwoConts,
    kTwoConts,                                          // 10______
    kTooShort | kOverlong2,                             // 1100____
    kTooShort,                                          // 1101____
    kTooShort | kOverlong3 | kSurrogate,                // 1110____
    kTooShort | kTooLarge | kTooLarge1000 | kOverlong4, // 1111____
};
// ... by its low nibble.
constexpr uint8_t kFirstLow[16] = {
    kCarry | kOverlong3 | kOverlong2 | kOverlong4, // ____0000
    kCarry | kOverlong2,                           // ____0001
    kCarry,
    kCarry,
    kCarry | kTooLarge, // ____0100
    kCarry | kTooLarge | kTooLarge1000,
    kCarry | kTooLarge | kTooLarge1000,
    kCarry | kTooLarge | kTooLarge1000,
    kCarry | kTooLarge | kTooLarge1000,
    kCarry | kTooLarge | kTooLarge1000,
    kCarry | kTooLarge | kTooLarge1000,
    kCarry | kTooLarge | kTooLarge1000,
    kCarry | kTooLarge | kTooLarge1000,
    kCarry | kTooLarge | kTooLarge1000 | kSurrogate, // ____1101
    kCarry | kTooLarge | kTooLarge1000,
    kCarry | kTooLarge | kTooLarge1000,
};
// ... by the high nibble of the second byte.
constexpr uint8_t kSecondHigh[16] = {
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort,
    kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge1000 | kOverlong4, // 1000____
    kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge,                  // 1001____
    kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge,                  // 101_____
    kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge,
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort, // 11______
};

__attribute__((target("avx2"))) __m256i table(const uint8_t (&nibbles)[16]) {
    return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(nibbles)));
}

struct BlockReader {
    __m256i firstHigh;
    __m256i firstLow;
    __m256i secondHigh;
    __m256i error = _mm256_setzero_si256();
    __m256i before = _mm256_setzero_si256();     // the block before: ASCII at the start
    __m256i unfinished = _mm256_setzero_si256(); // a sequence the block before leaves open

    __attribute__((target("avx2"))) BlockReader()
        : firstHigh(table(kFirstHigh)), firstLow(table(kFirstLow)), secondHigh(table(kSecondHigh)) {
    }

    __attribute__((target("avx2"))) void read(__m256i block) {
        if (_mm256_movemask_epi8(block) == 0) {
            // ASCII continues nothing: the block before has to end its last sequence.
            error = _mm256_or_si256(error, unfinished);
            unfinished = _mm256_setzero_si256();
            before = block;
            return;
        }
        // The bytes one, two and three places before each byte.
        const __m256i across = _mm256_permute2x128_si256(before, block, 0x21);
        const __m256i back1 = _mm256_alignr_epi8(block, across, 15);
        const __m256i back2 = _mm256_alignr_epi8(block, across, 14);
        const __m256i back3 = _mm256_alignr_epi8(block, across, 13);
        const __m256i low4 = _mm256_set1_epi8(0x0F);
        const __m256i faults = _mm256_and_si256(
            _mm256_and_si256(
                _mm256_shuffle_epi8(firstHigh, _mm256_and_si256(_mm256_srli_epi16(back1, 4), low4)),
                _mm256_shuffle_epi8(firstLow, _mm256_and_si256(back1, low4))),
            _mm256_shuffle_epi8(secondHigh, _mm256_and_si256(_mm256_srli_epi16(block, 4), low4)));
        // From 0x80 on exactly where a three-byte lead (111_____) stands two bytes before or a
        // four-byte lead (1111____) three bytes before.
        const __m256i third = _mm256_subs_epu8(back2, _mm256_set1_epi8(0xE0 - 0x80));
        const __m256i fourth = _mm256_subs_epu8(back3, _mm256_set1_epi8(0xF0 - 0x80));
        const __m256i continues = _mm256_and_si256(_mm256_or_si256(third, fourth),
                                                   _mm256_set1_epi8(static_cast<char>(0x80)));
        error = _mm256_or_si256(error, _mm256_xor_si256(continues, faults));
        // A lead among the last three bytes that its sequence does not fit behind.
        const __m256i lastLeads = _mm256_setr_epi8(
            -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
            -1, -1, -1, -1, -1, -1, -1, static_cast<char>(0xF0 - 1), static_cast<char>(0xE0 - 1),
            static_cast<char>(0xC0 - 1));
        unfinished = _mm256_subs_epu8(block, lastLeads);
        before = block;
    }

    // Whether the blocks so far hold no fault; a sequence the last one leaves open may still end.
    __attribute__((target("avx2"))) bool faultless() const {
        return _mm256_testz_si256(error, error) != 0;
    }

    // Whether the blocks so far are the whole of well-formed text.
    __attribute__((target("avx2"))) bool valid() const {
        const __m256i all = _mm256_or_si256(error, unfinished);
        return _mm256_testz_si256(all, all) != 0;
    }
};

__attribute__((target("avx2"))) bool validByBlock(std::string_view bytes) {
    const char* s = bytes.data();
    const size_t n = bytes.size();
    BlockReader reader;
    size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        reader.read(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i)));
        // Faults only add up: a wrong text is told apart well before its end.
        if ((i & 0xFFFF) == 0 && !reader.faultless())
            return false;
    }
    if (i < n) {
        // The rest, followed by NUL bytes, which end nothing and continue nothing.
        alignas(32) char last[32] = {};
        std::memcpy(last, s + i, n - i);
        reader.read(_mm256_load_si256(reinterpret_cast<const __m256i*>(last)));
    }
    return reader.valid();
}

bool hasVectorInstructions() {
    static const bool has = __builtin_cpu_supports("avx2") != 0;
    return has;
}

} // namespace

std::optional<bool> IsValidUtf8ByBlock(std::string_view bytes) {
    if (!hasVectorInstructions())
        return std::nullopt;
    return validByBlock(bytes);
}

#else

std::optional<bool> IsValidUtf8ByBlock(std::string_view) {
    return std::nullopt;
}

#endif

} // namespace settree
