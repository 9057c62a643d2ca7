#pragma once
// Test double of the modal windows and standard dialogs: records what was shown and answers
// from a script. A window shown modally runs OnShow (where a test types and clicks), and is
// closed afterwards when the test left it open, as an operator closing it would.

#include <QDialog>
#include <QFont>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Dialogs.h"

namespace testing_support {

class ScriptedDialogs final : public platform::Dialogs {
public:
    int ShowModal(QDialog& dialog) override {
        shown.push_back(dialog.objectName().toStdString());
        dialog.setResult(QDialog::Rejected);
        dialog.show();
        if (OnShow) OnShow(dialog);
        if (dialog.isVisible()) dialog.reject();
        return dialog.result();
    }
    std::optional<platform::SaveChoice>
    AskSaveFile(const platform::FileDialogRequest& request) override {
        saveRequests.push_back(request);
        if (saveAnswers.empty()) return {};
        auto answer = saveAnswers.front();
        saveAnswers.pop_front();
        if (!answer) return {};
        return platform::SaveChoice{*answer, saveFilter};
    }
    bool ChooseFont(QFont& font) override {
        if (fontAnswers.empty()) return false;
        font = fontAnswers.front();
        fontAnswers.pop_front();
        return true;
    }
    bool SetupPrinter(QPrinter& printer) override { return OnPrint ? OnPrint(printer) : false; }

    std::function<void(QDialog&)> OnShow;
    std::function<bool(QPrinter&)> OnPrint;
    std::vector<std::string> shown;
    std::vector<platform::FileDialogRequest> saveRequests;
    std::deque<std::optional<std::string>> saveAnswers; // nothing: cancelled
    int saveFilter = 0;                                 // the filter chosen at every save
    std::deque<QFont> fontAnswers;                      // empty: cancelled
};

} // namespace testing_support
