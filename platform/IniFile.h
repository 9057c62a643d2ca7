#pragma once
// An INI file on disk, as the settings file uses it: read whole when the object is made,
// changed in memory, and written back whole by UpdateFile. The rules of the text are those of
// IniDocument.
//
// A save goes through ReplaceFileContents, which never leaves a half-written file. Only a
// regular file is read: a FIFO or a device in its place is never opened, so it cannot hold up
// the start.

#include <cstdint>
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

    const std::string& FileName() const { return path_; }

    // The text of the key; `fallback` when it is absent.
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view fallback) const;
    // The number of the key; `fallback` when it is absent or not a whole number (ParseInt32).
    int32_t ReadInteger(std::string_view section, std::string_view key, int32_t fallback) const;
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int32_t value);

    // Writes the whole text to the file; raises IniFileError when it cannot. A file that held
    // text but not one key in the sections written to was not understood (another encoding,
    // another program's file, noise): it is left as it is and the error says so.
    void UpdateFile();

private:
    std::string path_;
    IniDocument doc_;
    bool read_ = false;          // the file was there and was read
    bool wroteKeysRead_ = false; // a write went to a section that held keys when read
};

} // namespace platform
