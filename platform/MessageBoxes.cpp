#include "platform/MessageBoxes.h"

namespace platform {

std::vector<MsgResult> ButtonsOf(MsgButtons buttons) {
    switch (buttons) {
    case MsgButtons::Ok:
        return {MsgResult::Ok};
    case MsgButtons::OkCancel:
        return {MsgResult::Ok, MsgResult::Cancel};
    case MsgButtons::RetryCancel:
        return {MsgResult::Retry, MsgResult::Cancel};
    case MsgButtons::YesNo:
        return {MsgResult::Yes, MsgResult::No};
    case MsgButtons::YesNoCancel:
        return {MsgResult::Yes, MsgResult::No, MsgResult::Cancel};
    case MsgButtons::AbortRetryIgnore:
        return {MsgResult::Abort, MsgResult::Retry, MsgResult::Ignore};
    }
    return {MsgResult::Ok};
}

MsgResult DefaultAnswer(const MessageBoxRequest& request) {
    const auto buttons = ButtonsOf(request.Buttons);
    const auto index = static_cast<size_t>(request.DefaultButton);
    return index < buttons.size() ? buttons[index] : buttons.front();
}

const char* Name(MsgIcon icon) {
    switch (icon) {
    case MsgIcon::None:
        return "none";
    case MsgIcon::Information:
        return "information";
    case MsgIcon::Warning:
        return "warning";
    case MsgIcon::Error:
        return "error";
    case MsgIcon::Question:
        return "question";
    }
    return "?";
}

const char* Name(MsgButtons buttons) {
    switch (buttons) {
    case MsgButtons::Ok:
        return "OK";
    case MsgButtons::OkCancel:
        return "OK/Cancel";
    case MsgButtons::RetryCancel:
        return "Retry/Cancel";
    case MsgButtons::YesNo:
        return "Yes/No";
    case MsgButtons::YesNoCancel:
        return "Yes/No/Cancel";
    case MsgButtons::AbortRetryIgnore:
        return "Abort/Retry/Ignore";
    }
    return "?";
}

const char* Name(MsgResult result) {
    switch (result) {
    case MsgResult::Ok:
        return "OK";
    case MsgResult::Cancel:
        return "Cancel";
    case MsgResult::Abort:
        return "Abort";
    case MsgResult::Retry:
        return "Retry";
    case MsgResult::Ignore:
        return "Ignore";
    case MsgResult::Yes:
        return "Yes";
    case MsgResult::No:
        return "No";
    }
    return "?";
}

MsgResult ScriptedMessageBoxes::Show(const MessageBoxRequest& request) {
    if (OnShow) OnShow(request);
    MsgResult answer = DefaultAnswer(request);
    if (!script_.empty()) {
        answer = script_.front();
        script_.pop_front();
    }
    shown_.push_back({request, answer});
    return answer;
}

} // namespace platform
