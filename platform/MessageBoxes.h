#pragma once
// Modal message boxes: text, caption, icon, buttons, default button. The program asks; the
// service answers with the button the operator chose.

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace platform {

enum class MsgIcon { None, Information, Warning, Error, Question };
enum class MsgButtons { Ok, OkCancel, RetryCancel, YesNo, YesNoCancel, AbortRetryIgnore };
enum class MsgResult { Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };

struct MessageBoxRequest {
    std::string Text; // UTF-8; "\n" breaks lines
    std::string Caption;
    MsgIcon Icon = MsgIcon::None;
    MsgButtons Buttons = MsgButtons::Ok;
    int DefaultButton = 0; // index of the default among Buttons, 0 = the first
};

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual MsgResult Show(const MessageBoxRequest& request) = 0;
};

// The buttons of a box in their order, and the answer its default button gives.
std::vector<MsgResult> ButtonsOf(MsgButtons buttons);
MsgResult DefaultAnswer(const MessageBoxRequest& request);
const char* Name(MsgIcon icon);
const char* Name(MsgButtons buttons);
const char* Name(MsgResult result);

// Test double: records every box and answers from a script. An empty script answers with the
// box's default button, as an operator pressing Enter would.
class ScriptedMessageBoxes final : public MessageBoxes {
public:
    struct Shown {
        MessageBoxRequest Request;
        MsgResult Answer;
    };

    MsgResult Show(const MessageBoxRequest& request) override;

    void Answer(MsgResult result) { script_.push_back(result); }
    const std::vector<Shown>& History() const { return shown_; }
    void ClearHistory() { shown_.clear(); }
    // Runs while a box is up, before it is answered: a test can change the world there (plug a
    // device in, let time pass) as an operator would before clicking.
    std::function<void(const MessageBoxRequest&)> OnShow;

private:
    std::deque<MsgResult> script_;
    std::vector<Shown> shown_;
};

} // namespace platform
