// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "formats/elementnotwritable.h"
#include "formats/elementtext.h"
#include "formats/writtentext.h"
#include "model/feedback.h"
#include "model/flynode.h"

namespace settree {

// The one message of a failed tuple load, followed by the child name, " : " and the parent
// name of the tuple being built (both empty when the input could not be read).
inline constexpr std::string_view kPcErrorMessage =
    "There is an error in the Parent Child relationship: ";

// The bytes of a .PC file and of the .tree file beside it, which gives the descriptions, read at
// the same time. The .tree file is read only with withTree and when it is a regular file (tree is
// none otherwise); the .PC file with regularOnly only when it is one too. Raises what
// ReadTextFile raises, the .PC file's failure first: a .PC file that cannot be read is the one
// reported.
struct PcAndTreeBytes {
    std::string pc;
    std::optional<std::string> tree;
};
PcAndTreeBytes ReadPcAndTreeBeside(const std::string& pcFile, bool regularOnly,
                                   bool withTree = true);

// Replaces the tree by the tree of a .PC file and then the text pane lines by its element text.
//
// The tuple lines may come in any order: they are grouped by level, and each node is hung under
// the first node of the level above whose name equals its parent name without regard to case a
// to z. Descriptions come from the .tree file of the same path and base name when it exists
// (the last line for a name wins) and from "@" annotations (the first one wins; the .tree file
// beats them). A line ends at CR, CR LF or LF; byte 26 ends the input. decimalSeparator is the
// user's, one of the characters of a weight besides "-" and the digits.
//
// Every error is reported here, through feedback, with kPcErrorMessage: when the input cannot be
// read or a line is no tuple line, the tree stays as it was; when a parent is not found, the
// tree keeps the nodes built before. A file that is not a regular file (the .PC file itself
// included: the window never waits for a FIFO) or that holds no text (see ReadTextFile) is
// reported with its own message naming it, and so is running out of memory ("not enough memory
// to load <name>"). A .tree file beside that is not a regular file is not read. In every case
// the tree ends fully expanded, its update brackets balanced, and lines are rebuilt from it;
// when its element text cannot fit in memory (see ElementTextTooLarge) that is reported and
// lines are left empty, and an element the element text cannot hold is reported (see
// WriteElementText). Returns true when nothing was reported.
bool LoadPC(const std::string& fileName, TFlyNodes& tree, TextLines& lines, Feedback& feedback,
            char decimalSeparator = '.');

// LoadPC giving the element text as the bytes WriteElementText gives (the lines joined by CR LF):
// for a text pane that takes the text whole (see TTextPane::SetText), so that it is never held as
// lines. written, when given, gets the text while it is written (see WrittenText).
bool LoadPC(const std::string& fileName, TFlyNodes& tree, std::string& text, Feedback& feedback,
            char decimalSeparator = '.', WrittenText* written = nullptr);

// LoadPC on the bytes of a .PC file and of its .tree description file (none: no such file),
// read already (see ReadTextFile). Running out of memory empties the tree and the lines and
// raises std::bad_alloc.
bool LoadPCFromBytes(std::string_view pcBytes, const std::string* treeDescriptionBytes,
                     TFlyNodes& tree, TextLines& lines, Feedback& feedback,
                     char decimalSeparator = '.');

// LoadPCFromBytes giving the element text as bytes, as the LoadPC above. It takes the bytes and
// lets them go once the tree is built, before the text is written. written, when given, gets the
// text while it is written (see WrittenText).
bool LoadPCFromBytes(std::string pcBytes, std::optional<std::string> treeDescriptionBytes,
                     TFlyNodes& tree, std::string& text, Feedback& feedback,
                     char decimalSeparator = '.', WrittenText* written = nullptr);

// LoadPCFromBytes without rebuilding the text pane lines: the tree alone, for a caller that
// writes the element text of the tree itself.
bool LoadPCTreeFromBytes(std::string_view pcBytes, const std::string* treeDescriptionBytes,
                         TFlyNodes& tree, Feedback& feedback, char decimalSeparator = '.');

// The element text of a .PC file and its .tree description file (the bytes of a .tree file, as
// ElementTextBytes gives them for the tree that LoadPCFromBytes builds), made without building
// that tree: for a caller that only converts. Errors are reported as LoadPC reports them; text is
// then empty and the result false. With file, the text goes into it as it is made and text gets
// what is left of it (see ElementTextBuilder::StreamInto).
bool PCElementTextFromBytes(std::string_view pcBytes, const std::string* treeDescriptionBytes,
                            std::string& text, Feedback& feedback, char decimalSeparator = '.',
                            FileWriter* file = nullptr);

// The tuples that PcText writes with plain names for the tree LoadPCFromBytes builds, made
// without building that tree: for a caller that only converts. Errors are reported as LoadPC
// reports them; the result is then false. Otherwise the result is true, and fault holds the first
// element the tuples cannot carry back, where PcText would raise ElementNotWritable. text is
// empty after either. With file, the tuples go into it as they are made and text gets what is
// left of them (see PcTextBuilder::StreamInto).
bool PCTuplesFromBytes(std::string_view pcBytes, const std::string* treeDescriptionBytes,
                       std::string& text, std::optional<ElementNotWritable>& fault,
                       Feedback& feedback, char decimalSeparator = '.', FileWriter* file = nullptr);

// Whether LoadPCFromBytes would load the tuples without an error, found without building the
// tree; an error is reported as LoadPC reports it.
bool CheckPCFromBytes(std::string_view pcBytes, const std::string* treeDescriptionBytes,
                      Feedback& feedback, char decimalSeparator = '.');

// The input of a tuple load in block mode: the lines firstLine to lastLine (0-based) of an
// index file holding several blocks of tuple lines, and the member file that gives their
// descriptions.
struct PcBlockInput {
    std::string index; // bytes of the index file
    int firstLine = 0;
    int lastLine = -1;                     // none of the lines when smaller than firstLine
    std::optional<std::string> memberFile; // bytes of the member file; none: no descriptions
};

// LoadPC on one block of an index file: read fills the input and runs inside the load, so a
// file it cannot read (an exception) is reported as the load's error and leaves the tree as it
// was. The lines carry no "@" annotations and every weight is "1"; descriptions come from the
// member lines (between two lines beginning with "/") of memberFile. A block that reaches past
// the end of the index is an error.
bool LoadPCBlock(const std::function<void(PcBlockInput&)>& read, TFlyNodes& tree, TextLines& lines,
                 Feedback& feedback);

} // namespace settree
