#include "platform/qt/RealProcess.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace platform {
namespace {

int Nice() {
    errno = 0;
    return getpriority(PRIO_PROCESS, 0);
}

TEST(RealProcessTest, RaisePriorityTellsWhetherItWorkedAndNeverLowers) {
    // In a child, so the test process keeps its priority. Its exit code carries the faults.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        RealProcess process;
        int faults = 0;
        const bool high = process.RaisePriority(PriorityClass::High);
        if (high != (Nice() <= -10)) faults |= 1;
        const bool realtime = process.RaisePriority(PriorityClass::Realtime);
        const int afterRealtime = Nice();
        if (realtime != (afterRealtime <= -20)) faults |= 2;
        const bool highAgain = process.RaisePriority(PriorityClass::High);
        if (Nice() > afterRealtime) faults |= 4;
        if (highAgain != (Nice() <= -10)) faults |= 8;
        _exit(faults);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status) & 1, 0) << "High's result does not match nice -10";
    EXPECT_EQ(WEXITSTATUS(status) & 2, 0) << "Realtime's result does not match nice -20";
    EXPECT_EQ(WEXITSTATUS(status) & 4, 0) << "High after Realtime lowered the priority";
    EXPECT_EQ(WEXITSTATUS(status) & 8, 0) << "High after Realtime reported a failure";
}

TEST(RealProcessTest, KeepAwakeWithoutABusFailsQuietlyAndAtOnce) {
    // The test main points both buses at nothing.
    RealProcess process;
    QElapsedTimer spent;
    spent.start();
    EXPECT_FALSE(process.KeepAwake());
    EXPECT_FALSE(process.KeepAwake());
    EXPECT_LT(spent.elapsed(), 2000);
}

class StartProgramTest : public ::testing::Test {
protected:
    // A script that writes its argument count and arguments, one a line, beside itself.
    std::string ArgumentsScript() {
        const std::string path = dir.filePath("show-args").toStdString();
        std::ofstream(path)
            << "#!/bin/sh\n"
               "{ echo \"$#\"; for a in \"$@\"; do echo \"[$a]\"; done; } > \"$0.tmp\"\n"
               "mv \"$0.tmp\" \"$0.out\"\n";
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        return path;
    }

    // What the script wrote, once it has (it runs detached).
    static std::string WaitForOutput(const std::string& script) {
        const std::string out = script + ".out";
        QElapsedTimer waited;
        waited.start();
        while (!std::filesystem::exists(out) && waited.elapsed() < 5000) QThread::msleep(10);
        std::ifstream in(out);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    QTemporaryDir dir;
    RealProcess process;
};

TEST_F(StartProgramTest, TellsWhetherTheProgramStarted) {
    ASSERT_TRUE(dir.isValid());
    const std::string plain = dir.filePath("not-executable").toStdString();
    std::ofstream(plain) << "#!/bin/sh\n";
    std::filesystem::permissions(plain, std::filesystem::perms::owner_read |
                                            std::filesystem::perms::owner_write);
    struct Case {
        std::string path;
        bool starts;
    };
    const std::vector<Case> cases = {
        {"/bin/true", true},
        {dir.filePath("Portvet.exe").toStdString(), false}, // missing
        {dir.path().toStdString(), false},                  // a folder
        {plain, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(process.StartProgram(c.path, " "), c.starts);
    }
}

TEST_F(StartProgramTest, DoesNotWaitForTheProgram) {
    ASSERT_TRUE(dir.isValid());
    // It lets go of our output too, so a test runner that reads it need not wait either.
    const std::string path = dir.filePath("slow").toStdString();
    std::ofstream(path) << "#!/bin/sh\nexec >/dev/null 2>&1\nsleep \"$1\"\n";
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    QElapsedTimer spent;
    spent.start();
    EXPECT_TRUE(process.StartProgram(path, "2"));
    EXPECT_LT(spent.elapsed(), 1000);
}

TEST_F(StartProgramTest, TheArgumentTextIsOneArgumentAsItStands) {
    ASSERT_TRUE(dir.isValid());
    struct Case {
        std::string arguments;
        std::string received;
    };
    const std::vector<Case> cases = {
        {" ", "1\n[ ]\n"},
        {"", "0\n"},
        {"/a b", "1\n[/a b]\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("[" + c.arguments + "]");
        const std::string script = ArgumentsScript();
        std::filesystem::remove(script + ".out");
        ASSERT_TRUE(process.StartProgram(script, c.arguments));
        EXPECT_EQ(WaitForOutput(script), c.received);
    }
}

TEST(RealProcessTest, ArgumentsLeaveOutTheProgramName) {
    // The test main starts the application with these two.
    RealProcess process;
    EXPECT_EQ(process.Arguments(), (std::vector<std::string>{"/ISO9001", "Gr\xc3\xbc\xc3\x9f"
                                                                         "e"}));
}

TEST(RealProcessTest, ProgramFolderIsTheFolderOfTheRunningFileWithASlash) {
    RealProcess process;
    const auto exe = std::filesystem::canonical("/proc/self/exe");
    EXPECT_EQ(process.ProgramFolder(), exe.parent_path().string() + "/");
}

TEST(RealProcessTest, DataRootIsTheVariableOrTheHomeFolderWithoutATrailingSlash) {
    const char* saved = std::getenv("CALBRIX_DATA_ROOT");
    const std::string savedValue = saved ? saved : "";
    RealProcess process;
    struct Case {
        const char* value; // nullptr: unset
        std::string root;  // "~": the home folder
    };
    const std::vector<Case> cases = {
        {"/srv/calbrix", "/srv/calbrix"},
        {"/srv/calbrix/", "/srv/calbrix"},
        {"/", ""},
        {"", "~"},
        {nullptr, "~"},
    };
    std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    while (!home.empty() && home.back() == '/') home.pop_back();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value ? std::string("\"") + c.value + "\"" : "unset");
        if (c.value)
            setenv("CALBRIX_DATA_ROOT", c.value, 1);
        else
            unsetenv("CALBRIX_DATA_ROOT");
        EXPECT_EQ(process.DataRoot(), c.root == "~" ? home : c.root);
    }
    if (saved)
        setenv("CALBRIX_DATA_ROOT", savedValue.c_str(), 1);
    else
        unsetenv("CALBRIX_DATA_ROOT");
}

} // namespace
} // namespace platform
