// Captions and frames as the X server receives them, on a private Xvfb screen: Qt may append
// the application's display name to a title on its way to the window system, or add a
// maximise button the window does not ask for, neither of which the widgets' own state shows.
// And clicks as the server makes them, stamped with its own clock.

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "interface/AppSetup.h"
#include "interface/Main.h"
#include "interface/Serial.h"
#include "link/Portusb.h"
#include "platform/qt/DisabledClickFilter.h"
#include "platform/qt/QtMessageBoxes.h"
#include "tests/support/FakeFtdi.h"
#include "tests/support/TestServices.h"

using namespace testing_support;

namespace {

// An Xvfb server on a free display for the life of the program.
class VirtualScreen {
public:
    VirtualScreen() {
        int fds[2];
        if (pipe(fds) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[0]);
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            const std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24",
                   "-nolisten", "tcp", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        pollfd ready{fds[0], POLLIN, 0};
        char c = 0;
        while (pid_ > 0 && poll(&ready, 1, 10000) == 1 && read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        if (c == '\n' && !number.empty()) display_ = ":" + number;
    }
    ~VirtualScreen() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    VirtualScreen(const VirtualScreen&) = delete;
    VirtualScreen& operator=(const VirtualScreen&) = delete;

    const std::string& Display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

// A connection of our own to the server, to read what Qt wrote on a window.
class XProperties {
public:
    XProperties() : connection_(xcb_connect(nullptr, nullptr)) {}
    ~XProperties() { xcb_disconnect(connection_); }
    XProperties(const XProperties&) = delete;
    XProperties& operator=(const XProperties&) = delete;

    // The raw value of a property, once the window has it (Qt writes while it processes its
    // events); nothing after two seconds.
    std::optional<std::vector<uint8_t>> Read(WId window, const char* name) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        do {
            QCoreApplication::processEvents();
            if (auto value = ReadNow(static_cast<xcb_window_t>(window), Atom(name))) return value;
        } while (std::chrono::steady_clock::now() < deadline);
        return std::nullopt;
    }
    std::string Text(WId window, const char* name) {
        const auto value = Read(window, name);
        return value ? std::string(value->begin(), value->end()) : "(none)";
    }

private:
    xcb_atom_t Atom(const char* name) {
        auto cookie = xcb_intern_atom(connection_, 0, static_cast<uint16_t>(strlen(name)), name);
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection_, cookie, nullptr);
        const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        free(reply);
        return atom;
    }
    std::optional<std::vector<uint8_t>> ReadNow(xcb_window_t window, xcb_atom_t atom) {
        auto cookie =
            xcb_get_property(connection_, 0, window, atom, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024);
        xcb_get_property_reply_t* reply = xcb_get_property_reply(connection_, cookie, nullptr);
        std::optional<std::vector<uint8_t>> value;
        if (reply && reply->type != XCB_ATOM_NONE) {
            const auto* bytes = static_cast<const uint8_t*>(xcb_get_property_value(reply));
            // In bytes, whatever the property's format.
            const auto size = static_cast<size_t>(xcb_get_property_value_length(reply));
            value.emplace(bytes, bytes + size);
        }
        free(reply);
        return value;
    }

    xcb_connection_t* connection_;
};

// The Motif hints Qt gives a window's frame (flags, functions, decorations, input mode,
// status); window managers that honour them draw no maximise button.
constexpr uint32_t HintsFunctions = 1u << 0, HintsDecorations = 1u << 1;
constexpr uint32_t FuncMove = 1u << 2, FuncMinimize = 1u << 3, FuncMaximize = 1u << 4,
                   FuncClose = 1u << 5;
constexpr uint32_t DecorBorder = 1u << 1, DecorTitle = 1u << 3, DecorMinimize = 1u << 5,
                   DecorMaximize = 1u << 6;

std::vector<uint32_t> Words(const std::vector<uint8_t>& bytes) {
    std::vector<uint32_t> words(bytes.size() / 4);
    std::memcpy(words.data(), bytes.data(), words.size() * 4);
    return words;
}

TEST(WindowSystemTest, MainWindowHasItsExactCaptionAndAsksForNoMaximise) {
    TestPlatform p;
    FakeFtdi ftdi{p.clock};
    platform::Services services = ServicesOf(p, ftdi);
    TMainFrm frm(services);
    frm.show();
    XProperties x;
    EXPECT_EQ(x.Text(frm.winId(), "_NET_WM_NAME"), "Calbrix");
    EXPECT_EQ(x.Text(frm.winId(), "WM_NAME"), "Calbrix");
    const auto hints = x.Read(frm.winId(), "_MOTIF_WM_HINTS");
    ASSERT_TRUE(hints);
    const std::vector<uint32_t> motif = Words(*hints);
    ASSERT_EQ(motif.size(), 5u);
    EXPECT_EQ(motif[1] & (FuncMinimize | FuncMaximize | FuncClose), FuncMinimize | FuncClose);
    EXPECT_EQ(motif[2] & (DecorMinimize | DecorMaximize), DecorMinimize);
}

// The report information dialog has a title bar without any button: the hints say so in full
// (with no decoration hint at all a window manager draws its default buttons), and offer
// moving only.
TEST(WindowSystemTest, ReportInformationAsksForATitleWithoutButtons) {
    TestPlatform p;
    FakeFtdi ftdi{p.clock};
    platform::Services services = ServicesOf(p, ftdi);
    TMainFrm frm(services);
    TSerialFrm dialog(frm);
    dialog.show();
    XProperties x;
    const auto hints = x.Read(dialog.winId(), "_MOTIF_WM_HINTS");
    ASSERT_TRUE(hints);
    const std::vector<uint32_t> motif = Words(*hints);
    ASSERT_EQ(motif.size(), 5u);
    EXPECT_EQ(motif[0], HintsFunctions | HintsDecorations);
    EXPECT_EQ(motif[1], FuncMove);
    EXPECT_EQ(motif[2], DecorBorder | DecorTitle);
}

// The device wait of the port's open, through the program's real message boxes.
TEST(WindowSystemTest, MessageBoxHasExactlyItsCaption) {
    TestPlatform p;
    FakeFtdi ftdi{p.clock};
    ftdi.devices = 0;
    platform::QtMessageBoxes boxes;
    platform::Services services{p.clock,  ftdi,    boxes,     p.events,  p.cursor,
                                p.timers, p.tones, p.process, p.devices, p.dialogs};
    TPortUSB port(services);
    XProperties x;
    std::string title, windowTitle;
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        seen = true;
        title = x.Text(box->winId(), "_NET_WM_NAME");
        windowTitle = box->windowHandle()->title().toStdString();
        for (QAbstractButton* button : box->buttons())
            if (button->text().contains("Cancel")) button->click();
    });
    EXPECT_EQ(port.Open(5, 9600, "", false, "", 0), 0);
    ASSERT_TRUE(seen) << "no box was up";
    EXPECT_EQ(windowTitle, "Communication");
    EXPECT_EQ(title, "Communication");
}

// The pointer as a person moves and clicks it, through the server's test extension: the
// server stamps each event with its own time.
class FakePointer {
public:
    FakePointer() : connection_(xcb_connect(nullptr, nullptr)) {
        root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    }
    ~FakePointer() { xcb_disconnect(connection_); }
    FakePointer(const FakePointer&) = delete;
    FakePointer& operator=(const FakePointer&) = delete;

    void MoveTo(QPoint at) { Fake(XCB_MOTION_NOTIFY, 0, at); }
    void Click(QPoint at) {
        MoveTo(at);
        Fake(XCB_BUTTON_PRESS, 1, at);
        Fake(XCB_BUTTON_RELEASE, 1, at);
        // Once the server answers, it has made the events and sent them on to the program.
        free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    }

private:
    void Fake(uint8_t type, uint8_t detail, QPoint at) {
        xcb_test_fake_input(connection_, type, detail, XCB_CURRENT_TIME, root_,
                            static_cast<int16_t>(at.x()), static_cast<int16_t>(at.y()), 0);
    }

    xcb_connection_t* connection_;
    xcb_window_t root_ = 0;
};

// Takes the window system's events for that long, as an idle program does.
void Idle(int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

TEST(WindowSystemTest, ClickMadeWhileTheButtonWasDisabledDoesNothingOnceItIsEnabled) {
    platform::DisabledClickFilter filter; // as the programs' application has it
    qApp->installEventFilter(&filter);
    QWidget window;
    window.setGeometry(100, 100, 300, 200);
    QPushButton button("Run test", &window);
    button.setGeometry(50, 50, 100, 30);
    int clicks = 0;
    QObject::connect(&button, &QPushButton::clicked, [&] { ++clicks; });
    window.show();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!window.windowHandle()->isExposed() && std::chrono::steady_clock::now() < deadline)
        Idle(10);
    ASSERT_TRUE(window.windowHandle()->isExposed());
    const QPoint middle = button.mapToGlobal(button.rect().center());

    FakePointer pointer;
    pointer.MoveTo(middle);
    Idle(200);
    pointer.Click(middle);
    Idle(200);
    ASSERT_EQ(clicks, 1);

    // Busy with the button disabled: the click waits in the queue.
    button.setEnabled(false);
    pointer.Click(middle);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    button.setEnabled(true);
    Idle(300);
    EXPECT_EQ(clicks, 1) << "the click made while the button was disabled clicked it";

    pointer.Click(middle);
    Idle(200);
    EXPECT_EQ(clicks, 2);
    qApp->removeEventFilter(&filter);
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const VirtualScreen screen;
    if (screen.Display().empty()) {
        std::cerr << "cannot start Xvfb (Debian package xvfb)\n";
        return 1;
    }
    setenv("DISPLAY", screen.Display().c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    int result = 0;
    {
        QApplication app(argc, argv);
        SetUpApplication();
        result = RUN_ALL_TESTS();
    }
    return result;
}
