// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/elementnotwritable.h"

#include "model/caption.h"

#include <utility>

namespace settree {

namespace {

bool holdsLineEnd(std::string_view s) {
    return HoldsAnyByte<'\r', '\n'>(s);
}
bool holdsNul(std::string_view s) {
    return s.find('\0') != std::string_view::npos;
}
bool isTrimmable(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

} // namespace

ElementNotWritable::ElementNotWritable(std::string_view name, size_t level, std::string_view form,
                                       std::string_view reason)
    : ElementNotWritable(std::string(), "element \"" + std::string(name) + "\" at level " +
                                            std::to_string(level) + " cannot be written as " +
                                            std::string(form) + ": " + std::string(reason)) {}

ElementNotWritable::ElementNotWritable(const std::string& message, std::string detail)
    : std::runtime_error(message.empty() ? "The " + detail : message), detail_(std::move(detail)) {}

ElementNotWritable ElementNotWritable::InFile(const std::string& fileName) const {
    return ElementNotWritable("Cannot create file " + fileName + ": the " + detail_, detail_);
}

const char* ElementTextFault(std::string_view name, std::string_view description) {
    if (holdsNul(name) || holdsNul(description))
        return "it holds a NUL byte, which no text file holds";
    if (holdsLineEnd(name) || holdsLineEnd(description))
        return "it holds a line end, which would split its line";
    if (name.find('\t') != std::string_view::npos ||
        description.find('\t') != std::string_view::npos)
        return "it holds a tab, which is read as three blanks";
    if (name.find_first_of("\"'") != std::string_view::npos)
        return "its name holds a quote, which ends a name in element text";
    if (description.find('"') != std::string_view::npos)
        return "its description holds a double quote, which is read as a single quote";
    if (!name.empty() && (isTrimmable(name.front()) || isTrimmable(name.back())))
        return "its name begins or ends with a blank or a control character, which reading drops";
    return nullptr;
}

const char* TupleNameFault(std::string_view name) {
    if (!HoldsAnyByte<'\0', '\r', '\n', '\x1a', '"'>(name))
        return nullptr; // every name of most trees: one pass instead of one per fault
    if (holdsNul(name))
        return "its name holds a NUL byte, which no text file holds";
    if (holdsLineEnd(name))
        return "its name holds a line end, which would split its tuple";
    if (name.find('\x1a') != std::string_view::npos)
        return "its name holds a Ctrl+Z, which ends the tuples";
    if (name.find('"') != std::string_view::npos)
        return "its name holds a double quote, which ends a name in a tuple";
    return nullptr;
}

const char* TupleWeightFault(std::string_view weight, char decimalSeparator) {
    size_t end = weight.size();
    while (end > 0 && isTrimmable(weight[end - 1]))
        --end; // the reader trims the line
    size_t begin = end;
    while (begin > 0 && (weight[begin - 1] == '-' || weight[begin - 1] == decimalSeparator ||
                         (weight[begin - 1] >= '0' && weight[begin - 1] <= '9')))
        --begin;
    for (size_t i = 0; i < begin; ++i)
        if (!isTrimmable(weight[i]))
            return "its weight is not a number, which the tuples read back only after a blank";
    return nullptr;
}

} // namespace settree
