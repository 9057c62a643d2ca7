#pragma once
// The mouse cursor: the hourglass while the program works inside a click, else the default;
// and where it is on the screen (the charts light the bar under it).

#include <vector>

namespace platform {

enum class CursorShape { Default, Hourglass };

struct ScreenPoint {
    int x = 0;
    int y = 0;
};

class CursorService {
public:
    virtual ~CursorService() = default;
    virtual void SetCursor(CursorShape shape) = 0;
    virtual CursorShape Current() const = 0;
    // The cursor's position in screen coordinates.
    virtual ScreenPoint Position() const = 0;
};

// Keeps the shape only; also the test double, with the history of changes.
class RecordingCursor final : public CursorService {
public:
    void SetCursor(CursorShape shape) override {
        current_ = shape;
        history_.push_back(shape);
    }
    CursorShape Current() const override { return current_; }
    ScreenPoint Position() const override { return position; }
    const std::vector<CursorShape>& History() const { return history_; }

    ScreenPoint position{-10000, -10000}; // far from every window

private:
    CursorShape current_ = CursorShape::Default;
    std::vector<CursorShape> history_;
};

} // namespace platform
