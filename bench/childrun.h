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

// Runs argv[0] (searched in PATH) with its arguments and waits for it. quietStdout sends the
// child's standard output to /dev/null.
ChildRun RunChild(const std::vector<std::string>& argv, bool quietStdout);

} // namespace settree::bench
