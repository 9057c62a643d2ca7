#pragma once
// The application object of both programs: an exception that escapes an event handler is shown
// in the application's standard exception box (the program's name as its caption) and the
// message loop goes on. One that escapes the start or the loop itself ends the program with a
// failure status, so that a launcher or a script can tell. A click made on a control while it
// was disabled does nothing, also when the program takes it only once the control is enabled
// again.

#include <QApplication>
#include <QFileInfo>

#include <exception>
#include <functional>
#include <iostream>
#include <string>

#include "platform/MessageBoxes.h"
#include "platform/qt/DisabledClickFilter.h"

namespace platform {

// Exit statuses besides the message loop's own.
constexpr int ExitStartFailed = 1;  // the start or the message loop failed
constexpr int ExitUnusableFile = 2; // the simulated bench or fixture asked for cannot be had

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

    // Runs the program's start and its message loop (`run` returns the loop's status) and
    // gives the exit status. A FileError (a bench or fixture file that cannot be used: the
    // program stops rather than run another) ends with ExitUnusableFile, any other failure
    // with ExitStartFailed.
    template <class FileError>
    int Run(const std::function<int()>& run) {
        try {
            return run();
        } catch (const FileError& e) {
            return Failed(e.what(), ExitUnusableFile);
        } catch (const std::exception& e) {
            return Failed(e.what(), ExitStartFailed);
        }
    }

private:
    // On the error stream for the launcher's log, and in the box where a screen shows it:
    // offscreen nobody could close it.
    int Failed(const std::string& text, int status) {
        std::cerr << QFileInfo(applicationFilePath()).fileName().toStdString() << ": " << text
                  << "\n";
        if (platformName() != "offscreen") ShowException(text);
        return status;
    }

    std::string caption_;
    DisabledClickFilter disabledClicks_;
};

} // namespace platform
