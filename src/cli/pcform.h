// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "formats/elementnotwritable.h"
#include "model/feedback.h"
#include "model/parallel.h"
#include "model/textfile.h"

namespace settree {

// The parent-child tuple half of the converter, on the editor's tuple reader and writer.

// The .tree file beside a .PC input, which gives the descriptions, read on a second thread from
// construction on: the read overlaps the caller's own read and check of the tuples. Only a
// regular file is read; standard input ("-") has none beside it.
class TreeFileBeside {
public:
    explicit TreeFileBeside(const std::string& inputName);

    // Waits for the read and gives its bytes, none when there is no such file. Raises what the
    // read raised: FileError when the file cannot be read, TextFormError when it holds no text
    // (see ReadTextFile). Called once.
    std::optional<std::string> take();

private:
    std::optional<std::string> bytes_;
    std::optional<WorkBeside> reader_; // none for standard input; after bytes_, ends first
};

// Whether the tuples of a .PC file load as the editor loads a file, found without building the
// tree: descriptions come from the .tree file beside the input when there is one, and from "@"
// annotations; weights use the decimal separator of the locale. bytes is the content of the
// input. Returns true when nothing was reported. Raises what TreeFileBeside::take raises.
bool checkPc(std::string_view bytes, TreeFileBeside& beside, Feedback& feedback);

// The element text of the tree the editor builds from the tuples (see checkPc), made without
// building it: the bytes of a .tree file. Reports and returns as checkPc does; text is empty on
// an error. With file, the text goes into it as it is made, and text gets what is left of it to
// append.
bool pcToElementText(std::string_view bytes, TreeFileBeside& beside, std::string& text,
                     Feedback& feedback, FileWriter* file = nullptr);

// The bytes of the .PC file of the tree the editor's parser builds from the bytes of a .tree file,
// made without building it: see ElementTextToPcText, with the decimal separator of the locale
// (and with file, the text streamed as it says).
bool elementTextToPc(std::string_view bytes, std::string& text,
                     std::optional<ElementNotWritable>& fault, Feedback& feedback,
                     FileWriter* file = nullptr);

// The bytes of the .PC file of that tree, as the tree pane's "Save" writes it, made without
// building it: see PCTuplesFromBytes, with the decimal separator of the locale. Reports and
// returns as checkPc does; fault gets an element the tuples cannot carry back.
bool pcToPc(std::string_view bytes, TreeFileBeside& beside, std::string& text,
            std::optional<ElementNotWritable>& fault, Feedback& feedback,
            FileWriter* file = nullptr);

} // namespace settree
