#pragma once
// A horizontal up-down control: two arrow buttons that step a position within a range without
// wrapping, and a click callback after each step.

#include <QWidget>

#include <functional>

class QToolButton;

namespace relmora {

class UpDown : public QWidget {
public:
    UpDown(int min, int max, QWidget* parent = nullptr);

    int Position() const { return position_; }
    void SetPosition(int position); // kept within the range; no callback
    int Min() const { return min_; }
    int Max() const { return max_; }

    // Steps as a click on the right (+1) or left (-1) arrow does, then calls OnClick.
    void Step(int delta);

    std::function<void()> OnClick;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    int min_;
    int max_;
    int position_;
    QToolButton* left_;
    QToolButton* right_;
};

} // namespace relmora
