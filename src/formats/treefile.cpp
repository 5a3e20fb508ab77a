// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/treefile.h"

#include "model/textfile.h"

namespace settree {

TextLines ReadTreeText(std::string_view bytes) {
    const size_t nul = bytes.find('\0');
    if (nul != std::string_view::npos)
        bytes = bytes.substr(0, nul);
    TextLines lines = SplitLines(bytes);
    for (std::string& line : lines)
        ExpandTabs(line);
    return lines;
}

bool ParseTreeFile(std::string_view bytes, TFlyNodes& tree, Feedback& feedback) {
    TextLines lines = ReadTreeText(bytes);
    return ParseElementText(lines, tree, feedback);
}

std::string TreeFileBytes(const TextLines& lines) {
    return JoinLines(lines);
}

void SaveElementText(TextLines& lines, const std::string& fileName, Feedback& feedback) {
    NormaliseElementText(lines, feedback);
    WriteFileAtomically(fileName, TreeFileBytes(lines));
}

} // namespace settree
