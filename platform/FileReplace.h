#pragma once
// Replacing a file's whole contents, as the settings file and the saved reports are written.
//
// The ordinary way: the text goes to a new file beside the old one that has no name until it
// is complete (O_TMPFILE), is flushed to the disk, given a name and renamed over the old one.
// A crash, a full disk or a kill then leaves either the old file or the new one, whole, and
// nothing beside it. Where the file system makes no file without a name, the new file is made
// under a name no person would give (".Calbrix.ini.calbrix-save-" and six letters or digits);
// what a killed save left under such a name is removed at the next save, and nothing else: a
// leftover goes only when it has exactly that form, is a regular file of this user and no save
// holds its lock. The new file gets the old one's owner, rights and extended attributes (its
// ACL among them).
//
// In place: where that cannot be done although the file itself may be written (a folder this
// user may not add to, a file of another owner that the rename would take over, an attribute
// this user cannot give the new file, a file that is a mount point and cannot be renamed over,
// a file with a second hard link that a rename would split, a name too long to leave room for
// the new file's), the file is written over, synced.
// A longer text takes its room first, so that a full disk leaves the old file as it was. This
// way is not whole: a kill midway, or a copy-on-write file system out of room, can leave the
// file part old, part new, and an error says so where that may have happened.
//
// Saves of one file take turns: a save holds an exclusive lock on the file from the moment it
// may read it until the new text is in place, and a save that cannot have its turn within
// SaveTurnWait says so. Two saves at once thus leave one whole text, the one that came last.
//
// A file is read-only when this user may not write it (another owner's file, a read-only
// mount) and when its write permissions are all off, as the operator meant it: it is not
// replaced. Only a regular file is written: a FIFO or a device in its place is never opened.

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace platform {

// A file that could not be written: "Cannot write file "path". reason."
class FileWriteError : public std::runtime_error {
public:
    FileWriteError(const std::string& path, std::string reason, bool existed = true);
    // Why, without the file's name and without the closing full stop.
    const std::string& Reason() const { return reason_; }
    // Whether there was a file of that name to write over.
    bool Existed() const { return existed_; }

private:
    std::string reason_;
    bool existed_;
};

// How long a save waits for another save of the same file to end.
constexpr std::chrono::seconds SaveTurnWait{5};

// One save's turn at a file (made when missing): taken when the object is made, held until it
// goes. A symbolic link is followed: the file it names is replaced, or made when it does not
// exist yet, and the link stays. Taking the turn raises nothing: whatever stands in the way of
// the save (a read-only file, a link into a missing folder, a turn not had in time) is raised
// by Replace, so that a caller that reads the file first reads it as before.
class SaveTurn {
public:
    explicit SaveTurn(std::string path);
    ~SaveTurn();
    SaveTurn(const SaveTurn&) = delete;
    SaveTurn& operator=(const SaveTurn&) = delete;

    // Replaces the contents as described above; raises FileWriteError naming the file when it
    // cannot. The turn ends with it, whatever the outcome.
    void Replace(std::string_view bytes);

private:
    void Take();
    void WriteInPlace(std::string_view bytes);
    void End();

    std::string path_, target_;
    std::string via_; // where a link leads, for the errors
    int fd_ = -1;     // the old file, opened to write and locked; -1 when there is none
    bool exists_ = false;
    mode_t mode_ = 0;
    uid_t uid_ = 0;
    gid_t gid_ = 0;
    nlink_t links_ = 0;
    std::optional<FileWriteError> error_;
};

// A save of its own: SaveTurn(path).Replace(bytes).
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
