// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/pcform.h"

#include "formats/pcreader.h"
#include "formats/pcwriter.h"
#include "model/textfile.h"

#include <clocale>
#include <optional>

namespace settree {

namespace {

// The decimal separator of the user's locale, "." when it is not one printable ASCII byte. The
// program's own locale stays "C".
char localeDecimalSeparator() {
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    char separator = '.';
    if (std::setlocale(LC_NUMERIC, "")) {
        const std::string_view point = std::localeconv()->decimal_point;
        if (point.size() == 1 && point[0] > 32 && point[0] < 127)
            separator = point[0];
    }
    std::setlocale(LC_NUMERIC, previous.c_str());
    return separator;
}

// The bytes of the .tree file beside the input, which gives the descriptions; none when there is
// no such file (or the input is standard input).
std::optional<std::string> descriptionsBeside(const std::string& inputName) {
    if (inputName != "-") {
        // Only a regular file: reading a FIFO of that name would wait for a writer that may
        // never come.
        const std::string treeFile = ChangeFileExt(inputName, ".tree");
        if (IsRegularFile(treeFile))
            return ReadTextFile(treeFile, true);
    }
    return std::nullopt;
}

} // namespace

bool readPc(const std::string& inputName, std::string_view bytes, TFlyNodes& tree,
            Feedback& feedback) {
    const std::optional<std::string> descriptions = descriptionsBeside(inputName);
    return LoadPCTreeFromBytes(bytes, descriptions ? &*descriptions : nullptr, tree, feedback,
                               localeDecimalSeparator());
}

bool pcToElementText(const std::string& inputName, std::string_view bytes, std::string& text,
                     Feedback& feedback) {
    const std::optional<std::string> descriptions = descriptionsBeside(inputName);
    return PCElementTextFromBytes(bytes, descriptions ? &*descriptions : nullptr, text, feedback,
                                  localeDecimalSeparator());
}

std::string writePc(const TFlyNodes& tree) {
    return PcText(tree, PcNames::PlainNames, localeDecimalSeparator());
}

} // namespace settree
