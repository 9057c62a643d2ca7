#pragma once
// Modal windows: the program's own windows shown modally (report information, relay range,
// monitor, category results) and the standard save, font and print dialogs. The program asks;
// the service shows the window and gives back what the operator chose. Tests script what the
// operator types and clicks there.

#include <optional>
#include <string>

class QDialog;
class QFont;
class QPrinter;

namespace platform {

struct FileDialogRequest {
    std::string Title;
    std::string InitialFolder; // ending with '/'
    std::string FileName;      // proposed, without a folder
    std::string Filter;        // Qt's name filters: "Rich text (*.rtf);;Text (*.txt)"
    std::string DefaultSuffix; // without the dot
};

// What the operator confirmed in a save dialog: the name with its folder, as typed, and the
// filter chosen (0 the first of the request's filters, where the dialog opens).
struct SaveChoice {
    std::string FileName;
    int FilterIndex = 0;
};

// The extension a name typed without one gets: that of the chosen filter when its first
// pattern names one ("*.RTF" gives "RTF"), else the default suffix.
std::string SaveExtension(const FileDialogRequest& request, int filterIndex);
// The chosen name, with "." and that extension added when its last part holds no dot.
std::string CompletedSaveName(const FileDialogRequest& request, const SaveChoice& choice);

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Shows one of the program's windows modally until it closes; its result code.
    virtual int ShowModal(QDialog& dialog) = 0;
    // The save dialog: the chosen file name with its folder, nothing when cancelled. A name
    // typed without an extension gets the extension of the chosen filter.
    std::optional<std::string> SaveFileName(const FileDialogRequest& request) {
        const std::optional<SaveChoice> choice = AskSaveFile(request);
        if (!choice) return std::nullopt;
        return CompletedSaveName(request, *choice);
    }
    // The save dialog itself: what the operator confirmed, nothing when cancelled.
    virtual std::optional<SaveChoice> AskSaveFile(const FileDialogRequest& request) = 0;
    // The font dialog, starting from font; false when cancelled (font unchanged).
    virtual bool ChooseFont(QFont& font) = 0;
    // The print dialog for printer; false when cancelled.
    virtual bool SetupPrinter(QPrinter& printer) = 0;
};

} // namespace platform
