#pragma once
// The application object of both programs: an exception that escapes an event handler is shown
// in the application's standard exception box (the program's name as its caption) and the
// message loop goes on.

#include <QApplication>

#include <exception>
#include <iostream>
#include <string>

#include "platform/MessageBoxes.h"

namespace platform {

class GuardedApplication final : public QApplication {
public:
    GuardedApplication(int& argc, char** argv, std::string caption)
        : QApplication(argc, argv), caption_(std::move(caption)) {}

    // Where the box goes; until it is set, standard error.
    MessageBoxes* boxes = nullptr;

    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            ShowException(e.what());
        }
        return false;
    }

    void ShowException(const std::string& text) {
        if (boxes)
            boxes->Show({text, caption_, MsgIcon::Error, MsgButtons::Ok, 0});
        else
            std::cerr << text << "\n";
    }

private:
    std::string caption_;
};

} // namespace platform
