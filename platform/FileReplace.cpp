#include "platform/FileReplace.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace platform {

namespace {

constexpr size_t WriteBlock = size_t{1} << 16;

std::optional<WriteFault> armedFault;

[[noreturn]] void Fail(const std::string& path, const std::string& reason, bool existed = true) {
    throw FileWriteError(path, reason, existed);
}

std::string Reason(int error) {
    return std::strerror(error);
}

// A descriptor closed on every way out.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    // Closes now and tells whether the last data reached the file.
    int Close() {
        const int result = ::close(fd_);
        fd_ = -1;
        return result;
    }

private:
    int fd_;
};

// Writes all bytes at `offset`, or returns the errno of the write that failed; `done` tells how
// many were written.
int WriteAll(int fd, std::string_view bytes, off_t offset, size_t& done) {
    std::optional<WriteFault> fault;
    fault.swap(armedFault);
    done = 0;
    while (done < bytes.size()) {
        size_t chunk = std::min(WriteBlock, bytes.size() - done);
        if (fault) {
            if (done >= fault->afterBytes) {
                if (fault->kind == WriteFault::Kind::Kill) ::kill(::getpid(), SIGKILL);
                return fault->error;
            }
            chunk = std::min(chunk, fault->afterBytes - done);
        }
        const ssize_t written =
            ::pwrite(fd, bytes.data() + done, chunk, offset + static_cast<off_t>(done));
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        done += static_cast<size_t>(written);
    }
    if (fault && fault->kind == WriteFault::Kind::Kill) ::kill(::getpid(), SIGKILL);
    return 0;
}
int WriteAll(int fd, std::string_view bytes, off_t offset) {
    size_t done = 0;
    return WriteAll(fd, bytes, offset, done);
}

mode_t NewFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Takes an exclusive lock, waiting until the deadline for whoever holds it. False with errno
// EWOULDBLOCK when the time ran out, or with the error of a file system that has no locks.
bool LockBy(int fd, std::chrono::steady_clock::time_point deadline) {
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK) return false;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(5));
    }
}

std::string TurnNotHad() {
    return "It is held by another save that did not end within " +
           std::to_string(SaveTurnWait.count()) + " seconds";
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Where a save of path writes: the file a symbolic link leads to, through a chain of links,
// also when that file does not exist yet (a followed link makes it). Links among the folders
// on the way are the system's to follow.
std::string SaveTarget(const std::string& path) {
    constexpr int MostLinks = 40; // as the system follows them
    std::string target = path;
    for (int links = 0;; ++links) {
        struct stat st {};
        if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return target;
        if (links == MostLinks) Fail(path, Reason(ELOOP));
        std::string to(static_cast<size_t>(std::max<off_t>(st.st_size, 0)) + PATH_MAX, '\0');
        const ssize_t size = ::readlink(target.c_str(), to.data(), to.size());
        if (size < 0) Fail(path, Reason(errno));
        to.resize(static_cast<size_t>(size));
        target = !to.empty() && to.front() == '/' ? to : FolderOf(target) + "/" + to;
    }
}

// The name a new file has while it is given its place: hidden, and saying whose it is, so that
// no person gives it to a file of their own. The six characters are those of mkostemp.
constexpr std::string_view NewFileMark = ".calbrix-save-";
constexpr std::string_view NameCharacters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr size_t NameRandom = 6;

std::string NewFileStem(const std::string& target) {
    return FolderOf(target) + "/." + NameOf(target) + std::string(NewFileMark);
}

bool IsNewFileNameOf(std::string_view name, std::string_view file) {
    const size_t stem = 1 + file.size() + NewFileMark.size();
    if (name.size() != stem + NameRandom || name.front() != '.' ||
        name.substr(1, file.size()) != file ||
        name.substr(1 + file.size(), NewFileMark.size()) != NewFileMark)
        return false;
    return name.substr(stem).find_first_not_of(NameCharacters) == std::string_view::npos;
}

std::string RandomName() {
    unsigned char random[NameRandom] = {};
    for (size_t got = 0; got < sizeof random;) {
        const ssize_t n = ::getrandom(random + got, sizeof random - got, 0);
        if (n > 0) {
            got += static_cast<size_t>(n);
        } else if (errno != EINTR) {
            // No random source: the clock's nanoseconds still part two saves.
            const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
            for (; got < sizeof random; ++got)
                random[got] = static_cast<unsigned char>(now >> (8 * got));
        }
    }
    std::string name;
    for (const unsigned char r : random) name += NameCharacters[r % NameCharacters.size()];
    return name;
}

// Removes what saves that were killed midway left beside the file: regular files of this
// user under the new file's name. A save that is still at work holds the lock of its new file,
// and its file stays; one whose file goes before it could lock it makes another.
void RemoveLeftovers(const std::string& target) {
    DIR* dir = ::opendir(FolderOf(target).c_str());
    if (!dir) return;
    const std::string file = NameOf(target);
    const int at = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        if (!IsNewFileNameOf(entry->d_name, file)) continue;
        struct stat named {};
        if (::fstatat(at, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(named.st_mode) || named.st_uid != ::geteuid())
            continue;
        int fd = -1;
        for (const int access : {O_WRONLY, O_RDONLY}) {
            fd = ::openat(at, entry->d_name,
                          access | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
            if (fd >= 0 || errno != EACCES) break;
        }
        Descriptor leftover(fd);
        struct stat opened {};
        if (leftover.get() < 0 || ::fstat(leftover.get(), &opened) != 0 ||
            !SameFile(opened, named) || ::flock(leftover.get(), LOCK_EX | LOCK_NB) != 0)
            continue;
        // Still the file that was looked at, not one renamed into its place since.
        if (::fstatat(at, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            SameFile(named, opened))
            ::unlinkat(at, entry->d_name, 0);
    }
    ::closedir(dir);
}

// The new file of a save, locked from the moment another save could see it. Without a name
// where the file system makes such files, and named only just before the rename; else under
// a name of NewFileStem from the start. One not renamed into place is taken away again.
class NewFile {
public:
    NewFile(const std::string& target, mode_t mode) : stem_(NewFileStem(target)) {
        const std::string folder = FolderOf(target);
        fd_ = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
        if (fd_ >= 0) {
            // Nobody can reach it yet: the lock is had at once, and goes with it to its name.
            // Where the file system has no locks, no other save can take one to remove it.
            (void)::flock(fd_, LOCK_EX | LOCK_NB);
            return;
        }
        // No file without a name on this file system (or an old kernel).
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            error_ = errno;
            return;
        }
        MakeNamed();
    }
    ~NewFile() { Discard(); }
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    // 0 when it was made; else its errno.
    int Error() const { return error_; }
    int Fd() const { return fd_; }

    // Gives it a name where it has none and renames it over the target: 0, or the errno of
    // what failed (Discard then takes it away).
    int RenameOver(const std::string& target) {
        if (name_.empty())
            if (const int error = GiveName()) return error;
        if (::rename(name_.c_str(), target.c_str()) != 0) return errno;
        name_.clear();
        return 0;
    }

    // Takes the file away; its lock goes with it.
    void Discard() {
        if (!name_.empty()) ::unlink(name_.c_str());
        name_.clear();
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    void MakeNamed() {
        const auto deadline = std::chrono::steady_clock::now() + SaveTurnWait;
        for (;;) {
            std::string name = stem_ + "XXXXXX";
            fd_ = ::mkostemp(name.data(), O_CLOEXEC);
            if (fd_ < 0) {
                error_ = errno;
                return;
            }
            // Another save that cleans up may hold it for a moment, or have taken it away
            // before it was locked: then it is unlinked, and another is made.
            struct stat opened {
            }, named{};
            if (!LockBy(fd_, deadline) && errno == EWOULDBLOCK) {
                error_ = errno;
                ::unlink(name.c_str());
                return;
            }
            if (::fstat(fd_, &opened) == 0 && ::stat(name.c_str(), &named) == 0 &&
                SameFile(opened, named)) {
                name_ = std::move(name);
                return;
            }
            ::close(fd_);
            fd_ = -1;
        }
    }

    // A name for the file made without one, just before the rename.
    int GiveName() {
        for (;;) {
            std::string name = stem_ + RandomName();
            int result = ::linkat(fd_, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH);
            if (result != 0 && errno == ENOENT) {
                // Without the privilege to link a descriptor: through its entry in /proc.
                const std::string proc = "/proc/self/fd/" + std::to_string(fd_);
                result =
                    ::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW);
            }
            if (result == 0) {
                name_ = std::move(name);
                return 0;
            }
            if (errno != EEXIST) return errno;
        }
    }

    std::string stem_;
    std::string name_; // its name while it has one
    int fd_ = -1;
    int error_ = 0;
};

// The extended attributes of a file, by name.
using Attributes = std::vector<std::pair<std::string, std::string>>;

// Lists the names (listxattr and flistxattr) or reads a value (getxattr and fgetxattr) into a
// buffer that grows until it holds it; nothing when the call fails.
template <typename Call> std::optional<std::string> XattrBytes(Call call) {
    for (;;) {
        const ssize_t size = call(nullptr, 0);
        if (size < 0) return std::nullopt;
        std::string bytes(static_cast<size_t>(size), '\0');
        const ssize_t got = call(bytes.data(), bytes.size());
        if (got >= 0) {
            bytes.resize(static_cast<size_t>(got));
            return bytes;
        }
        if (errno != ERANGE) return std::nullopt; // else it grew in between
    }
}

std::vector<std::string> Names(const std::string& list) {
    std::vector<std::string> names;
    for (size_t at = 0; at < list.size();) {
        const size_t end = list.find('\0', at);
        names.push_back(list.substr(at, end - at));
        at = end == std::string::npos ? list.size() : end + 1;
    }
    return names;
}

// The old file's attributes; nothing when they cannot all be read. A file system without
// extended attributes has none.
std::optional<Attributes> AttributesOf(const std::string& file) {
    const auto list = XattrBytes(
        [&](char* buffer, size_t size) { return ::listxattr(file.c_str(), buffer, size); });
    if (!list) {
        if (errno == ENOTSUP) return Attributes{};
        return std::nullopt;
    }
    Attributes attributes;
    for (const std::string& name : Names(*list)) {
        auto value = XattrBytes([&](char* buffer, size_t size) {
            return ::getxattr(file.c_str(), name.c_str(), buffer, size);
        });
        if (!value) {
            if (errno == ENODATA) continue; // gone since the list
            return std::nullopt;
        }
        attributes.emplace_back(name, std::move(*value));
    }
    return attributes;
}

// Gives the new file the old one's extended attributes, its ACL among them, and takes away an
// ACL or user attribute the old one had not (a default ACL of the folder hands one to each new
// file). False when that cannot be done: the rename would change what the file carries.
bool CarryAttributes(const std::string& from, int to) {
    const auto attributes = AttributesOf(from);
    if (!attributes) return false;
    for (const auto& [name, value] : *attributes) {
        if (::fsetxattr(to, name.c_str(), value.data(), value.size(), 0) == 0) continue;
        // Not settable here, which is no loss when the new file has it as it was already (a
        // label the system gives each file).
        const auto has = XattrBytes([&, &name = name](char* buffer, size_t size) {
            return ::fgetxattr(to, name.c_str(), buffer, size);
        });
        if (has != value) return false;
    }
    const auto list =
        XattrBytes([&](char* buffer, size_t size) { return ::flistxattr(to, buffer, size); });
    if (!list) return errno == ENOTSUP;
    for (const std::string& name : Names(*list)) {
        // Labels of the security modules are the system's to give.
        if (name.starts_with("security.")) continue;
        const bool old =
            std::any_of(attributes->begin(), attributes->end(),
                        [&](const auto& attribute) { return attribute.first == name; });
        if (!old && ::fremovexattr(to, name.c_str()) != 0) return false;
    }
    return true;
}

} // namespace

// The whole text written over the file itself and synced: the way left where no new file can
// take its place. A longer text first takes the room it needs, its part beyond the old end
// written there and synced (a network file system reports a full disk only then): where that
// fails, the old end is restored and the file is as it was. Overwriting the old text then
// takes no new room, except on a file system that copies what is written over: a failure
// before the first byte of it leaves the file as it was, a later one may leave it part old,
// part new, and says so.
void SaveTurn::WriteInPlace(std::string_view bytes) {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) Fail(path_, Reason(errno) + via_);
    auto failWith = [&](int error) {
        Fail(path_,
             Reason(error) + via_ + ". The file was being written in place and may be incomplete");
    };
    // The old end back, synced: the file as it was.
    auto restore = [&](int error) {
        if (::ftruncate(fd_, st.st_size) != 0 || ::fdatasync(fd_) != 0) failWith(error);
        Fail(path_, Reason(error) + via_);
    };
    const size_t oldSize = static_cast<size_t>(std::max<off_t>(st.st_size, 0));
    const bool longer = bytes.size() > oldSize;
    if (longer) {
        int error = WriteAll(fd_, bytes.substr(oldSize), st.st_size);
        if (!error && ::fdatasync(fd_) != 0) error = errno;
        if (error) restore(error);
    }
    size_t overwritten = 0;
    if (const int error = WriteAll(fd_, bytes.substr(0, oldSize), 0, overwritten)) {
        if (overwritten == 0) {
            if (longer) restore(error);
            Fail(path_, Reason(error) + via_);
        }
        failWith(error);
    }
    if (::ftruncate(fd_, static_cast<off_t>(bytes.size())) != 0) failWith(errno);
    if (::fsync(fd_) != 0) failWith(errno);
    const int closed = ::close(fd_);
    fd_ = -1;
    if (closed != 0) failWith(errno);
}

FileWriteError::FileWriteError(const std::string& path, std::string reason, bool existed)
    : std::runtime_error("Cannot write file \"" + path + "\". " + reason + "."),
      reason_(std::move(reason)), existed_(existed) {}

void InjectWriteFault(std::optional<WriteFault> fault) {
    armedFault = fault;
}

SaveTurn::SaveTurn(std::string path) : path_(std::move(path)) {
    try {
        Take();
    } catch (const FileWriteError& e) {
        error_ = e;
        End();
    }
}

SaveTurn::~SaveTurn() {
    End();
}

void SaveTurn::End() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void SaveTurn::Take() {
    // No name, or a folder's: nothing to replace, and no leftovers of a name to look for.
    if (NameOf(path_).empty()) Fail(path_, Reason(path_.empty() ? ENOENT : EISDIR), false);
    target_ = SaveTarget(path_);
    if (NameOf(target_).empty()) Fail(path_, Reason(EISDIR));
    // An error about a file a link leads to says where that is.
    via_ = target_ == path_ ? "" : " (the link leads to \"" + target_ + "\")";
    const auto deadline = std::chrono::steady_clock::now() + SaveTurnWait;
    for (;;) {
        struct stat st {};
        if (::stat(target_.c_str(), &st) != 0) return; // a new file: nothing to lock
        if (!S_ISREG(st.st_mode)) Fail(path_, "It is not a file" + via_);
        // Read-only as the operator set it (no write permission for anyone), or as the system
        // has it for this user: another owner's file, a read-only mount.
        if ((st.st_mode & 0222) == 0 ||
            ::faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0)
            Fail(path_, "The file is read-only" + via_);
        // Opened to write, as a lock of a network file system wants it; never a FIFO.
        fd_ = ::open(target_.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd_ < 0) {
            if (errno == ENOENT) continue; // gone since: made anew
            Fail(path_, Reason(errno) + via_);
        }
        if (::fstat(fd_, &st) != 0) Fail(path_, Reason(errno) + via_);
        if (!S_ISREG(st.st_mode)) Fail(path_, "It is not a file" + via_);
        if (!LockBy(fd_, deadline)) {
            if (errno == EWOULDBLOCK) Fail(path_, TurnNotHad() + via_);
            // A file system without locks: the save goes on alone, as it must.
        }
        // The save before may have renamed its new file over the one locked here.
        struct stat now {};
        if (::stat(target_.c_str(), &now) == 0 && SameFile(now, st)) {
            exists_ = true;
            mode_ = st.st_mode & 07777;
            uid_ = st.st_uid;
            gid_ = st.st_gid;
            links_ = st.st_nlink;
            return;
        }
        End();
        if (std::chrono::steady_clock::now() >= deadline) Fail(path_, TurnNotHad() + via_);
    }
}

void SaveTurn::Replace(std::string_view bytes) {
    struct Ending {
        SaveTurn& turn;
        ~Ending() { turn.End(); }
    } ending{*this};
    if (error_) throw *error_;
    const std::string& path = path_;
    const std::string& target = target_;
    const std::string& via = via_;
    // Every name of the file must show the new text; a rename would split them.
    if (exists_ && links_ > 1) return WriteInPlace(bytes);

    RemoveLeftovers(target);
    NewFile made(target, exists_ ? mode_ : NewFileMode());
    if (const int error = made.Error()) {
        // A folder this user may not add to, or a name too long for the new file's, with a
        // file in it that this user may write.
        if (exists_ && (error == EACCES || error == EPERM || error == ENAMETOOLONG)) {
            made.Discard();
            return WriteInPlace(bytes);
        }
        Fail(path, Reason(error) + via, exists_);
    }
    const int fd = made.Fd();
    // From here on a failure takes the new file away again; the old one was never touched.
    auto failWith = [&](int error) { Fail(path, Reason(error) + via, exists_); };
    // The new file has the old one's owner, rights and attributes (its ACL among them). Where
    // this user cannot give it all of them, the rename would change them: it is written in
    // place.
    if (exists_) {
        (void)::fchown(fd, uid_, gid_);
        struct stat st {};
        if (::fstat(fd, &st) != 0) failWith(errno);
        ::fchmod(fd, mode_);
        if (st.st_uid != uid_ || st.st_gid != gid_ || !CarryAttributes(target, fd)) {
            made.Discard();
            return WriteInPlace(bytes);
        }
    } else {
        ::fchmod(fd, NewFileMode()); // failure changes nothing
    }
    if (const int error = WriteAll(fd, bytes, 0)) failWith(error);
    if (::fsync(fd) != 0) failWith(errno);
    if (const int error = made.RenameOver(target)) {
        // A file that is a mount point of its own (a bind mount) is not renamed over, and a
        // name that leaves no room for the new file's is not given it.
        if (exists_ && (error == EBUSY || error == EXDEV || error == ENAMETOOLONG)) {
            made.Discard();
            return WriteInPlace(bytes);
        }
        failWith(error);
    }
    // The data reached the disk with the sync; the rename reaches it with the folder. The old
    // file's lock goes after the rename, with the turn.
    made.Discard();
    Descriptor folder(::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0) ::fsync(folder.get());
}

void ReplaceFileContents(const std::string& path, std::string_view bytes) {
    SaveTurn(path).Replace(bytes);
}

} // namespace platform
