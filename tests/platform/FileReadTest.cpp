// Reading a whole file by name: only a regular file is read, and nothing else is even opened.

#include "platform/FileRead.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/FileSystemCases.h"

namespace platform {
namespace {

namespace fs = std::filesystem;
using Outcome = FileRead::Outcome;

class FileReadTest : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/file-read-XXXXXX";
        ASSERT_NE(::mkdtemp(name), nullptr);
        folder = name;
    }
    void TearDown() override { fs::remove_all(folder); }

    std::string Put(const std::string& name, const std::string& bytes) const {
        const std::string path = folder + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    std::string folder;
};

TEST_F(FileReadTest, WhatIsReadAndWhatIsNot) {
    testing_support::FifoWatch fifo(folder + "/fifo");
    ASSERT_TRUE(fifo.Made());
    fs::create_symlink(folder + "/fifo", folder + "/link to fifo");
    fs::create_directory(folder + "/folder");
    const struct {
        std::string path;
        Outcome outcome;
        std::string reason;
        std::string bytes;
    } cases[] = {
        {Put("text", "A1 B1\r\n"), Outcome::Read, "", "A1 B1\r\n"},
        {Put("empty", ""), Outcome::Read, "", ""},
        {Put("at the limit", std::string(16, 'x')), Outcome::Read, "", std::string(16, 'x')},
        {Put("over the limit", std::string(17, 'x')), Outcome::TooLarge,
         "It is larger than 16 bytes", ""},
        {folder + "/missing", Outcome::Missing, "No such file or directory", ""},
        {folder + "/missing/below", Outcome::Missing, "No such file or directory", ""},
        {Put("file", "x") + "/below", Outcome::Failed, "Not a directory", ""},
        {folder + "/folder", Outcome::NotAFile, "It is not a file", ""},
        {folder + "/fifo", Outcome::NotAFile, "It is not a file", ""},
        {folder + "/link to fifo", Outcome::NotAFile, "It is not a file", ""},
        {"/dev/null", Outcome::NotAFile, "It is not a file", ""}, // a device
    };
    for (const auto& c : cases) {
        const FileRead read = ReadRegularFile(c.path, 16);
        EXPECT_EQ(read.outcome, c.outcome) << c.path;
        EXPECT_EQ(read.Reason(), c.reason) << c.path;
        EXPECT_EQ(read.bytes, c.bytes) << c.path;
        EXPECT_EQ(read.folder, c.path == folder + "/folder") << c.path;
    }
    EXPECT_EQ(fifo.Readers(), 0);
}

TEST_F(FileReadTest, TheLimitInWords) {
    const std::string path = Put("big", std::string(3000, 'x'));
    const struct {
        size_t limit;
        const char* reason;
    } cases[] = {{1024, "It is larger than 1 KB"},
                 {1500, "It is larger than 1500 bytes"},
                 {size_t{64} << 20, nullptr}};
    for (const auto& c : cases) {
        const FileRead read = ReadRegularFile(path, c.limit);
        EXPECT_EQ(read.Reason(), c.reason ? c.reason : "") << c.limit;
    }
    FileRead megabytes;
    megabytes.outcome = Outcome::TooLarge;
    megabytes.limit = size_t{64} << 20;
    EXPECT_EQ(megabytes.Reason(), "It is larger than 64 MB");
}

TEST_F(FileReadTest, AFileThisUserMayNotReadFailsWithItsReason) {
    const std::string path = Put("locked", "x");
    ASSERT_EQ(::chmod(path.c_str(), 0200), 0);
    ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
    testing_support::AsOrdinaryUser user;
    if (!user.Switched()) GTEST_SKIP() << "cannot act as an ordinary user";
    const FileRead read = ReadRegularFile(path, 16);
    EXPECT_EQ(read.outcome, Outcome::Failed);
    EXPECT_EQ(read.Reason(), "Permission denied");
}

} // namespace
} // namespace platform
