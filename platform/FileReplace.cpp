#include "platform/FileReplace.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
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
#include <vector>

namespace platform {

namespace {

constexpr size_t WriteBlock = size_t{1} << 16;

std::optional<WriteFault> armedFault;

[[noreturn]] void Fail(const std::string& path, const std::string& reason) {
    throw FileWriteError(path, reason);
}

std::string Reason(int error) {
    return std::strerror(error);
}

// A descriptor closed on every way out.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
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

// Writes all bytes at `offset`, or returns the errno of the write that failed.
int WriteAll(int fd, std::string_view bytes, off_t offset) {
    std::optional<WriteFault> fault;
    fault.swap(armedFault);
    size_t done = 0;
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

// The name the save gives its new file: the file's, a dot and six letters or digits.
constexpr std::string_view TempSuffix = ".XXXXXX";
bool IsTempNameOf(std::string_view name, std::string_view file) {
    if (name.size() != file.size() + TempSuffix.size() || !name.starts_with(file) ||
        name[file.size()] != '.')
        return false;
    for (const char c : name.substr(file.size() + 1))
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    return true;
}

// Removes what saves that were killed midway left beside the file: regular files of the new
// file's name. A save that is still writing holds a lock on its new file, and its file stays.
void RemoveLeftovers(const std::string& target) {
    DIR* dir = ::opendir(FolderOf(target).c_str());
    if (!dir) return;
    const std::string file = NameOf(target);
    const int at = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        if (!IsTempNameOf(entry->d_name, file)) continue;
        int fd = -1;
        for (const int access : {O_RDONLY, O_WRONLY}) {
            fd = ::openat(at, entry->d_name,
                          access | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
            if (fd >= 0 || errno != EACCES) break;
        }
        if (fd < 0) continue;
        Descriptor leftover(fd);
        struct stat opened {
        }, named{};
        if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) continue;
        // Still the file that was looked at, not one renamed into its place since.
        if (::fstatat(at, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            named.st_ino == opened.st_ino && named.st_dev == opened.st_dev)
            ::unlinkat(at, entry->d_name, 0);
    }
    ::closedir(dir);
}

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

// The whole text written over the file itself and synced: the way left where no new file can
// take its place. A longer text first takes the room it needs, its part beyond the old end
// written there and synced (a network file system reports a full disk only then): where that
// fails, the old end is restored and the file is as it was. Overwriting the old text then
// takes no new room; a failure after that may leave the file part old, part new.
void WriteInPlace(const std::string& path, const std::string& target, const std::string& via,
                  std::string_view bytes) {
    Descriptor fd(::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) Fail(path, Reason(errno) + via);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) Fail(path, Reason(errno) + via);
    if (!S_ISREG(st.st_mode)) Fail(path, "It is not a file" + via);
    auto failWith = [&](int error) {
        Fail(path,
             Reason(error) + via + ". The file was being written in place and may be incomplete");
    };
    const size_t oldSize = static_cast<size_t>(std::max<off_t>(st.st_size, 0));
    if (bytes.size() > oldSize) {
        int error = WriteAll(fd.get(), bytes.substr(oldSize), st.st_size);
        if (!error && ::fdatasync(fd.get()) != 0) error = errno;
        if (error) {
            if (::ftruncate(fd.get(), st.st_size) != 0 || ::fdatasync(fd.get()) != 0)
                failWith(error);
            Fail(path, Reason(error) + via);
        }
    }
    if (const int error = WriteAll(fd.get(), bytes.substr(0, oldSize), 0)) failWith(error);
    if (::ftruncate(fd.get(), static_cast<off_t>(bytes.size())) != 0) failWith(errno);
    if (::fsync(fd.get()) != 0) failWith(errno);
    if (fd.Close() != 0) failWith(errno);
}

} // namespace

FileWriteError::FileWriteError(const std::string& path, std::string reason)
    : std::runtime_error("Cannot write file \"" + path + "\". " + reason + "."),
      reason_(std::move(reason)) {}

void InjectWriteFault(std::optional<WriteFault> fault) {
    armedFault = fault;
}

void ReplaceFileContents(const std::string& path, std::string_view bytes) {
    // No name, or a folder's: nothing to replace, and no leftovers of a name to look for.
    if (NameOf(path).empty()) Fail(path, Reason(path.empty() ? ENOENT : EISDIR));
    const std::string target = SaveTarget(path);
    if (NameOf(target).empty()) Fail(path, Reason(EISDIR));
    // An error about a file a link leads to says where that is.
    const std::string via = target == path ? "" : " (the link leads to \"" + target + "\")";
    mode_t mode = NewFileMode();
    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists) {
        if (!S_ISREG(st.st_mode)) Fail(path, "It is not a file" + via);
        // Read-only as the operator set it (no write permission for anyone), or as the system
        // has it for this user: another owner's file, a read-only mount.
        if ((st.st_mode & 0222) == 0 ||
            ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
            Fail(path, "The file is read-only" + via);
        mode = st.st_mode & 07777;
    }

    RemoveLeftovers(target);
    std::vector<char> temp(target.begin(), target.end());
    temp.insert(temp.end(), TempSuffix.begin(), TempSuffix.end());
    temp.push_back('\0');
    Descriptor fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (fd.get() < 0) {
        // A folder this user may not add to, with a file in it that this user may write.
        if (exists && (errno == EACCES || errno == EPERM))
            return WriteInPlace(path, target, via, bytes);
        Fail(path, Reason(errno) + via);
    }
    // Held until the rename, so that no other save takes the file for a leftover.
    ::flock(fd.get(), LOCK_EX | LOCK_NB);
    // From here on a failure takes the new file away again; the old one was never touched.
    auto failWith = [&](int error) {
        ::unlink(temp.data());
        Fail(path, Reason(error) + via);
    };
    // The new file has the old one's owner, rights and attributes (its ACL among them). Where
    // this user cannot give it all of them, the rename would change them: it is written in
    // place.
    if (exists) {
        (void)::fchown(fd.get(), st.st_uid, st.st_gid);
        struct stat made {};
        if (::fstat(fd.get(), &made) != 0) failWith(errno);
        ::fchmod(fd.get(), mode);
        if (made.st_uid != st.st_uid || made.st_gid != st.st_gid ||
            !CarryAttributes(target, fd.get())) {
            ::unlink(temp.data());
            return WriteInPlace(path, target, via, bytes);
        }
    } else {
        ::fchmod(fd.get(), mode); // failure changes nothing
    }
    if (const int error = WriteAll(fd.get(), bytes, 0)) failWith(error);
    if (::fsync(fd.get()) != 0) failWith(errno);
    if (::rename(temp.data(), target.c_str()) != 0) failWith(errno);
    // The data reached the disk with the sync; closing lets the lock go.
    fd.Close();
    // The rename itself reaches the disk with the folder.
    Descriptor folder(::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0) ::fsync(folder.get());
}

} // namespace platform
