// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace settree {

// An element that a form cannot hold so that reading the written text gives the same tree back:
// the writer says which element and why instead of writing text that reads back as another tree.
class ElementNotWritable : public std::runtime_error {
public:
    // name: the element's name; level: its depth, 1 for a root; form: "element text" or
    // "parent-child tuples"; reason: why the form cannot hold it.
    ElementNotWritable(std::string_view name, size_t level, std::string_view form,
                       std::string_view reason);
    // The same fault for a file it kept from being written, with the message
    // "Cannot create file <fileName>: the element ...".
    ElementNotWritable InFile(const std::string& fileName) const;

private:
    ElementNotWritable(const std::string& message, std::string detail);
    std::string detail_; // "element ...: reason"
};

// Runs write; when it refuses an element, fault gets that element and the result is false. For
// writers that go on (or stop) in their own way after the first element they cannot write.
template <class Write> bool WroteAll(std::optional<ElementNotWritable>& fault, Write&& write) {
    try {
        write();
        return true;
    } catch (const ElementNotWritable& first) {
        fault = first;
        return false;
    }
}

// Why element text cannot hold an element of this name and description (an empty description:
// none); nullptr when it can. A name ends at a quote of either kind and is read trimmed; a tab is
// read as three blanks; a line end splits the line; a NUL byte is refused by every reader.
const char* ElementTextFault(std::string_view name, std::string_view description);

// Why parent-child tuples cannot hold an element name (as the tuples write it, taken from the
// caption's name); nullptr when they can. A double quote ends a name, a line end or a Ctrl+Z ends
// the line or the input, a NUL byte is refused by every reader.
const char* TupleNameFault(std::string_view name);

// Why a weight does not read back from a tuple; nullptr when it does. The reader takes as the
// weight the run of "-", digits and decimalSeparator that ends the tuple, and the parent's name
// from what stands before it: the weight has to be blank or such a run after blanks. (A weight
// read back keeps one blank before it, and an empty one comes back as "1".)
const char* TupleWeightFault(std::string_view weight, char decimalSeparator);

} // namespace settree
