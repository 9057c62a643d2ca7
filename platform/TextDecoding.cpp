#include "platform/TextDecoding.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace platform {

namespace {

constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";

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

// Windows-1252 from 0x80 to 0x9F; the five bytes it leaves undefined keep their C1 code.
constexpr std::array<uint16_t, 32> Cp1252High{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool IsLineEnd(uint32_t c) {
    return c == '\n' || c == '\r';
}

std::string FromUtf16(std::string_view bytes, bool bigEndian, bool& zerosInLines) {
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
        if (u == 0) {
            // A NUL beside a character that is neither a NUL nor a line end.
            const uint32_t before = i >= 2 ? unit(i - 2) : '\n';
            const uint32_t after = i + 3 < bytes.size() ? unit(i + 2) : '\n';
            if ((before != 0 && !IsLineEnd(before)) || (after != 0 && !IsLineEnd(after)))
                zerosInLines = true;
            out += ' ';
        } else
            AppendUtf8(out, u >= 0xD800 && u <= 0xDFFF ? Replacement : u);
    }
    if (i < bytes.size()) AppendUtf8(out, Replacement); // an odd last byte
    return out;
}

// Whether bytes without a byte-order mark are UTF-16, and which way round, judged by the zeros
// of the whole file. In UTF-16 every character below U+0100 (the ASCII of the keys, the '=', the
// brackets, the line ends) has its high byte 0 and its low byte not: one side of the pairs
// carries these zeros, and the line ends are whole UTF-16 characters. Names in Cyrillic or CJK
// have no zeros, so they decide nothing, however many of them come first. 8-bit text has no
// zeros, or a few strays, or runs of them (a tail that a failed write left), which fill both
// sides of their pairs.
enum class Utf16Order { None, Little, Big };
Utf16Order Utf16Without(std::string_view bytes) {
    if (std::memchr(bytes.data(), 0, bytes.size()) == nullptr) return Utf16Order::None;
    size_t oddZero = 0, evenZero = 0; // pairs with a zero on that side only
    size_t text = 0;                  // pairs that are not both zero
    size_t littleEnds = 0, bigEnds = 0, endBytes = 0;
    auto isEnd = [](char c) { return c == '\n' || c == '\r'; };
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const char even = bytes[i], odd = bytes[i + 1];
        if (even == '\0' && odd == '\0') continue;
        ++text;
        oddZero += odd == '\0';
        evenZero += even == '\0';
        littleEnds += odd == '\0' && isEnd(even);
        bigEnds += even == '\0' && isEnd(odd);
        endBytes += isEnd(even) + isEnd(odd);
    }
    const bool little = oddZero > evenZero;
    const size_t zeros = little ? oddZero : evenZero;
    const size_t ends = little ? littleEnds : bigEnds;
    // A sixteenth is far below the ASCII of any settings file and far above what strays give.
    if (zeros < 2 || 16 * zeros < text || (endBytes > 0 && ends == 0)) return Utf16Order::None;
    return little ? Utf16Order::Little : Utf16Order::Big;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

} // namespace

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

std::string LineAsUtf8(std::string_view line) {
    if (IsUtf8(line)) return std::string(line);
    std::string out;
    AppendCp1252(out, line);
    return out;
}

TextBytes PrepareText(std::string bytes) {
    TextBytes text;
    const bool bom16 = StartsWith(bytes, "\xFF\xFE") || StartsWith(bytes, "\xFE\xFF");
    const Utf16Order order =
        bom16 ? (bytes[0] == '\xFE' ? Utf16Order::Big : Utf16Order::Little) : Utf16Without(bytes);
    if (order != Utf16Order::None) {
        text.bytes = FromUtf16(std::string_view(bytes).substr(bom16 ? 2 : 0),
                               order == Utf16Order::Big, text.zerosInLines);
        text.utf16 = true;
    } else {
        // A text has no zeros, so a search finds them faster than a look at every byte.
        char* const begin = bytes.data();
        char* const end = begin + bytes.size();
        for (char* p = begin; (p = static_cast<char*>(std::memchr(p, 0, end - p)));) {
            char* const run = p;
            while (p < end && *p == '\0') *p++ = ' ';
            if ((run > begin && !IsLineEnd(static_cast<unsigned char>(run[-1]))) ||
                (p < end && !IsLineEnd(static_cast<unsigned char>(*p))))
                text.zerosInLines = true;
        }
        text.bytes = std::move(bytes);
    }
    // The mark, and marks repeated after it, are no text (the file reads the same once written).
    while (StartsWith(text.Text(), Utf8Bom)) text.start += Utf8Bom.size();
    return text;
}

std::string DecodeText(std::string bytes) {
    const TextBytes text = PrepareText(std::move(bytes));
    const std::string_view all = text.Text();
    if (text.utf16 || IsUtf8(all)) return std::string(all);
    std::string out;
    out.reserve(all.size() + all.size() / 4);
    LineCutter cutter(all);
    size_t ends = 0; // where the line end before the next line starts
    for (std::string_view line; cutter.Next(line);) {
        const size_t begin = static_cast<size_t>(line.data() - all.data());
        out.append(all.substr(ends, begin - ends));
        if (IsUtf8(line))
            out.append(line);
        else
            AppendCp1252(out, line);
        ends = begin + line.size();
    }
    out.append(all.substr(ends));
    return out;
}

size_t LineCutter::NextOf(char c, size_t& cached) const {
    if (cached == std::string_view::npos || (cached < at_ && cached < text_.size())) {
        const void* found = std::memchr(text_.data() + at_, c, text_.size() - at_);
        cached = found ? static_cast<size_t>(static_cast<const char*>(found) - text_.data())
                       : text_.size();
    }
    return cached;
}

bool LineCutter::Next(std::string_view& line) {
    if (at_ >= text_.size()) return false;
    // Two searches that each run ahead on their own: a file of LF lines with one CR is not
    // searched for that CR at every line.
    const size_t end = std::min(NextOf('\n', lf_), NextOf('\r', cr_));
    line = text_.substr(at_, end - at_);
    if (end >= text_.size())
        at_ = text_.size();
    else if (text_[end] == '\r' && end + 1 < text_.size() && text_[end + 1] == '\n')
        at_ = end + 2;
    else
        at_ = end + 1;
    return true;
}

} // namespace platform
