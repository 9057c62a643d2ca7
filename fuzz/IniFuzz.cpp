// libFuzzer entry for the settings file's INI reader: any bytes (any line ends, encodings mixed
// line by line, UTF-16 with or without its mark) must read without undefined behaviour, be
// written back as UTF-8 with CR LF line ends, read back to the same values, and take the
// program's writes without disturbing the keys they do not touch.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "platform/IniDocument.h"

namespace {

void Check(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "INI invariant broken: %s\n", what);
    std::abort();
}

// The keys the program reads, and a few a hand may have put there.
constexpr std::pair<const char*, const char*> Probes[] = {
    {"Settings", "TestFile"},
    {"Settings", "Automatic"},
    {"AdvancedSettings", "IsoTime"},
    {"AdvancedSettings", "RelaysRetryCount"},
    {"Service", "Counter"},
    {"Operators", "0"},
    {"Operators", "1"},
    {"Models", "0"},
    {"SerialNumbers", "0"},
    {"", ""},
};

// Every line end is CR LF: no LF alone and no CR alone.
bool CrLfOnly(std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) return false;
        if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) return false;
    }
    return text.empty() || text.ends_with("\r\n");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    auto doc = platform::IniDocument::Parse(std::string(bytes));
    for (const auto& [section, key] : Probes)
        if (const auto value = doc.Find(section, key)) (void)platform::ParseInt32(*value);

    const std::string once = doc.Serialize();
    Check(CrLfOnly(once), "every line ends in CR LF");
    Check(platform::DecodeText(once) == once, "the text is written as UTF-8");
    Check(once.find('\0') == std::string::npos, "no NUL is written");
    const auto again = platform::IniDocument::Parse(once);
    Check(again.Serialize() == once, "writing what was read changes nothing");
    for (const auto& [section, key] : Probes)
        Check(again.Find(section, key) == doc.Find(section, key), "a value survives a save");

    // The program's writes: a value from the input itself, as an operator name could be.
    const std::string value(bytes.substr(0, bytes.find('\n')));
    const auto counter = doc.Find("Service", "Counter");
    doc.Write("Operators", "0", value);
    doc.Write("Settings", "Automatic", "1");
    const auto written = platform::IniDocument::Parse(doc.Serialize());
    Check(written.Find("Service", "Counter") == counter, "an untouched key keeps its value");
    Check(written.Find("Settings", "Automatic") == std::optional<std::string>("1"),
          "a written number reads back");
    const auto name = written.Find("Operators", "0");
    Check(name.has_value() && name->find_first_of("\r\n") == std::string::npos,
          "a written text stays on its line");
    return 0;
}
