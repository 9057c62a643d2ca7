#pragma once
// File-system situations that a test sets up: a FIFO in a file's place, watched for readers,
// a stretch of code run as another user, to try permissions under a test run as root, and the
// ACL and extended attributes of a file.

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

// A FIFO made at path, and a watch that tells whether anything opened it for reading. Opening
// a FIFO to read waits for a writer: the watch is that writer, so a reader that would wait for
// ever is let go at once (it reads an empty file) and is counted instead of hanging the test.
class FifoWatch {
public:
    explicit FifoWatch(std::string path) : path_(std::move(path)) {
        made_ = ::mkfifo(path_.c_str(), 0666) == 0;
        if (made_) thread_ = std::thread([this] { Watch(); });
    }
    ~FifoWatch() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    FifoWatch(const FifoWatch&) = delete;
    FifoWatch& operator=(const FifoWatch&) = delete;

    bool Made() const { return made_; }
    // How many times a reader was found holding the FIFO open.
    int Readers() const { return readers_; }

private:
    void Watch() {
        while (!stop_) {
            // Without blocking, a FIFO opens for writing only while someone has it open to read.
            const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                ++readers_;
                ::close(fd);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    std::string path_;
    bool made_ = false;
    std::atomic<bool> stop_{false};
    std::atomic<int> readers_{0};
    std::thread thread_;
};

// The file-system rights of an ordinary user from construction to destruction, in this process
// (root ignores permission bits). Under root those of "nobody", or of the ids given: only the
// effective ids change, so root's saved ids bring them back. A test run by an ordinary user is that
// user already and nothing changes. Switched() is false when root could not change them: such a
// test skips.
class AsOrdinaryUser {
public:
    static constexpr uid_t Uid = 65534;
    static constexpr gid_t Gid = 65534;

    explicit AsOrdinaryUser(uid_t uid = Uid, gid_t gid = Gid) {
        if (::geteuid() != 0) {
            switched_ = true; // already a user whom permissions bind
            return;
        }
        wasRoot_ = true;
        egid_ = ::getegid();
        groups_.resize(static_cast<size_t>(std::max(::getgroups(0, nullptr), 0)));
        if (::getgroups(static_cast<int>(groups_.size()), groups_.data()) < 0) groups_.clear();
        switched_ = ::setgroups(0, nullptr) == 0 && ::setegid(gid) == 0 && ::seteuid(uid) == 0;
        if (!switched_) Restore();
    }
    ~AsOrdinaryUser() { Restore(); }
    AsOrdinaryUser(const AsOrdinaryUser&) = delete;
    AsOrdinaryUser& operator=(const AsOrdinaryUser&) = delete;

    bool Switched() const { return switched_; }
    // Makes the ordinary user the owner of path, when root runs the test (an ordinary user
    // owns what it made already); false when that failed.
    static bool Give(const std::string& path, uid_t uid = Uid, gid_t gid = Gid) {
        return ::geteuid() != 0 || ::chown(path.c_str(), uid, gid) == 0;
    }
    // Whether the test runs as root, which may give files to other owners (asked before the
    // switch: after it, the answer is the ordinary user's).
    static bool Root() { return ::geteuid() == 0; }

private:
    void Restore() {
        if (!wasRoot_) return;
        wasRoot_ = false;
        (void)::seteuid(0);
        (void)::setegid(egid_);
        (void)::setgroups(groups_.size(), groups_.data());
    }

    bool wasRoot_ = false;
    bool switched_ = false;
    gid_t egid_ = 0;
    std::vector<gid_t> groups_;
};

// --- ACLs and extended attributes --------------------------------------------------------------

// An access ACL as the kernel keeps it: the owner, one more user and the owning group with their
// rights (rwx as 4 2 1), the mask, the others.
inline std::string Acl(unsigned ownerRights, uid_t user, unsigned userRights, unsigned groupRights,
                       unsigned mask, unsigned otherRights) {
    std::string bytes;
    auto put = [&](uint32_t value, int size) {
        for (int i = 0; i < size; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    auto entry = [&](uint16_t tag, unsigned rights, uint32_t id) {
        put(tag, 2);
        put(rights, 2);
        put(id, 4);
    };
    constexpr uint32_t NoId = 0xFFFFFFFF;
    put(2, 4); // version
    entry(0x01, ownerRights, NoId);
    entry(0x02, userRights, user);
    entry(0x04, groupRights, NoId);
    entry(0x10, mask, NoId);
    entry(0x20, otherRights, NoId);
    return bytes;
}
inline std::optional<std::string> Attribute(const std::string& file, const char* name) {
    std::string value(256, '\0');
    const ssize_t size = ::getxattr(file.c_str(), name, value.data(), value.size());
    if (size < 0) return std::nullopt;
    value.resize(static_cast<size_t>(size));
    return value;
}
inline bool SetAttribute(const std::string& file, const char* name, const std::string& value) {
    return ::setxattr(file.c_str(), name, value.data(), value.size(), 0) == 0;
}

} // namespace testing_support
