#pragma once
// A main window on the virtual-clock platform with a wiring table filled by hand, and the
// reference pattern drawn the way a loaded definition draws it: pins in the colour of their
// net's lowest node, recorded in NodeColours, then one wire per pair.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>

#include "interface/Main.h"
#include "interface/widgets/ImageControl.h"
#include "tests/support/FakeFtdi.h"
#include "tests/support/TestServices.h"

class DiagramFixture : public ::testing::Test {
protected:
    static constexpr TColor Face = 0xF0F0F0; // the button face as drawn
    static constexpr int16_t Mark = 10000;

    testing_support::TestPlatform p;
    testing_support::FakeFtdi ftdi{p.clock};
    platform::Services services = testing_support::ServicesOf(p, ftdi);
    TMainFrm frm{services};

    // Joins two nodes, marked as a take-out when asked.
    void Join(int a, int b, bool takeOut = false) {
        frm.Wiring[static_cast<size_t>(a)] = static_cast<int16_t>(b + (takeOut ? Mark : 0));
        frm.Wiring[static_cast<size_t>(b)] = static_cast<int16_t>(a + (takeOut ? Mark : 0));
    }
    void Alone(int node, bool takeOut = false) {
        frm.Wiring[static_cast<size_t>(node)] = takeOut ? Mark : 0;
    }

    void ClearImage(ImageControl* image) {
        auto& canvas = image->GetCanvas();
        canvas.Pen.Mode = platform::PenMode::Copy;
        canvas.Pen.Color = platform::clBtnFace;
        canvas.Brush.SetColor(platform::clBtnFace);
        canvas.Rectangle(0, 0, canvas.Width(), canvas.Height());
        canvas.Font.Bold = true;
    }

    void DrawReferencePattern() {
        ImageControl* image = frm.Image1;
        ClearImage(image);
        const auto colourOf = [&](int node) {
            const int partner = frm.Wiring[static_cast<size_t>(node)] % 10000;
            return frm
                .WireColours[static_cast<size_t>(partner > 0 ? std::min(node, partner) : node)];
        };
        for (int i = 1; i <= 96; ++i) {
            frm.DrawPinA(image, i, colourOf(i));
            frm.NodeColours[static_cast<size_t>(i)] = image->GetCanvas().Pen.Color;
            frm.DrawPinB(image, i, colourOf(96 + i));
            frm.NodeColours[static_cast<size_t>(96 + i)] = image->GetCanvas().Pen.Color;
        }
        for (int node = 1; node <= 192; ++node) {
            const int partner = frm.Wiring[static_cast<size_t>(node)] % 10000;
            if (node < partner)
                frm.DrawWire(image, node, partner, frm.WireColours[static_cast<size_t>(node)]);
        }
    }

    TColor Colour(int node) const { return frm.WireColours[static_cast<size_t>(node)]; }
    static TColor Px(ImageControl* image, int x, int y) { return image->GetCanvas().Pixel(x, y); }

    static int Row(int q) { return (13 * q - 1) / 2; }

    // The point of a cubic curve at t = 1/2, rounded as the canvas rounds it.
    static QPoint Midpoint(QPoint p0, QPoint p1, QPoint p2, QPoint p3) {
        const auto mid = [](int a, int b, int c, int d) {
            return static_cast<int>(std::floor((a + 3.0 * b + 3.0 * c + d) / 8 + 0.5));
        };
        return QPoint(mid(p0.x(), p1.x(), p2.x(), p3.x()), mid(p0.y(), p1.y(), p2.y(), p3.y()));
    }

    // How many pixels of the box x1..x2-1, y1..y2-1 have the colour.
    static int CountIn(ImageControl* image, int x1, int y1, int x2, int y2, TColor colour) {
        int n = 0;
        for (int y = y1; y < y2; ++y)
            for (int x = x1; x < x2; ++x) n += Px(image, x, y) == colour;
        return n;
    }
};
