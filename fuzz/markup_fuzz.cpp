// SPDX-License-Identifier: GPL-3.0-or-later
// Markup: cell text taken apart into runs, and colour values.
#include "markupchecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    settree::fuzz::CheckMarkup({reinterpret_cast<const char*>(data), size});
    return 0;
}
