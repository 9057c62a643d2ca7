#pragma once
// An INI file on disk, as the settings file uses it: read whole when the object is made,
// changed in memory, and written back whole by UpdateFile. The rules of the text are those of
// IniDocument.
//
// A save goes through SaveTurn (FileReplace.h). An object made for a save takes the save's
// turn before it reads the file and holds it until UpdateFile has written it, so that two
// saves at once do not read each other's half-written text. Only a regular file is read: a
// FIFO or a device in its place is never opened, so it cannot hold up the start.

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/FileReplace.h"
#include "platform/IniDocument.h"

namespace platform {

// A settings file that cannot be read or written; the text names the file and the reason.
class IniFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class IniFile {
public:
    // Reads the file when it exists; raises IniFileError when it exists but cannot be read.
    explicit IniFile(std::string path);
    // The same for a save: other saves of the file wait from now until UpdateFile (or until
    // the object goes), for at most SaveTurnWait.
    struct ForSave {};
    IniFile(std::string path, ForSave);

    const std::string& FileName() const { return path_; }

    // The text of the key; `fallback` when it is absent.
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view fallback) const;
    // The number of the key; `fallback` when it is absent or not a whole number (ParseInt32).
    int32_t ReadInteger(std::string_view section, std::string_view key, int32_t fallback) const;
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int32_t value);

    // Writes the whole text to the file and ends the save's turn; raises IniFileError when it
    // cannot. A file that is no text (noise, another program's data, an encoding not told
    // apart) and held no key in the sections written to was not understood: written back, it
    // would be lost under the new keys, so it is left as it is and the error says so.
    void UpdateFile();

private:
    void Read();

    std::string path_;
    IniDocument doc_;
    std::unique_ptr<SaveTurn> turn_; // held from the reading of a save to its writing
    bool read_ = false;              // the file was there and was read
    bool wroteKeysRead_ = false;     // a write went to a section that held keys when read
};

} // namespace platform
