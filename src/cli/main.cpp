// SPDX-License-Identifier: GPL-3.0-or-later
// settree-convert: converts a classification between element text (.tree) and parent-child
// tuples (.PC) without a window, with the editor's own readers, writers and messages.

#include "cli/gamswarnings.h"
#include "cli/pcform.h"
#include "formats/elementtext.h"
#include "model/caption.h"
#include "model/feedback.h"
#include "model/parallel.h"
#include "model/textfile.h"

#include <cerrno>
#include <cstdio>
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace settree {
namespace {

constexpr int kDone = 0;
constexpr int kInputError = 1;
constexpr int kUsageOrFile = 2;

constexpr std::string_view kProgram = "settree-convert";
constexpr std::string_view kStdio = "-";

constexpr std::string_view kUsage =
    "Usage: settree-convert [--check] [--strict] [--from tree|pc] [--to tree|pc] INPUT [OUTPUT]\n"
    "\n"
    "Converts a classification between element text (.tree) and parent-child tuples (.PC).\n"
    "A file whose extension is .PC, in any letter case, holds tuples; any other file holds\n"
    "element text. INPUT and OUTPUT may be - for standard input and standard output, which\n"
    "hold element text unless --from or --to names the form. Without OUTPUT the result goes\n"
    "to standard output. When the input has an error nothing is written. Reading .PC files\n"
    "takes descriptions from the .tree file beside them, and weights use the decimal\n"
    "separator of the locale.\n"
    "\n"
    "What GAMS would reject in INPUT (names over 63 bytes, descriptions over 255 bytes,\n"
    "control characters, names with both quote kinds, empty names, weights that are no\n"
    "number) is reported as FILE:LINE: warning: ..., and a repeated name spelled in other\n"
    "letter case than its first occurrence as FILE:LINE: note: .... They change neither the\n"
    "output nor the exit status, unless --strict is given.\n"
    "\n"
    "  --check          read INPUT and report its errors; write nothing\n"
    "  --strict         take a GAMS warning for an error: exit status 1, nothing written\n"
    "  --from tree|pc   the form of INPUT\n"
    "  --to tree|pc     the form of OUTPUT\n"
    "  --help           show this text\n"
    "  --version        show the version\n"
    "\n"
    "Exit status: 0 done, 1 the input has an error (with --strict: or a GAMS warning), 2\n"
    "wrong usage, a file that cannot be read or written, or a result that does not fit in\n"
    "memory.\n";

enum class Form { tree, pc };

struct Options {
    bool check = false;
    bool strict = false;
    bool help = false;
    bool version = false;
    std::optional<Form> from;
    std::optional<Form> to;
    std::vector<std::string> files; // INPUT and OUTPUT
};

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

void writeErr(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
}

Form parseForm(std::string_view option, std::string_view value) {
    const std::string v = UpperCase(value);
    if (v == "TREE")
        return Form::tree;
    if (v == "PC")
        return Form::pc;
    throw UsageError(std::string(option) + " takes tree or pc, not '" + std::string(value) + "'");
}

Options parseArguments(int argc, char** argv) {
    Options options;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (optionsEnded || arg == kStdio || arg.substr(0, 1) != "-") {
            options.files.emplace_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--check") {
            options.check = true;
        } else if (arg == "--strict") {
            options.strict = true;
        } else if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "--from" || arg == "--to") {
            if (i + 1 >= argc)
                throw UsageError(std::string(arg) + " needs tree or pc");
            (arg == "--from" ? options.from : options.to) = parseForm(arg, argv[++i]);
        } else if (arg.substr(0, 7) == "--from=") {
            options.from = parseForm("--from", arg.substr(7));
        } else if (arg.substr(0, 5) == "--to=") {
            options.to = parseForm("--to", arg.substr(5));
        } else {
            throw UsageError("unknown option '" + std::string(arg) + "'");
        }
    }
    if (options.help || options.version)
        return options;
    if (options.files.empty())
        throw UsageError("no INPUT given");
    if (options.files.size() > 2)
        throw UsageError("too many files given");
    if (options.check && options.files.size() > 1)
        throw UsageError("--check takes no OUTPUT");
    return options;
}

// The form named by the option, else the one the extension tells; standard input and output
// (and an omitted OUTPUT) have no extension and hold element text.
Form formOf(const std::optional<Form>& named, const std::string& fileName) {
    if (named)
        return *named;
    if (fileName != kStdio && UpperCase(ExtractFileExt(fileName)) == ".PC")
        return Form::pc;
    return Form::tree;
}

// How a file is named in messages.
std::string displayName(const std::string& fileName) {
    return fileName == kStdio ? std::string("standard input") : fileName;
}

// The input as every reader takes it (see ReadTextFile); a FIFO or a device named as INPUT is
// read to its end.
std::string readInput(const std::string& fileName) {
    if (fileName != kStdio)
        return ReadTextFile(fileName);
    return ReadTextStream(STDIN_FILENO, displayName(fileName));
}

void writeOutput(const std::string& fileName, std::string_view bytes) {
    if (fileName != kStdio) {
        WriteFileAtomically(fileName, bytes);
        return;
    }
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() &&
                    std::fflush(stdout) == 0;
    if (!ok)
        throw FileError("Cannot create file -", errno);
}

// Reads element text, or converts it to tuples or to element text again, straight from the text
// with no tree between, while the GAMS check reads a large text on a second thread. The check's
// reports come first: the conversion's messages wait for them. Returns true when the text reads
// without an error; fault gets an element the output form cannot hold.
bool fromElementText(std::string_view bytes, bool checkOnly, Form to, GamsWarnings& gams,
                     Feedback& feedback, std::string& result,
                     std::optional<ElementNotWritable>& fault, FileWriter* into) {
    CollectingFeedback converting;
    bool clean = false;
    const auto check = [&] { gams.checkTreeFile(bytes); };
    const auto convert = [&] {
        bool inTreeOrder = true; // a check builds nothing in either order
        if (checkOnly)
            clean = ReadElementText(
                bytes, [](size_t, std::string_view) {}, converting, inTreeOrder);
        else if (to == Form::pc)
            clean = elementTextToPc(bytes, result, fault, converting, into);
        else
            clean = ElementTextOfText(bytes, result, fault, converting, into);
    };
    if (bytes.size() < kParallelBytes) {
        check();
        convert();
    } else {
        RunInParallel(convert, check);
    }
    for (const std::string& message : converting.messages)
        feedback.message(message);
    return clean;
}

// Reads tuples, or converts them to element text or to tuples again, straight from the tuples
// with no tree between; descriptions come from the .tree file beside the input. Returns true when
// the tuples read without an error; fault gets an element the tuples cannot carry back (an
// element that element text cannot hold is reported as the editor's load reports it).
bool fromTuples(std::string_view bytes, TreeFileBeside& beside, bool checkOnly, Form to,
                Feedback& feedback, std::string& result, std::optional<ElementNotWritable>& fault,
                FileWriter* into) {
    if (checkOnly) // no text: a chain too deep for its text has sound tuples all the same
        return checkPc(bytes, beside, feedback);
    if (to == Form::tree)
        return pcToElementText(bytes, beside, result, feedback, into);
    return pcToPc(bytes, beside, result, fault, feedback, into);
}

int run(const Options& options) {
    const std::string& input = options.files[0];
    const std::string output = options.files.size() > 1 ? options.files[1] : std::string(kStdio);
    const Form from = formOf(options.from, input);
    const Form to = formOf(options.to, output);
    // The readers' messages, and an element that the output form cannot hold, name the input.
    StderrFeedback feedback(displayName(input));
    GamsWarnings gams(input);
    // A file takes the result as it is made; it shows none of it unless all goes well.
    std::optional<FileWriter> file;
    if (output != kStdio && !options.check)
        file.emplace(output);
    FileWriter* const into = file ? &*file : nullptr;
    std::string result;
    {
        // The input is released before the result is written.
        std::optional<ElementNotWritable> fault;
        bool clean = false;
        if (from == Form::pc) {
            TreeFileBeside beside(input);
            const std::string bytes = readInput(input);
            gams.checkTuples(bytes);
            clean = fromTuples(bytes, beside, options.check, to, feedback, result, fault, into);
        } else {
            const std::string bytes = readInput(input);
            clean = fromElementText(bytes, options.check, to, gams, feedback, result, fault, into);
        }
        // With --strict a GAMS warning is an error of the input, reported with its other errors.
        if (!clean || feedback.count() > 0 || (options.strict && gams.warnings() > 0))
            return kInputError;
        if (fault) {
            feedback.message(fault->what());
            return kInputError;
        }
    }
    if (options.check)
        return kDone;
    if (file)
        file->commit(result);
    else
        writeOutput(output, result);
    return kDone;
}

int Main(int argc, char** argv) {
    Options options;
    try {
        options = parseArguments(argc, argv);
    } catch (const UsageError& e) {
        writeErr(std::string(kProgram) + ": " + e.what() + "\n" + "Try '" + std::string(kProgram) +
                 " --help' for more information.\n");
        return kUsageOrFile;
    }
    if (options.help || options.version) {
        const std::string text = options.help
                                     ? std::string(kUsage)
                                     : std::string(kProgram) + " " + SETTREE_VERSION + "\n";
        try {
            writeOutput(std::string(kStdio), text);
        } catch (const FileError& e) {
            writeErr(std::string(kProgram) + ": cannot write standard output: " + e.Reason() +
                     "\n");
            return kUsageOrFile;
        }
        return kDone;
    }
    try {
        return run(options);
    } catch (const FileError& e) {
        writeErr(e.Detailed() + "\n");
        return kUsageOrFile;
    } catch (const TextFormError& e) {
        // The input holds no text: an error of the input, which nothing is written for.
        writeErr(std::string(e.what()) + "\n");
        return kInputError;
    } catch (const NotEnoughMemory& e) {
        writeErr(std::string(kProgram) + ": " + e.what() + "\n");
        return kUsageOrFile;
    } catch (const std::bad_alloc&) {
        writeErr(std::string(kProgram) + ": not enough memory to convert " + options.files[0] +
                 "\n");
        return kUsageOrFile;
    } catch (const std::exception& e) {
        // Nothing has been written: outputs are written whole or not at all. The result of the
        // input does not fit (its element text too large, say).
        writeErr(std::string(kProgram) + ": " + displayName(options.files[0]) + ": " + e.what() +
                 "\n");
        return kUsageOrFile;
    }
}

} // namespace
} // namespace settree

int main(int argc, char** argv) {
    settree::GuardSaves();
    return settree::Main(argc, argv);
}
