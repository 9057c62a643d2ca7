#include "definitions/DataFolders.h"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

namespace definitions {

namespace {

// One level only: a missing parent is not made either.
bool FolderThere(const std::string& folder) {
    std::error_code ec;
    if (std::filesystem::is_directory(folder, ec)) return true;
    return ::mkdir(folder.c_str(), 0777) == 0;
}

} // namespace

DataFolders DataFoldersFor(const std::string& dataRoot, Bench bench) {
    DataFolders folders;
    folders.Maker = dataRoot + "/Tolvex/";
    folders.Data = folders.Maker +
                   (bench == Bench::Simulated ? "Calbrix Data (simulated bench)/" : "Calbrix Data/");
    folders.SettingsFile = folders.Data + "Calbrix.ini";
    return folders;
}

std::string FirstFolderNotMade(const DataFolders& folders) {
    if (!FolderThere(folders.Maker)) return folders.Maker;
    if (!FolderThere(folders.Data)) return folders.Data;
    return {};
}

std::string CantCreateDirectoryText(const std::string& folder) {
    return "Can't create directory \"" + folder + "\"";
}

} // namespace definitions
