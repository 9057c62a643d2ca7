#include "platform/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/FileRead.h"

namespace platform {

namespace {

// Far beyond any settings file; a bigger one is not read into memory at every start.
constexpr size_t MaxFileBytes = size_t{64} << 20;
constexpr size_t WriteBlock = size_t{1} << 16;

std::optional<WriteFault> armedFault;

[[noreturn]] void Fail(const char* verb, const std::string& path, const std::string& reason) {
    throw IniFileError(std::string("Cannot ") + verb + " file \"" + path + "\". " + reason + ".");
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

// The whole file, nothing when it does not exist.
std::optional<std::string> ReadWhole(const std::string& path) {
    FileRead read = ReadRegularFile(path, MaxFileBytes);
    if (read.outcome == FileRead::Outcome::Missing) return std::nullopt;
    if (!read.Ok()) Fail("read", path, read.Reason());
    return std::move(read.bytes);
}

// Writes all bytes, or returns the errno of the write that failed.
int WriteAll(int fd, std::string_view bytes) {
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
        const ssize_t written = ::write(fd, bytes.data() + done, chunk);
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

// The whole text written over the file itself, flushed and synced: the way left where no new
// file can be put beside it. The room is taken first, so a full disk fails before a byte of
// the old text is gone; a failure after that may leave the file part old, part new.
void WriteInPlace(const std::string& path, const std::string& target, std::string_view bytes) {
    Descriptor fd(::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) Fail("write", path, Reason(errno));
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) Fail("write", path, Reason(errno));
    if (!S_ISREG(st.st_mode)) Fail("write", path, "It is not a file");
    const auto size = static_cast<off_t>(bytes.size());
    if (size > 0) {
        const int error = ::posix_fallocate(fd.get(), 0, size);
        if (error == ENOSPC || error == EDQUOT || error == EFBIG)
            Fail("write", path, Reason(error));
    }
    auto failWith = [&](int error) {
        Fail("write", path,
             Reason(error) + ". The file was being written in place and may be incomplete");
    };
    if (const int error = WriteAll(fd.get(), bytes)) failWith(error);
    if (::ftruncate(fd.get(), size) != 0) failWith(errno);
    if (::fsync(fd.get()) != 0) failWith(errno);
    if (fd.Close() != 0) failWith(errno);
}

} // namespace

void InjectWriteFault(std::optional<WriteFault> fault) {
    armedFault = fault;
}

void ReplaceFileContents(const std::string& path, std::string_view bytes) {
    std::string target = path;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* resolved = ::realpath(path.c_str(), nullptr)) {
            target = resolved;
            std::free(resolved);
        }
    }
    mode_t mode = NewFileMode();
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists) {
        if (!S_ISREG(st.st_mode)) Fail("write", path, "It is not a file");
        // Read-only as the operator set it (no write permission for anyone), or as the system
        // has it for this user: another owner's file, a read-only mount.
        if ((st.st_mode & 0222) == 0 ||
            ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
            Fail("write", path, "The file is read-only");
        mode = st.st_mode & 07777;
    }

    std::vector<char> temp(target.begin(), target.end());
    for (const char c : std::string_view(".XXXXXX")) temp.push_back(c);
    temp.push_back('\0');
    Descriptor fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (fd.get() < 0) {
        // A folder this user may not add to, with a file in it that this user may write.
        if (exists && (errno == EACCES || errno == EPERM)) return WriteInPlace(path, target, bytes);
        Fail("write", path, Reason(errno));
    }
    // From here on a failure takes the new file away again; the old one was never touched.
    auto failWith = [&](int error) {
        ::unlink(temp.data());
        Fail("write", path, Reason(error));
    };
    // The new file has the old one's owner and rights. Where this user cannot give it the
    // owner, the rename would take the file over from its owner: it is written in place.
    if (exists) {
        (void)::fchown(fd.get(), st.st_uid, st.st_gid);
        struct stat made {};
        if (::fstat(fd.get(), &made) != 0) failWith(errno);
        if (made.st_uid != st.st_uid || made.st_gid != st.st_gid) {
            ::unlink(temp.data());
            return WriteInPlace(path, target, bytes);
        }
    }
    ::fchmod(fd.get(), mode); // failure changes nothing
    if (const int error = WriteAll(fd.get(), bytes)) failWith(error);
    if (::fsync(fd.get()) != 0) failWith(errno);
    if (fd.Close() != 0) failWith(errno);
    if (::rename(temp.data(), target.c_str()) != 0) failWith(errno);
    // The rename itself reaches the disk with the folder.
    Descriptor folder(::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0) ::fsync(folder.get());
}

IniFile::IniFile(std::string path) : path_(std::move(path)) {
    if (auto bytes = ReadWhole(path_)) doc_ = IniDocument::Parse(std::move(*bytes));
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view fallback) const {
    auto value = doc_.Find(section, key);
    return value ? std::move(*value) : std::string(fallback);
}

int32_t IniFile::ReadInteger(std::string_view section, std::string_view key,
                             int32_t fallback) const {
    const auto value = doc_.Find(section, key);
    if (!value) return fallback;
    return ParseInt32(*value).value_or(fallback);
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    doc_.Write(section, key, value);
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
    doc_.Write(section, key, std::to_string(value));
}

void IniFile::UpdateFile() {
    ReplaceFileContents(path_, doc_.Serialize());
}

} // namespace platform
