// The distribution charts drawn through the canvas, read back pixel by pixel.

#include <gtest/gtest.h>

#include "interface/Main.h"
#include "interface/widgets/ImageControl.h"
#include "results/Distributions.h"
#include "tests/support/FakeFtdi.h"
#include "tests/support/TestServices.h"

using namespace testing_support;
using platform::clBlack;
using platform::clWhite;

// The button face as a pixel holds it.
const TColor clBtnFace = platform::ResolveColor(platform::clBtnFace);

namespace {

constexpr TColor DarkGreen = 0x008000;

class ChartDrawingTest : public ::testing::Test {
protected:
    TestPlatform p;
    FakeFtdi driver{p.clock};
    platform::Services services = ServicesOf(p, driver);
    TMainFrm frm{services};
    ImageControl* chart = nullptr;

    void SetUp() override {
        frm.Timer1->SetEnabled(false);
        chart = frm.ImageDistribCont;
    }

    TColor Pixel(int x, int y) { return chart->GetCanvas().Pixel(x, y); }
    void Draw(int64_t value) {
        frm.DrawDistribution(DistribContinuity, chart, value, 403, 100, 0, 0, platform::clBtnFace,
                             false);
    }
    // Whether a colour shows anywhere in the box x1..x2-1, y1..y2-1 of an image.
    static bool Shows(ImageControl* image, int x1, int y1, int x2, int y2, TColor colour) {
        for (int y = y1; y < y2; ++y)
            for (int x = x1; x < x2; ++x)
                if (image->GetCanvas().Pixel(x, y) == colour) return true;
        return false;
    }
    void PointAt(ImageControl* image, int x, int y) {
        const QPoint global = image->mapToGlobal(QPoint(x, y));
        p.cursor.position = {global.x(), global.y()};
    }
};

TEST_F(ChartDrawingTest, WorkedGeometryOfTheScreenChart) {
    frm.DistribCounts[DistribContinuity][10] = 4;
    Draw(0); // one value in bin 0 of a scale of 4
    EXPECT_EQ(frm.DistribCounts[DistribContinuity][0], 1);
    // The axis from x 5 to 395 on row 86 and its ticks 39 pixels apart over rows 86 and 87.
    EXPECT_EQ(Pixel(4, 86), clBtnFace);
    for (int x = 5; x <= 395; ++x) EXPECT_EQ(Pixel(x, 86), clBlack) << x;
    EXPECT_EQ(Pixel(396, 86), clBtnFace);
    for (int tick = 0; tick <= 10; ++tick) {
        const int x = 5 + 39 * tick;
        EXPECT_EQ(Pixel(x, 87), clBlack) << x;
        EXPECT_EQ(Pixel(x, 85), tick <= 1 ? clBlack : clBtnFace) << x; // bar 0's outline
        EXPECT_EQ(Pixel(x + 1, 87), clBtnFace) << x;
    }
    // The bar: top at trunc(85 - 1/4 x 84) = 64, outlined from x 5 to 45 excluded.
    EXPECT_EQ(Pixel(5, 64), clBlack);
    EXPECT_EQ(Pixel(44, 64), clBlack);
    EXPECT_EQ(Pixel(20, 63), clBtnFace);
    EXPECT_EQ(Pixel(20, 75), DarkGreen);
    EXPECT_EQ(Pixel(45, 75), clBtnFace);
    // Its count above it, from row 64 - 13.
    EXPECT_TRUE(Shows(chart, 20, 51, 32, 64, clBlack));
    EXPECT_FALSE(Shows(chart, 0, 0, 403, 50, clBlack));
    // The labels under the axis, in black while nothing is hovered.
    EXPECT_TRUE(Shows(chart, 1, 88, 10, 100, clBlack));
    EXPECT_TRUE(Shows(chart, 1 + 10 * 39 - 1, 88, 403, 100, clBlack));
}

TEST_F(ChartDrawingTest, AFullBarWritesItsCountInsideAndATallerOneOverflows) {
    frm.DistribCounts[DistribContinuity][10] = 1;
    Draw(7); // bin 5, the whole scale: top at trunc(85 - 84) = 1
    const int left = 5 + 39 * 5;
    EXPECT_EQ(Pixel(left, 1), clBlack);
    EXPECT_EQ(Pixel(left + 10, 0), clBtnFace);
    // The count in white inside the bar, from row trunc((86 + 1) x 0.5 - 6) = 37.
    EXPECT_TRUE(Shows(chart, left + 1, 37, left + 39, 50, clWhite));
    Draw(8); // a count above the scale reaches past the top
    EXPECT_EQ(Pixel(left + 10, 0), DarkGreen);
}

TEST_F(ChartDrawingTest, NegativeValuesAndScaleZeroDrawNoBar) {
    frm.DistribCounts[DistribContinuity][10] = 0;
    Draw(0);
    Draw(-1);
    Draw(-5);
    EXPECT_EQ(frm.DistribCounts[DistribContinuity][0], 1);
    EXPECT_EQ(frm.DistribCounts[DistribContinuity][9], 0);
    EXPECT_EQ(Pixel(20, 75), clBtnFace); // counted, but a scale of 0 draws no bar
    EXPECT_EQ(Pixel(20, 86), clBlack);
}

TEST_F(ChartDrawingTest, TheHoveredBinTurnsWhiteAndColoursBothItsEdgeLabels) {
    frm.DistribCounts[DistribContinuity][10] = 2;
    Draw(4); // bin 3
    PointAt(chart, 5 + 39 * 4, 50); // on the edge of bins 3 and 4: bin 3
    Draw(-1);
    EXPECT_EQ(Pixel(5 + 39 * 3 + 10, 80), clWhite);
    const int label3 = 1 + 3 * 39 + 1;
    const int label4 = 1 + 4 * 39 + 1;
    const int label5 = 1 + 5 * 39 + 1;
    EXPECT_TRUE(Shows(chart, label3, 88, label3 + 10, 100, DarkGreen));
    EXPECT_TRUE(Shows(chart, label4, 88, label4 + 10, 100, DarkGreen));
    EXPECT_FALSE(Shows(chart, label5, 88, label5 + 10, 100, DarkGreen));
    EXPECT_TRUE(Shows(chart, label5, 88, label5 + 10, 100, clBlack));
}

TEST_F(ChartDrawingTest, PrintModeScalesToTheLargestBinAndLeavesTheBackground) {
    ImageControl page;
    page.SetImageSize(630, 891, platform::clRed);
    auto& counts = frm.DistribCounts[DistribIsolation];
    counts.fill(0);
    counts[1] = 3;
    counts[2] = 1;
    counts[10] = 100; // the stored scale does not count in print
    const int top = 13 * 5 + 190;
    frm.DrawDistribution(DistribIsolation, &page, -100, 340, 55, 240, top, clWhite, true);
    EXPECT_EQ(counts[1], 3); // nothing counted
    const int l = 5, V = 32;
    // The largest bin at full height: top at trunc(40 - 39) = 1.
    EXPECT_EQ(page.GetCanvas().Pixel(240 + l + 4 + V, top + 1), clBlack);
    EXPECT_EQ(page.GetCanvas().Pixel(240 + l + 4 + V + 10, top + 20), 0x0080FFu);
    // Bin 2 with a third of it: top at trunc(40 - 13) = 27.
    EXPECT_EQ(page.GetCanvas().Pixel(240 + l + 4 + 2 * V + 10, top + 27), clBlack);
    EXPECT_EQ(page.GetCanvas().Pixel(240 + l + 4 + 2 * V + 10, top + 26), platform::clRed);
    // The axis from x 240 + 9 to 240 + 340 - 8 - 3 on row top + 41; no background was painted.
    EXPECT_EQ(page.GetCanvas().Pixel(240 + 9, top + 41), clBlack);
    EXPECT_EQ(page.GetCanvas().Pixel(240 + 329, top + 41), clBlack);
    EXPECT_EQ(page.GetCanvas().Pixel(240 + 330, top + 41), platform::clRed);
    EXPECT_EQ(page.GetCanvas().Pixel(240 + 200, top + 5), platform::clRed);
}

TEST_F(ChartDrawingTest, APrintedChartDoesNotFollowTheMouse) {
    // The page window is never on the screen; it stands at the screen's top left, where the
    // cursor may well be. Pointed at the chart's place on the page, or at the page's corner.
    ImageControl page;
    page.SetImageSize(630, 891, clWhite);
    auto& counts = frm.DistribCounts[DistribContinuity];
    counts.fill(0);
    counts[0] = 4;
    const int top = 190 + 13 * 5;
    for (const QPoint at : {QPoint(240 + 20, top + 30), QPoint(20, 30)}) {
        SCOPED_TRACE(at.x());
        PointAt(&page, at.x(), at.y());
        frm.DrawDistribution(DistribContinuity, &page, -100, 340, 55, 240, top, clWhite, true);
        EXPECT_EQ(page.GetCanvas().Pixel(240 + 5 + 4 + 16, top + 30), DarkGreen);
        // Every label in black.
        for (int y = top + 43; y < top + 55; ++y)
            for (int x = 240; x < 580; ++x)
                ASSERT_TRUE(page.GetCanvas().Pixel(x, y) == clWhite ||
                            page.GetCanvas().Pixel(x, y) == clBlack)
                    << x << "," << y;
    }
}

TEST_F(ChartDrawingTest, PrintedAxisLabelsStandApart) {
    // Between the ink of two neighbouring labels a clear gap, on the printed isolation chart
    // too, whose labels are about as long as its bars are wide (in the report's face they came
    // 4 pixels apart, no more than the blank inside a label); at the printer's finer pixels as
    // on the page's own. Each label still begins where the geometry puts it.
    for (const int kind : {DistribContinuity, DistribIsolation})
        for (const int scale : {1, 4}) {
            SCOPED_TRACE(testing::Message() << "kind " << kind << ", scale " << scale);
            ImageControl page;
            page.SetImageSize(630, 891, clWhite);
            page.SetPicture(page.Picture(), scale);
            const int top = 190;
            frm.DrawDistribution(kind, &page, -100, 340, 55, 240, top, clWhite, true);
            const QImage& image = page.Picture();
            auto inkIn = [&](int x) { // x in printer pixels
                for (int y = (top + 43) * scale; y < (top + 55) * scale; ++y)
                    if (image.pixel(x, y) != platform::ToPixel(clWhite)) return true;
                return false;
            };
            const results::ChartGeometry g = results::GeometryOf(340);
            auto start = [&](int j) {
                return (240 + g.l + results::AxisLabelOffset(kind, j, g.V)) * scale;
            };
            int lastInk = -1;
            for (int j = 0; j <= results::BinCount; ++j) {
                const int end = j < results::BinCount ? start(j + 1) : 630 * scale;
                int first = -1, last = -1;
                for (int x = start(j); x < end; ++x)
                    if (inkIn(x)) {
                        if (first < 0) first = x;
                        last = x;
                    }
                ASSERT_GE(first, 0) << "label " << j;
                EXPECT_LT(first, start(j) + 2 * scale) << "label " << j;
                // Wider than the blank inside "100 M", so that each label reads as one.
                if (j > 0) {
                    EXPECT_GE(first - lastInk - 1, 5 * scale) << "labels " << j - 1 << ", " << j;
                }
                lastInk = last;
            }
        }
}

TEST_F(ChartDrawingTest, ResetEmptiesCountsAndTextsButKeepsTheScales) {
    frm.DistribCounts[DistribTOs] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    frm.DistribText[DistribRelays][4] = "Board 1 ... \n";
    frm.ResetDistributions();
    for (int bin = 0; bin < 10; ++bin) EXPECT_EQ(frm.DistribCounts[DistribTOs][bin], 0);
    EXPECT_EQ(frm.DistribCounts[DistribTOs][10], 11);
    EXPECT_EQ(frm.DistribText[DistribRelays][4], "");
}

} // namespace
