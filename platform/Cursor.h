#pragma once
// The mouse cursor: the hourglass while the program works inside a click, else the default.

#include <vector>

namespace platform {

enum class CursorShape { Default, Hourglass };

class CursorService {
public:
    virtual ~CursorService() = default;
    virtual void SetCursor(CursorShape shape) = 0;
    virtual CursorShape Current() const = 0;
};

// Keeps the shape only; also the test double, with the history of changes.
class RecordingCursor final : public CursorService {
public:
    void SetCursor(CursorShape shape) override {
        current_ = shape;
        history_.push_back(shape);
    }
    CursorShape Current() const override { return current_; }
    const std::vector<CursorShape>& History() const { return history_; }

private:
    CursorShape current_ = CursorShape::Default;
    std::vector<CursorShape> history_;
};

} // namespace platform
