#pragma once
// The program's folders on the drive of the program: the maker folder, in it the data folder
// where reports are offered for saving, and in that the settings file. What stands for the
// drive is the process service's data root. A simulated bench has a data folder of its own
// beside the real bench's, so that nothing it does (its self-test resetting the counter, its
// operators, its reports) reaches the real bench's files.

#include <string>

namespace definitions {

struct DataFolders {
    std::string Maker; // ends with '/'
    std::string Data;  // ends with '/'
    std::string SettingsFile;
};

enum class Bench { Real, Simulated };

DataFolders DataFoldersFor(const std::string& dataRoot, Bench bench = Bench::Real);

// Makes the maker folder and then the data folder where they are missing, one level each;
// the first folder that neither exists nor could be made, or "" when both are there.
std::string FirstFolderNotMade(const DataFolders& folders);

// The error text for a folder that could not be made.
std::string CantCreateDirectoryText(const std::string& folder);

} // namespace definitions
