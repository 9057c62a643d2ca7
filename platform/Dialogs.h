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

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Shows one of the program's windows modally until it closes; its result code.
    virtual int ShowModal(QDialog& dialog) = 0;
    // The save dialog: the chosen file name with its folder, nothing when cancelled.
    virtual std::optional<std::string> SaveFileName(const FileDialogRequest& request) = 0;
    // The font dialog, starting from font; false when cancelled (font unchanged).
    virtual bool ChooseFont(QFont& font) = 0;
    // The print dialog for printer; false when cancelled.
    virtual bool SetupPrinter(QPrinter& printer) = 0;
};

} // namespace platform
