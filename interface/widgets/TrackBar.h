#pragma once
// A horizontal track bar in the classic style, with the selection range that Qt's slider
// lacks: the band between SelStart and SelEnd is highlighted on the groove.

#include <QWidget>

#include <functional>

class QTimer;

class TrackBar : public QWidget {
public:
    explicit TrackBar(QWidget* parent = nullptr);
    TrackBar(const TrackBar&) = delete;
    TrackBar& operator=(const TrackBar&) = delete;

    int Min() const { return min_; }
    int Max() const { return max_; }
    // A range change that moves the position raises OnChange like any other move.
    void SetMin(int value) { SetRange(value, std::max(value, max_)); }
    void SetMax(int value) { SetRange(std::min(value, min_), value); }
    void SetRange(int min, int max);

    int Position() const { return position_; }
    // Kept within Min..Max; OnChange runs whenever the value changes, from code as well as
    // from the keyboard or the mouse.
    void SetPosition(int value);

    int PageSize() const { return pageSize_; }
    void SetPageSize(int value) { pageSize_ = std::max(value, 1); }
    // Distance between the tick marks under the groove; 0 draws only the end ticks.
    int Frequency() const { return frequency_; }
    void SetFrequency(int value);

    // The selection may reach beyond the range (a limit above the maximum); it is drawn
    // within the groove.
    int SelStart() const { return selStart_; }
    int SelEnd() const { return selEnd_; }
    void SetSelStart(int value);
    void SetSelEnd(int value);

    std::function<void()> OnChange;

    // Geometry, for painting, hit tests and tests that look at the painted control.
    int ValueToX(int value) const;
    int XToValue(int x) const;
    QRect ChannelRect() const;
    QRect ThumbRect() const;

    QSize sizeHint() const override { return QSize(150, 32); }
    QSize minimumSizeHint() const override { return QSize(40, 32); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int FirstX() const;
    int LastX() const;
    // One page towards the point where the mouse was pressed; false once the thumb is there.
    bool PageTowardsPress();

    int min_ = 0;
    int max_ = 10;
    int position_ = 0;
    int pageSize_ = 2;
    int frequency_ = 1;
    int selStart_ = 0;
    int selEnd_ = 0;

    bool dragging_ = false;
    int dragOffset_ = 0;
    int pressX_ = 0;
    QTimer* repeat_ = nullptr;
};
