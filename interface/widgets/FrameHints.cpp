#include "interface/widgets/FrameHints.h"

#include <QEvent>
#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

#include <array>
#include <cstdlib>
#include <cstring>

namespace {

// The Motif window-manager hints: flags, functions, decorations, input mode, status.
constexpr uint32_t HintsFunctions = 1u << 0, HintsDecorations = 1u << 1;
constexpr uint32_t FuncResize = 1u << 1, FuncMove = 1u << 2, FuncMinimize = 1u << 3,
                   FuncMaximize = 1u << 4, FuncClose = 1u << 5;
constexpr uint32_t DecorBorder = 1u << 1, DecorResizeHandle = 1u << 2, DecorTitle = 1u << 3,
                   DecorMenu = 1u << 4, DecorMinimize = 1u << 5, DecorMaximize = 1u << 6;

std::array<uint32_t, 5> MotifHints(const FrameButtons& b, bool resizable) {
    uint32_t functions = FuncMove;
    uint32_t decorations = DecorBorder | DecorTitle;
    if (resizable) {
        functions |= FuncResize;
        decorations |= DecorResizeHandle;
    }
    if (b.systemMenu) decorations |= DecorMenu;
    if (b.minimise) {
        functions |= FuncMinimize;
        decorations |= DecorMinimize;
    }
    if (b.maximise) {
        functions |= FuncMaximize;
        decorations |= DecorMaximize;
    }
    if (b.close) functions |= FuncClose;
    return {HintsFunctions | HintsDecorations, functions, decorations, 0, 0};
}

void WriteMotifHints(QWidget& window, const FrameButtons& buttons) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection()) return;
    xcb_connection_t* connection = x11->connection();
    static constexpr char name[] = "_MOTIF_WM_HINTS";
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, sizeof name - 1, name), nullptr);
    if (!reply) return;
    const xcb_atom_t atom = reply->atom;
    std::free(reply);
    const bool resizable = window.minimumSize() != window.maximumSize();
    const auto hints = MotifHints(buttons, resizable);
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE,
                        static_cast<xcb_window_t>(window.winId()), atom, atom, 32,
                        static_cast<uint32_t>(hints.size()), hints.data());
    xcb_flush(connection);
}

// Qt writes its own hints when it creates the native window and when the flags change; the
// show event comes after that and before the window is mapped, when window managers read
// them.
class FrameButtonsKeeper final : public QObject {
public:
    FrameButtonsKeeper(QWidget& window, FrameButtons buttons)
        : QObject(&window), window_(window), buttons_(buttons) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &window_ && event->type() == QEvent::Show && window_.isWindow())
            WriteMotifHints(window_, buttons_);
        return false;
    }

private:
    QWidget& window_;
    FrameButtons buttons_;
};

} // namespace

void KeepFrameButtons(QWidget& window, FrameButtons buttons) {
    window.installEventFilter(new FrameButtonsKeeper(window, buttons));
}
