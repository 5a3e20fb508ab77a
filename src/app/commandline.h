// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The editor's command line, and the work it starts before any window is shown: an element file
// is opened into the text pane's lines and the tree, a .PC file is converted. The window and the
// unattended run use the same code with their own tree, lines and feedback. No Qt here: the
// unattended run needs no display.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/elementtext.h"
#include "formats/pcreader.h"
#include "formats/writtentext.h"
#include "model/feedback.h"
#include "model/flynode.h"
#include "model/readahead.h"

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
    // Whether the argument matches one of the three switches.
    static bool IsSwitch(std::string_view argument);

private:
    std::vector<std::string> arguments_;
};

// Takes every "--catalog DIR" and "--catalog=DIR" out of arguments; the last one gives folder.
// Returns false when one of them names no folder ("--catalog" last, or an empty DIR).
bool TakeCatalogOption(std::vector<std::string>& arguments, std::string& folder);

// The file named first on a command line, read ahead (see StartReadingAhead): a .PC file with
// the .tree file beside it, or an element file.
struct StartupFilesAhead {
    std::optional<ReadAhead<PcAndTreeBytes>> pc;
    std::optional<ReadAhead<std::string>> text;

    // Lets go what was not taken.
    void Release() {
        pc.reset();
        text.reset();
    }
};

// Where the command-line work goes.
struct StartupTarget {
    TFlyNodes& tree;
    TextLines& lines;
    // The messages of the loaders ("Error in line ", ...), as message boxes show them.
    Feedback& feedback;
    // The default error report: a failure such as a file that cannot be written. Its messages
    // name their file.
    Feedback& errorReport;
    // The user's decimal separator, for weights in tuples.
    char decimalSeparator = '.';
    // The file named first, read from the program's start (see StartReadingAhead).
    StartupFilesAhead* filesAhead = nullptr;
    // Opens an element file: its lines into lines and the tree built from them (see
    // OpenElementFile), which is what happens when none is given. The window opens the file
    // through its text pane, which then holds the text, and leaves lines empty. Raises FileError
    // when the file cannot be read, TextFormError when it holds no text.
    std::function<void(const std::string& fileName)> openElementFile = nullptr;
    // Takes the element text of a converted .PC file, as the bytes WriteElementText gives, in
    // place of lines: the window puts it into its text pane whole, taking its lines in while
    // write writes it (see TextPaneCommands::ShowWrittenText). With "/SAVE", which writes the
    // lines, the text goes into lines all the same.
    using WriteText = std::function<void(std::string& text, WrittenText* written)>;
    std::function<void(const WriteText& write)> showElementText = nullptr;
    // The run without a window ("/QUIT"): a first argument that names no file that can be
    // opened is reported instead of ignored, and a file error gives the system's reason after
    // its message.
    bool unattended = false;
};

// Starts reading the file the window opens of its command line, as the window would read it,
// while the toolkit starts and the window is made: nothing for a run without a window ("/QUIT"),
// nor for a .PC file with "/DELETE" or "/SAVE", which change what is read.
void StartReadingAhead(const CommandLine& commandLine, StartupFilesAhead& ahead);

// Reads an element file as the text pane would: the .tree file form. A FIFO or a device is read
// to its end.
void ReadElementFile(const std::string& fileName, TextLines& lines);
// Reads an element file into the target's lines and builds its tree from them.
void OpenElementFile(const std::string& fileName, StartupTarget& target);

// Opens the file named by the first argument: a file whose extension, upper-cased, is ".PC" is
// converted by RunBatchConversion; any other existing file is loaded into the lines and parsed
// into the tree. An empty first argument, or one that is a switch, does nothing; one that names
// no existing file does nothing in the window and is reported ("Cannot open file <name>") in an
// unattended run. A failure (a file that cannot be read or written, a file that holds no text,
// an element that cannot be written, not enough memory) goes to the error report with a message
// that names its file, and ends the work.
void OpenCommandLineFile(const CommandLine& commandLine, StartupTarget& target);

// Converts the .PC file pcFile (which may be a FIFO): the tuples are loaded, with the
// descriptions of the .tree file beside it when that is a regular file, and "/SAVE" writes the
// tree back to pcFile and the lines to the .tree file. "/DELETE" keeps the old .tree file's
// descriptions out of the load; without "/SAVE" it deletes that file first, with "/SAVE" the new
// .tree file takes its place once written. Nothing is written when loading reported an error,
// so a faulty input is never overwritten, nor when the .PC file holds no tuple and the .tree
// file is not empty (reported: the .tree file would be emptied). File errors propagate.
void RunBatchConversion(const std::string& pcFile, const CommandLine& commandLine,
                        StartupTarget& target);

} // namespace settree
