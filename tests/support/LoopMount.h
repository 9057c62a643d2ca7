#pragma once
// A small file system of its own for a test: an image made in a fresh temporary folder, loop-
// mounted there, and unmounted and removed with the folder when the object goes, whatever the
// test did. It takes root and a free loop device; where either is missing, Mounted() is false
// and WhyNot() says why, for the test to skip. Each object has its own folder and `mount -o
// loop` picks a free device, so tests running side by side do not meet.
//
// Through::Fuse mounts the image with fuse2fs instead of the kernel's driver: the same ext2 or
// ext4, on a file system that makes no file without a name (no O_TMPFILE), as network and
// other FUSE file systems. It takes /dev/fuse and the fuse2fs program.

#include <fcntl.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace testing_support {

// A command with its output dropped; its exit status, or -1.
inline int RunQuietly(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int spawned = ::posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int status = 0;
    while (::waitpid(child, &status, 0) < 0)
        if (errno != EINTR) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class LoopMount {
public:
    enum class Through { Kernel, Fuse };

    // type: "ext2", "ext4", ... as mkfs.<type> knows it. No blocks reserved for root, so that
    // a full disk is full for every user.
    explicit LoopMount(const std::string& type, int megabytes = 8,
                       Through through = Through::Kernel) {
        if (::geteuid() != 0) {
            why_ = "mounting a file system takes root";
            return;
        }
        char name[] = "/tmp/loop-mount-XXXXXX";
        if (!::mkdtemp(name)) {
            why_ = "no temporary folder";
            return;
        }
        base_ = name;
        ::chmod(name, 0755); // the ordinary user of a test reaches the mounted folder
        image_ = base_ + "/image";
        folder_ = base_ + "/mounted";
        std::filesystem::create_directory(folder_);
        const int made = ::open(image_.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        const bool sized = made >= 0 && ::ftruncate(made, off_t{megabytes} << 20) == 0;
        if (made >= 0) ::close(made);
        if (!sized) {
            why_ = "no room for an image of " + std::to_string(megabytes) + " MB";
            return;
        }
        if (RunQuietly({"mkfs." + type, "-q", "-F", "-m", "0", image_}) != 0) {
            why_ = "mkfs." + type + " failed";
            return;
        }
        if (through == Through::Fuse) {
            if (::access("/dev/fuse", R_OK | W_OK) != 0) {
                why_ = "no /dev/fuse here";
                return;
            }
            // Every user reaches it, under the kernel's permission checks.
            if (RunQuietly({"fuse2fs", image_, folder_, "-o", "allow_other,default_permissions"}) !=
                0) {
                why_ = "cannot mount an " + type + " image through fuse2fs (is it installed?)";
                return;
            }
        } else if (RunQuietly({"mount", "-t", type, "-o", "loop", image_, folder_}) != 0) {
            why_ = "cannot loop-mount an " + type + " image here (no loop device?)";
            return;
        }
        mounted_ = true;
    }
    ~LoopMount() {
        if (mounted_ && RunQuietly({"umount", folder_}) != 0)
            ::umount2(folder_.c_str(), MNT_DETACH); // something still open: let it go lazily
        if (!base_.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(base_, ec);
        }
    }
    LoopMount(const LoopMount&) = delete;
    LoopMount& operator=(const LoopMount&) = delete;

    bool Mounted() const { return mounted_; }
    const std::string& WhyNot() const { return why_; }
    // The root of the mounted file system.
    const std::string& Folder() const { return folder_; }

    // Takes the room that is left with a file of its own, to the last block; false when the
    // disk would not fill.
    bool Fill() const {
        const std::string filler = folder_ + "/filler";
        const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (fd < 0) return false;
        const std::vector<char> zeros(size_t{1} << 16, '\0');
        // A sync can give back room that a file system held for the data not yet on the disk
        // (ext4): the disk is full when a pass after a sync finds no more.
        for (bool grew = true; grew;) {
            grew = false;
            for (size_t chunk = zeros.size(); chunk > 0;) {
                if (::write(fd, zeros.data(), chunk) > 0) {
                    grew = true;
                    continue;
                }
                if (errno == EINTR) continue;
                if (errno != ENOSPC) return ::close(fd), false;
                chunk /= 2; // the end of the last block may still take a smaller one
            }
            if (::fsync(fd) != 0 && errno != ENOSPC) return ::close(fd), false;
        }
        ::close(fd);
        return true;
    }
    // Gives the room back.
    void Free() const { std::filesystem::remove(folder_ + "/filler"); }

private:
    std::string base_, image_, folder_, why_;
    bool mounted_ = false;
};

// A file bound over another one (`mount --bind from onto`), as containers and bench images
// share a settings file, until the object goes. Root only; Mounted() and WhyNot() as above.
class BindMount {
public:
    BindMount(const std::string& from, std::string onto) : onto_(std::move(onto)) {
        if (::geteuid() != 0) {
            why_ = "a bind mount takes root";
            return;
        }
        mounted_ = RunQuietly({"mount", "--bind", from, onto_}) == 0;
        if (!mounted_) why_ = "cannot bind-mount a file here";
    }
    ~BindMount() {
        if (mounted_ && RunQuietly({"umount", onto_}) != 0) ::umount2(onto_.c_str(), MNT_DETACH);
    }
    BindMount(const BindMount&) = delete;
    BindMount& operator=(const BindMount&) = delete;

    bool Mounted() const { return mounted_; }
    const std::string& WhyNot() const { return why_; }

private:
    std::string onto_, why_;
    bool mounted_ = false;
};

} // namespace testing_support
