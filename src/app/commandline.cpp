// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/commandline.h"

#include <exception>

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

void ReadElementFile(const std::string& fileName, TextLines& lines) {
    lines = ReadTreeText(ReadFileBytes(fileName));
}

void OpenCommandLineFile(const CommandLine& commandLine, StartupTarget& target) {
    const std::string& file = commandLine.FirstArgument();
    if (file.empty() || !FileExists(file))
        return;
    try {
        if (UpperCase(ExtractFileExt(file)) == ".PC") {
            RunBatchConversion(file, commandLine, target);
        } else {
            target.loadElementFile(file, target.lines);
            ParseElementText(target.lines, target.tree, target.feedback);
        }
    } catch (const std::exception& error) {
        target.errorReport.message(error.what());
    }
}

void RunBatchConversion(const std::string& pcFile, const CommandLine& commandLine,
                        StartupTarget& target) {
    const std::string treeFile = ChangeFileExt(pcFile, ".tree");
    // A .tree file that cannot be deleted is ignored: its descriptions are then read as usual.
    if (commandLine.Has(kDeleteSwitch) && FileExists(treeFile))
        DeleteFileIfExists(treeFile);
    const bool loaded =
        LoadPC(pcFile, target.tree, target.lines, target.feedback, target.decimalSeparator);
    // After a failed load the tree is empty or partly built: writing it would destroy the input.
    if (!loaded || !commandLine.Has(kSaveSwitch))
        return;
    SavePCFile(target.tree, pcFile);
    SaveElementText(target.lines, treeFile, target.feedback);
}

} // namespace settree
