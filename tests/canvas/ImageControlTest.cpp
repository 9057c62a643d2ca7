// The image control: picture, canvas, painting, saving and mouse callbacks.

#include <QApplication>
#include <QEnterEvent>
#include <QImage>
#include <QMouseEvent>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "interface/widgets/ImageControl.h"

using namespace platform;

TEST(ImageControl, CanvasDrawingShowsOnTheControl) {
    ImageControl control;
    control.SetImageSize(40, 30, clBtnFace);
    EXPECT_EQ(control.size(), QSize(40, 30));
    Canvas& canvas = control.GetCanvas();
    EXPECT_EQ(canvas.Pixel(39, 29), 0xF0F0F0u);
    canvas.Pen.Color = clRed;
    canvas.MoveTo(5, 7);
    canvas.LineTo(20, 7);
    const QImage shown = control.grab().toImage();
    EXPECT_EQ(FromQColor(shown.pixelColor(10, 7)), clRed);
    EXPECT_EQ(FromQColor(shown.pixelColor(10, 8)), 0xF0F0F0u);
}

TEST(ImageControl, SavesItsPictureAsPng) {
    ImageControl control;
    control.SetImageSize(30, 20, clBtnFace);
    Canvas& canvas = control.GetCanvas();
    canvas.Pen.Color = 0x123456;
    canvas.MoveTo(0, 0);
    canvas.LineTo(29, 19);
    canvas.SetPixel(29, 19, clLime);

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string path = dir.filePath("picture.png").toStdString();
    ASSERT_TRUE(control.SavePng(path));
    const QImage loaded = QImage(QString::fromStdString(path)).convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(loaded, control.Picture());
    EXPECT_FALSE(control.SavePng(dir.filePath("missing/picture.png").toStdString()));
}

TEST(ImageControl, MouseCallbacksGetPictureCoordinates) {
    ImageControl control;
    control.SetImageSize(50, 40);
    EXPECT_TRUE(control.hasMouseTracking());
    std::vector<QPoint> moves;
    std::vector<std::string> seen;
    control.OnMouseMove = [&](int x, int y) { moves.emplace_back(x, y); };
    control.OnMouseDown = [&](Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x,
                              int y) {
        seen.push_back("down " + std::to_string(button == Qt::RightButton) + " " +
                       std::to_string(modifiers == Qt::ShiftModifier) + " " + std::to_string(x) +
                       "," + std::to_string(y));
    };
    control.OnMouseEnter = [&] { seen.push_back("enter"); };
    control.OnMouseLeave = [&] { seen.push_back("leave"); };

    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(&control, &enter);
    QMouseEvent move(QEvent::MouseMove, QPointF(12, 7), QPointF(12, 7), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&control, &move);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(30, 25), QPointF(30, 25),
                      Qt::RightButton, Qt::RightButton, Qt::ShiftModifier);
    QApplication::sendEvent(&control, &press);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&control, &leave);

    EXPECT_EQ(moves, (std::vector<QPoint>{QPoint(12, 7)}));
    EXPECT_EQ(seen, (std::vector<std::string>{"enter", "down 1 1 30,25", "leave"}));
}

TEST(ImageControl, OpaqueControlPaintsBeyondItsPicture) {
    ImageControl control;
    control.SetImageSize(10, 10, clRed);
    control.SetOpaque(true);
    control.resize(20, 20);
    const QImage shown = control.grab().toImage();
    EXPECT_EQ(FromQColor(shown.pixelColor(5, 5)), clRed);
    EXPECT_EQ(FromQColor(shown.pixelColor(15, 15)), 0xF0F0F0u);
}

TEST(ImageControl, AFinerPictureKeepsTheControlsSizeAndIsDrawnOnAtItsScale) {
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::white);
    picture.setPixel(0, 0, qRgb(0, 0, 255));
    ImageControl control;
    control.SetPicture(picture, 3);
    EXPECT_EQ(control.size(), QSize(40, 30));
    EXPECT_EQ(control.Scale(), 3);
    EXPECT_EQ(control.Picture().size(), QSize(120, 90)); // the picture enlarged
    Canvas& canvas = control.GetCanvas();
    EXPECT_EQ(canvas.Width(), 40);
    EXPECT_EQ(canvas.Height(), 30);
    canvas.Pen.Color = clRed;
    canvas.MoveTo(5, 7);
    canvas.LineTo(20, 7);
    EXPECT_EQ(canvas.Pixel(10, 7), clRed);
    EXPECT_EQ(FromQColor(control.Picture().pixelColor(10 * 3 + 2, 7 * 3 + 2)), clRed);
    // Shown at the control's size.
    const QImage shown = control.grab().toImage();
    EXPECT_EQ(shown.size(), QSize(40, 30));
    EXPECT_EQ(FromQColor(shown.pixelColor(10, 7)), clRed);

    // A new picture of the control's own size draws at that size again.
    control.SetImageSize(10, 10, clWhite);
    EXPECT_EQ(control.Scale(), 1);
    EXPECT_EQ(canvas.Width(), 10);
}
