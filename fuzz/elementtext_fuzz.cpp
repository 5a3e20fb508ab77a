// SPDX-License-Identifier: GPL-3.0-or-later
// Element text: the .tree file reader, normalisation, parser and writer on arbitrary bytes.
#include "fuzzchecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    settree::fuzz::CheckElementText({reinterpret_cast<const char*>(data), size});
    return 0;
}
