#include "interface/widgets/TrackBar.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include <cmath>

#include "platform/canvas/Colors.h"

namespace {

constexpr int ThumbHalfWidth = 5;
constexpr int ChannelY = 10;     // middle of the groove
constexpr int ThumbTop = 2;
constexpr int ThumbBottom = 20;  // tip of the pointer
constexpr int TickTop = 23;
constexpr int FirstRepeatMs = 400;
constexpr int RepeatMs = 100;

QColor Sys(platform::TColor colour) { return platform::ToQColor(colour); }

} // namespace

TrackBar::TrackBar(QWidget* parent) : QWidget(parent), repeat_(new QTimer(this)) {
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    QObject::connect(repeat_, &QTimer::timeout, this, [this] {
        repeat_->setInterval(RepeatMs);
        if (!PageTowardsPress()) repeat_->stop();
    });
}

void TrackBar::SetRange(int min, int max) {
    min_ = min;
    max_ = std::max(min, max);
    update();
    SetPosition(position_);
}

void TrackBar::SetPosition(int value) {
    const int clamped = std::clamp(value, min_, max_);
    if (clamped == position_) return;
    position_ = clamped;
    update();
    if (OnChange) OnChange();
}

void TrackBar::SetFrequency(int value) {
    frequency_ = std::max(value, 0);
    update();
}

void TrackBar::SetSelStart(int value) {
    selStart_ = value;
    update();
}

void TrackBar::SetSelEnd(int value) {
    selEnd_ = value;
    update();
}

int TrackBar::FirstX() const { return ThumbHalfWidth + 4; }
int TrackBar::LastX() const { return std::max(FirstX(), width() - ThumbHalfWidth - 5); }

int TrackBar::ValueToX(int value) const {
    const int v = std::clamp(value, min_, max_);
    if (max_ == min_) return FirstX();
    const double share = static_cast<double>(v - min_) / (max_ - min_);
    return FirstX() + static_cast<int>(std::lround(share * (LastX() - FirstX())));
}

int TrackBar::XToValue(int x) const {
    if (LastX() == FirstX()) return min_;
    const double share = static_cast<double>(x - FirstX()) / (LastX() - FirstX());
    return std::clamp(min_ + static_cast<int>(std::lround(share * (max_ - min_))), min_, max_);
}

QRect TrackBar::ChannelRect() const {
    return QRect(QPoint(FirstX() - 3, ChannelY - 3), QPoint(LastX() + 3, ChannelY + 3));
}

QRect TrackBar::ThumbRect() const {
    const int x = ValueToX(position_);
    return QRect(QPoint(x - ThumbHalfWidth, ThumbTop), QPoint(x + ThumbHalfWidth, ThumbBottom));
}

void TrackBar::paintEvent(QPaintEvent* /*event*/) {
    using namespace platform;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, false);
    const bool enabled = isEnabled();
    p.fillRect(rect(), Sys(clBtnFace));

    // The groove: a sunken channel.
    const QRect channel = ChannelRect();
    p.fillRect(channel, Sys(clWindow));
    p.setPen(Sys(clBtnShadow));
    p.drawLine(channel.topLeft(), channel.topRight());
    p.drawLine(channel.topLeft(), channel.bottomLeft());
    p.setPen(Sys(clBtnHighlight));
    p.drawLine(channel.bottomLeft(), channel.bottomRight());
    p.drawLine(channel.topRight(), channel.bottomRight());
    p.setPen(Sys(cl3DDkShadow));
    p.drawLine(channel.topLeft() + QPoint(1, 1), channel.topRight() + QPoint(-1, 1));

    // The selection band, with a small mark above each of its ends.
    const int selLow = std::clamp(std::min(selStart_, selEnd_), min_, max_);
    const int selHigh = std::clamp(std::max(selStart_, selEnd_), min_, max_);
    const QColor markColour = enabled ? Sys(clBtnText) : Sys(clGrayText);
    if (selHigh > selLow) {
        const QRect band(QPoint(ValueToX(selLow), channel.top() + 2),
                         QPoint(ValueToX(selHigh), channel.bottom() - 1));
        p.fillRect(band, enabled ? Sys(clHighlight) : Sys(clBtnShadow));
        p.setPen(markColour);
        for (int x : {band.left(), band.right()}) {
            p.drawLine(x - 2, 0, x + 2, 0);
            p.drawLine(x - 1, 1, x + 1, 1);
            p.drawPoint(x, 2);
        }
    }

    // Ticks under the thumb, longer at both ends.
    p.setPen(markColour);
    if (frequency_ > 0)
        for (long long v = min_; v <= max_; v += frequency_) {
            const int x = ValueToX(static_cast<int>(v));
            p.drawLine(x, TickTop, x, TickTop + 2);
        }
    p.drawLine(ValueToX(min_), TickTop, ValueToX(min_), TickTop + 4);
    p.drawLine(ValueToX(max_), TickTop, ValueToX(max_), TickTop + 4);

    // The thumb: a raised button pointing down at the ticks.
    const QRect t = ThumbRect();
    const int tipStart = t.bottom() - ThumbHalfWidth;
    const int cx = t.center().x();
    const QPolygon thumb({QPoint(t.left(), t.top()), QPoint(t.right(), t.top()),
                          QPoint(t.right(), tipStart), QPoint(cx, t.bottom()),
                          QPoint(t.left(), tipStart)});
    p.setPen(Qt::NoPen);
    p.setBrush(enabled ? Sys(clBtnFace) : Sys(cl3DLight));
    p.drawPolygon(thumb);
    p.setPen(Sys(clBtnHighlight));
    p.drawLine(t.left(), t.top(), t.right() - 1, t.top());
    p.drawLine(t.left(), t.top(), t.left(), tipStart);
    p.drawLine(t.left(), tipStart, cx, t.bottom());
    p.setPen(enabled ? Sys(cl3DDkShadow) : Sys(clBtnShadow));
    p.drawLine(t.right(), t.top(), t.right(), tipStart);
    p.drawLine(t.right(), tipStart, cx, t.bottom());
    if (enabled) {
        p.setPen(Sys(clBtnShadow));
        p.drawLine(t.right() - 1, t.top() + 1, t.right() - 1, tipStart);
    }

    if (hasFocus()) {
        QPen focus(Sys(clWindowText));
        focus.setStyle(Qt::DotLine);
        p.setPen(focus);
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void TrackBar::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up: SetPosition(position_ - 1); break;
    case Qt::Key_Right:
    case Qt::Key_Down: SetPosition(position_ + 1); break;
    case Qt::Key_PageUp: SetPosition(position_ - pageSize_); break;
    case Qt::Key_PageDown: SetPosition(position_ + pageSize_); break;
    case Qt::Key_Home: SetPosition(min_); break;
    case Qt::Key_End: SetPosition(max_); break;
    default: QWidget::keyPressEvent(event); return;
    }
    event->accept();
}

bool TrackBar::PageTowardsPress() {
    const int x = ValueToX(position_);
    const int before = position_;
    if (pressX_ < x - ThumbHalfWidth)
        SetPosition(std::max(position_ - pageSize_, XToValue(pressX_)));
    else if (pressX_ > x + ThumbHalfWidth)
        SetPosition(std::min(position_ + pageSize_, XToValue(pressX_)));
    return position_ != before;
}

void TrackBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const QPoint at = event->position().toPoint();
    if (ThumbRect().contains(at)) {
        dragging_ = true;
        dragOffset_ = at.x() - ValueToX(position_);
    } else {
        // Like the classic control: page towards the click, repeating while the button is held.
        pressX_ = at.x();
        if (PageTowardsPress()) repeat_->start(FirstRepeatMs);
    }
    event->accept();
}

void TrackBar::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_) SetPosition(XToValue(event->position().toPoint().x() - dragOffset_));
    event->accept();
}

void TrackBar::mouseReleaseEvent(QMouseEvent* event) {
    if (dragging_) SetPosition(XToValue(event->position().toPoint().x() - dragOffset_));
    dragging_ = false;
    repeat_->stop();
    event->accept();
}
