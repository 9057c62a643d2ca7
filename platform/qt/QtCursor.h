#pragma once
// The hourglass as the application's override cursor.

#include "platform/Cursor.h"

namespace platform {

class QtCursor final : public CursorService {
public:
    QtCursor() = default;
    // Takes back its own override level, so the cursor does not stay an hourglass for good.
    ~QtCursor() override;
    QtCursor(const QtCursor&) = delete;
    QtCursor& operator=(const QtCursor&) = delete;

    // Holds at most one override level: setting the same shape again changes nothing, and the
    // default only removes the level this service pushed.
    void SetCursor(CursorShape shape) override;
    CursorShape Current() const override { return current_; }
    ScreenPoint Position() const override;

private:
    CursorShape current_ = CursorShape::Default;
};

} // namespace platform
