#pragma once
// The version information of the program file, laid out as a version block: the fixed file
// version, the list of translations and the strings of each translation by their query key.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct FileVersion {
    uint16_t Major = 0;
    uint16_t Minor = 0;
    uint16_t Release = 0;
    uint16_t Build = 0;
};

struct VersionTranslation {
    uint16_t Language = 0;
    uint16_t CodePage = 0;
};

struct VersionBlock {
    FileVersion Fixed;
    std::vector<VersionTranslation> Translations;
    // Values by key, "\StringFileInfo\040904E4\Comments" for instance.
    std::map<std::string, std::string> Strings;
};

// The program's own block: the version the build sets, and one translation (U.S. English,
// Windows Latin-1) with empty comments.
const VersionBlock& ProgramVersion();

// "V01.02.00" for 1.2.0.0: major, minor and release, two digits at least; the build is not
// shown.
std::string VersionText(const FileVersion& version);

// The comments of every translation in the list, in its order; a translation without them
// gives nothing.
std::vector<std::string> VersionComments(const VersionBlock& block);
