// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/cataloglocation.h"

#include "model/textfile.h"

namespace settree {

namespace {

constexpr char kSeparator = '/';

} // namespace

CatalogLocation CatalogLocation::BesideExecutable(const std::string& exeFolder) {
    return CatalogLocation(exeFolder + "tessarocgams" + kSeparator, exeFolder);
}

CatalogLocation CatalogLocation::InFolder(const std::string& catalogFolder) {
    std::string folder = catalogFolder;
    while (folder.size() > 1 && folder.back() == kSeparator)
        folder.pop_back();
    if (folder == std::string(1, kSeparator)) // the root stands for itself and is its parent
        return CatalogLocation(folder, folder);
    std::string parent = ExtractFilePath(folder);
    folder.push_back(kSeparator);
    return CatalogLocation(std::move(folder), std::move(parent));
}

CatalogLocation CatalogLocation::Choose(const std::string& commandLineFolder,
                                        const std::string& environmentFolder,
                                        const std::string& exeFolder) {
    if (!commandLineFolder.empty())
        return InFolder(commandLineFolder);
    if (!environmentFolder.empty())
        return InFolder(environmentFolder);
    return BesideExecutable(exeFolder);
}

bool CatalogLocation::ProgramPresent() const {
    return FileExists(programFolder_ + "tessaroc.exe") || FileExists(programFolder_ + "tessaroc");
}

} // namespace settree
