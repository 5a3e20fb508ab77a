// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace settree {

// Whether bytes are well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
// Text that is shows as UTF-8; any other text shows as Latin-1.
bool IsValidUtf8(std::string_view bytes);

// Text of one classification can come in both encodings: element names loaded from a Latin-1
// file beside names typed as UTF-8. A run is a longest stretch of bytes from 0x80 on; each run
// that is well-formed UTF-8 is UTF-8 text, any other is Latin-1 text.

// Whether bytes hold runs of both kinds: no single encoding reads them all as they were meant.
bool HoldsBothEncodings(std::string_view bytes);
// The bytes as UTF-8: runs that are UTF-8 stay, every other run is read as Latin-1.
std::string ToUtf8(std::string_view bytes);
// The Latin-1 bytes of UTF-8 text; false when a character lies past U+00FF or the text is no
// UTF-8, which Latin-1 cannot store.
bool Utf8ToLatin1(std::string_view utf8, std::string& latin1);

// The part of a text that a message shows: its first 200 characters (code points of UTF-8 text,
// bytes of any other), so that a name or a line of megabytes neither takes long to lay out nor
// hides the rest of the message. characters is set to the count of all of them.
std::string_view ShownPart(std::string_view text, size_t& characters);
// The text as a message names it: its ShownPart, followed by "..." when that is not all of it.
std::string ShortForMessage(std::string_view text);

} // namespace settree
