// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace settree::bench {

// What one run of a child process took.
struct ChildRun {
    double seconds = 0; // wall-clock time from start to exit
    long maxRssKb = 0;  // the child's peak resident memory
    int status = -1;    // exit status; -1 when it did not start or did not exit normally
};

// Runs argv[0] (searched in PATH) with its arguments and waits for it. Standard output and error
// go to the files named, when given. The peak memory is only the child's own when this process
// is small: the kernel counts the memory of the process the child was started from too, so a big
// process measures children through settree-measure.
ChildRun RunChild(const std::vector<std::string>& argv, const char* stdoutFile = nullptr,
                  const char* stderrFile = nullptr);

} // namespace settree::bench
