// Bench files come from the user: whatever they hold must end in a short, clear refusal that
// names the file and line, never in a hang, a huge allocation or a value the model cannot hold.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>

#include "simulator/BenchFile.h"
#include "simulator/Timing.h"
#include "tests/support/FileSystemCases.h"

namespace {

std::string ParseError(const std::string& text, const std::string& source = "bench") {
    try {
        sim::ParseBench(text, source);
    } catch (const sim::BenchFileError& e) {
        return e.what();
    }
    return "";
}

std::string LoadError(const std::string& path) {
    try {
        sim::LoadBenchFile(path);
    } catch (const sim::BenchFileError& e) {
        return e.what();
    }
    return "";
}

std::string Repeat(const std::string& line, size_t times) {
    std::string text;
    for (size_t i = 0; i < times; ++i) text += line;
    return text;
}

class BenchFileOnDisk : public ::testing::Test {
protected:
    std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("bench-file-test-" + std::to_string(::getpid()));
    void SetUp() override { std::filesystem::create_directories(dir); }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string Write(const std::string& name, const std::string& text) {
        const auto path = dir / name;
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }
};

TEST(BenchFile, BadLineNamesTheSourceAndLineNumber) {
    EXPECT_EQ(ParseError("firmware 1.03\n\r\n# a comment\nbogus line here\nconfig 0x40\n",
                         "bench file \"x.bench\""),
              "bench file \"x.bench\", line 4: \"bogus line here\": unknown setting \"bogus\"");
    // A single line, as the scenario's bench step gives it, keeps its own form.
    sim::BenchSetup setup;
    try {
        sim::ApplyBenchLine(setup, "supply5 five");
        FAIL() << "accepted";
    } catch (const sim::BenchFileError& e) {
        EXPECT_STREQ(e.what(), "bench line \"supply5 five\": not a number: \"five\"");
    }
}

TEST(BenchFile, NumbersOutOfRangeOrNotFiniteAreRefusedWhenRead) {
    // Every one of these once reached the model and converted a double into an integer it
    // cannot hold, or meant nothing a bench can be.
    const char* lines[] = {
        "timing latency 1e300",
        "timing latency inf",
        "timing latency nan",
        "timing latency -1",
        "timing latency 256",
        "timing latency -inf",
        "supply5 inf",
        "supply5 nan",
        "supply5 -0.1",
        "supply5 1e300",
        "supply12 infinity",
        "supply12 101",
        "conductor A1 B1 inf",
        "conductor A1 B1 -1",
        "conductor A1 B1 nan open",
        "straight 3 1e300",
        "leak A1 A2 nan",
        "leak A1 A2 -5",
        "touch A1 nan",
        "touch A1 0 inf",
        "touch A1 0 1e300",
        "touch A1 0 10 inf",
        "meter relay nan",
        "meter path 1 2 inf",
        "meter path 1 2 -1",
        "meter path 1 13 5",
        "meter electrode 0 A1",
        "meter electrode 99999999999 A1",
    };
    for (const char* line : lines) {
        const std::string error = ParseError(line);
        EXPECT_NE(error.find("is not within"), std::string::npos) << line << " -> " << error;
    }
    // A number beyond the range of a double is not a number to read at all.
    EXPECT_NE(ParseError("supply5 1e999").find("not a number: \"1e999\""), std::string::npos);
}

TEST(BenchFile, ValuesAtTheirLimitsAreKept) {
    const sim::BenchSetup s = sim::ParseBench("timing latency 255\n"
                                              "supply5 0\n"
                                              "supply12 100\n"
                                              "meter path 65535 12 open\n"
                                              "meter path 1 0 1e15\n"
                                              "touch B96 0 1e12 0\n");
    EXPECT_EQ(s.timing.latencyMs, 255);
    EXPECT_EQ(s.bench.volts5, 0);
    EXPECT_EQ(s.bench.volts12, 100);
    EXPECT_EQ((s.bench.meter.pathOhms.at({65535, 12})), sim::NoPath);
    EXPECT_EQ((s.bench.meter.pathOhms.at({1, 0})), 1e15);
    ASSERT_EQ(s.bench.touches.size(), 1u);
    EXPECT_EQ(s.bench.touches[0].toMs, 1e12);
}

TEST(BenchFile, ALongLineIsQuotedByAShortPrefix) {
    const std::string huge(sim::MostBenchFileBytes, 'x');
    for (const std::string& line : {huge, "firmware " + huge, "supply5 " + huge}) {
        const std::string error = ParseError("config 0x40\n" + line + "\n");
        EXPECT_LT(error.size(), 200u) << error.substr(0, 300);
        EXPECT_NE(error.find("bench, line 2: \""), std::string::npos) << error;
        EXPECT_NE(error.find("...\""), std::string::npos) << error;
    }
    // The prefix ends before a character that would be cut in two.
    EXPECT_EQ(ParseError("   " + std::string(39, 'a') + "\xc3\xa9zz  "),
              "bench, line 1: \"" + std::string(39, 'a') + "...\": unknown setting \"" +
                  std::string(39, 'a') + "...\"");
    // Control characters of a binary file are shown, not passed on to a terminal or a box.
    EXPECT_EQ(ParseError(std::string("\x1b[2J\x07") + "\n"),
              "bench, line 1: \"?[2J?\": unknown setting \"?[2J?\"");
}

TEST(BenchFile, NoMoreEntriesThanABenchCanHold) {
    // 192 nodes give 18336 pairs; 191 lines of 96 conductors fill them exactly.
    const std::string full = Repeat("straight 96\n", 191);
    EXPECT_EQ(sim::ParseBench("no-cable\n" + full).bench.conductors.size(), 18336u);
    EXPECT_EQ(ParseError("no-cable\n" + full + "straight 1\n"),
              "bench, line 193: \"straight 1\": more than 18336 conductors (one per pair of the "
              "192 nodes)");
    // The default cable's 24 conductors count too.
    EXPECT_NE(ParseError(full).find("line 191"), std::string::npos);
    EXPECT_NE(ParseError(Repeat("leak A1 A2 1e6\n", 18337))
                  .find("line 18337: \"leak A1 A2 1e6\": more than 18336 leaks"),
              std::string::npos);
    EXPECT_NE(ParseError(Repeat("touch A1\n", 18337)).find("more than 18336 touches"),
              std::string::npos);
}

TEST_F(BenchFileOnDisk, FilesThatAreNotABenchAreRefused) {
    const std::string folder = dir.string();
    EXPECT_EQ(LoadError(folder), "the bench file \"" + folder + "\" is a folder, not a file");
    EXPECT_EQ(LoadError(folder + "/missing.bench"),
              "cannot open the bench file \"" + folder +
                  "/missing.bench\": No such file or directory");
    // A FIFO given by mistake is refused without being opened: the start does not wait on it.
    testing_support::FifoWatch fifo(folder + "/fifo.bench");
    ASSERT_TRUE(fifo.Made());
    EXPECT_EQ(LoadError(folder + "/fifo.bench"),
              "the bench file \"" + folder + "/fifo.bench\" is not a file (a FIFO or a device)");
    EXPECT_EQ(fifo.Readers(), 0);

    // Comments only: the size alone decides.
    const std::string line = "# " + std::string(1021, '-') + "\n"; // 1 KB
    const std::string atLimit = Write("limit.bench", Repeat(line, 1024));
    EXPECT_EQ(LoadError(atLimit), "");
    const std::string over = Write("over.bench", Repeat(line, 1024) + "\n");
    EXPECT_EQ(LoadError(over),
              "the bench file \"" + over + "\" is larger than 1 MB: a bench is a few lines");

    const std::string bad = Write("bad.bench", "config 0x40\nboards 3\n");
    EXPECT_EQ(LoadError(bad), "bench file \"" + bad + "\", line 2: \"boards 3\": too few values");
}

TEST(ModelTime, MillisecondsBeyondTheModelAreHeldAtItsBound) {
    const uint64_t most = sim::MsToNs(sim::MostModelMs);
    EXPECT_EQ(most, 1'000'000'000'000'000'000ull);
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double ms;
        uint64_t ns;
    } cases[] = {{0, 0},           {-5, 0},       {-inf, 0},  {std::nan(""), 0},
                 {1.5, 1'500'000}, {1e300, most}, {inf, most}};
    for (const auto& c : cases) EXPECT_EQ(sim::MsToNs(c.ms), c.ns) << c.ms;
}

} // namespace
