// The settings file's save where real file systems differ: a full disk on ext2 (no fallocate)
// and ext4, a file shared through an ACL and one with attributes a user cannot set, what a
// killed save left behind, and links that lead nowhere.

#include "platform/IniFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/support/FileSystemCases.h"
#include "tests/support/LoopMount.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
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
    const std::string outside = folder + "/outside.txt";
    Write(outside, "not the save's");
    const struct {
        const char* name;
        bool removed;
    } cases[] = {
        {"Calbrix.ini.Ab3dE9", true}, // the save's own name: the file's, a dot, six of [A-Za-z0-9]
        {"Calbrix.ini.zzzzzz", true},   {"Calbrix.ini.Ab3dE", false},
        {"Calbrix.ini.Ab3dE9x", false}, {"Calbrix.ini.Ab-dE9", false},
        {"Calbrix.ini.bak", false},     {"calbrix.ini.Ab3dE9", false},
        {"Other.ini.Ab3dE9", false},    {"Calbrix.ini.Folder", false}, // a folder
        {"Calbrix.ini.Link12", false},                                 // a link, to a file outside
        {"Calbrix.ini.Held12", false}, // a save still writing it (it holds its lock)
    };
    for (const auto& c : cases) {
        const std::string file = folder + "/" + c.name;
        if (std::string(c.name) == "Calbrix.ini.Folder")
            fs::create_directory(file);
        else if (std::string(c.name) == "Calbrix.ini.Link12")
            fs::create_symlink(outside, file);
        else
            Write(file, "[Operators]\r\n0=half");
    }
    const int held = ::open((folder + "/Calbrix.ini.Held12").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);

    IniFile file(path);
    file.WriteInteger("Service", "Counter", 1);
    file.UpdateFile();
    ::close(held);
    for (const auto& c : cases)
        EXPECT_EQ(fs::exists(fs::symlink_status(folder + "/" + c.name)), !c.removed) << c.name;
    EXPECT_EQ(Read(outside), "not the save's");
    EXPECT_EQ(Read(path), "[Service]\r\nCounter=1\r\n");
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
