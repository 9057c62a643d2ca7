// The scenario step `settings`: a settings file put in place before the program starts, read
// back after it closed, made read-only, or a save made to fail midway.

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "definitions/DataFolders.h"
#include "interface/MainFields.h"
#include "platform/IniFile.h"
#include "tests/scenario/Harness.h"

namespace scenario {

void Harness::SettingsStep(const std::vector<std::string>& w, const std::string& line) {
    if (w.size() < 2)
        throw ScenarioError("settings file|line|remove|show|read-only|fail-after|block");
    // The file the window reads and writes: its box is always the simulated one.
    const auto folders = definitions::DataFoldersFor(DataRoot(), definitions::Bench::Simulated);
    const std::string& path = folders.SettingsFile;
    const std::string& what = w[1];
    auto makeFolders = [&] { std::filesystem::create_directories(folders.Data); };
    if (what == "file") {
        // The bytes of a file as they are.
        if (w.size() < 3) throw ScenarioError("settings file PATH");
        makeFolders();
        std::filesystem::copy_file(Path(w[2]), path,
                                   std::filesystem::copy_options::overwrite_existing);
    } else if (what == "line") {
        // The rest of the line exactly, or one quoted word with its escapes; CR LF added.
        const size_t at = line.find("line", line.find("settings") + 8) + 4;
        std::string text = at < line.size() ? line.substr(at + 1) : std::string();
        if (!text.empty() && text[0] == '"') text = Words(text).at(0);
        makeFolders();
        std::ofstream(path, std::ios::binary | std::ios::app) << text << "\r\n";
    } else if (what == "show") {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            Log("settings (no file)");
            return;
        }
        std::ostringstream bytes;
        bytes << in.rdbuf();
        const std::string text = bytes.str();
        // The line ends once for the file, then its lines without them.
        std::vector<std::string> lines;
        size_t crlf = 0, lf = 0;
        for (size_t start = 0; start < text.size();) {
            size_t end = text.find('\n', start);
            const bool ended = end != std::string::npos;
            if (!ended) end = text.size();
            std::string one = text.substr(start, end - start);
            if (ended && !one.empty() && one.back() == '\r') {
                one.pop_back();
                ++crlf;
            } else if (ended) {
                ++lf;
            }
            lines.push_back(std::move(one));
            start = end + 1;
        }
        const char* ends = lf == 0 && crlf > 0 ? "CR LF" : crlf == 0 && lf > 0 ? "LF" : "mixed";
        Log("settings " + QuoteText(Shown(path)) + " " + std::to_string(lines.size()) + " lines, " +
            (lines.empty() ? "empty" : ends));
        for (const auto& one : lines) Log("settings " + QuoteText(one));
    } else if (what == "remove") {
        std::filesystem::remove(path);
    } else if (what == "read-only") {
        if (w.size() < 3 || (w[2] != "on" && w[2] != "off"))
            throw ScenarioError("settings read-only on|off");
        std::filesystem::permissions(path, w[2] == "on" ? std::filesystem::perms(0444)
                                                        : std::filesystem::perms(0644));
    } else if (what == "fail-after") {
        // The next save stops after that many bytes as on a full disk.
        if (w.size() < 3) throw ScenarioError("settings fail-after BYTES");
        platform::InjectWriteFault(
            platform::WriteFault{.afterBytes = static_cast<size_t>(Int(w[2])),
                                 .kind = platform::WriteFault::Kind::Fail,
                                 .error = ENOSPC});
    } else if (what == "block") {
        // A plain file in place of the folder (and what it held): that folder cannot be made.
        if (w.size() < 3 || (w[2] != "maker" && w[2] != "data"))
            throw ScenarioError("settings block maker|data");
        std::string folder = w[2] == "maker" ? folders.Maker : folders.Data;
        folder.pop_back();
        if (w[2] == "data") std::filesystem::create_directories(folders.Maker);
        std::filesystem::remove_all(folder);
        std::ofstream(folder, std::ios::binary) << "";
    } else {
        throw ScenarioError("settings file|line|remove|show|read-only|fail-after|block");
    }
}

} // namespace scenario
