// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The editor's command line, and the work it starts before any window is shown: an element file
// is opened into the text pane's lines and the tree, a .PC file is converted. The window and the
// unattended run use the same code with their own tree, lines and feedback. No Qt here: the
// unattended run needs no display.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/elementtext.h"
#include "model/feedback.h"
#include "model/flynode.h"

namespace settree {

inline constexpr std::string_view kDeleteSwitch = "/DELETE";
inline constexpr std::string_view kSaveSwitch = "/SAVE";
inline constexpr std::string_view kQuitSwitch = "/QUIT";

// The arguments after the program name, as bytes.
class CommandLine {
public:
    CommandLine() = default;
    explicit CommandLine(std::vector<std::string> arguments) : arguments_(std::move(arguments)) {}

    const std::vector<std::string>& Arguments() const { return arguments_; }
    // The first argument, "" when there is none.
    const std::string& FirstArgument() const;
    // True when one argument, upper-cased (a to z only) as a whole, equals the switch.
    bool Has(std::string_view switchName) const;

    static bool Matches(std::string_view argument, std::string_view switchName);

private:
    std::vector<std::string> arguments_;
};

// Takes every "--catalog DIR" and "--catalog=DIR" out of arguments; the last one gives folder.
// Returns false when one of them names no folder ("--catalog" last, or an empty DIR).
bool TakeCatalogOption(std::vector<std::string>& arguments, std::string& folder);

// Where the command-line work goes.
struct StartupTarget {
    TFlyNodes& tree;
    TextLines& lines;
    // The messages of the loaders ("Error in line ", ...), as message boxes show them.
    Feedback& feedback;
    // The default error report: a failure such as a file that cannot be written.
    Feedback& errorReport;
    // The user's decimal separator, for weights in tuples.
    char decimalSeparator = '.';
    // Replaces lines by the lines of an element file; the window loads through its text pane.
    // Raises FileError when the file cannot be read.
    std::function<void(const std::string& fileName, TextLines& lines)> loadElementFile;
};

// Reads an element file as the text pane would: the .tree file form.
void ReadElementFile(const std::string& fileName, TextLines& lines);

// Opens the file named by the first argument: a file whose extension, upper-cased, is ".PC" is
// converted by RunBatchConversion; any other existing file is loaded into the lines and parsed
// into the tree. An empty first argument, or one that names no existing file, does nothing.
// A failure (a file that cannot be read or written) goes to the error report and ends the work.
void OpenCommandLineFile(const CommandLine& commandLine, StartupTarget& target);

// Converts the .PC file pcFile: "/DELETE" removes the .tree file beside it first, the tuples are
// loaded, and "/SAVE" writes the tree back to pcFile and the lines to the .tree file. Nothing is
// written when loading reported an error, so a faulty input is never overwritten. File errors
// propagate.
void RunBatchConversion(const std::string& pcFile, const CommandLine& commandLine,
                        StartupTarget& target);

} // namespace settree
