// Text on the canvas, pixel for pixel as a QPainter draws it without antialiasing (the way the
// canvas always drew it): in several faces and styles, on clear and solid brushes, off every
// edge of the picture, and again after the same text was drawn before.

#include <QFontDatabase>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <string>

#include "platform/canvas/Canvas.h"

using namespace platform;

namespace {

// How the canvas drew text before it kept finished texts: one QPainter a call.
void ReferenceTextOut(QImage& image, const CanvasFont& canvasFont, const CanvasBrush& brush, int x,
                      int y, const std::string& text) {
    const QString s = QString::fromStdString(text);
    const QFont font = ToQFont(canvasFont);
    const QFontMetrics metrics(font);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    if (brush.Style() == BrushStyle::Solid)
        painter.fillRect(QRect(x, y, metrics.horizontalAdvance(s), metrics.height()),
                         ToQColor(brush.Color()));
    painter.setFont(font);
    painter.setPen(ToQColor(canvasFont.Color));
    painter.drawText(QPoint(x, y + metrics.ascent()), s);
}

int Differences(const QImage& a, const QImage& b) {
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) ++count;
    return count;
}

} // namespace

TEST(TextOutTest, EveryPixelAsAPainterDrawsIt) {
    // The program's own faces where the machine has them (Debian's fonts-wine).
    for (const char* file : {"tahoma.ttf", "tahomabd.ttf", "ms_sans_serif.ttf"})
        QFontDatabase::addApplicationFont(QString("/usr/share/wine/fonts/") + file);
    std::vector<CanvasFont> fonts;
    for (const char* face : {"Tahoma", "MS Sans Serif", "Sans Serif"})
        for (int size : {8, -11, 12}) {
            CanvasFont font;
            font.Name = face;
            font.Size = size;
            fonts.push_back(font);
        }
    CanvasFont styled;
    styled.Name = "Tahoma";
    styled.Bold = styled.Italic = styled.Underline = styled.StrikeOut = true;
    fonts.push_back(styled);
    const std::string texts[] = {"0 ",      "50 M", "20 G", "inf", "1 k", "Leak",
                                 "No leak", "96",   "123",  "Ωé",  ""};
    const QPoint places[] = {{3, 5}, {-4, 2}, {90, -6}, {110, 30}, {40, 36}, {-50, -50}};
    const TColor colours[] = {clBlack, clRed, 0x808080, clWhite, clBtnFace};

    QImage drawn(120, 40, QImage::Format_RGB32);
    QImage reference(120, 40, QImage::Format_RGB32);
    Canvas canvas(drawn);
    int call = 0;
    // Twice over: the second round draws texts the canvas has drawn before.
    for (int round = 0; round < 2; ++round)
        for (const CanvasFont& font : fonts)
            for (const std::string& text : texts) {
                drawn.fill(0xFF336699);
                reference.fill(0xFF336699);
                for (const QPoint& at : places) {
                    canvas.Font = font;
                    canvas.Font.Color = colours[call % 5];
                    canvas.Brush.SetColor(colours[(call + 2) % 5]);
                    if (call % 3 == 0) canvas.Brush.SetStyle(BrushStyle::Clear);
                    ++call;
                    canvas.TextOut(at.x(), at.y(), text);
                    ReferenceTextOut(reference, canvas.Font, canvas.Brush, at.x(), at.y(), text);
                    const QFontMetrics metrics(ToQFont(font));
                    EXPECT_EQ(canvas.PenPos(), QPoint(at.x() + metrics.horizontalAdvance(
                                                                   QString::fromStdString(text)),
                                                      at.y()));
                }
                ASSERT_EQ(Differences(drawn, reference), 0)
                    << font.Name << " " << font.Size << " \"" << text << "\" round " << round;
            }
}

TEST(TextOutTest, TabsMoveOnToTheNextStopFromTheTextsLeftEdge) {
    QFontDatabase::addApplicationFont("/usr/share/wine/fonts/tahoma.ttf");
    CanvasFont font;
    font.Name = "Tahoma";
    font.Size = -11;
    QImage measure(1, 1, QImage::Format_RGB32);
    Canvas measurer(measure);
    measurer.Font = font;
    const auto width = [&](const char* text) { return measurer.TextWidth(text); };
    const int ab = width("ab");
    const int a = width("a");
    ASSERT_GT(ab, a);

    // Each case: the text, the tab stop, and where each piece between the tabs must start
    // (from the text's left edge), then where the pen ends.
    const struct {
        const char* text;
        int tabStop;
        std::vector<int> pieces;
        int end;
    } cases[] = {
        {"ab", 20, {0}, ab},
        {"a\tb", 48, {0, 48}, 48 + width("b")},
        {"ab\tc", ab, {0, 2 * ab}, 2 * ab + width("c")}, // on a stop: the next
        {"\tab", 30, {30}, 30 + ab},                     // a leading tab
        {"a\t\tb", 10, {0, 20}, 20 + width("b")},
        {"a\t", 16, {0}, 16},
        {"ab\ta\tab", a, {0, (ab / a + 1) * a, (ab / a + 3) * a}, (ab / a + 3) * a + ab},
    };
    for (const auto& c : cases) {
        for (const bool solid : {false, true}) {
            QImage drawn(220, 24, QImage::Format_RGB32);
            QImage reference(220, 24, QImage::Format_RGB32);
            drawn.fill(0xFF336699);
            reference.fill(0xFF336699);
            Canvas canvas(drawn);
            Canvas expected(reference);
            for (Canvas* each : {&canvas, &expected}) {
                each->Font = font;
                each->Font.Color = clRed;
                if (solid)
                    each->Brush.SetColor(clWhite);
                else
                    each->Brush.SetStyle(BrushStyle::Clear);
            }
            canvas.TabbedTextOut(7, 3, c.text, c.tabStop);

            // The same pieces by hand; a solid brush covers the whole span, gaps included.
            if (solid) expected.FillRect(7, 3, 7 + c.end, 3 + expected.TextHeight("ab"));
            std::string text = c.text;
            size_t piece = 0;
            for (size_t start = 0; start <= text.size();) {
                size_t tab = text.find('\t', start);
                if (tab == std::string::npos) tab = text.size();
                if (tab > start) {
                    ASSERT_LT(piece, c.pieces.size()) << c.text;
                    expected.TextOut(7 + c.pieces[piece++], 3, text.substr(start, tab - start));
                }
                start = tab + 1;
            }
            EXPECT_EQ(piece, c.pieces.size()) << c.text;
            EXPECT_EQ(Differences(drawn, reference), 0) << c.text << (solid ? " solid" : "");
            EXPECT_EQ(canvas.PenPos(), QPoint(7 + c.end, 3)) << c.text;
        }
    }
}
