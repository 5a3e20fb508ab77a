// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/memorybudget.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <sys/resource.h>
#include <unistd.h>

namespace settree {

namespace {

// A number of bytes read from a control group file; none for "max" or a missing file.
size_t limitInFile(const char* fileName) {
    size_t limit = std::numeric_limits<size_t>::max();
    if (std::FILE* file = std::fopen(fileName, "r")) {
        unsigned long long value = 0;
        if (std::fscanf(file, "%llu", &value) == 1 && value > 0)
            limit = static_cast<size_t>(std::min<unsigned long long>(value, limit));
        std::fclose(file);
    }
    return limit;
}

size_t processLimit(int resource) {
    rlimit limit{};
    if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return std::numeric_limits<size_t>::max();
    return static_cast<size_t>(limit.rlim_cur);
}

size_t measure() {
    size_t budget = std::numeric_limits<size_t>::max();
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0)
        budget = static_cast<size_t>(pages) * static_cast<size_t>(pageSize);
    budget = std::min(budget, processLimit(RLIMIT_AS));
    budget = std::min(budget, processLimit(RLIMIT_DATA));
    budget = std::min(budget, limitInFile("/sys/fs/cgroup/memory.max"));
    budget = std::min(budget, limitInFile("/sys/fs/cgroup/memory/memory.limit_in_bytes"));
    return budget;
}

} // namespace

size_t MemoryBudget() {
    static const size_t budget = measure();
    return budget;
}

} // namespace settree
