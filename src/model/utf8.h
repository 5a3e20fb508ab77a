// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string_view>

namespace settree {

// Whether bytes are well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
// Text that is shows as UTF-8; any other text shows as Latin-1.
bool IsValidUtf8(std::string_view bytes);

} // namespace settree
