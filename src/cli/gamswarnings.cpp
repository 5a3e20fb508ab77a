// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/gamswarnings.h"

#include "formats/gamscheck.h"

#include <cstdio>

namespace settree {

GamsWarnings::GamsWarnings(const std::string& inputName)
    : fileName_(inputName == "-" ? "<stdin>" : inputName) {}

namespace {

GamsReport printer(const std::string& fileName, size_t& warnings) {
    return [&fileName, &warnings](const GamsProblem& problem) {
        std::string line = GamsMessage(fileName, problem);
        line.push_back('\n');
        std::fwrite(line.data(), 1, line.size(), stderr);
        if (IsGamsWarning(problem.rule))
            ++warnings;
    };
}

} // namespace

void GamsWarnings::checkElementText(const TextLines& lines) {
    CheckElementTextForGams(lines, printer(fileName_, warnings_));
}

void GamsWarnings::checkTuples(std::string_view bytes) {
    CheckTuplesForGams(bytes, printer(fileName_, warnings_));
}

} // namespace settree
