// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string_view>

namespace settree {

// The two readings behind IsValidUtf8 (see utf8.h), which give the same answer for all bytes.

// Whether bytes are well-formed UTF-8, read one sequence after the other.
bool IsValidUtf8BySequence(std::string_view bytes);

// Whether bytes are well-formed UTF-8, read 32 bytes at a time with the processor's vector
// instructions: text with a non-ASCII letter every few bytes (descriptions in most languages)
// costs the sequence reading a branch at every byte. None where the processor has no such
// instructions.
std::optional<bool> IsValidUtf8ByBlock(std::string_view bytes);

} // namespace settree
