#include "platform/IniDocument.h"

#include <cstdint>

namespace platform {

namespace {

constexpr std::string_view Blanks = " \t\r\v\f";

std::string_view Trim(std::string_view text) {
    const size_t first = text.find_first_not_of(Blanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(Blanks) - first + 1);
}

std::string Fold(std::string_view text) {
    std::string folded(text);
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return folded;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// "[Name]" and the name, or nothing for another line.
std::optional<std::string_view> SectionName(std::string_view line) {
    const std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() != '[') return std::nullopt;
    const size_t close = trimmed.rfind(']');
    if (close == 0 || close == std::string_view::npos) return std::nullopt;
    return Trim(trimmed.substr(1, close - 1));
}

// A value as the file will hold it: UTF-8 (other bytes are taken as Windows-1252, as in a
// file) and on one line.
std::string OneLine(std::string_view value) {
    std::string line = LineAsUtf8(value);
    for (char& c : line)
        if (c == '\r' || c == '\n' || c == '\0') c = ' ';
    return line;
}

} // namespace

std::optional<int32_t> ParseInt32(std::string_view text) {
    text = Trim(text);
    constexpr int64_t Max = INT32_MAX;
    if (StartsWith(text, "0x") || StartsWith(text, "0X")) {
        const std::string_view digits = text.substr(2);
        if (digits.empty()) return std::nullopt;
        int64_t value = 0;
        for (const char c : digits) {
            int digit = 0;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                digit = c - 'A' + 10;
            else
                return std::nullopt;
            value = value * 16 + digit;
            if (value > Max) return std::nullopt;
        }
        return static_cast<int32_t>(value);
    }
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > Max + 1) return std::nullopt; // stops long before 64 bits could overflow
    }
    if (negative) value = -value;
    if (value > Max) return std::nullopt;
    return static_cast<int32_t>(value);
}

IniDocument IniDocument::Parse(std::string bytes) {
    IniDocument doc;
    doc.text_ = std::make_unique<const TextBytes>(PrepareText(std::move(bytes)));
    const std::string_view all = doc.text_->Text();
    // Most files are UTF-8 through and through: then no line needs a look of its own.
    const bool mixed = !doc.text_->utf16 && !IsUtf8(all);
    Section* current = nullptr;
    LineCutter cutter(all);
    for (std::string_view line; cutter.Next(line);) {
        const size_t index = doc.lines_.size();
        doc.lines_.push_back({line, mixed && !IsUtf8(line)});
        if (const auto name = SectionName(line)) {
            doc.sections_.emplace_back();
            current = &doc.sections_.back();
            current->insertAt = index;
            doc.sectionIndex_.try_emplace(Fold(*name), doc.sections_.size() - 1);
            continue;
        }
        if (Trim(line).empty()) continue;
        if (!current) continue; // lines before the first section
        current->insertAt = index;
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        const std::string_view key = Trim(line.substr(0, equals));
        if (!key.empty()) current->keys.try_emplace(Fold(key), KeyRef{false, index});
    }
    doc.readSections_ = doc.sections_.size();
    for (Section& s : doc.sections_) s.keysRead = s.keys.size();
    return doc;
}

bool IniDocument::TextAsRead() const {
    if (!text_) return true;
    if (text_->zerosInLines) return false;
    // Asked only of a file the program did not recognise: one look at the whole text then.
    for (const char c : text_->Text()) {
        const auto b = static_cast<unsigned char>(c);
        if ((b < 0x20 && b != '\t' && b != '\n' && b != '\v' && b != '\f' && b != '\r') ||
            b == 0x7F)
            return false;
    }
    return true;
}

bool IniDocument::HadKeysWhenRead(std::string_view section) const {
    const auto it = sectionIndex_.find(Fold(section));
    return it != sectionIndex_.end() && it->second < readSections_ &&
           sections_[it->second].keysRead > 0;
}

std::string IniDocument::Line::Utf8(std::string_view part) const {
    if (!cp1252) return std::string(part);
    std::string out;
    AppendCp1252(out, part);
    return out;
}

const IniDocument::Line& IniDocument::LineOf(const Section& s, KeyRef ref) const {
    return ref.added ? s.added[ref.index] : lines_[ref.index];
}

const IniDocument::Section* IniDocument::FindSection(std::string_view name) const {
    const auto it = sectionIndex_.find(Fold(name));
    return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
}

std::optional<std::string> IniDocument::Find(std::string_view section, std::string_view key) const {
    const Section* s = FindSection(section);
    if (!s) return std::nullopt;
    const auto it = s->keys.find(Fold(key));
    if (it == s->keys.end()) return std::nullopt;
    const Line& line = LineOf(*s, it->second);
    return line.Utf8(Trim(line.text.substr(line.text.find('=') + 1)));
}

void IniDocument::Write(std::string_view section, std::string_view key, std::string_view value) {
    const std::string folded = Fold(section);
    auto found = sectionIndex_.find(folded);
    if (found == sectionIndex_.end()) {
        Section added;
        added.header = "[" + std::string(section) + "]";
        sections_.push_back(std::move(added));
        found = sectionIndex_.emplace(folded, sections_.size() - 1).first;
    }
    Section& s = sections_[found->second];
    const std::string foldedKey = Fold(key);
    if (const auto it = s.keys.find(foldedKey); it != s.keys.end()) {
        // The key keeps its place and its spelling.
        const Line& old = LineOf(s, it->second);
        rewritten_.push_back(old.Utf8(Trim(old.text.substr(0, old.text.find('=')))) + "=" +
                             OneLine(value));
        (it->second.added ? s.added : lines_)[it->second.index] = {rewritten_.back(), false};
        return;
    }
    rewritten_.push_back(std::string(key) + "=" + OneLine(value));
    s.added.push_back({rewritten_.back(), false});
    s.keys.emplace(foldedKey, KeyRef{true, s.added.size() - 1});
}

std::string IniDocument::Serialize() const {
    size_t size = 0;
    for (const auto& line : lines_) size += line.text.size() + 2;
    for (const auto& s : sections_) {
        size += s.header.size() + 4;
        for (const auto& line : s.added) size += line.text.size() + 2;
    }
    std::string out;
    out.reserve(size);
    bool lastBlank = true;
    auto emit = [&](const Line& line) {
        if (line.cp1252)
            AppendCp1252(out, line.text);
        else
            out += line.text;
        out += "\r\n";
        lastBlank = Trim(line.text).empty();
    };
    size_t next = 0; // the next section as read whose new keys are still to come
    for (size_t i = 0; i < lines_.size(); ++i) {
        emit(lines_[i]);
        for (; next < readSections_ && sections_[next].insertAt == i; ++next)
            for (const auto& line : sections_[next].added) emit(line);
    }
    for (size_t i = readSections_; i < sections_.size(); ++i) {
        if (!lastBlank) emit({"", false}); // a blank line between sections, for whoever edits
        emit({sections_[i].header, false});
        for (const auto& line : sections_[i].added) emit(line);
    }
    return out;
}

} // namespace platform
