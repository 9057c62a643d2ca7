// A session on the simulated bench keeps to a data folder of its own: the real bench's settings
// file and reports beside it are neither read nor written, whatever the session does.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "definitions/DataFolders.h"
#include "tests/scenario/Harness.h"
#include "tests/scenario/TranscriptLines.h"

namespace {

namespace fs = std::filesystem;
using definitions::Bench;
using definitions::DataFoldersFor;
using scenario::Lines;
using scenario::StartsWith;

std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

TEST(SimulatedBenchData, ASelfTestAndTheClosingLeaveTheRealBenchsFilesByteForByte) {
    std::ostringstream transcript;
    scenario::Harness harness(transcript);
    const std::string root = harness.DataRoot();
    const auto real = DataFoldersFor(root, Bench::Real);
    const auto simulated = DataFoldersFor(root, Bench::Simulated);
    fs::create_directories(real.Data);
    // The real box is due for its self-test; the real bench's operator is remembered.
    const std::string settings = "[Settings]\r\nTestFile=Cable three wires\r\n[Service]\r\n"
                                 "Counter=31\r\n[Operators]\r\n0=J. Martin\r\n";
    const std::string reportPath = real.Data + "2020-06-15 - 09.00.00 - Cable X.rtf";
    const std::string report = "{\\rtf1 a cable tested on the real bench\\par}";
    Write(real.SettingsFile, settings);
    Write(reportPath, report);

    harness.RunScript("operator careful\n"
                      "start\n"
                      "click PowerBtn\n"
                      "select CableLst Calbrix box self-test\n"
                      "click StartBtn\n"
                      "close\n",
                      SAMPLE_PROGRAM_FOLDER);

    size_t saveDialogs = 0;
    for (const std::string& line : Lines(transcript.str())) {
        EXPECT_EQ(line.find("istelf"), std::string::npos) << "the real counter was read: " << line;
        EXPECT_EQ(line.find("Test stopped"), std::string::npos) << line;
        if (!StartsWith(line, "save-dialog ")) continue;
        ++saveDialogs;
        EXPECT_TRUE(
            StartsWith(line, "save-dialog folder=\"{data}/Tolvex/Calbrix Data (simulated bench)/\""))
            << line;
    }
    EXPECT_EQ(saveDialogs, 1u) << "the self-test did not reach its end";
    // The self-test reset the simulated bench's own counter.
    EXPECT_NE(Bytes(simulated.SettingsFile).find("\r\nCounter=0\r\n"), std::string::npos)
        << Bytes(simulated.SettingsFile);

    EXPECT_EQ(Bytes(real.SettingsFile), settings);
    EXPECT_EQ(Bytes(reportPath), report);
    std::vector<std::string> beside;
    for (const auto& entry : fs::directory_iterator(real.Data))
        beside.push_back(entry.path().filename().string());
    EXPECT_EQ(beside.size(), 2u) << "something was added to the real data folder";
}

} // namespace
