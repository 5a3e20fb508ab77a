// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace settree::bench {

// The live heap of the benchmark process, counted by its replaced global operator new and
// delete (every std::string, vector and tree node goes through them).
class HeapMeter {
public:
    // Starts a measurement: the peak restarts at the bytes live now.
    static void Start();
    // The highest live heap since Start, above what was live at Start.
    static int64_t PeakSinceStart();
    static int64_t Live();
};

} // namespace settree::bench
