// SPDX-License-Identifier: GPL-3.0-or-later
// Catalog readers: the classification index, the set list and set files, split from one input
// at the separator lines "--file--", read from a scratch folder (TMPDIR, else /tmp).
#include "fuzzchecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static settree::fuzz::ScratchFolder folder;
    settree::fuzz::CheckCatalog({reinterpret_cast<const char*>(data), size}, folder);
    return 0;
}
