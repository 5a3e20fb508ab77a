// SPDX-License-Identifier: GPL-3.0-or-later
// settree [FILE] [/DELETE] [/SAVE] [/QUIT] [--catalog DIR]: the editor. With "/QUIT" the
// command-line work runs without any window and without a display, its messages on standard error.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/commandline.h"
#include "app/tform1.h"
#include "model/textfile.h"

namespace {

constexpr const char* kUsage =
    "Usage: settree [FILE] [/DELETE] [/SAVE] [/QUIT] [--catalog DIR]\n"
    "Edits a hierarchy of GAMS set elements as element text (.tree) and as a tree.\n"
    "\n"
    "  FILE           an element file to open, or a .PC file of parent-child tuples to convert\n"
    "  /DELETE        with a .PC file: read no descriptions from the .tree file beside it\n"
    "                 and delete that file (with /SAVE, the new .tree file takes its place)\n"
    "  /SAVE          with a .PC file: rewrite it and write the .tree file beside it\n"
    "  /QUIT          end when the work is done, without showing a window; messages go to\n"
    "                 standard error, each naming its file, and the exit status is 1 when\n"
    "                 there were any\n"
    "  --catalog DIR  the folder of the catalog program's GAMS files (pcclassifications.gms,\n"
    "                 ListofSets.gms and one file per set); the catalog program (tessaroc or\n"
    "                 tessaroc.exe) is looked for in DIR's parent folder. Without it the\n"
    "                 folder is SETTREE_CATALOG, else tessarocgams beside the executable\n"
    "  --help         show this text\n"
    "  --version      show the version\n"
    "\n"
    "The two \"Tessaroc\" buttons show when the catalog is found: the tree pane's when\n"
    "DIR/pcclassifications.gms exists, the text pane's when the catalog program exists.\n"
    "\n"
    "Exit status: 0 done; with /QUIT, 1 when a message was reported; 2 wrong usage, or\n"
    "standard output that cannot take this text.\n"
    "\n"
    "Environment:\n"
    "  SETTREE_CATALOG  the catalog folder when --catalog is not given\n";

// Writes text to standard output; false when it cannot be written whole.
bool writeOut(const char* text) {
    return std::fputs(text, stdout) >= 0 && std::fflush(stdout) == 0;
}

// --help and --version: exit status 2 when standard output cannot take the text.
int printText(const char* text) {
    if (writeOut(text))
        return 0;
    const int error = errno;
    std::fprintf(stderr, "settree: cannot write standard output: %s\n", std::strerror(error));
    return 2;
}

// The command-line work of the window's creation, for a bare tree and lines. The loaders'
// messages begin with the file's name; the error report's messages name their file already.
int runUnattended(const settree::CommandLine& commandLine) {
    settree::StderrFeedback feedback(commandLine.FirstArgument());
    settree::StderrFeedback errorReport;
    settree::TFlyNodes tree;
    settree::TextLines lines;
    settree::StartupTarget target{tree, lines, feedback, errorReport,
                                  settree::UserDecimalSeparator()};
    target.unattended = true;
    settree::OpenCommandLineFile(commandLine, target);
    return feedback.count() + errorReport.count() == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    settree::GuardSaves();
    settree::UserDecimalSeparator(); // the regional settings count as they are at start
    std::vector<std::string> arguments(argv + 1, argv + argc);
    std::string catalogFolder;
    if (!settree::TakeCatalogOption(arguments, catalogFolder)) {
        std::fputs("settree: --catalog needs a folder\n", stderr);
        return 2;
    }
    const settree::CommandLine raw(std::move(arguments));
    for (const std::string& argument : raw.Arguments()) {
        if (argument == "--help")
            return printText(kUsage);
        if (argument == "--version")
            return printText("settree " SETTREE_VERSION "\n");
    }
    if (raw.Has(settree::kQuitSwitch))
        return runUnattended(raw);

    // The file on the command line is read while the toolkit starts and the window is made.
    settree::StartupFilesAhead filesAhead;
    settree::StartReadingAhead(raw, filesAhead);
    settree::Application app(argc, argv);
    // The toolkit has taken its own options out of argv.
    std::vector<std::string> windowArguments(argv + 1, argv + argc);
    settree::TakeCatalogOption(windowArguments, catalogFolder);
    const char* environmentFolder = std::getenv("SETTREE_CATALOG");
    settree::TForm1 window(
        std::move(windowArguments),
        settree::CatalogLocation::Choose(catalogFolder, environmentFolder ? environmentFolder : "",
                                         settree::TForm1::ExecutableFolder()),
        nullptr, &filesAhead);
    filesAhead.Release(); // what the window did not take
    window.show();
    return app.exec();
}
