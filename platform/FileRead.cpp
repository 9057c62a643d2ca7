#include "platform/FileRead.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace platform {

namespace {

FileRead Outcome(FileRead::Outcome outcome, size_t limit, int error = 0) {
    FileRead read;
    read.outcome = outcome;
    read.error = error;
    read.limit = limit;
    return read;
}

FileRead NotAFile(const struct stat& st, size_t limit) {
    FileRead read = Outcome(FileRead::Outcome::NotAFile, limit);
    read.folder = S_ISDIR(st.st_mode);
    return read;
}

std::string Size(size_t bytes) {
    constexpr size_t Kilo = 1024, Mega = Kilo * Kilo;
    if (bytes >= Mega && bytes % Mega == 0) return std::to_string(bytes / Mega) + " MB";
    if (bytes >= Kilo && bytes % Kilo == 0) return std::to_string(bytes / Kilo) + " KB";
    return std::to_string(bytes) + " bytes";
}

} // namespace

std::string FileRead::Reason() const {
    switch (outcome) {
    case Outcome::Read:
        return {};
    case Outcome::NotAFile:
        return "It is not a file";
    case Outcome::TooLarge:
        return "It is larger than " + Size(limit);
    case Outcome::Missing:
    case Outcome::Failed:
        break;
    }
    return std::strerror(error);
}

FileRead ReadRegularFile(const std::string& path, size_t mostBytes) {
    // What is there is looked at before anything is opened.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return Outcome(errno == ENOENT ? FileRead::Outcome::Missing : FileRead::Outcome::Failed,
                       mostBytes, errno);
    if (!S_ISREG(st.st_mode)) return NotAFile(st, mostBytes);

    // Without blocking, should a FIFO have taken the file's place since.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return Outcome(errno == ENOENT ? FileRead::Outcome::Missing : FileRead::Outcome::Failed,
                       mostBytes, errno);
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    if (::fstat(fd, &st) != 0) return Outcome(FileRead::Outcome::Failed, mostBytes, errno);
    if (!S_ISREG(st.st_mode)) return NotAFile(st, mostBytes);
    // A regular file it is: reads wait for the disk as they should.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);

    if (static_cast<uintmax_t>(st.st_size) > mostBytes)
        return Outcome(FileRead::Outcome::TooLarge, mostBytes);

    FileRead read = Outcome(FileRead::Outcome::Read, mostBytes);
    // Straight into the text at the size the file has; one byte beyond the limit tells a file
    // that is too large, however it grows meanwhile.
    const size_t cap = mostBytes + 1;
    read.bytes.resize(static_cast<size_t>(st.st_size) + 1);
    size_t done = 0;
    while (done < cap) {
        if (done == read.bytes.size()) read.bytes.resize(std::min(cap, 2 * done + 4096));
        const ssize_t got = ::read(fd, read.bytes.data() + done, read.bytes.size() - done);
        if (got < 0) {
            if (errno == EINTR) continue;
            return Outcome(FileRead::Outcome::Failed, mostBytes, errno);
        }
        if (got == 0) break;
        done += static_cast<size_t>(got);
    }
    if (done > mostBytes) return Outcome(FileRead::Outcome::TooLarge, mostBytes);
    read.bytes.resize(done);
    return read;
}

} // namespace platform
