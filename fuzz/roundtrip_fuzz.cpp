// SPDX-License-Identifier: GPL-3.0-or-later
// Round trips between the two forms: the input taken as element text goes to tuples and back,
// and taken as tuples (with a .tree description buffer after the separator line "--tree--")
// goes to element text and back, then to tuples and back. Each way gives the same tree, or the
// writer refuses with the element it cannot write.
#include "fuzzchecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    settree::fuzz::CheckRoundTrips({reinterpret_cast<const char*>(data), size});
    return 0;
}
