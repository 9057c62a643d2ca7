#include "interface/Pictures.h"

#include <QPainter>
#include <QPainterPath>

#include <array>
#include <cmath>
#include <numbers>

namespace {

QPixmap Blank(int w, int h) {
    QPixmap pixmap(w, h);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void Begin(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
}

const QColor Outline(40, 40, 40);

void DrawPrint(QPainter& p) {
    p.setPen(Outline);
    p.setBrush(QColor(250, 250, 250));
    p.drawRect(QRectF(4.5, 1.5, 7, 5)); // paper coming in
    p.setBrush(QColor(170, 170, 180));
    p.drawRoundedRect(QRectF(1.5, 5.5, 13, 6), 1.5, 1.5);
    p.setBrush(QColor(250, 250, 250));
    p.drawRect(QRectF(4.5, 9.5, 7, 5)); // printed sheet
    p.setPen(QColor(90, 90, 90));
    p.drawLine(QPointF(6, 11.5), QPointF(10, 11.5));
    p.drawLine(QPointF(6, 13), QPointF(9, 13));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 190, 60));
    p.drawEllipse(QPointF(12.5, 7.5), 0.9, 0.9);
}

void DrawFont(QPainter& p) {
    QFont f("Serif");
    f.setPixelSize(14);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(30, 30, 140));
    p.drawText(QRectF(-1, -1, 12, 16), Qt::AlignCenter, "A");
    f.setPixelSize(10);
    f.setBold(false);
    p.setFont(f);
    p.setPen(QColor(160, 30, 30));
    p.drawText(QRectF(7, 4, 9, 12), Qt::AlignCenter, "a");
}

void DrawSave(QPainter& p) {
    p.setPen(Outline);
    p.setBrush(QColor(50, 80, 170));
    QPainterPath disk;
    disk.moveTo(1.5, 1.5);
    disk.lineTo(12.5, 1.5);
    disk.lineTo(14.5, 3.5);
    disk.lineTo(14.5, 14.5);
    disk.lineTo(1.5, 14.5);
    disk.closeSubpath();
    p.drawPath(disk);
    p.setBrush(QColor(235, 235, 235));
    p.drawRect(QRectF(3.5, 1.5, 8, 5)); // shutter
    p.setBrush(QColor(50, 80, 170));
    p.drawRect(QRectF(8.5, 2.5, 2, 3));
    p.setBrush(QColor(250, 250, 250));
    p.drawRect(QRectF(3.5, 9.5, 9, 5)); // label
}

void DrawHelp(QPainter& p) {
    p.setPen(QColor(20, 60, 140));
    p.setBrush(QColor(60, 120, 220));
    p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    QFont f("Sans Serif");
    f.setPixelSize(12);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, "?");
}

void DrawStart(QPainter& p) {
    QPainterPath triangle;
    triangle.moveTo(3, 1.5);
    triangle.lineTo(14, 8);
    triangle.lineTo(3, 14.5);
    triangle.closeSubpath();
    p.setPen(QPen(QColor(0, 100, 0), 1));
    p.setBrush(QColor(20, 180, 20));
    p.drawPath(triangle);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(140, 240, 140));
    p.drawEllipse(QPointF(6, 6), 1.5, 1.5); // shine
}

void DrawStop(QPainter& p) {
    p.setPen(QPen(QColor(120, 0, 0), 1));
    p.setBrush(QColor(210, 20, 20));
    p.drawRoundedRect(QRectF(2.5, 2.5, 11, 11), 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(250, 130, 130));
    p.drawRect(QRectF(4, 4, 3, 2)); // shine
}

void DrawAbout(QPainter& p) {
    p.setPen(QColor(20, 60, 140));
    p.setBrush(QColor(250, 250, 255));
    p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 80, 190));
    p.drawEllipse(QPointF(8, 4.5), 1.4, 1.4);
    p.drawRect(QRectF(6.5, 7, 3, 6));
}

void DrawConnect(QPainter& p) {
    // A plug and its socket about to meet.
    p.setPen(Outline);
    p.setBrush(QColor(90, 90, 90));
    p.drawRect(QRectF(1.5, 5.5, 5, 5));
    p.setBrush(QColor(220, 190, 60));
    p.drawRect(QRectF(6.5, 6.5, 3, 1));
    p.drawRect(QRectF(6.5, 8.5, 3, 1));
    p.setBrush(QColor(90, 90, 90));
    p.drawRect(QRectF(10.5, 4.5, 4, 7));
    p.setPen(QPen(QColor(40, 40, 40), 1.5));
    p.drawLine(QPointF(0, 8), QPointF(1.5, 8));
}

void DrawSettings(QPainter& p) {
    // A gear.
    QPainterPath gear;
    const QPointF c(8, 8);
    for (int i = 0; i < 16; ++i) {
        const double a = i * std::numbers::pi / 8;
        const double r = i % 2 == 0 ? 7.3 : 5.3;
        const QPointF q(c.x() + r * std::cos(a), c.y() + r * std::sin(a));
        if (i == 0)
            gear.moveTo(q);
        else
            gear.lineTo(q);
    }
    gear.closeSubpath();
    gear.addEllipse(c, 2.2, 2.2);
    gear.setFillRule(Qt::OddEvenFill);
    p.setPen(Outline);
    p.setBrush(QColor(150, 150, 160));
    p.drawPath(gear);
}

// Needle share of the meter's full scale for a frame: up in ten steps, back in ten.
double NeedleShare(int frame) { return frame <= 10 ? frame / 10.0 : (20 - frame) / 10.0; }

} // namespace

QPixmap ButtonGlyph(int index) {
    using Draw = void (*)(QPainter&);
    static constexpr std::array<Draw, ButtonGlyphCount> Glyphs = {
        DrawPrint, DrawFont, DrawSave, DrawHelp, DrawStart,
        DrawStop,  DrawAbout, DrawConnect, DrawSettings,
    };
    if (index < 0 || index >= ButtonGlyphCount) return {};
    QPixmap pixmap = Blank(16, 16);
    QPainter p(&pixmap);
    Begin(p);
    Glyphs[static_cast<size_t>(index)](p);
    return pixmap;
}

QPixmap AnimationFrame(int index) {
    if (index < 0 || index >= AnimationFrameCount) return {};
    QPixmap pixmap = Blank(32, 32);
    QPainter p(&pixmap);
    Begin(p);

    // Meter: a dial in the upper part.
    const QPointF pivot(17, 17);
    p.setPen(QPen(QColor(40, 40, 40), 1));
    p.setBrush(QColor(250, 248, 230));
    p.drawChord(QRectF(3, 3, 28, 28), 0, 180 * 16);
    p.setPen(QPen(QColor(200, 40, 40), 2));
    p.drawArc(QRectF(6, 6, 22, 22), 0, 45 * 16); // the high end of the scale in red
    p.setPen(QPen(QColor(40, 140, 40), 2));
    p.drawArc(QRectF(6, 6, 22, 22), 45 * 16, 135 * 16);

    // Needle: from the left stop (180 degrees) towards the right (0 degrees).
    const double angle = std::numbers::pi * (1.0 - NeedleShare(index));
    const QPointF tip(pivot.x() + 12 * std::cos(angle), pivot.y() - 12 * std::sin(angle));
    p.setPen(QPen(QColor(20, 20, 20), 1.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(pivot, tip);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(20, 20, 20));
    p.drawEllipse(pivot, 1.8, 1.8);

    // The plug under test at the bottom, its cable running to the meter.
    p.setPen(QPen(QColor(30, 30, 30), 1));
    p.setBrush(QColor(70, 90, 150));
    p.drawRoundedRect(QRectF(1.5, 21.5, 11, 8), 1.5, 1.5);
    p.setBrush(QColor(220, 190, 60));
    for (int i = 0; i < 3; ++i) p.drawRect(QRectF(12.5, 22.5 + 2.5 * i, 3, 1));
    p.setPen(QPen(QColor(30, 30, 30), 1.5));
    p.drawLine(QPointF(16, 25), QPointF(30, 25));
    p.drawLine(QPointF(30, 25), QPointF(30, 18));

    // A spark turning at the pins; none in the resting pose.
    if (index > 0) {
        const QPointF centre(19.5, 28);
        const double turn = index * std::numbers::pi / 10;
        p.setPen(QPen(QColor(255, 200, 0), 1.2, Qt::SolidLine, Qt::RoundCap));
        for (int ray = 0; ray < 4; ++ray) {
            const double a = turn + ray * std::numbers::pi / 2;
            p.drawLine(centre, QPointF(centre.x() + 3.5 * std::cos(a),
                                       centre.y() + 3.5 * std::sin(a)));
        }
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 200));
        p.drawEllipse(centre, 1.2, 1.2);
    }
    return pixmap;
}

QPixmap UsbIcon(int index) {
    if (index < 0 || index >= UsbIconCount) return {};
    const bool present = index == 1;
    QPixmap pixmap = Blank(47, 15);
    QPainter p(&pixmap);
    Begin(p);
    const QColor body = present ? QColor(60, 60, 70) : QColor(160, 160, 160);
    const QColor metal = present ? QColor(200, 200, 210) : QColor(215, 215, 215);
    const QColor symbol = present ? QColor(0, 90, 200) : QColor(170, 170, 170);

    // The plug: metal shell with its contacts, and the moulded body.
    p.setPen(QPen(body, 1));
    p.setBrush(metal);
    p.drawRect(QRectF(0.5, 3.5, 9, 8));
    p.setPen(Qt::NoPen);
    p.setBrush(body);
    p.drawRect(QRectF(2, 5, 2, 2));
    p.drawRect(QRectF(6, 5, 2, 2));
    p.drawRoundedRect(QRectF(9.5, 2.5, 8, 10), 1.5, 1.5);
    p.setPen(QPen(body, 2));
    p.drawLine(QPointF(17.5, 7.5), QPointF(21, 7.5)); // cable

    // The trident: a base dot, the stem, and branches ending in a circle, an arrow and a square.
    p.setPen(QPen(symbol, 1.3));
    p.setBrush(symbol);
    p.drawEllipse(QPointF(24, 7.5), 2, 2);
    p.drawLine(QPointF(24, 7.5), QPointF(41, 7.5));
    QPolygonF arrow({QPointF(46.5, 7.5), QPointF(41, 4.5), QPointF(41, 10.5)});
    p.drawPolygon(arrow);
    p.drawLine(QPointF(28, 7.5), QPointF(31, 2.5));
    p.drawLine(QPointF(31, 2.5), QPointF(35, 2.5));
    p.drawEllipse(QPointF(36.2, 2.5), 1.5, 1.5);
    p.drawLine(QPointF(31, 7.5), QPointF(34, 12.5));
    p.drawLine(QPointF(34, 12.5), QPointF(37, 12.5));
    p.drawRect(QRectF(37, 11, 2.8, 2.8));

    if (present) {
        // A lit lamp on the plug body.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 230, 40));
        p.drawEllipse(QPointF(13.5, 7.5), 1.8, 1.8);
    }
    return pixmap;
}
