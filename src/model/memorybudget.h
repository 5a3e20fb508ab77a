// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>

namespace settree {

// The memory this process may use at most: the least of the machine's physical memory, the
// address space and data limits set on the process, and the memory limit of its control group.
// Work whose size is known ahead is refused when it cannot fit, instead of failing half way or
// being stopped by the system.
size_t MemoryBudget();

} // namespace settree
