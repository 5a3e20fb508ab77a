// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The markup text-to-runs path the markup fuzz target drives, with its invariants. Kept apart
// from fuzzchecks.h because the markup code is built with the view, not with the core library.

#include "fuzzchecks.h"
#include "model/utf8.h"
#include "view/markup.h"

#include <cstdint>
#include <string_view>

namespace settree::fuzz {

// Well-formed UTF-8 by decoding each sequence to its code point: shortest form, no surrogate,
// at most U+10FFFF. An independent reading to hold IsValidUtf8 against.
inline bool DecodesAsUtf8(std::string_view bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        int len = c < 0x80           ? 1
                  : (c >> 5) == 0x6  ? 2
                  : (c >> 4) == 0xE  ? 3
                  : (c >> 3) == 0x1E ? 4
                                     : 0;
        if (len == 0 || i + static_cast<size_t>(len) > bytes.size())
            return false;
        uint32_t cp = len == 1 ? c : len == 2 ? (c & 0x1Fu) : len == 3 ? (c & 0x0Fu) : (c & 0x07u);
        for (int k = 1; k < len; ++k) {
            const auto b = static_cast<unsigned char>(bytes[i + static_cast<size_t>(k)]);
            if ((b >> 6) != 0x2)
                return false;
            cp = (cp << 6) | (b & 0x3Fu);
        }
        const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < least[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += static_cast<size_t>(len);
    }
    return true;
}

// Invariants: runs are non-empty stretches of the source, in source order, without CR or LF,
// on lines counted from 0 in order; the UTF-8 flag agrees with an independent decoding.
inline void CheckMarkup(std::string_view text) {
    const MarkupText result = ParseMarkup(text);
    Require(result.lineCount >= 1, "no line");
    const char* end = text.data();
    int line = 0;
    for (const MarkupRun& run : result.runs) {
        Require(!run.text.empty(), "an empty run");
        Require(run.text.data() >= end &&
                    run.text.data() + run.text.size() <= text.data() + text.size(),
                "a run outside the source or out of order");
        Require(run.text.find_first_of("\r\n") == std::string_view::npos, "a run holds a line end");
        Require(run.line >= line && run.line < result.lineCount, "a run on a wrong line");
        Require(run.font.face.empty() ||
                    (run.font.face.data() >= text.data() &&
                     run.font.face.data() + run.font.face.size() <= text.data() + text.size()),
                "a font face outside the source");
        end = run.text.data() + run.text.size();
        line = run.line;
    }
    const bool valid = DecodesAsUtf8(text);
    Require(IsValidUtf8(text) == valid, "IsValidUtf8 disagrees with decoding");
    Require(result.utf8 == valid, "the UTF-8 flag disagrees with decoding");
    MarkupColour colour;
    const MarkupColour before = colour;
    if (!ParseMarkupColour(text, colour))
        Require(colour == before, "an unreadable colour changed the colour");
}

} // namespace settree::fuzz
