// The track bar: clamping, change notifications, keyboard and mouse, the painted selection.

#include <QApplication>
#include <QMouseEvent>
#include <QTest>

#include <gtest/gtest.h>

#include <vector>

#include "interface/widgets/TrackBar.h"
#include "platform/canvas/Colors.h"

using namespace platform;

namespace {

// The isolation-voltage bar: tens of volts, 400..800 V.
class TrackBarTest : public ::testing::Test {
protected:
    TrackBarTest() {
        bar.resize(200, 32);
        bar.SetRange(40, 80);
        bar.SetPageSize(5);
        bar.SetPosition(60);
        bar.OnChange = [this] { changes.push_back(bar.Position()); };
    }

    TColor PixelAt(int x, int y) { return FromQColor(bar.grab().toImage().pixelColor(x, y)); }

    void Mouse(QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
        QMouseEvent event(type, QPointF(at), QPointF(bar.mapToGlobal(at)), Qt::LeftButton,
                          buttons, Qt::NoModifier);
        QApplication::sendEvent(&bar, &event);
    }

    TrackBar bar;
    std::vector<int> changes;
};

} // namespace

TEST_F(TrackBarTest, PositionIsKeptWithinTheRange) {
    bar.SetPosition(100); // 1000 V
    EXPECT_EQ(bar.Position(), 80);
    bar.SetPosition(12); // 123 V
    EXPECT_EQ(bar.Position(), 40);
    EXPECT_EQ(changes, (std::vector<int>{80, 40}));

    // A narrower range carries the position with it, and says so.
    bar.SetRange(50, 70);
    EXPECT_EQ(bar.Position(), 50);
    EXPECT_EQ(changes.back(), 50);
}

TEST_F(TrackBarTest, OnChangeRunsForChangesFromCodeOnly) {
    bar.SetPosition(60); // unchanged
    EXPECT_TRUE(changes.empty());
    bar.SetPosition(55);
    EXPECT_EQ(changes, (std::vector<int>{55}));
}

TEST_F(TrackBarTest, KeysMoveThePosition) {
    struct Case {
        Qt::Key key;
        int expected;
    };
    const std::vector<Case> cases = {
        {Qt::Key_Right, 61}, {Qt::Key_Down, 61},    {Qt::Key_Left, 59}, {Qt::Key_Up, 59},
        {Qt::Key_PageDown, 65}, {Qt::Key_PageUp, 55}, {Qt::Key_Home, 40}, {Qt::Key_End, 80},
    };
    for (const Case& c : cases) {
        bar.SetPosition(60);
        changes.clear();
        QTest::keyClick(&bar, c.key);
        EXPECT_EQ(bar.Position(), c.expected) << c.key;
        EXPECT_EQ(changes, (std::vector<int>{c.expected})) << c.key;
    }
    // At the end of the range a key changes nothing and raises nothing.
    changes.clear();
    QTest::keyClick(&bar, Qt::Key_Right);
    EXPECT_EQ(bar.Position(), 80);
    EXPECT_TRUE(changes.empty());
}

TEST_F(TrackBarTest, SelectionBandIsPaintedOnTheGroove) {
    bar.SetSelStart(40);
    bar.SetSelEnd(55);
    bar.SetPosition(80); // thumb away from the band
    const int y = bar.ChannelRect().center().y();
    EXPECT_EQ(PixelAt(bar.ValueToX(48), y), ResolveColor(clHighlight));
    EXPECT_NE(PixelAt(bar.ValueToX(65), y), ResolveColor(clHighlight));

    // A limit above the range shows up to the end of the groove.
    bar.SetPosition(40);
    bar.SetSelEnd(90);
    EXPECT_EQ(PixelAt(bar.ValueToX(78), y), ResolveColor(clHighlight));

    // Disabled, the band turns grey.
    bar.setEnabled(false);
    EXPECT_EQ(PixelAt(bar.ValueToX(70), y), ResolveColor(clBtnShadow));
}

TEST_F(TrackBarTest, DraggingTheThumbAndClickingTheGroove) {
    const QPoint thumb = bar.ThumbRect().center();
    Mouse(QEvent::MouseButtonPress, thumb, Qt::LeftButton);
    Mouse(QEvent::MouseMove, QPoint(bar.ValueToX(70), thumb.y()), Qt::LeftButton);
    EXPECT_EQ(bar.Position(), 70);
    Mouse(QEvent::MouseButtonRelease, QPoint(bar.ValueToX(72), thumb.y()), Qt::NoButton);
    EXPECT_EQ(bar.Position(), 72);

    // A click beside the thumb moves one page towards it.
    const int y = bar.ChannelRect().center().y();
    Mouse(QEvent::MouseButtonPress, QPoint(bar.ValueToX(45), y), Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, QPoint(bar.ValueToX(45), y), Qt::NoButton);
    EXPECT_EQ(bar.Position(), 67);
}
