// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace settree {

// Where the editor looks for the catalog program's files and for the program itself. Beside the
// executable, the files are in its subfolder "tessarocgams" and the program is the executable's
// neighbour. A program installed in a system folder has nothing beside it, so a folder may be
// named instead (--catalog DIR, SETTREE_CATALOG): it stands for "tessarocgams", and the program
// is looked for in its parent folder, as it would be beside the executable.
class CatalogLocation {
public:
    // exeFolder ends in a separator.
    static CatalogLocation BesideExecutable(const std::string& exeFolder);
    // A folder that stands for "tessarocgams", with or without a trailing separator.
    static CatalogLocation InFolder(const std::string& catalogFolder);
    // The folder named by the command line when there is one (not empty), else the one named by
    // the environment (not empty), else the place beside the executable.
    static CatalogLocation Choose(const std::string& commandLineFolder,
                                  const std::string& environmentFolder,
                                  const std::string& exeFolder);

    // The classification index: the catalog folder followed by "pcclassifications.gms".
    std::string IndexFile() const { return folder_ + "pcclassifications.gms"; }
    // The folder of the catalog files, ending in a separator.
    const std::string& Folder() const { return folder_; }
    // The folder where the catalog program is looked for ("" is the current folder).
    const std::string& ProgramFolder() const { return programFolder_; }
    // Whether "tessaroc.exe" or "tessaroc" exists in the program folder.
    bool ProgramPresent() const;

private:
    CatalogLocation(std::string folder, std::string programFolder)
        : folder_(std::move(folder)), programFolder_(std::move(programFolder)) {}

    std::string folder_;
    std::string programFolder_;
};

} // namespace settree
