// How long the window takes to start with a hostile settings file in place: a binary file, a
// file of 50 MB, lines of a million characters, numbers beyond 64 bits and thousands of list
// keys. The window is the real one, offscreen; the start without a file is the reference.

#include <QApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "definitions/DataFolders.h"
#include "interface/Main.h"
#include "tests/support/FakeFtdi.h"
#include "tests/support/TestServices.h"

namespace {

std::string Noise(size_t size) {
    std::string bytes(size, '\0');
    uint32_t seed = 7;
    for (char& b : bytes) {
        seed = seed * 1664525u + 1013904223u;
        b = static_cast<char>(seed >> 24);
    }
    return bytes;
}

std::string FiftyMegabytesOfKeys() {
    std::string bytes = "[Service]\r\nCounter=5\r\n[Junk]\r\n";
    const std::string line = "k=" + std::string(98, 'x') + "\r\n";
    while (bytes.size() < (size_t{50} << 20)) bytes += line;
    return bytes;
}

std::string MillionCharacterLines() {
    const std::string million(1'000'000, 'A');
    return "[Settings]\r\nTestFile=" + million + "\r\n[Service]\r\nCounter=1" +
           std::string(1'000'000, '0') + "\r\n[Operators]\r\n0=" + million + "\r\n";
}

std::string HugeNumbers() {
    return "[Settings]\nAutomatic=18446744073709551616\n[AdvancedSettings]\n"
           "IsoTime=0x10000000000000000\nRelaysRetryCount=9223372036854775808\n"
           "[Service]\nCounter=-99999999999999999999999999999999\n";
}

std::string ThousandsOfListKeys() {
    std::string bytes;
    for (const char* section : {"[Operators]", "[Models]", "[SerialNumbers]"}) {
        bytes += std::string(section) + "\r\n";
        for (int n = 0; n < 20000; ++n)
            bytes += std::to_string(n) + "=entry " + std::to_string(n) + "\r\n";
    }
    return bytes;
}

void StartWith(benchmark::State& state, const std::string& bytes, bool withFile) {
    testing_support::TestPlatform p;
    testing_support::FakeFtdi ftdi{p.clock};
    platform::Services services = testing_support::ServicesOf(p, ftdi);
    QTemporaryDir root;
    p.process.dataRoot = root.path().toStdString();
    const auto folders = definitions::DataFoldersFor(p.process.dataRoot);
    std::filesystem::create_directories(folders.Data);
    if (withFile) std::ofstream(folders.SettingsFile, std::ios::binary) << bytes;
    state.counters["file_MB"] = double(bytes.size()) / (1 << 20);
    for (auto _ : state) {
        TMainFrm frm(services);
        benchmark::DoNotOptimize(frm.RunsSinceSelfTest);
    }
}

void NoFile(benchmark::State& s) {
    StartWith(s, "", false);
}
void BinaryOneMegabyte(benchmark::State& s) {
    StartWith(s, Noise(size_t{1} << 20), true);
}
void BinaryFiftyMegabytes(benchmark::State& s) {
    StartWith(s, Noise(size_t{50} << 20), true);
}
void FiftyMegabytes(benchmark::State& s) {
    StartWith(s, FiftyMegabytesOfKeys(), true);
}
void MillionCharacters(benchmark::State& s) {
    StartWith(s, MillionCharacterLines(), true);
}
void NumbersBeyond64Bits(benchmark::State& s) {
    StartWith(s, HugeNumbers(), true);
}
void SixtyThousandListKeys(benchmark::State& s) {
    StartWith(s, ThousandsOfListKeys(), true);
}

BENCHMARK(NoFile)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BinaryOneMegabyte)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BinaryFiftyMegabytes)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(FiftyMegabytes)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(MillionCharacters)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(NumbersBeyond64Bits)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(SixtyThousandListKeys)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
