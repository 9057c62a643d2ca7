#pragma once
// The application object of both programs: an exception that escapes an event handler is shown
// in the application's standard exception box (the program's name as its caption) and the
// message loop goes on. A click made on a control while it was disabled does nothing, also
// when the program takes it only once the control is enabled again.

#include <QApplication>

#include <exception>
#include <iostream>
#include <string>

#include "platform/MessageBoxes.h"
#include "platform/qt/DisabledClickFilter.h"

namespace platform {

class GuardedApplication final : public QApplication {
public:
    GuardedApplication(int& argc, char** argv, std::string caption)
        : QApplication(argc, argv), caption_(std::move(caption)) {
        installEventFilter(&disabledClicks_);
    }

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
    DisabledClickFilter disabledClicks_;
};

} // namespace platform
