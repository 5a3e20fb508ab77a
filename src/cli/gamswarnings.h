// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "formats/elementtext.h"

namespace settree {

// The converter's report of what GAMS would reject in its input: each problem one line on
// standard error, "FILE:LINE: warning: ..." or "FILE:LINE: note: ...". The output of a
// conversion does not change for them.
class GamsWarnings {
public:
    // inputName: the input as the command line names it ("-": standard input).
    explicit GamsWarnings(const std::string& inputName);

    void checkElementText(const TextLines& lines);
    // The lines of a .tree file as ReadTreeText gives them, read where they stand unless a tab
    // is to become blanks.
    void checkTreeFile(std::string_view bytes);
    void checkTuples(std::string_view bytes);

    // The warnings reported so far (notes do not count).
    size_t warnings() const { return warnings_; }

private:
    std::string fileName_;
    size_t warnings_ = 0;
};

} // namespace settree
