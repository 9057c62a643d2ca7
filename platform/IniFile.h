#pragma once
// An INI file on disk, as the settings file uses it: read whole when the object is made,
// changed in memory, and written back whole by UpdateFile. The rules of the text are those of
// IniDocument.
//
// A save never leaves a half-written file: the text goes to a new file beside the old one,
// is flushed to the disk and then renamed over it, so a crash, a full disk or a kill leaves
// either the old file or the new one, whole. The new file gets the old one's owner, rights and
// extended attributes (its ACL among them); what a killed save left beside the file under the
// new file's name is removed at the next save. Where that cannot be done although the file
// itself may be written (a folder this user may not add to, a file of another owner that the
// rename would take over, an attribute this user cannot give the new file), the file is written
// in place, synced: a longer text takes its room first, so that a full disk leaves the old file
// as it was.
//
// A file is read-only when this user may not write it (another owner's file, a read-only
// mount) and when its write permissions are all off, as the operator meant it: it is not
// replaced. Only a regular file is read or written: a FIFO or a device in its place is never
// opened, so it cannot hold up the start.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

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

// Replaces the contents of the file at path (made when missing) as described above; raises
// IniFileError naming the file when it cannot. A symbolic link is followed: the file it
// names is replaced, or made when it does not exist yet, and the link stays.
void ReplaceFileContents(const std::string& path, std::string_view bytes);

// Tests only: the next replacement writes `afterBytes` bytes of its new file and then fails as
// the disk would with `error` (ENOSPC for a full disk), or ends the process there as a kill
// does. One-shot; nothing armed: std::nullopt.
struct WriteFault {
    enum class Kind { Fail, Kill };
    size_t afterBytes = 0;
    Kind kind = Kind::Fail;
    int error = 28; // ENOSPC
};
void InjectWriteFault(std::optional<WriteFault> fault);

} // namespace platform
