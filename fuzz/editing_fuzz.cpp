// SPDX-License-Identifier: GPL-3.0-or-later
// Commands on a tree chosen by the input, each recorded; undo and redo must walk back and forth
// through exactly the states the commands went through.
#include "editchecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    settree::fuzz::CheckEditSequence({reinterpret_cast<const char*>(data), size});
    return 0;
}
