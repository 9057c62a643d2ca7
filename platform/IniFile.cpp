#include "platform/IniFile.h"

#include <string>

#include "platform/FileRead.h"

namespace platform {

namespace {

// Far beyond any settings file; a bigger one is not read into memory at every start.
constexpr size_t MaxFileBytes = size_t{64} << 20;

[[noreturn]] void Fail(const char* verb, const std::string& path, const std::string& reason) {
    throw IniFileError(std::string("Cannot ") + verb + " file \"" + path + "\". " + reason + ".");
}

// The whole file, nothing when it does not exist.
std::optional<std::string> ReadWhole(const std::string& path) {
    FileRead read = ReadRegularFile(path, MaxFileBytes);
    if (read.outcome == FileRead::Outcome::Missing) return std::nullopt;
    if (!read.Ok()) Fail("read", path, read.Reason());
    return std::move(read.bytes);
}

} // namespace

IniFile::IniFile(std::string path) : path_(std::move(path)) {
    Read();
}

IniFile::IniFile(std::string path, ForSave)
    : path_(std::move(path)), turn_(std::make_unique<SaveTurn>(path_)) {
    Read();
}

void IniFile::Read() {
    if (auto bytes = ReadWhole(path_)) {
        doc_ = IniDocument::Parse(std::move(*bytes));
        read_ = true;
    }
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view fallback) const {
    auto value = doc_.Find(section, key);
    return value ? std::move(*value) : std::string(fallback);
}

int32_t IniFile::ReadInteger(std::string_view section, std::string_view key,
                             int32_t fallback) const {
    const auto value = doc_.Find(section, key);
    if (!value) return fallback;
    return ParseInt32(*value).value_or(fallback);
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    wroteKeysRead_ = wroteKeysRead_ || doc_.HadKeysWhenRead(section);
    doc_.Write(section, key, value);
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
    WriteString(section, key, std::to_string(value));
}

void IniFile::UpdateFile() {
    // This save's turn, or a turn of its own; it ends here, whatever the outcome.
    const std::unique_ptr<SaveTurn> turn =
        turn_ ? std::move(turn_) : std::make_unique<SaveTurn>(path_);
    // A file of comments alone is a text like any other; one that is no text is not.
    if (read_ && !wroteKeysRead_ && !doc_.TextAsRead())
        Fail("write", path_, "It holds no text that could be read, so it is left as it is");
    try {
        turn->Replace(doc_.Serialize());
    } catch (const FileWriteError& e) {
        throw IniFileError(e.what());
    }
}

} // namespace platform
