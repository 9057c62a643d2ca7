// The scenario harness from the command line: `calbrix_scenario FILE.scn` prints the
// transcript; `--check EXPECTED` compares it with a transcript kept beside the scenario and
// prints the first difference; `--write EXPECTED` writes it there.

#include <QApplication>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>

#include "interface/AppSetup.h"
#include "tests/scenario/Harness.h"

namespace {
std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

int Compare(const std::string& got, const std::string& expected) {
    std::istringstream a(got), b(expected);
    std::string la, lb;
    for (int line = 1;; ++line) {
        const bool ha = static_cast<bool>(std::getline(a, la));
        const bool hb = static_cast<bool>(std::getline(b, lb));
        if (!ha && !hb) return 0;
        if (ha != hb || la != lb) {
            std::cerr << "transcript differs at line " << line
                      << "\n  expected: " << (hb ? lb : "(end)")
                      << "\n  got:      " << (ha ? la : "(end)") << "\n";
            return 1;
        }
    }
}
} // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    SetUpApplication();
    std::string scenarioFile, check, write;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--check") && i + 1 < argc)
            check = argv[++i];
        else if (!std::strcmp(argv[i], "--write") && i + 1 < argc)
            write = argv[++i];
        else
            scenarioFile = argv[i];
    }
    if (scenarioFile.empty()) {
        std::cerr << "usage: calbrix_scenario [--check EXPECTED | --write EXPECTED] FILE.scn\n";
        return 2;
    }
    std::ostringstream transcript;
    try {
        scenario::Harness harness(transcript);
        harness.RunScript(ReadFile(scenarioFile), FolderOf(scenarioFile));
    } catch (const std::exception& e) {
        std::cout << transcript.str();
        std::cerr << scenarioFile << ": " << e.what() << "\n";
        return 2;
    }
    if (!write.empty()) {
        std::ofstream(write, std::ios::binary) << transcript.str();
        return 0;
    }
    if (!check.empty()) {
        const int result = Compare(transcript.str(), ReadFile(check));
        if (result != 0) std::cout << transcript.str();
        return result;
    }
    std::cout << transcript.str();
    return 0;
}
