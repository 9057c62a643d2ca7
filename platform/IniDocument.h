#pragma once
// The text of an INI file held in memory, with the reading rules of the platform's
// private-profile functions that the settings file relies on. Pure code: no files.
//
//   auto doc = IniDocument::Parse(bytes);          // any bytes: never throws
//   doc.Find("settings", "TESTFILE");             // sections and keys match without case
//   doc.Write("Service", "Counter", "4");         // replaces, or appends in write order
//   std::string text = doc.Serialize();           // UTF-8, CR LF
//
// Layout: a line "[Name]" opens a section (blanks around the name ignored); a line with '='
// is a key, "Key=Value", blanks around key and value ignored. Every other line (comments,
// blank lines, text before the first section) is kept as it stands. Matching folds ASCII
// letters only (the names the program uses are ASCII). The first section of a name and the
// first key of a name in it win; later duplicates are kept in the text but never read or
// written.
//
// Encoding and line ends as TextDecoding says: UTF-16 with or without its byte-order mark, and
// else each line UTF-8 when it is valid UTF-8 and Windows-1252 when not; a line ends at CR LF,
// CR or LF; a NUL reads as a blank. Values are given out as UTF-8. The text is always written as
// UTF-8 without a byte-order mark, each line ended by CR LF.
//
// Writing keeps every line it does not write to exactly as it was (line ends become CR LF). A
// key that is written again keeps its place and its spelling; a new key goes after the last
// non-blank line of its section, a new section at the end of the text, both in the order of
// the writes.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/TextDecoding.h"

namespace platform {

// A whole number as the settings file and the program's edit boxes take it: blanks around it
// are ignored; decimal with an optional sign, or 0x / 0X and hexadecimal digits; nothing else,
// and nothing outside the signed 32-bit range.
std::optional<int32_t> ParseInt32(std::string_view text);

class IniDocument {
public:
    IniDocument() = default;
    // Lines refer into the text held: moved, never copied.
    IniDocument(IniDocument&&) = default;
    IniDocument& operator=(IniDocument&&) = default;
    IniDocument(const IniDocument&) = delete;
    IniDocument& operator=(const IniDocument&) = delete;

    static IniDocument Parse(std::string bytes);
    std::string Serialize() const;

    // The value of the first key of that name in the first section of that name.
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;
    // CR, LF and NUL in a value become blanks: a value is one line and cannot open a section
    // or add a key. A value that is not UTF-8 is taken as Windows-1252, as a file would be.
    void Write(std::string_view section, std::string_view key, std::string_view value);

    // The text as read: whether it is text at all (no control character but blanks and line
    // ends, no NUL among characters), which a file of blanks or comments alone is, and whether
    // the section of that name held a key.
    bool TextAsRead() const;
    bool HadKeysWhenRead(std::string_view section) const;

private:
    // A line without its end: a part of the text as read, Windows-1252 bytes to be converted
    // as the line is used, or the UTF-8 text of a line written since.
    struct Line {
        std::string_view text;
        bool cp1252 = false;
        std::string Utf8(std::string_view part) const; // part of text, as UTF-8
    };
    // Where a key's line is: a line of the text as read, or a line written since.
    struct KeyRef {
        bool added;
        size_t index;
    };
    struct Section {
        std::string header;      // the "[Name]" line of a section written since; empty when read
        size_t insertAt = 0;     // lines_ index after which its new keys go (sections as read)
        std::vector<Line> added; // key lines written since
        std::unordered_map<std::string, KeyRef> keys; // folded name -> first key line
        size_t keysRead = 0;
    };

    const Section* FindSection(std::string_view name) const;
    const Line& LineOf(const Section& s, KeyRef ref) const;

    // The text as read and its lines; a line written since refers to its new text instead.
    // One block for a whole file, however many lines; Windows-1252 lines stay as they are
    // until they are used, so a big file is not copied.
    std::unique_ptr<const TextBytes> text_;
    std::vector<Line> lines_;
    std::deque<std::string> rewritten_;
    // The sections as read, in their order, then those written since.
    std::vector<Section> sections_;
    size_t readSections_ = 0;
    std::unordered_map<std::string, size_t> sectionIndex_; // folded name -> first section
};

} // namespace platform
