// SPDX-License-Identifier: GPL-3.0-or-later
// Parent-child tuples: LoadPC on arbitrary bytes, with a .tree description buffer after the
// separator line "--tree--" when the input holds one, then the written tuples read back.
#include "fuzzchecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    settree::fuzz::CheckPcLoad({reinterpret_cast<const char*>(data), size});
    return 0;
}
