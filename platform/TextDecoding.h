#pragma once
// Text files that people and the Windows program wrote: the settings file and the certificate
// title. Pure code: no files.
//
// Encoding: UTF-16 when the file starts with its byte-order mark, or without one when the zero
// bytes of the whole file show it: they stand on one side of the byte pairs (on the odd bytes:
// little-endian, on the even bytes: big-endian), in at least a sixteenth of the pairs, and the
// line ends are UTF-16 line ends. Otherwise the bytes are 8-bit text decided line by line: a line
// that is valid UTF-8 is UTF-8, any other line is Windows-1252, the code page of files written
// on Windows; one stray byte thus garbles no other line. UTF-8 byte-order marks at the start
// are no text. A NUL is no text either and reads as a blank.
//
// Lines end at CR LF, CR or LF, whichever an editor wrote.

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// Well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsUtf8(std::string_view text);
// Appends Windows-1252 bytes as UTF-8.
void AppendCp1252(std::string& out, std::string_view bytes);
// A line of 8-bit text as UTF-8: itself when it is UTF-8, else from Windows-1252.
std::string LineAsUtf8(std::string_view line);

// A file's bytes ready to be cut into lines: UTF-16 converted to UTF-8, NUL made a blank, and
// the text starting at `start` (after any byte-order mark). `utf16` tells that every line is
// UTF-8 now; otherwise each line is to be read by LineAsUtf8.
struct TextBytes {
    std::string bytes;
    size_t start = 0;
    bool utf16 = false;
    // A NUL stood among the characters of a line, as in UTF-32 or binary data; zeros that fill
    // whole lines (a tail a failed write left) do not count.
    bool zerosInLines = false;

    std::string_view Text() const { return std::string_view(bytes).substr(start); }
};
TextBytes PrepareText(std::string bytes);

// The whole text as UTF-8, each line decided on its own; line ends stay as they are.
std::string DecodeText(std::string bytes);

// Cuts a text into lines at CR LF, CR or LF. A text that ends with a line end has no empty
// line after it; an empty text has no line.
class LineCutter {
public:
    explicit LineCutter(std::string_view text) : text_(text) {}
    // The next line without its end; false when the text is used up.
    bool Next(std::string_view& line);
    // Where the text after the last line given starts.
    size_t Position() const { return at_; }

private:
    size_t NextOf(char c, size_t& cached) const;

    std::string_view text_;
    size_t at_ = 0;
    // The next LF and CR at or after at_ (text size when none); npos before the first search.
    size_t lf_ = std::string_view::npos;
    size_t cr_ = std::string_view::npos;
};

} // namespace platform
