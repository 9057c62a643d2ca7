#include "boardtester/UpDown.h"

#include <QToolButton>

#include <algorithm>

namespace relmora {

UpDown::UpDown(int min, int max, QWidget* parent)
    : QWidget(parent), min_(min), max_(max), position_(min), left_(new QToolButton(this)),
      right_(new QToolButton(this)) {
    left_->setArrowType(Qt::LeftArrow);
    right_->setArrowType(Qt::RightArrow);
    left_->setObjectName("Left");
    right_->setObjectName("Right");
    for (QToolButton* button : {left_, right_}) {
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
    }
    connect(left_, &QToolButton::clicked, this, [this] { Step(-1); });
    connect(right_, &QToolButton::clicked, this, [this] { Step(+1); });
}

void UpDown::resizeEvent(QResizeEvent* /*event*/) {
    const int half = width() / 2;
    left_->setGeometry(0, 0, half, height());
    right_->setGeometry(half, 0, width() - half, height());
}

void UpDown::SetPosition(int position) {
    position_ = std::clamp(position, min_, max_);
}

void UpDown::Step(int delta) {
    SetPosition(position_ + delta);
    if (OnClick) OnClick();
}

} // namespace relmora
