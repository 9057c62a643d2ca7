// The bench and fixture files shipped in benches/: each one reads as the programs read it (a
// bench file that does not would stop Calbrix with exit status 2), and the README names it.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "simulator/BenchFile.h"
#include "simulator/SwitchBoardFixture.h"

namespace {

namespace fs = std::filesystem;

std::string Text(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST(ShippedBenches, EveryFileReadsAndTheReadmeNamesIt) {
    const std::string readme = Text(fs::path(SOURCE_ROOT) / "README.md");
    ASSERT_FALSE(readme.empty());
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(fs::path(SOURCE_ROOT) / "benches"))
        files.push_back(entry.path());
    std::sort(files.begin(), files.end());

    int benches = 0, fixtures = 0;
    for (const fs::path& path : files) {
        const std::string name = path.filename().string();
        try {
            if (path.extension() == ".bench") {
                sim::LoadBenchFile(path.string());
                ++benches;
            } else if (path.extension() == ".fixture") {
                sim::FixtureFromVariable(path.string());
                ++fixtures;
            } else {
                ADD_FAILURE() << name << " is neither a .bench nor a .fixture file";
            }
        } catch (const std::exception& e) {
            ADD_FAILURE() << e.what();
        }
        EXPECT_NE(readme.find("benches/" + name), std::string::npos)
            << "the README does not list " << name;
    }
    // Not an empty or moved folder.
    EXPECT_GT(benches, 0);
    EXPECT_GT(fixtures, 0);
}

} // namespace
