#pragma once
// The saved report as a file: our own small RTF writer and the plain-text form, both from the
// report's lines and their runs of formatted text.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/canvas/Colors.h"

namespace results {

// A piece of a line in one format. Colour is an RGB value (0x00BBGGRR), already resolved.
struct RichRun {
    std::string Text; // UTF-8
    platform::TColor Colour = platform::clBlack;
    uint32_t Style = 0;   // bits 1 bold, 2 italic, 4 underline, 8 strike-out
    std::string FontName; // empty: the document's font
    double PointSize = 0; // 0: the document's size
};

using RichLine = std::vector<RichRun>;

struct RichDocument {
    std::string FontName = "Sans Serif";
    double PointSize = 9;
    std::vector<RichLine> Lines;
};

// An RTF document: a font table, a colour table of the colours used, one paragraph a line.
// Every character outside printable ASCII is written as a Unicode escape, so the file is
// plain 7-bit text that any reader takes the same way.
std::string WriteRtf(const RichDocument& document);

// The lines' text in UTF-8, each line ended by a line feed.
std::string WritePlainText(const RichDocument& document);

// A report file that could not be written; the message names the file.
class ReportFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Writes contents to path as the settings file is written (platform/FileReplace.h): a new file
// put in place once it is complete, or where that cannot be, the file written over in place.
// Raises ReportFileError, "Cannot write file" for a file that was there and "Cannot create
// file" for a new one, each naming it and ending with a full stop.
void WriteReportFile(const std::string& path, const std::string& contents);

// The rule for the kind of a saved report: rich text when the whole name, folder included,
// holds the letters RTF in any case.
bool IsRichTextName(const std::string& path);

} // namespace results
