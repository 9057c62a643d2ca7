#include "platform/MessageBoxes.h"

#include <gtest/gtest.h>

#include <vector>

namespace platform {
namespace {

MessageBoxRequest Box(MsgButtons buttons, int defaultButton = 0, std::string text = "text") {
    MessageBoxRequest request;
    request.Text = std::move(text);
    request.Caption = "Communication";
    request.Icon = MsgIcon::Information;
    request.Buttons = buttons;
    request.DefaultButton = defaultButton;
    return request;
}

TEST(ScriptedMessageBoxesTest, AnswersFromTheScriptInOrderThenWithTheDefault) {
    ScriptedMessageBoxes boxes;
    boxes.Answer(MsgResult::Cancel);
    boxes.Answer(MsgResult::Ok);
    EXPECT_EQ(boxes.Show(Box(MsgButtons::OkCancel)), MsgResult::Cancel);
    EXPECT_EQ(boxes.Show(Box(MsgButtons::OkCancel)), MsgResult::Ok);
    // Script used up: Enter on the default button.
    EXPECT_EQ(boxes.Show(Box(MsgButtons::OkCancel, 1)), MsgResult::Cancel);
    EXPECT_EQ(boxes.Show(Box(MsgButtons::OkCancel)), MsgResult::Ok);
}

TEST(ScriptedMessageBoxesTest, EmptyScriptAnswersWithTheDefaultButton) {
    struct Case {
        MsgButtons buttons;
        int defaultButton;
        MsgResult expected;
    };
    const std::vector<Case> cases = {
        {MsgButtons::Ok, 0, MsgResult::Ok},
        {MsgButtons::OkCancel, 0, MsgResult::Ok},
        {MsgButtons::OkCancel, 1, MsgResult::Cancel},
        {MsgButtons::RetryCancel, 0, MsgResult::Retry},
        {MsgButtons::YesNo, 1, MsgResult::No},
        {MsgButtons::YesNoCancel, 2, MsgResult::Cancel},
        {MsgButtons::AbortRetryIgnore, 1, MsgResult::Retry},
        {MsgButtons::AbortRetryIgnore, 2, MsgResult::Ignore},
        // A default beyond the buttons falls back to the first one.
        {MsgButtons::YesNo, 2, MsgResult::Yes},
        {MsgButtons::Ok, -1, MsgResult::Ok},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(Name(c.buttons)) + " default " + std::to_string(c.defaultButton));
        ScriptedMessageBoxes boxes;
        EXPECT_EQ(boxes.Show(Box(c.buttons, c.defaultButton)), c.expected);
    }
}

TEST(ScriptedMessageBoxesTest, OnShowRunsWhileTheBoxIsUpBeforeTheAnswer) {
    ScriptedMessageBoxes boxes;
    std::vector<std::string> seen;
    size_t historyDuringShow = 99;
    boxes.OnShow = [&](const MessageBoxRequest& request) {
        seen.push_back(request.Text);
        historyDuringShow = boxes.History().size();
        // Deciding inside the hook still answers this very box.
        boxes.Answer(MsgResult::Cancel);
    };
    EXPECT_EQ(boxes.Show(Box(MsgButtons::OkCancel, 0, "first")), MsgResult::Cancel);
    EXPECT_EQ(seen, std::vector<std::string>{"first"});
    EXPECT_EQ(historyDuringShow, 0u);
}

TEST(ScriptedMessageBoxesTest, HistoryKeepsEveryBoxWithItsAnswer) {
    ScriptedMessageBoxes boxes;
    boxes.Answer(MsgResult::No);
    boxes.Show(Box(MsgButtons::YesNo, 0, "one"));
    boxes.Show(Box(MsgButtons::OkCancel, 1, "two"));

    const auto& history = boxes.History();
    ASSERT_EQ(history.size(), 2u);
    EXPECT_EQ(history[0].Request.Text, "one");
    EXPECT_EQ(history[0].Request.Caption, "Communication");
    EXPECT_EQ(history[0].Request.Icon, MsgIcon::Information);
    EXPECT_EQ(history[0].Request.Buttons, MsgButtons::YesNo);
    EXPECT_EQ(history[0].Answer, MsgResult::No);
    EXPECT_EQ(history[1].Request.Text, "two");
    EXPECT_EQ(history[1].Request.DefaultButton, 1);
    EXPECT_EQ(history[1].Answer, MsgResult::Cancel);

    boxes.ClearHistory();
    EXPECT_TRUE(boxes.History().empty());
    boxes.Show(Box(MsgButtons::Ok, 0, "three"));
    ASSERT_EQ(boxes.History().size(), 1u);
    EXPECT_EQ(boxes.History()[0].Request.Text, "three");
}

} // namespace
} // namespace platform
