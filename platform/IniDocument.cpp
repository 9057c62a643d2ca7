#include "platform/IniDocument.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>

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

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsUtf8(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        // Plain ASCII eight bytes at a time: most of any settings file.
        if (end - p >= 8) {
            uint64_t word = 0;
            std::memcpy(&word, p, sizeof word);
            if ((word & 0x8080808080808080u) == 0) {
                p += 8;
                continue;
            }
        }
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int more = 0;
        unsigned char low = 0x80, high = 0xBF; // allowed range of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            more = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2;
            if (c == 0xE0) low = 0xA0;
            if (c == 0xED) high = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3;
            if (c == 0xF0) low = 0x90;
            if (c == 0xF4) high = 0x8F;
        } else {
            return false;
        }
        if (end - p <= more) return false;
        if (p[1] < low || p[1] > high) return false;
        for (int i = 2; i <= more; ++i)
            if ((p[i] & 0xC0) != 0x80) return false;
        p += more + 1;
    }
    return true;
}

// Windows-1252 from 0x80 to 0x9F; the five bytes it leaves undefined keep their C1 code.
constexpr std::array<uint16_t, 32> Cp1252High{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Appends Windows-1252 bytes as UTF-8.
void AppendCp1252(std::string& out, std::string_view bytes) {
    // Each byte's UTF-8 form, made once: at most three bytes.
    struct Encoded {
        std::array<char, 3> bytes{};
        uint8_t size = 0;
    };
    static const std::array<Encoded, 256> table = [] {
        std::array<Encoded, 256> t{};
        for (uint32_t b = 0; b < 256; ++b) {
            std::string utf8;
            AppendUtf8(utf8, b >= 0x80 && b < 0xA0 ? Cp1252High[b - 0x80] : b);
            t[b].size = static_cast<uint8_t>(utf8.size());
            std::copy(utf8.begin(), utf8.end(), t[b].bytes.begin());
        }
        return t;
    }();
    size_t size = 0;
    for (const char ch : bytes) size += table[static_cast<unsigned char>(ch)].size;
    const size_t at = out.size();
    out.resize(at + size);
    char* to = out.data() + at;
    for (const char ch : bytes) {
        const Encoded& e = table[static_cast<unsigned char>(ch)];
        std::memcpy(to, e.bytes.data(), e.size);
        to += e.size;
    }
}

std::string FromCp1252(std::string_view bytes) {
    std::string out;
    AppendCp1252(out, bytes);
    return out;
}

std::string FromUtf16(std::string_view bytes, bool bigEndian) {
    constexpr uint32_t Replacement = 0xFFFD;
    std::string out;
    out.reserve(bytes.size());
    auto unit = [&](size_t i) {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        return static_cast<uint32_t>(bigEndian ? (a << 8 | b) : (b << 8 | a));
    };
    size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        const uint32_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 3 < bytes.size()) {
            const uint32_t next = unit(i + 2);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (next - 0xDC00));
                i += 2;
                continue;
            }
        }
        AppendUtf8(out, u >= 0xD800 && u <= 0xDFFF ? Replacement : u);
    }
    if (i < bytes.size()) AppendUtf8(out, Replacement); // an odd last byte
    return out;
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
    std::string line = IsUtf8(value) ? std::string(value) : FromCp1252(value);
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

IniDocument::Text IniDocument::Decode(std::string bytes) {
    constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";
    Text text;
    size_t skip = 0;
    if (StartsWith(bytes, "\xFF\xFE") || StartsWith(bytes, "\xFE\xFF")) {
        text.bytes = FromUtf16(std::string_view(bytes).substr(2), bytes[0] == '\xFE');
    } else {
        if (StartsWith(bytes, Utf8Bom)) skip = Utf8Bom.size();
        // Windows-1252 stays as it is until a line is used: a big file is not copied.
        text.windows1252 = !IsUtf8(std::string_view(bytes).substr(skip));
        text.bytes = std::move(bytes);
    }
    // The mark, and marks repeated after it, are no text (the file reads the same once written).
    if (!text.windows1252)
        while (std::string_view(text.bytes).substr(skip, Utf8Bom.size()) == Utf8Bom)
            skip += Utf8Bom.size();
    text.start = skip;
    return text;
}

std::string DecodeIniText(std::string bytes) {
    IniDocument::Text text = IniDocument::Decode(std::move(bytes));
    const std::string_view rest = std::string_view(text.bytes).substr(text.start);
    return text.windows1252 ? FromCp1252(rest) : std::string(rest);
}

bool IniDocument::AsRead(std::string_view line) const {
    const std::less_equal<const char*> atMost;
    return text_ && atMost(text_->bytes.data(), line.data()) &&
           atMost(line.data(), text_->bytes.data() + text_->bytes.size());
}

std::string IniDocument::Utf8(std::string_view text) const {
    return text_ && text_->windows1252 && AsRead(text) ? FromCp1252(text) : std::string(text);
}

IniDocument IniDocument::Parse(std::string bytes) {
    IniDocument doc;
    doc.text_ = std::make_unique<const Text>(Decode(std::move(bytes)));
    const std::string_view all = std::string_view(doc.text_->bytes).substr(doc.text_->start);
    Section* current = nullptr;
    for (size_t start = 0; start < all.size();) {
        size_t end = all.find('\n', start);
        const size_t next = end == std::string_view::npos ? all.size() : end + 1;
        if (end == std::string_view::npos) end = all.size();
        std::string_view line = all.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        start = next;

        const size_t index = doc.lines_.size();
        doc.lines_.push_back(line);
        if (const auto name = SectionName(line)) {
            doc.sections_.emplace_back();
            current = &doc.sections_.back();
            current->insertAt = index;
            doc.sectionIndex_.try_emplace(Fold(*name), doc.sections_.size() - 1);
            continue;
        }
        if (!current || Trim(line).empty()) continue; // lines before the first section
        current->insertAt = index;
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        const std::string_view key = Trim(line.substr(0, equals));
        if (!key.empty()) current->keys.try_emplace(Fold(key), KeyRef{false, index});
    }
    doc.readSections_ = doc.sections_.size();
    return doc;
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
    const std::string_view line =
        it->second.added ? std::string_view(s->added[it->second.index]) : lines_[it->second.index];
    return Utf8(Trim(line.substr(line.find('=') + 1)));
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
        const auto [added, index] = it->second;
        const std::string_view old = added ? std::string_view(s.added[index]) : lines_[index];
        std::string line = Utf8(Trim(old.substr(0, old.find('=')))) + "=" + OneLine(value);
        if (added) {
            s.added[index] = std::move(line);
        } else {
            rewritten_.push_back(std::move(line));
            lines_[index] = rewritten_.back();
        }
        return;
    }
    s.added.push_back(std::string(key) + "=" + OneLine(value));
    s.keys.emplace(foldedKey, KeyRef{true, s.added.size() - 1});
}

std::string IniDocument::Serialize() const {
    size_t size = 0;
    for (const auto& line : lines_) size += line.size() + 2;
    for (const auto& s : sections_) {
        size += s.header.size() + 4;
        for (const auto& line : s.added) size += line.size() + 2;
    }
    std::string out;
    out.reserve(size);
    bool lastBlank = true;
    const bool windows1252 = text_ && text_->windows1252;
    auto emit = [&](std::string_view line) {
        if (windows1252 && AsRead(line))
            AppendCp1252(out, line);
        else
            out += line;
        out += "\r\n";
        lastBlank = Trim(line).empty();
    };
    size_t next = 0; // the next section as read whose new keys are still to come
    for (size_t i = 0; i < lines_.size(); ++i) {
        emit(lines_[i]);
        for (; next < readSections_ && sections_[next].insertAt == i; ++next)
            for (const auto& line : sections_[next].added) emit(line);
    }
    for (size_t i = readSections_; i < sections_.size(); ++i) {
        if (!lastBlank) emit(""); // a blank line between sections, for whoever edits the file
        emit(sections_[i].header);
        for (const auto& line : sections_[i].added) emit(line);
    }
    return out;
}

} // namespace platform
