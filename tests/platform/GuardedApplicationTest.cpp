// The application object both programs run in: what ends the program with which exit status,
// what the operator is shown, and what a launcher's log gets. The same cases run offscreen,
// where no box may stay up, and on a platform that shows boxes.

#include <QGuiApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>

#include "platform/qt/GuardedApplication.h"

namespace {

class BenchFileTrouble : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

platform::GuardedApplication& App() {
    return static_cast<platform::GuardedApplication&>(*QCoreApplication::instance());
}

bool BoxesShow() {
    return QGuiApplication::platformName() != "offscreen";
}

// The loop runs `during` once it has started, then ends with `status`.
int LoopEndingWith(int status, const std::function<void()>& during = {}) {
    if (during) QTimer::singleShot(0, during);
    QTimer::singleShot(20, [status] { QCoreApplication::exit(status); });
    return QApplication::exec();
}

TEST(GuardedApplication, EachWayOfEndingGivesItsStatusAndSaysWhy) {
    const std::string name =
        QFileInfo(QCoreApplication::applicationFilePath()).fileName().toStdString();
    const struct {
        const char* what;
        std::function<int()> run;
        int status;
        std::string said;    // on the error stream, and in the box where boxes show
        std::string handled; // the box of a handler's failure, wherever the program runs
    } cases[] = {
        {"the loop ends", [] { return LoopEndingWith(0); }, 0, "", ""},
        {"the loop ends with its own status", [] { return LoopEndingWith(3); }, 3, "", ""},
        {"a bench file cannot be used",
         []() -> int { throw BenchFileTrouble("bench file \"b\", line 2: \"x\": not understood"); },
         platform::ExitUnusableFile, "bench file \"b\", line 2: \"x\": not understood", ""},
        {"the start fails otherwise",
         []() -> int { throw std::runtime_error("cannot reach the session bus"); },
         platform::ExitStartFailed, "cannot reach the session bus", ""},
        {"a handler fails and the loop goes on",
         [] { return LoopEndingWith(0, [] { throw std::logic_error("in a handler"); }); }, 0, "",
         "in a handler"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        platform::ScriptedMessageBoxes boxes;
        App().boxes = &boxes;
        testing::internal::CaptureStderr();
        const int status = App().Run<BenchFileTrouble>(c.run);
        const std::string errors = testing::internal::GetCapturedStderr();
        App().boxes = nullptr;

        EXPECT_EQ(status, c.status);
        EXPECT_EQ(errors, c.said.empty() ? "" : name + ": " + c.said + "\n");
        std::vector<std::string> shown;
        for (const auto& box : boxes.History()) {
            EXPECT_EQ(box.Request.Caption, "Guarded");
            EXPECT_EQ(box.Request.Icon, platform::MsgIcon::Error);
            shown.push_back(box.Request.Text);
        }
        std::vector<std::string> expected;
        if (!c.handled.empty()) expected.push_back(c.handled);
        if (!c.said.empty() && BoxesShow()) expected.push_back(c.said);
        EXPECT_EQ(shown, expected);
    }
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    platform::GuardedApplication app(argc, argv, "Guarded");
    return RUN_ALL_TESTS();
}
