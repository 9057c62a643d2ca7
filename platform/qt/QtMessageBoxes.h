#pragma once
// Message boxes over QMessageBox, modal to the whole application.

#include "platform/MessageBoxes.h"

namespace platform {

class QtMessageBoxes final : public MessageBoxes {
public:
    // Buttons stand in the order of the request whatever the desktop's button layout. Escape
    // answers Cancel where the box has one, the only button of a one-button box, and does
    // nothing otherwise (a Yes/No box must be answered).
    MsgResult Show(const MessageBoxRequest& request) override;
};

} // namespace platform
