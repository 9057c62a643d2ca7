#pragma once
// The title-bar buttons a top-level window asks its window manager for, as Motif hints on the
// X window system. Qt's own hints fall short in two ways: a title bar without any button gets
// no decoration hint at all (so the window manager draws its defaults, every button, which
// then do nothing), and every window is offered resizing, also one of fixed size.

class QWidget;

struct FrameButtons {
    bool systemMenu = false;
    bool minimise = false;
    bool maximise = false;
    bool close = false;
};

// From now on, whenever the window is shown, its frame asks for exactly these buttons, a title
// and a border, and for moving; resizing only when the window can change its size. Nothing
// on a window system other than X.
void KeepFrameButtons(QWidget& window, FrameButtons buttons);
