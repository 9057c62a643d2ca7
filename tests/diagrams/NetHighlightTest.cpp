// The net under the mouse on the reference pattern: hit tests, lighting a net white, moving to
// another net, leaving for another control, and the mouse moves reaching the window.

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>

#include "results/DiagramGeometry.h"
#include "tests/diagrams/DiagramFixture.h"

using namespace results::diagram;

namespace {

constexpr TColor White = platform::clWhite;

class NetHighlightTest : public DiagramFixture {
protected:
    void SetUp() override {
        Join(1, 97);            // A1-B1, straight on row 6
        Join(3, 96 + 5);        // A3-B5
        Alone(2, true);         // a take-out without partner
        Alone(10);              // used alone: grey
        Join(96 + 20, 96 + 30); // B20-B30
        Alone(40, true);
        DrawReferencePattern();
    }

    void Move(QObject* sender, int x, int y) { frm.FormMouseMove(sender, {}, x, y); }

    // A point on each part of a net: both stubs and the middle of the wire.
    struct NetPoints {
        QPoint stubA, stubB, wire;
    };
    NetPoints A1B1() const { return {QPoint(20, 6), QPoint(250, 6), QPoint(140, 6)}; }
    NetPoints A3B5() const {
        return {QPoint(20, 19), QPoint(250, 32),
                Midpoint(QPoint(40, 19), QPoint(112, 19), QPoint(168, 32), QPoint(240, 32))};
    }
    NetPoints B20B30() const {
        return {QPoint(245, Row(20)), QPoint(245, Row(30)),
                Midpoint(QPoint(240, Row(20)), QPoint(208, Row(20)), QPoint(208, (13 * 30 + 1) / 2),
                         QPoint(241, Row(30)))};
    }
    void ExpectNet(const NetPoints& net, TColor colour) {
        for (const QPoint& p : {net.stubA, net.stubB, net.wire})
            EXPECT_EQ(Px(frm.Image1, p.x(), p.y()), colour) << p.x() << "," << p.y();
    }
    int CountAll(TColor colour) { return CountIn(frm.Image1, 0, 0, 280, 630, colour); }
};

TEST_F(NetHighlightTest, HitTestReadsThePixelAndComparesWithThePalette) {
    EXPECT_TRUE(frm.HitTestNetColor(20, 6));
    EXPECT_EQ(frm.HoverColor, Colour(1));
    EXPECT_TRUE(frm.HitTestNetColor(250, 32)); // B5's stub carries the colour of A3
    EXPECT_EQ(frm.HoverColor, Colour(3));

    EXPECT_FALSE(frm.HitTestNetColor(140, 300));
    EXPECT_EQ(frm.HoverColor, Face);
    EXPECT_FALSE(frm.HitTestNetColor(38, Row(10))); // grey: a pin used alone is no net
    EXPECT_EQ(frm.HoverColor, platform::clGray);
    EXPECT_FALSE(frm.HitTestNetColor(280, 6));
    EXPECT_FALSE(frm.HitTestNetColor(20, 630));

    frm.Image1->GetCanvas().SetPixel(140, 300, platform::clBlack);
    EXPECT_TRUE(frm.HitTestNetColor(140, 300)); // black is entry 0
    EXPECT_EQ(frm.HoverColor, 0u);
}

TEST_F(NetHighlightTest, EnteringANetLightsItWhiteAndTheNextNetRestoresIt) {
    const int whiteBefore = CountAll(White);
    Move(frm.Image1, 140, 6);
    EXPECT_EQ(frm.HighlightedColor, Colour(1));
    ExpectNet(A1B1(), White);
    EXPECT_EQ(CountAll(Colour(1)), 0) << "labels and stubs turn white too";
    ExpectNet(A3B5(), Colour(3));

    // Over the background the highlight stays.
    Move(frm.Image1, 140, 300);
    EXPECT_EQ(frm.HighlightedColor, Colour(1));
    ExpectNet(A1B1(), White);

    // Over another net: the first comes back in its colour exactly, the second turns white.
    const QPoint onA3B5 = A3B5().wire;
    Move(frm.Image1, onA3B5.x(), onA3B5.y());
    EXPECT_EQ(frm.HighlightedColor, Colour(3));
    ExpectNet(A1B1(), Colour(1));
    ExpectNet(A3B5(), White);

    // A net within plug B.
    Move(frm.Image1, B20B30().stubA.x(), B20B30().stubA.y());
    ExpectNet(A3B5(), Colour(3));
    ExpectNet(B20B30(), White);
    EXPECT_EQ(frm.HighlightedColor, Colour(96 + 20));

    Move(frm.StartBtn, 5, 5);
    ExpectNet(B20B30(), Colour(96 + 20));
    EXPECT_EQ(CountAll(White), whiteBefore);
}

TEST_F(NetHighlightTest, ATakeOutAloneLightsItsPinAndDot) {
    const PinLayout layout = LayoutOfPin(Plug::A, 2);
    Move(frm.Image1, layout.stubFrom, Row(2));
    EXPECT_EQ(frm.HighlightedColor, Colour(2));
    EXPECT_EQ(Px(frm.Image1, 36, Row(2)), White); // the dot
    EXPECT_EQ(Px(frm.Image1, 36, Row(2) - 2), White);
    EXPECT_EQ(CountAll(Colour(2)), 0);
    ExpectNet(A1B1(), Colour(1));
    EXPECT_EQ(Px(frm.Image1, 36, Row(40)), Colour(40)); // another lone take-out
}

TEST_F(NetHighlightTest, NeighbouringPixelsCountButNotFurther) {
    // One row above A1's stub: found by the probe below the mouse.
    Move(frm.Image1, 140, 5);
    EXPECT_EQ(frm.HighlightedColor, Colour(1));
    Move(frm.StartBtn, 0, 0);

    // Two rows above: all nine probes miss and nothing changes.
    Move(frm.Image1, 140, 4);
    EXPECT_EQ(frm.HighlightedColor, 0u);
    EXPECT_EQ(Px(frm.Image1, 140, 6), Colour(1));

    // Only the last probe, down and to the right, meets the first stub pixel of A3.
    const PinLayout a3 = LayoutOfPin(Plug::A, 3);
    Move(frm.Image1, a3.stubFrom - 1, Row(3) - 1);
    EXPECT_EQ(frm.HighlightedColor, Colour(3));

    // Coordinates below 0 are taken as 0: nothing there, nothing breaks.
    Move(frm.Image1, -5, -5);
    EXPECT_EQ(frm.HighlightedColor, Colour(3));
}

TEST_F(NetHighlightTest, LeavingTowardsAnotherControlRestoresExactlyOnce) {
    Move(frm.Image1, 140, 6);
    const uint64_t pumped = p.events.Calls();
    Move(frm.CableLst, 3, 3);
    EXPECT_EQ(p.events.Calls(), pumped + 1);
    EXPECT_EQ(frm.HighlightedColor, 0u);
    EXPECT_EQ(frm.HoverColor, 0u);
    ExpectNet(A1B1(), Colour(1));
    Move(frm.Image3, 3, 3);
    Move(&frm, 3, 3);
    EXPECT_EQ(p.events.Calls(), pumped + 1);
}

TEST_F(NetHighlightTest, ABlackPixelOnlyRestoresTheHighlightedNet) {
    Move(frm.Image1, 140, 6);
    frm.Image1->GetCanvas().SetPixel(140, 300, platform::clBlack);
    Move(frm.Image1, 140, 300);
    EXPECT_EQ(frm.HighlightedColor, 0u);
    ExpectNet(A1B1(), Colour(1));
    EXPECT_EQ(Px(frm.Image1, 140, 300), platform::clBlack);
}

TEST_F(NetHighlightTest, AfterTheGreyRedrawOnlyARestoredNetCanBeFoundAgain) {
    Move(frm.Image1, 140, 6); // A1-B1 white
    // A run redraws the pattern in grey; NodeColours keep the net colours.
    ClearImage(frm.Image1);
    for (int i = 1; i <= 96; ++i) {
        frm.DrawPinA(frm.Image1, i, platform::clGray);
        frm.DrawPinB(frm.Image1, i, platform::clGray);
    }
    frm.DrawWire(frm.Image1, 1, 97, platform::clGray);
    frm.DrawWire(frm.Image1, 3, 101, platform::clGray);
    Move(frm.Image1, A3B5().wire.x(), A3B5().wire.y());
    EXPECT_EQ(frm.HighlightedColor, Colour(1)) << "grey is no net colour";
    Move(frm.StartBtn, 0, 0); // A1-B1 comes back in its own colour
    ExpectNet(A1B1(), Colour(1));
    ExpectNet(A3B5(), platform::clGray);
    Move(frm.Image1, 140, 6);
    ExpectNet(A1B1(), White);
}

TEST_F(NetHighlightTest, NoDefinitionLoadedHighlightsNothingVisible) {
    frm.Wiring.fill(-1);
    frm.Wiring[0] = 0;
    frm.NodeColours.fill(0);
    ClearImage(frm.Image1);
    Move(frm.Image1, 140, 300);
    EXPECT_EQ(frm.HighlightedColor, 0u);
    EXPECT_EQ(CountAll(Face), 280 * 630);
}

// The mouse moves of the running window reach the handler with the control they are over.
TEST_F(NetHighlightTest, MouseMovesOverTheControlsReachTheHandler) {
    EXPECT_TRUE(frm.Image1->hasMouseTracking());
    EXPECT_TRUE(frm.Image3->hasMouseTracking());
    const auto send = [](QWidget* widget, QPoint at) {
        QMouseEvent move(QEvent::MouseMove, QPointF(at), widget->mapToGlobal(QPointF(at)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &move);
    };
    send(frm.Image1, QPoint(140, 6));
    EXPECT_EQ(frm.HighlightedColor, Colour(1));
    ExpectNet(A1B1(), White);

    // A chart image has a handler of its own.
    send(frm.ImageDistribCont, QPoint(10, 10));
    EXPECT_EQ(frm.HighlightedColor, Colour(1));

    // A button does not track the mouse, yet the move reaches the window.
    ASSERT_FALSE(frm.StartBtn->hasMouseTracking());
    send(frm.StartBtn, QPoint(5, 5));
    EXPECT_EQ(frm.HighlightedColor, 0u);
    ExpectNet(A1B1(), Colour(1));

    send(frm.Image1, A3B5().wire);
    EXPECT_EQ(frm.HighlightedColor, Colour(3));
    send(frm.Image3, QPoint(140, 6));
    EXPECT_EQ(frm.HighlightedColor, 0u);
}

// The same through the window system, as the mouse itself moves the pointer over the window.
TEST_F(NetHighlightTest, PointerMovesOverTheShownWindow) {
    frm.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frm));
    QTest::mouseMove(frm.Image1, QPoint(140, 6));
    EXPECT_EQ(frm.HighlightedColor, Colour(1));
    QTest::mouseMove(frm.LabelImage1, QPoint(5, 5)); // a caption above the image
    EXPECT_EQ(frm.HighlightedColor, 0u);
    ExpectNet(A1B1(), Colour(1));
    QTest::mouseMove(frm.Image1, A3B5().stubA);
    EXPECT_EQ(frm.HighlightedColor, Colour(3));
    QTest::mouseMove(frm.Bevel1, QPoint(0, 100)); // the frame around the image
    EXPECT_EQ(frm.HighlightedColor, 0u);
}

} // namespace
