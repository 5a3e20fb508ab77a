// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/utf8.h"

#include "model/parallel.h"
#include "model/utf8check.h"

#include <cstddef>
#include <optional>

namespace settree {

namespace {

// The reading that suits the processor.
bool isValidUtf8(std::string_view bytes) {
    if (const std::optional<bool> valid = IsValidUtf8ByBlock(bytes))
        return *valid;
    return IsValidUtf8BySequence(bytes);
}

} // namespace

bool IsValidUtf8(std::string_view bytes) {
    if (bytes.size() < kParallelBytes)
        return isValidUtf8(bytes);
    // The halves meet before a byte that no sequence continues with: a sequence left open at the
    // end of the first half is as wrong there as it is in the whole, and the second half begins
    // where a character begins, or with a byte that is wrong in the whole as well.
    size_t middle = bytes.size() / 2;
    while (middle < bytes.size() && (static_cast<unsigned char>(bytes[middle]) & 0xC0) == 0x80)
        ++middle;
    bool first = false;
    bool second = false;
    RunInParallel([&] { first = isValidUtf8(bytes.substr(0, middle)); },
                  [&] { second = isValidUtf8(bytes.substr(middle)); });
    return first && second;
}

namespace {

// Hands each run of bytes from 0x80 on to run(begin, end, isUtf8), and each stretch of ASCII to
// ascii(begin, end), in order.
template <class Ascii, class Run>
void forEachRun(std::string_view bytes, Ascii&& ascii, Run&& run) {
    size_t i = 0;
    while (i < bytes.size()) {
        const size_t begin = i;
        const bool high = static_cast<unsigned char>(bytes[i]) >= 0x80;
        while (i < bytes.size() && (static_cast<unsigned char>(bytes[i]) >= 0x80) == high)
            ++i;
        if (high)
            run(begin, i, IsValidUtf8(bytes.substr(begin, i - begin)));
        else
            ascii(begin, i);
    }
}

} // namespace

bool HoldsBothEncodings(std::string_view bytes) {
    bool utf8 = false;
    bool latin1 = false;
    forEachRun(
        bytes, [](size_t, size_t) {},
        [&](size_t, size_t, bool isUtf8) { (isUtf8 ? utf8 : latin1) = true; });
    return utf8 && latin1;
}

std::string ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    forEachRun(
        bytes, [&](size_t begin, size_t end) { out.append(bytes.substr(begin, end - begin)); },
        [&](size_t begin, size_t end, bool isUtf8) {
            if (isUtf8) {
                out.append(bytes.substr(begin, end - begin));
                return;
            }
            for (size_t i = begin; i < end; ++i) {
                const auto c = static_cast<unsigned char>(bytes[i]);
                out.push_back(static_cast<char>(0xC0 | (c >> 6)));
                out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
            }
        });
    return out;
}

bool Utf8ToLatin1(std::string_view utf8, std::string& latin1) {
    if (!IsValidUtf8(utf8))
        return false;
    latin1.clear();
    latin1.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            latin1.push_back(static_cast<char>(c));
        } else if (c == 0xC2 || c == 0xC3) { // U+0080 to U+00FF
            latin1.push_back(static_cast<char>(((c & 0x03) << 6) | (utf8[++i] & 0x3F)));
        } else {
            return false;
        }
    }
    return true;
}

std::string_view ShownPart(std::string_view text, size_t& characters) {
    constexpr size_t kShown = 200;
    characters = text.size();
    if (text.size() <= kShown)
        return text;
    // Characters: code points of UTF-8 text, bytes of any other.
    const bool utf8 = IsValidUtf8(text);
    const auto isStart = [&](size_t i) {
        return !utf8 || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
    };
    characters = 0;
    size_t cut = text.size();
    for (size_t i = 0; i < text.size(); ++i) {
        if (!isStart(i))
            continue;
        if (characters == kShown)
            cut = i;
        ++characters;
    }
    return text.substr(0, cut);
}

std::string ShortForMessage(std::string_view text) {
    size_t characters = 0;
    const std::string_view shown = ShownPart(text, characters);
    return shown.size() == text.size() ? std::string(text) : std::string(shown) + "...";
}

} // namespace settree
