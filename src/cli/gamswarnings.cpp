// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/gamswarnings.h"

#include "formats/gamscheck.h"
#include "formats/treefile.h"

#include <cstdio>

namespace settree {

namespace {

// Standard error writes at once what it is given: the lines are gathered and written in blocks,
// so that a file with a problem on each of a million lines is not a million writes.
class BlockWriter {
public:
    ~BlockWriter() { flush(); }
    void add(const std::string& line) {
        block_.append(line).push_back('\n');
        if (block_.size() >= kBlock)
            flush();
    }
    void flush() {
        std::fwrite(block_.data(), 1, block_.size(), stderr);
        block_.clear();
    }

private:
    static constexpr size_t kBlock = size_t{1} << 16;
    std::string block_;
};

// Runs check(report), where report writes each problem as one line and counts the warnings.
template <class Check>
void reportEach(const std::string& fileName, size_t& warnings, Check&& check) {
    BlockWriter out;
    const GamsReport report = [&](const GamsProblem& problem) {
        out.add(GamsMessage(fileName, problem));
        warnings += IsGamsWarning(problem.rule) ? 1 : 0;
    };
    check(report);
}

} // namespace

GamsWarnings::GamsWarnings(const std::string& inputName)
    : fileName_(inputName == "-" ? "<stdin>" : inputName) {}

void GamsWarnings::checkElementText(const TextLines& lines) {
    reportEach(fileName_, warnings_,
               [&](const GamsReport& report) { CheckElementTextForGams(lines, report); });
}

void GamsWarnings::checkTreeFile(std::string_view bytes) {
    // Two searches: find_first_of would search the set of two bytes once for every byte.
    if (bytes.find('\t') != std::string_view::npos || bytes.find('\0') != std::string_view::npos) {
        checkElementText(ReadTreeText(bytes));
        return;
    }
    reportEach(fileName_, warnings_,
               [&](const GamsReport& report) { CheckElementTextForGams(bytes, report); });
}

void GamsWarnings::checkTuples(std::string_view bytes) {
    reportEach(fileName_, warnings_,
               [&](const GamsReport& report) { CheckTuplesForGams(bytes, report); });
}

} // namespace settree
