#pragma once
// The real modal windows and standard dialogs.

#include "platform/Dialogs.h"

namespace platform {

class QtDialogs final : public Dialogs {
public:
    int ShowModal(QDialog& dialog) override;
    std::optional<SaveChoice> AskSaveFile(const FileDialogRequest& request) override;
    bool ChooseFont(QFont& font) override;
    bool SetupPrinter(QPrinter& printer) override;
};

} // namespace platform
