// SPDX-License-Identifier: GPL-3.0-or-later
// settree-measure: runs a command and prints its wall time and peak memory, so the benchmark
// script needs no GNU time, and a big benchmark process can measure a child's own peak memory
// (see childrun.h). Output on standard error: "seconds=S maxrss_kb=K status=X".

#include "childrun.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("Usage: settree-measure COMMAND [ARGUMENT...]\n", stderr);
        return 2;
    }
    const std::vector<std::string> command(argv + 1, argv + argc);
    const settree::bench::ChildRun run = settree::bench::RunChild(command);
    std::fprintf(stderr, "seconds=%.3f maxrss_kb=%ld status=%d\n", run.seconds, run.maxRssKb,
                 run.status);
    return run.status == 0 ? 0 : 1;
}
