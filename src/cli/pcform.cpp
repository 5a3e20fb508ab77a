// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/pcform.h"

#include "formats/pcreader.h"
#include "formats/pcwriter.h"
#include "model/textfile.h"

#include <clocale>
#include <optional>
#include <utility>

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

} // namespace

TreeFileBeside::TreeFileBeside(const std::string& inputName) {
    if (inputName == "-")
        return;
    reader_.emplace([this, treeFile = ChangeFileExt(inputName, ".tree")] {
        // Only a regular file: reading a FIFO of that name would wait for a writer that may
        // never come.
        if (IsRegularFile(treeFile))
            bytes_ = ReadTextFile(treeFile, true);
    });
}

std::optional<std::string> TreeFileBeside::take() {
    if (reader_) {
        reader_->Wait();
        reader_.reset();
    }
    return std::exchange(bytes_, std::nullopt);
}

bool checkPc(std::string_view bytes, TreeFileBeside& beside, Feedback& feedback) {
    const std::optional<std::string> descriptions = beside.take();
    return CheckPCFromBytes(bytes, descriptions ? &*descriptions : nullptr, feedback,
                            localeDecimalSeparator());
}

bool pcToElementText(std::string_view bytes, TreeFileBeside& beside, std::string& text,
                     Feedback& feedback, FileWriter* file) {
    const std::optional<std::string> descriptions = beside.take();
    return PCElementTextFromBytes(bytes, descriptions ? &*descriptions : nullptr, text, feedback,
                                  localeDecimalSeparator(), file);
}

bool elementTextToPc(std::string_view bytes, std::string& text,
                     std::optional<ElementNotWritable>& fault, Feedback& feedback,
                     FileWriter* file) {
    return ElementTextToPcText(bytes, text, fault, feedback, localeDecimalSeparator(), file);
}

bool pcToPc(std::string_view bytes, TreeFileBeside& beside, std::string& text,
            std::optional<ElementNotWritable>& fault, Feedback& feedback, FileWriter* file) {
    const std::optional<std::string> descriptions = beside.take();
    return PCTuplesFromBytes(bytes, descriptions ? &*descriptions : nullptr, text, fault, feedback,
                             localeDecimalSeparator(), file);
}

} // namespace settree
