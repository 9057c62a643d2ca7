#include "platform/qt/QtMessageBoxes.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QMessageBox>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyle>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace platform {
namespace {

MessageBoxRequest Box(MsgButtons buttons, int defaultButton = 0) {
    MessageBoxRequest request;
    request.Text = "Unable to open port";
    request.Caption = "Calbrix";
    request.Icon = MsgIcon::Warning;
    request.Buttons = buttons;
    request.DefaultButton = defaultButton;
    return request;
}

// The push buttons of a box from left to right, as the operator sees them.
std::vector<QPushButton*> ButtonsLeftToRight(QMessageBox& box) {
    std::vector<QPushButton*> buttons;
    for (QAbstractButton* b : box.buttons())
        if (auto* push = qobject_cast<QPushButton*>(b)) buttons.push_back(push);
    std::sort(buttons.begin(), buttons.end(), [&box](QPushButton* a, QPushButton* b) {
        return a->mapTo(&box, QPoint()).x() < b->mapTo(&box, QPoint()).x();
    });
    return buttons;
}

void PressKey(QMessageBox& box, Qt::Key key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(&box, &press);
}

// Shows the box through the service and lets `operate` act on it once it is up, as the
// operator would. A box still open after that is closed by a watchdog and fails the test.
MsgResult ShowAndOperate(const MessageBoxRequest& request,
                         const std::function<void(QMessageBox&)>& operate) {
    bool operated = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        operated = true;
        if (!box) {
            ADD_FAILURE() << "no message box is up";
            return;
        }
        operate(*box);
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            ADD_FAILURE() << "the box stayed open";
            box->done(0);
        }
    });
    watchdog.start(3000);
    QtMessageBoxes boxes;
    const MsgResult result = boxes.Show(request);
    EXPECT_TRUE(operated);
    return result;
}

// The button order of a desktop, for as long as it lives.
class DesktopLayout final : public QProxyStyle {
public:
    explicit DesktopLayout(QDialogButtonBox::ButtonLayout layout)
        : QProxyStyle(QApplication::style()->name()), layout_(layout) {}
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override {
        if (hint == SH_DialogButtonLayout) return layout_;
        return QProxyStyle::styleHint(hint, option, widget, data);
    }

private:
    QDialogButtonBox::ButtonLayout layout_;
};

class ScopedDesktopLayout {
public:
    explicit ScopedDesktopLayout(QDialogButtonBox::ButtonLayout layout)
        : saved_(QApplication::style()->name()) {
        QApplication::setStyle(new DesktopLayout(layout));
    }
    ~ScopedDesktopLayout() { QApplication::setStyle(saved_); }

private:
    QString saved_;
};

std::vector<std::string> Texts(const std::vector<QPushButton*>& buttons) {
    std::vector<std::string> texts;
    for (auto* b : buttons) texts.push_back(b->text().toStdString());
    return texts;
}

TEST(QtMessageBoxesTest, ButtonsStandInOrderAndEachAnswersItsResult) {
    struct Case {
        MsgButtons buttons;
        std::vector<std::string> texts;
    };
    const std::vector<Case> cases = {
        {MsgButtons::Ok, {"&OK"}},
        {MsgButtons::OkCancel, {"&OK", "&Cancel"}},
        {MsgButtons::RetryCancel, {"&Retry", "&Cancel"}},
        {MsgButtons::YesNo, {"&Yes", "&No"}},
        {MsgButtons::YesNoCancel, {"&Yes", "&No", "&Cancel"}},
        {MsgButtons::AbortRetryIgnore, {"&Abort", "&Retry", "&Ignore"}},
    };
    const std::vector<QDialogButtonBox::ButtonLayout> layouts = {
        QDialogButtonBox::WinLayout, QDialogButtonBox::MacLayout, QDialogButtonBox::KdeLayout,
        QDialogButtonBox::GnomeLayout};
    for (const auto layout : layouts) {
        ScopedDesktopLayout desktop(layout);
        for (const auto& c : cases) {
            const std::vector<MsgResult> expected = ButtonsOf(c.buttons);
            for (size_t click = 0; click < expected.size(); ++click) {
                SCOPED_TRACE(std::string(Name(c.buttons)) + ", click " + std::to_string(click) +
                             ", layout " + std::to_string(layout));
                const MsgResult answer = ShowAndOperate(Box(c.buttons), [&](QMessageBox& box) {
                    const auto buttons = ButtonsLeftToRight(box);
                    EXPECT_EQ(Texts(buttons), c.texts);
                    if (click < buttons.size()) buttons[click]->click();
                });
                EXPECT_EQ(answer, expected[click]);
            }
        }
    }
}

TEST(QtMessageBoxesTest, EnterPressesTheDefaultButton) {
    struct Case {
        MsgButtons buttons;
        int defaultButton;
        MsgResult expected;
    };
    const std::vector<Case> cases = {
        {MsgButtons::OkCancel, 0, MsgResult::Ok},
        {MsgButtons::OkCancel, 1, MsgResult::Cancel},
        {MsgButtons::YesNo, 1, MsgResult::No},
        {MsgButtons::YesNoCancel, 2, MsgResult::Cancel},
        {MsgButtons::AbortRetryIgnore, 1, MsgResult::Retry},
        {MsgButtons::AbortRetryIgnore, 2, MsgResult::Ignore},
        // Out of range: the first button, as the recorded double answers.
        {MsgButtons::YesNo, 5, MsgResult::Yes},
        {MsgButtons::RetryCancel, -1, MsgResult::Retry},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(Name(c.buttons)) + " default " + std::to_string(c.defaultButton));
        const MessageBoxRequest request = Box(c.buttons, c.defaultButton);
        EXPECT_EQ(c.expected, DefaultAnswer(request));
        EXPECT_EQ(ShowAndOperate(request, [](QMessageBox& box) { PressKey(box, Qt::Key_Return); }),
                  c.expected);
    }
}

TEST(QtMessageBoxesTest, EscapeAnswersCancelOrTheOnlyButtonAndIsIgnoredOtherwise) {
    struct Case {
        MsgButtons buttons;
        bool closes;
        MsgResult expected; // when it closes
    };
    const std::vector<Case> cases = {
        {MsgButtons::Ok, true, MsgResult::Ok},
        {MsgButtons::OkCancel, true, MsgResult::Cancel},
        {MsgButtons::RetryCancel, true, MsgResult::Cancel},
        {MsgButtons::YesNoCancel, true, MsgResult::Cancel},
        {MsgButtons::YesNo, false, MsgResult::Yes},
        {MsgButtons::AbortRetryIgnore, false, MsgResult::Abort},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Name(c.buttons));
        const MsgResult answer = ShowAndOperate(Box(c.buttons), [&](QMessageBox& box) {
            PressKey(box, Qt::Key_Escape);
            EXPECT_EQ(box.isVisible(), !c.closes);
            // The window's close button behaves as Escape does.
            if (box.isVisible()) {
                box.close();
                EXPECT_TRUE(box.isVisible());
            }
            if (box.isVisible()) ButtonsLeftToRight(box).front()->click();
        });
        EXPECT_EQ(answer, c.expected);
    }
}

TEST(QtMessageBoxesTest, ShowsTextPlainWithCaptionAndIcon) {
    struct Case {
        MsgIcon icon;
        QMessageBox::Icon expected;
    };
    const std::vector<Case> cases = {
        {MsgIcon::None, QMessageBox::NoIcon},
        {MsgIcon::Information, QMessageBox::Information},
        {MsgIcon::Warning, QMessageBox::Warning},
        {MsgIcon::Error, QMessageBox::Critical},
        {MsgIcon::Question, QMessageBox::Question},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Name(c.icon));
        MessageBoxRequest request = Box(MsgButtons::Ok);
        request.Icon = c.icon;
        // Markup-like text and non-ASCII letters must reach the operator unchanged.
        request.Text =
            "Connected to an unknown device\n(Wrong device ID) <b>\xc2\xb5\xe2\x84\xa6</b>";
        ShowAndOperate(request, [&](QMessageBox& box) {
            EXPECT_EQ(box.windowTitle(), QString("Calbrix"));
            EXPECT_EQ(box.icon(), c.expected);
            EXPECT_EQ(box.textFormat(), Qt::PlainText);
            EXPECT_EQ(box.text(), QString::fromUtf8("Connected to an unknown device\n(Wrong device "
                                                    "ID) <b>\xc2\xb5\xe2\x84\xa6</b>"));
            ButtonsLeftToRight(box).front()->click();
        });
    }
}

TEST(QtMessageBoxesTest, AnEmptyCaptionIsTheApplicationsTitle) {
    MessageBoxRequest request = Box(MsgButtons::Ok);
    request.Caption.clear();
    ShowAndOperate(request, [](QMessageBox& box) {
        EXPECT_EQ(box.windowTitle(), QGuiApplication::applicationDisplayName());
        EXPECT_EQ(box.windowTitle(), QString("Calbrix Test"));
        ButtonsLeftToRight(box).front()->click();
    });
}

} // namespace
} // namespace platform
