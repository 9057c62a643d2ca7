#include "platform/IniDocument.h"

#include <array>

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

std::string FromCp1252(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80)
            out += ch;
        else
            AppendUtf8(out, c < 0xA0 ? Cp1252High[c - 0x80] : c);
    }
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

std::string DecodeIniText(std::string_view bytes) {
    constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";
    std::string text;
    if (StartsWith(bytes, "\xFF\xFE")) {
        text = FromUtf16(bytes.substr(2), false);
    } else if (StartsWith(bytes, "\xFE\xFF")) {
        text = FromUtf16(bytes.substr(2), true);
    } else {
        if (StartsWith(bytes, Utf8Bom)) bytes.remove_prefix(Utf8Bom.size());
        text = IsUtf8(bytes) ? std::string(bytes) : FromCp1252(bytes);
    }
    // Marks repeated at the start are no text either (the file reads the same once written).
    size_t marks = 0;
    while (std::string_view(text).substr(marks, Utf8Bom.size()) == Utf8Bom) marks += Utf8Bom.size();
    text.erase(0, marks);
    return text;
}

IniDocument IniDocument::Parse(std::string_view bytes) {
    IniDocument doc;
    const std::string text = DecodeIniText(bytes);
    const std::string_view all(text);
    Section* current = nullptr;
    for (size_t start = 0; start < all.size();) {
        size_t end = all.find('\n', start);
        const size_t next = end == std::string_view::npos ? all.size() : end + 1;
        if (end == std::string_view::npos) end = all.size();
        std::string_view line = all.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        start = next;

        const size_t index = doc.lines_.size();
        doc.lines_.emplace_back(line);
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
    const std::string& line =
        it->second.added ? s->added[it->second.index] : lines_[it->second.index];
    return std::string(Trim(std::string_view(line).substr(line.find('=') + 1)));
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
        std::string& line = it->second.added ? s.added[it->second.index] : lines_[it->second.index];
        line = std::string(Trim(std::string_view(line).substr(0, line.find('=')))) + "=" +
               OneLine(value);
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
    auto emit = [&](std::string_view line) {
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
