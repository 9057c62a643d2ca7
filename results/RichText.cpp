#include "results/RichText.h"

#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/FileReplace.h"

namespace results {

namespace {

// A font name inside the font table: the characters that end or open a group, and the
// semicolon that ends the entry, cannot stand in it.
std::string FontTableName(const std::string& name) {
    std::string clean;
    for (const char c : name)
        if (c != '{' && c != '}' && c != ';' && c != '\\') clean += c;
    return clean.empty() ? std::string("Sans Serif") : clean;
}

// Text in RTF: the three special characters escaped, a tab as \tab, every other character
// outside printable ASCII as \uN? (signed 16-bit, UTF-16 units, '?' for readers without
// Unicode). Control characters other than the tab have no place in a line and are dropped.
std::string EscapeText(const std::string& utf8) {
    const QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    std::string out;
    out.reserve(utf8.size() + 8);
    for (const QChar ch : text) {
        const char16_t unit = ch.unicode();
        if (unit == '\\' || unit == '{' || unit == '}') {
            out += '\\';
            out += static_cast<char>(unit);
        } else if (unit == '\t') {
            out += "\\tab ";
        } else if (unit >= 0x20 && unit < 0x7F) {
            out += static_cast<char>(unit);
        } else if (unit >= 0x80) {
            out += "\\u" + std::to_string(static_cast<int16_t>(unit)) + "?";
        }
    }
    return out;
}

int HalfPoints(double points) {
    return std::max(2, static_cast<int>(std::lround(points * 2)));
}

// Indexes of the font and colour tables, in the order of first use.
template <class T> int IndexOf(std::vector<T>& table, const T& value) {
    const auto it = std::find(table.begin(), table.end(), value);
    if (it != table.end()) return static_cast<int>(it - table.begin());
    table.push_back(value);
    return static_cast<int>(table.size()) - 1;
}

} // namespace

std::string WriteRtf(const RichDocument& document) {
    std::vector<std::string> fonts{FontTableName(document.FontName)};
    std::vector<platform::TColor> colours;
    std::string body;
    for (size_t i = 0; i < document.Lines.size(); ++i) {
        for (const RichRun& run : document.Lines[i]) {
            const int font = run.FontName.empty() ? 0 : IndexOf(fonts, FontTableName(run.FontName));
            // Colour 0 of the table is the reader's default: ours start at 1.
            const int colour = IndexOf(colours, run.Colour & 0xFFFFFF) + 1;
            body +=
                "\\plain\\f" + std::to_string(font) + "\\fs" +
                std::to_string(HalfPoints(run.PointSize > 0 ? run.PointSize : document.PointSize)) +
                "\\cf" + std::to_string(colour);
            if (run.Style & 1) body += "\\b";
            if (run.Style & 2) body += "\\i";
            if (run.Style & 4) body += "\\ul";
            if (run.Style & 8) body += "\\strike";
            body += ' ' + EscapeText(run.Text);
        }
        // A paragraph mark ends every line but the last, which the document's end closes.
        body += i + 1 < document.Lines.size() ? "\\par\n" : "\n";
    }

    std::string rtf = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\n{\\fonttbl";
    for (size_t i = 0; i < fonts.size(); ++i)
        rtf += "{\\f" + std::to_string(i) + "\\fnil\\fcharset0 " + fonts[i] + ";}";
    rtf += "}\n{\\colortbl ;";
    for (const platform::TColor c : colours)
        rtf += "\\red" + std::to_string(platform::RedOf(c)) + "\\green" +
               std::to_string(platform::GreenOf(c)) + "\\blue" +
               std::to_string(platform::BlueOf(c)) + ";";
    rtf += "}\n\\pard\n" + body + "}\n";
    return rtf;
}

std::string WritePlainText(const RichDocument& document) {
    std::string text;
    for (const RichLine& line : document.Lines) {
        for (const RichRun& run : line) text += run.Text;
        text += '\n';
    }
    return text;
}

void WriteReportFile(const std::string& path, const std::string& contents) {
    // As the settings file is saved: an existing report keeps its owner, rights and ACL, and
    // the operator's files beside it stay.
    try {
        platform::ReplaceFileContents(path, contents);
    } catch (const platform::FileWriteError& e) {
        if (e.Existed()) throw ReportFileError(e.what());
        throw ReportFileError("Cannot create file \"" + path + "\". " + e.Reason() + ".");
    }
}

bool IsRichTextName(const std::string& path) {
    std::string upper = path;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    });
    return upper.find("RTF") != std::string::npos;
}

} // namespace results
