// The settings file's save where real file systems differ: a full disk on ext2 (no fallocate)
// and ext4, a file shared through an ACL and one with attributes a user cannot set, what a
// killed save left behind with and without files that have no name, two saves at once, a bind
// mount, and links that lead nowhere.

#include "platform/IniFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/support/FileSystemCases.h"
#include "tests/support/LoopMount.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace platform {
namespace {

namespace fs = std::filesystem;
using testing_support::Acl;
using testing_support::AsOrdinaryUser;
using testing_support::Attribute;
using testing_support::SetAttribute;

std::string Read(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}
void Write(const std::string& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}
ino_t InodeOf(const std::string& file) {
    struct stat st {};
    return ::stat(file.c_str(), &st) == 0 ? st.st_ino : 0;
}
std::string ErrorOf(const std::function<void()>& save) {
    try {
        save();
    } catch (const IniFileError& e) {
        return e.what();
    } catch (const FileWriteError& e) {
        return e.what();
    }
    return "(saved)";
}
std::string ErrorOfSave(IniFile& file) {
    return ErrorOf([&] { file.UpdateFile(); });
}

// Equal bytes; else where they part, without pages of text.
testing::AssertionResult Same(const std::string& got, const std::string& want) {
    if (got == want) return testing::AssertionSuccess();
    size_t at = 0;
    while (at < got.size() && at < want.size() && got[at] == want[at]) ++at;
    return testing::AssertionFailure()
           << got.size() << " bytes where " << want.size() << " were meant, parting at byte " << at
           << ": " << testing::PrintToString(got.substr(at, 24)) << " for "
           << testing::PrintToString(want.substr(at, 24));
}

// A settings file of `operators` names, as the program writes it.
std::string SettingsOf(int operators) {
    std::string text = "[Service]\r\nCounter=7\r\n\r\n[Operators]\r\n";
    for (int n = 0; n < operators; ++n)
        text += std::to_string(n) + "=Operator number " + std::to_string(n) + "\r\n";
    return text;
}

// --- a full disk -----------------------------------------------------------------------------

TEST(FullDiskTest, TheOldFileStaysWholeOrTheNewOneIsWritten) {
    // The old file of 60 names (about 1.5 KB), a new text of 2000 (about 50 KB) or of 20. In
    // place: the user may write the file but not add one beside it. Beside: a new file and a
    // rename. The disk full, or with room.
    enum class Way { InPlace, Beside };
    const struct {
        const char* fileSystem;
        Way way;
        bool full;
        int operators; // in the new text
    } cases[] = {
        {"ext2", Way::InPlace, true, 2000},  {"ext2", Way::InPlace, false, 2000},
        {"ext2", Way::InPlace, true, 20},    {"ext2", Way::Beside, true, 2000},
        {"ext2", Way::Beside, false, 2000},  {"ext4", Way::InPlace, true, 2000},
        {"ext4", Way::InPlace, false, 2000}, {"ext4", Way::InPlace, true, 20},
        {"ext4", Way::Beside, true, 2000},   {"ext4", Way::Beside, false, 2000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.fileSystem) + (c.way == Way::InPlace ? " in place" : " beside") +
                     (c.full ? ", full, " : ", room, ") + std::to_string(c.operators));
        testing_support::LoopMount disk(c.fileSystem);
        if (!disk.Mounted()) GTEST_SKIP() << disk.WhyNot();
        const std::string folder = disk.Folder() + "/Calbrix Data";
        const std::string path = folder + "/Calbrix.ini";
        fs::create_directory(folder);
        const std::string old = SettingsOf(60);
        Write(path, old);
        ASSERT_TRUE(AsOrdinaryUser::Give(path));
        if (c.way == Way::Beside) {
            ASSERT_TRUE(AsOrdinaryUser::Give(folder));
        }
        ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
        if (c.full) {
            ASSERT_TRUE(disk.Fill());
        }
        const ino_t inode = InodeOf(path);
        std::string error;
        {
            AsOrdinaryUser user;
            if (!user.Switched()) GTEST_SKIP() << "cannot act as an ordinary user";
            error = ErrorOf([&] { ReplaceFileContents(path, SettingsOf(c.operators)); });
        }
        const bool fits = !c.full || (c.way == Way::InPlace && c.operators < 60);
        if (fits) {
            EXPECT_EQ(error, "(saved)");
            EXPECT_TRUE(Same(Read(path), SettingsOf(c.operators)));
        } else {
            EXPECT_EQ(error, "Cannot write file \"" + path + "\". No space left on device.");
            EXPECT_TRUE(Same(Read(path), old)); // byte for byte, and no longer
        }
        if (c.way == Way::InPlace) {
            EXPECT_EQ(InodeOf(path), inode);
        }
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
        // Once there is room, the same save goes through.
        disk.Free();
        AsOrdinaryUser user;
        EXPECT_EQ(ErrorOf([&] { ReplaceFileContents(path, SettingsOf(2000)); }), "(saved)");
        EXPECT_TRUE(Same(Read(path), SettingsOf(2000)));
    }
}

// --- ACLs and extended attributes --------------------------------------------------------------

class SavedAttributesTest : public ::testing::Test {
protected:
    // Another ordinary user besides nobody.
    static constexpr uid_t OtherUid = 65533;
    static constexpr gid_t OtherGid = 65533;

    void SetUp() override {
        if (!AsOrdinaryUser::Root()) GTEST_SKIP() << "two users' rights are tried as root";
        char name[] = "/tmp/ini-attributes-XXXXXX";
        ASSERT_NE(::mkdtemp(name), nullptr);
        folder = name;
        path = folder + "/Calbrix.ini";
        // The user's own data folder, with its own settings file.
        ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
        ASSERT_TRUE(AsOrdinaryUser::Give(folder));
        Write(path, "[Service]\r\nCounter=1\r\n");
        ASSERT_TRUE(AsOrdinaryUser::Give(path));
        ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
        if (!SetAttribute(path, "system.posix_acl_access", Acl(6, OtherUid, 6, 4, 6, 4)))
            GTEST_SKIP() << "no ACLs on the file system of " << folder;
    }
    void TearDown() override {
        if (!folder.empty()) fs::remove_all(folder);
    }

    std::string SaveAs(uid_t uid, gid_t gid, int counter) const {
        AsOrdinaryUser user(uid, gid);
        if (!user.Switched()) return "cannot act as that user";
        IniFile file(path);
        file.WriteInteger("Service", "Counter", counter);
        return ErrorOfSave(file);
    }

    std::string folder, path;
};

TEST_F(SavedAttributesTest, AFileSharedThroughAnAclStaysShared) {
    // Nobody's file, which the other user may write through the ACL; the mode shows the mask.
    ASSERT_TRUE(SetAttribute(path, "user.origin", "bench 3"));
    const auto acl = Attribute(path, "system.posix_acl_access");
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    EXPECT_EQ(before.st_mode & 07777, 0664u);

    EXPECT_EQ(SaveAs(AsOrdinaryUser::Uid, AsOrdinaryUser::Gid, 2), "(saved)");
    EXPECT_EQ(Attribute(path, "system.posix_acl_access"), acl); // the group may still only read
    EXPECT_EQ(Attribute(path, "user.origin"), "bench 3");
    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_mode & 07777, 0664u);
    EXPECT_EQ(after.st_uid, AsOrdinaryUser::Uid);

    // The other user may write it still, and saves in place (the folder is not theirs).
    EXPECT_EQ(SaveAs(OtherUid, OtherGid, 3), "(saved)");
    EXPECT_EQ(Read(path), "[Service]\r\nCounter=3\r\n");
    EXPECT_EQ(Attribute(path, "system.posix_acl_access"), acl);
}

TEST_F(SavedAttributesTest, AnAttributeTheUserCannotSetKeepsTheFileInPlace) {
    // Given by root: nobody can read it but not set it on a new file.
    ASSERT_TRUE(SetAttribute(path, "security.calbrix-test", "kept"));
    const ino_t inode = InodeOf(path);
    EXPECT_EQ(SaveAs(AsOrdinaryUser::Uid, AsOrdinaryUser::Gid, 2), "(saved)");
    EXPECT_EQ(Read(path), "[Service]\r\nCounter=2\r\n");
    EXPECT_EQ(InodeOf(path), inode);
    EXPECT_EQ(Attribute(path, "security.calbrix-test"), "kept");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST_F(SavedAttributesTest, ANewFileGetsNoAclTheOldOneHadNot) {
    // The folder hands an ACL to every new file; the old file had it taken away.
    ASSERT_EQ(::removexattr(path.c_str(), "system.posix_acl_access"), 0);
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    ASSERT_TRUE(SetAttribute(folder, "system.posix_acl_default", Acl(7, OtherUid, 7, 5, 7, 5)));
    EXPECT_EQ(SaveAs(AsOrdinaryUser::Uid, AsOrdinaryUser::Gid, 2), "(saved)");
    EXPECT_EQ(Attribute(path, "system.posix_acl_access"), std::nullopt);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
}

// --- what a killed save left -----------------------------------------------------------------

class LeftoversTest : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/ini-leftovers-XXXXXX";
        ASSERT_NE(::mkdtemp(name), nullptr);
        folder = name;
        path = folder + "/Calbrix.ini";
    }
    void TearDown() override { fs::remove_all(folder); }
    std::string folder, path;
};

TEST_F(LeftoversTest, TheNextSaveRemovesOnlyItsOwnUnfinishedFiles) {
    // Beside the settings file and beside a report: the operator's copies, whatever their names,
    // and what is not this program's, this user's or unfinished stay.
    const std::string outside = folder + "/outside.txt";
    Write(outside, "not the save's");
    enum class Kind { File, Folder, Link, Held, OtherUsers };
    const struct {
        const char* name;
        bool removed;
        Kind kind = Kind::File;
    } cases[] = {
        {".Calbrix.ini.calbrix-save-Ab3dE9", true}, // what a killed save of the file left
        {".Calbrix.ini.calbrix-save-zzzzzz", true},
        {".Cable-A17.rtf.calbrix-save-Q1w2E3", true},
        {"Calbrix.ini.backup", false}, // the operator's own copies
        {"Calbrix.ini.before", false},
        {"Calbrix.ini.240115", false},
        {"Calbrix.ini.Ab3dE9", false},
        {"Cable-A17.rtf.backup", false},
        {"Cable-A17.rtf.100231", false},
        {".Calbrix.ini.calbrix-save-Ab3dE", false}, // not quite the form
        {".Calbrix.ini.calbrix-save-Ab3dE9x", false},
        {".Calbrix.ini.calbrix-save-Ab-dE9", false},
        {"Calbrix.ini.calbrix-save-Ab3dE9", false},
        {".calbrix.ini.calbrix-save-Ab3dE9", false},
        {".Other.ini.calbrix-save-Ab3dE9", false},
        {".Calbrix.ini.calbrix-save-Folder", false, Kind::Folder},
        {".Calbrix.ini.calbrix-save-Link12", false, Kind::Link}, // to a file outside
        {".Calbrix.ini.calbrix-save-Held12", false, Kind::Held}, // a save still writing it
        {".Calbrix.ini.calbrix-save-Other1", false, Kind::OtherUsers},
    };
    for (const auto& c : cases) {
        const std::string file = folder + "/" + c.name;
        if (c.kind == Kind::Folder)
            fs::create_directory(file);
        else if (c.kind == Kind::Link)
            fs::create_symlink(outside, file);
        else
            Write(file, "[Operators]\r\n0=half");
        if (c.kind == Kind::OtherUsers && AsOrdinaryUser::Root()) {
            ASSERT_TRUE(AsOrdinaryUser::Give(file));
        }
    }
    const int held =
        ::open((folder + "/.Calbrix.ini.calbrix-save-Held12").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);

    IniFile file(path, IniFile::ForSave{});
    file.WriteInteger("Service", "Counter", 1);
    file.UpdateFile();
    ReplaceFileContents(folder + "/Cable-A17.rtf", "{\\rtf1 report}");
    ::close(held);
    for (const auto& c : cases) {
        // A test run by an ordinary user has no other user's file to try.
        const bool removed = c.removed || (c.kind == Kind::OtherUsers && !AsOrdinaryUser::Root());
        EXPECT_EQ(fs::exists(fs::symlink_status(folder + "/" + c.name)), !removed) << c.name;
    }
    EXPECT_EQ(Read(outside), "not the save's");
    EXPECT_EQ(Read(path), "[Service]\r\nCounter=1\r\n");
    EXPECT_EQ(Read(folder + "/Cable-A17.rtf"), "{\\rtf1 report}");
}

// The names in a folder that are a save's new files of the file `name`.
std::vector<std::string> NewFilesOf(const std::string& folder, const std::string& name) {
    std::vector<std::string> found;
    const std::string stem = "." + name + ".calbrix-save-";
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string file = entry.path().filename().string();
        if (file.rfind(stem, 0) == 0 && file.size() == stem.size() + 6) found.push_back(file);
    }
    return found;
}

TEST(KilledSaveTest, LeavesTheOldFileWholeAndNothingTheNextSaveDoesNotRemove) {
    // Where the file system makes files without a name, a killed save leaves nothing beside the
    // old file; elsewhere its named new file, which the next save removes.
    using Through = testing_support::LoopMount::Through;
    const struct {
        const char* what;
        Through through;
        bool leftover;
    } cases[] = {
        {"ext4", Through::Kernel, false},
        {"ext2 through FUSE, without O_TMPFILE", Through::Fuse, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        testing_support::LoopMount disk(c.through == Through::Kernel ? "ext4" : "ext2", 8,
                                        c.through);
        if (!disk.Mounted()) {
            std::printf("skipped %s: %s\n", c.what, disk.WhyNot().c_str());
            continue;
        }
        const std::string path = disk.Folder() + "/Calbrix.ini";
        const std::string old = SettingsOf(3);
        Write(path, old);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            InjectWriteFault(WriteFault{.afterBytes = 20000, .kind = WriteFault::Kind::Kill});
            ReplaceFileContents(path, SettingsOf(2000));
            ::_exit(0); // not reached
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));
        EXPECT_TRUE(Same(Read(path), old));
        EXPECT_EQ(NewFilesOf(disk.Folder(), "Calbrix.ini").size(), c.leftover ? 1u : 0u);
        ASSERT_EQ(ErrorOf([&] { ReplaceFileContents(path, SettingsOf(4)); }), "(saved)");
        EXPECT_TRUE(Same(Read(path), SettingsOf(4)));
        EXPECT_TRUE(NewFilesOf(disk.Folder(), "Calbrix.ini").empty());
    }
}

// --- two saves at once -----------------------------------------------------------------------

// The values one of two windows writes at its closing: the same keys, texts of another length.
std::vector<std::pair<std::string, std::string>> OwnOperators(int which) {
    std::vector<std::pair<std::string, std::string>> values;
    for (int n = 0; n < 40; ++n)
        values.emplace_back(std::to_string(n), which == 0
                                                   ? "Ann " + std::to_string(n)
                                                   : "Bartholomew Longname-" +
                                                         std::string(20, 'b') + std::to_string(n));
    return values;
}
const std::string RaceBase =
    "; the bench's own notes\r\n[Service]\r\nCounter=0\r\n[Operators]\r\n" +
    [] {
        std::string keys;
        for (int n = 0; n < 40; ++n) keys += std::to_string(n) + "=x\r\n";
        return keys;
    }() +
    "[Window]\r\nLeft=10\r\n";

// A window's save: the file read in the save's turn, its values written, the file saved.
std::string SaveOwnText(const std::string& path, int which) {
    return ErrorOf([&] {
        IniFile file(path, IniFile::ForSave{});
        file.WriteInteger("Service", "Counter", which + 1);
        for (const auto& [key, value] : OwnOperators(which))
            file.WriteString("Operators", key, value);
        file.UpdateFile();
    });
}
std::string OwnText(int which) {
    auto doc = IniDocument::Parse(RaceBase);
    doc.Write("Service", "Counter", std::to_string(which + 1));
    for (const auto& [key, value] : OwnOperators(which)) doc.Write("Operators", key, value);
    return doc.Serialize();
}

struct RaceOutcome {
    int rounds = 0;
    int mixed = 0;     // rounds after which the file was neither text whole
    int failed = 0;    // saves that failed
    std::string first; // the first of these
};

// Two processes that save the file at the same moment, round after round, as two windows of
// the bench closing together; each as the ordinary user.
RaceOutcome RaceTwoSaves(const std::string& path, int rounds) {
    struct Shared {
        std::atomic<int> round{0};
        std::atomic<int> finished{0};
        std::atomic<int> failed{0};
        char error[512] = {};
    };
    void* memory =
        ::mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return {0, 0, 1, "no shared memory"};
    auto* shared = new (memory) Shared;
    pid_t children[2] = {-1, -1};
    for (int which = 0; which < 2; ++which) {
        children[which] = ::fork();
        if (children[which] != 0) continue;
        AsOrdinaryUser user;
        for (int round = 1; round <= rounds; ++round) {
            while (shared->round.load() < round) std::this_thread::yield();
            // The second save starts a little later each round, so that the rounds try every
            // moment of the first one's work.
            const auto start = std::chrono::steady_clock::now() +
                               std::chrono::microseconds(which * (round % 40) * 2);
            while (std::chrono::steady_clock::now() < start) {
            }
            const std::string error = user.Switched() ? SaveOwnText(path, which) : "no user";
            if (error != "(saved)" && shared->failed.fetch_add(1) == 0)
                std::snprintf(shared->error, sizeof shared->error, "%s", error.c_str());
            shared->finished.fetch_add(1);
        }
        ::_exit(0);
    }
    RaceOutcome outcome;
    const std::string texts[] = {OwnText(0), OwnText(1)};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    for (int round = 1; round <= rounds && std::chrono::steady_clock::now() < deadline; ++round) {
        shared->round.store(round);
        while (shared->finished.load() < 2 * round && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        ++outcome.rounds;
        const std::string text = Read(path);
        if (text != texts[0] && text != texts[1] && outcome.mixed++ == 0)
            outcome.first = "mixed: " + testing::PrintToString(text.substr(0, 300));
    }
    for (const pid_t child : children) {
        if (child < 0) continue;
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
    }
    outcome.failed = shared->failed.load();
    if (outcome.first.empty()) outcome.first = shared->error;
    ::munmap(memory, sizeof(Shared));
    return outcome;
}

TEST(TwoSavesAtOnceTest, LeaveOneWholeTextAndBothSucceed) {
    using Through = testing_support::LoopMount::Through;
    enum class Way { Beside, InPlace };
    const struct {
        const char* what;
        Way way;
        std::optional<Through> disk; // none: the temporary folder
        int rounds;                  // enough to show the fault of saves that do not take turns
    } cases[] = {
        {"beside, a new file without a name", Way::Beside, std::nullopt, 400},
        {"in place: a folder that takes no new file", Way::InPlace, std::nullopt, 400},
        {"beside, a named new file (FUSE, no O_TMPFILE)", Way::Beside, Through::Fuse, 200},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::optional<testing_support::LoopMount> disk;
        std::string base;
        if (c.disk) {
            disk.emplace("ext2", 8, *c.disk);
            if (!disk->Mounted()) {
                std::printf("skipped %s: %s\n", c.what, disk->WhyNot().c_str());
                continue;
            }
            base = disk->Folder();
        } else {
            char name[] = "/tmp/ini-race-XXXXXX";
            ASSERT_NE(::mkdtemp(name), nullptr);
            base = name;
        }
        const std::string folder = base + "/Calbrix Data";
        const std::string path = folder + "/Calbrix.ini";
        fs::create_directory(folder);
        Write(path, RaceBase);
        ASSERT_TRUE(AsOrdinaryUser::Give(path));
        ASSERT_EQ(::chmod(base.c_str(), 0755), 0);
        if (c.way == Way::Beside) {
            ASSERT_TRUE(AsOrdinaryUser::Give(folder));
            ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
        } else {
            ASSERT_EQ(::chmod(folder.c_str(), 0555), 0); // nobody may add a file to it
        }
        const RaceOutcome outcome = RaceTwoSaves(path, c.rounds);
        EXPECT_EQ(outcome.rounds, c.rounds);
        EXPECT_EQ(outcome.mixed, 0) << outcome.first;
        EXPECT_EQ(outcome.failed, 0) << outcome.first;
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
        ::chmod(folder.c_str(), 0755);
        if (!c.disk) fs::remove_all(base);
    }
}

TEST_F(LeftoversTest, ASaveWaitsItsTurnAndSaysSoWhenItDoesNotCome) {
    Write(path, "[Service]\r\nCounter=1\r\n");
    // Another save holds the file: it lets go after a moment, or not within the wait.
    int other = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);
    std::thread lettingGo([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ::flock(other, LOCK_UN);
    });
    auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(ErrorOf([&] {
                  IniFile file(path, IniFile::ForSave{});
                  file.WriteInteger("Service", "Counter", 2);
                  file.UpdateFile();
              }),
              "(saved)");
    EXPECT_GE(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(250));
    lettingGo.join();
    EXPECT_EQ(Read(path), "[Service]\r\nCounter=2\r\n");

    // The save put a new file in place: that is the one to hold now.
    ::close(other);
    other = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);
    begin = std::chrono::steady_clock::now();
    EXPECT_EQ(ErrorOf([&] {
                  IniFile file(path, IniFile::ForSave{});
                  file.WriteInteger("Service", "Counter", 3);
                  file.UpdateFile();
              }),
              "Cannot write file \"" + path +
                  "\". It is held by another save that did not end within 5 seconds.");
    const auto waited = std::chrono::steady_clock::now() - begin;
    EXPECT_GE(waited, SaveTurnWait);
    EXPECT_LT(waited, SaveTurnWait + std::chrono::seconds(5));
    EXPECT_EQ(Read(path), "[Service]\r\nCounter=2\r\n");
    ::close(other);
}

// --- files that a rename would not replace -------------------------------------------------

TEST_F(LeftoversTest, ABindMountedFileIsWrittenInPlace) {
    // The file a container or a bench image shares, bound over the settings file.
    const std::string shared = folder + "/shared.ini";
    Write(shared, "[Service]\r\nCounter=1\r\n; shared by the benches\r\n");
    Write(path, "");
    testing_support::BindMount bound(shared, path);
    if (!bound.Mounted()) GTEST_SKIP() << bound.WhyNot();
    IniFile file(path, IniFile::ForSave{});
    file.WriteInteger("Service", "Counter", 2);
    EXPECT_EQ(ErrorOfSave(file), "(saved)");
    EXPECT_EQ(Read(shared), "[Service]\r\nCounter=2\r\n; shared by the benches\r\n");
    EXPECT_EQ(Read(path), Read(shared));
    EXPECT_EQ(InodeOf(path), InodeOf(shared));
    EXPECT_TRUE(NewFilesOf(folder, "Calbrix.ini").empty());
}

// --- links ---------------------------------------------------------------------------------

TEST_F(LeftoversTest, ALinkToAFileNotYetMadeMakesIt) {
    fs::create_directory(folder + "/shared");
    const struct {
        const char* what;
        std::vector<std::pair<std::string, std::string>> links; // link, where it leads
        std::string made;
    } cases[] = {
        {"relative", {{"Calbrix.ini", "shared/settings.ini"}}, "shared/settings.ini"},
        {"absolute", {{"Calbrix.ini", folder + "/shared/settings.ini"}}, "shared/settings.ini"},
        {"through a second link",
         {{"Calbrix.ini", "second.ini"}, {"second.ini", "shared/settings.ini"}},
         "shared/settings.ini"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const auto& [link, to] : c.links) fs::create_symlink(to, folder + "/" + link);
        IniFile file(path);
        file.WriteInteger("Service", "Counter", 4);
        EXPECT_EQ(ErrorOfSave(file), "(saved)");
        EXPECT_TRUE(fs::is_symlink(path));
        EXPECT_EQ(Read(folder + "/" + c.made), "[Service]\r\nCounter=4\r\n");
        EXPECT_EQ(IniFile(path).ReadInteger("Service", "Counter", -1), 4);
        for (const auto& [link, to] : c.links) fs::remove(folder + "/" + link);
        fs::remove(folder + "/" + c.made);
    }
}

TEST_F(LeftoversTest, ALinkThatLeadsNowhereIsKeptAndSaysWhy) {
    const struct {
        const char* what;
        std::vector<std::pair<std::string, std::string>> links;
        std::string error;
    } cases[] = {
        {"to a folder that does not exist",
         {{"Calbrix.ini", folder + "/gone/settings.ini"}},
         "Cannot write file \"" + path + "\". No such file or directory (the link leads to \"" +
             folder + "/gone/settings.ini\")."},
        {"in a loop",
         {{"Calbrix.ini", "other.ini"}, {"other.ini", "Calbrix.ini"}},
         "Cannot read file \"" + path + "\". Too many levels of symbolic links."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const auto& [link, to] : c.links) fs::create_symlink(to, folder + "/" + link);
        EXPECT_EQ(ErrorOf([&] {
                      IniFile file(path); // as the closing reads the file before it saves
                      file.WriteInteger("Service", "Counter", 4);
                      file.UpdateFile();
                  }),
                  c.error);
        EXPECT_THROW(ReplaceFileContents(path, "[Service]\r\nCounter=4\r\n"), FileWriteError);
        for (const auto& [link, to] : c.links) {
            const fs::path kept = folder + "/" + link;
            EXPECT_TRUE(fs::is_symlink(kept) && fs::read_symlink(kept) == to) << link;
            fs::remove(kept);
        }
        EXPECT_TRUE(fs::is_empty(folder));
    }
}

} // namespace
} // namespace platform
