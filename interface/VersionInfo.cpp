#include "interface/VersionInfo.h"

#include <cstdio>

// The build passes the program's version, set once in the project.
#ifndef CALBRIX_VERSION_MAJOR
#error "the build sets CALBRIX_VERSION_MAJOR, _MINOR, _PATCH and _TWEAK"
#endif

namespace {
constexpr VersionTranslation UsEnglishLatin1{0x0409, 0x04E4};

std::string StringKey(const VersionTranslation& t, const char* name) {
    char key[64];
    std::snprintf(key, sizeof key, "\\StringFileInfo\\%08X\\%s",
                  static_cast<unsigned>(t.Language) << 16 | t.CodePage, name);
    return key;
}
} // namespace

const VersionBlock& ProgramVersion() {
    static const VersionBlock block = [] {
        VersionBlock b;
        b.Fixed = {CALBRIX_VERSION_MAJOR, CALBRIX_VERSION_MINOR, CALBRIX_VERSION_PATCH,
                   CALBRIX_VERSION_TWEAK};
        b.Translations = {UsEnglishLatin1};
        b.Strings[StringKey(UsEnglishLatin1, "Comments")] = "";
        return b;
    }();
    return block;
}

std::string VersionText(const FileVersion& version) {
    char text[32];
    std::snprintf(text, sizeof text, "V%02d.%02d.%02d", version.Major, version.Minor,
                  version.Release);
    return text;
}

std::vector<std::string> VersionComments(const VersionBlock& block) {
    std::vector<std::string> lines;
    for (const auto& translation : block.Translations)
        if (auto it = block.Strings.find(StringKey(translation, "Comments"));
            it != block.Strings.end())
            lines.push_back(it->second);
    return lines;
}
