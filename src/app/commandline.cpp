// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/commandline.h"

#include <cerrno>
#include <exception>
#include <new>
#include <optional>
#include <sys/stat.h>

#include "formats/pcreader.h"
#include "formats/pcwriter.h"
#include "formats/treefile.h"
#include "model/caption.h"
#include "model/textfile.h"

namespace settree {

const std::string& CommandLine::FirstArgument() const {
    static const std::string none;
    return arguments_.empty() ? none : arguments_.front();
}

bool CommandLine::Matches(std::string_view argument, std::string_view switchName) {
    return UpperCase(argument) == switchName;
}

bool CommandLine::Has(std::string_view switchName) const {
    for (const std::string& argument : arguments_)
        if (Matches(argument, switchName))
            return true;
    return false;
}

bool TakeCatalogOption(std::vector<std::string>& arguments, std::string& folder) {
    static constexpr std::string_view kOption = "--catalog";
    std::vector<std::string> rest;
    rest.reserve(arguments.size());
    bool ok = true;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == kOption) {
            if (i + 1 == arguments.size() || arguments[i + 1].empty())
                ok = false;
            else
                folder = arguments[i + 1];
            ++i;
        } else if (argument.size() > kOption.size() && argument.starts_with(kOption) &&
                   argument[kOption.size()] == '=') {
            folder = argument.substr(kOption.size() + 1);
            ok = ok && !folder.empty();
        } else {
            rest.push_back(argument);
        }
    }
    arguments = std::move(rest);
    return ok;
}

bool CommandLine::IsSwitch(std::string_view argument) {
    return Matches(argument, kDeleteSwitch) || Matches(argument, kSaveSwitch) ||
           Matches(argument, kQuitSwitch);
}

void ReadElementFile(const std::string& fileName, TextLines& lines) {
    lines = ReadTreeText(ReadTextFile(fileName));
}

void OpenElementFile(const std::string& fileName, StartupTarget& target) {
    ReadElementFile(fileName, target.lines);
    ParseElementText(target.lines, target.tree, target.feedback);
}

namespace {

// Why a name leads to no file that can be opened: the errno value.
int missingFileError(const std::string& fileName) {
    struct stat info {};
    if (::stat(fileName.c_str(), &info) != 0)
        return errno;
    return S_ISDIR(info.st_mode) ? EISDIR : 0;
}

// Whether a file of the name is one that /DELETE removes: a regular file or a symlink (the link
// goes), never a device or a FIFO that happens to carry the name.
bool isDeletable(const std::string& fileName) {
    struct stat info {};
    return ::lstat(fileName.c_str(), &info) == 0 &&
           (S_ISREG(info.st_mode) || S_ISLNK(info.st_mode));
}

// Whether a regular file of the name holds anything.
bool holdsBytes(const std::string& fileName) {
    struct stat info {};
    return ::stat(fileName.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0;
}

} // namespace

void OpenCommandLineFile(const CommandLine& commandLine, StartupTarget& target) {
    const std::string& file = commandLine.FirstArgument();
    if (file.empty() || CommandLine::IsSwitch(file))
        return;
    if (!FileExists(file)) {
        if (target.unattended)
            target.errorReport.message(
                FileError("Cannot open file " + file, missingFileError(file)).Detailed());
        return;
    }
    try {
        if (UpperCase(ExtractFileExt(file)) == ".PC") {
            RunBatchConversion(file, commandLine, target);
        } else {
            if (target.openElementFile)
                target.openElementFile(file);
            else
                OpenElementFile(file, target);
        }
    } catch (const FileError& error) {
        target.errorReport.message(target.unattended ? error.Detailed() : error.what());
    } catch (const std::bad_alloc&) {
        target.errorReport.message(NotEnoughMemory(file).what());
    } catch (const std::exception& error) {
        target.errorReport.message(error.what());
    }
}

void StartReadingAhead(const CommandLine& commandLine, StartupFilesAhead& ahead) {
    const std::string& file = commandLine.FirstArgument();
    if (file.empty() || CommandLine::IsSwitch(file) || commandLine.Has(kQuitSwitch))
        return;
    if (UpperCase(ExtractFileExt(file)) != ".PC")
        ahead.text.emplace(file, [](const std::string& name) { return ReadTextFile(name, false); });
    else if (!commandLine.Has(kDeleteSwitch) && !commandLine.Has(kSaveSwitch))
        ahead.pc.emplace(file,
                         [](const std::string& name) { return ReadPcAndTreeBeside(name, false); });
}

void RunBatchConversion(const std::string& pcFile, const CommandLine& commandLine,
                        StartupTarget& target) {
    const std::string treeFile = ChangeFileExt(pcFile, ".tree");
    const bool save = commandLine.Has(kSaveSwitch);
    const bool withoutOldTree = commandLine.Has(kDeleteSwitch);
    // A .tree file that cannot be deleted is ignored: its descriptions are then read as usual.
    if (withoutOldTree && !save && isDeletable(treeFile))
        DeleteFileIfExists(treeFile);
    // With both switches the .tree file is written anew from the tuples alone, not read.
    std::optional<PcAndTreeBytes> ahead;
    if (target.filesAhead && target.filesAhead->pc && !withoutOldTree && !save)
        ahead = target.filesAhead->pc->Take(pcFile);
    PcAndTreeBytes files =
        ahead ? std::move(*ahead) : ReadPcAndTreeBeside(pcFile, false, !(withoutOldTree && save));
    bool loaded = false;
    if (target.showElementText && !save) {
        // The load lets the input go before it writes the text.
        target.showElementText([&](std::string& text, WrittenText* written) {
            loaded = LoadPCFromBytes(std::move(files.pc), std::move(files.tree), target.tree, text,
                                     target.feedback, target.decimalSeparator, written);
        });
    } else {
        loaded = LoadPCFromBytes(files.pc, files.tree ? &*files.tree : nullptr, target.tree,
                                 target.lines, target.feedback, target.decimalSeparator);
    }
    // After a failed load the tree is empty or partly built: writing it would destroy the input.
    if (!loaded || !save)
        return;
    if (target.tree.Count() == 0 && holdsBytes(treeFile)) {
        target.errorReport.message(pcFile + " holds no tuple: " + treeFile + " is left as it was");
        return;
    }
    SavePCFile(target.tree, pcFile, target.decimalSeparator);
    SaveElementText(target.lines, treeFile, target.feedback);
}

} // namespace settree
