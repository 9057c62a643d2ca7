#pragma once
// Replacing a file's whole contents, as the settings file and the saved reports are written.
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
// replaced. Only a regular file is written: a FIFO or a device in its place is never opened.

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace platform {

// A file that could not be written: "Cannot write file "path". reason."
class FileWriteError : public std::runtime_error {
public:
    FileWriteError(const std::string& path, std::string reason);
    // Why, without the file's name and without the closing full stop.
    const std::string& Reason() const { return reason_; }

private:
    std::string reason_;
};

// Replaces the contents of the file at path (made when missing) as described above; raises
// FileWriteError naming the file when it cannot. A symbolic link is followed: the file it
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
