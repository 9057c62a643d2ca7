// The distribution charts on the main window: drawing, hover and the category window.

#include <QEvent>
#include <QTabWidget>
#include <QTextEdit>

#include <algorithm>
#include <cmath>
#include <memory>

#include "interface/CategoryResults.h"
#include "interface/Main.h"
#include "interface/widgets/ImageControl.h"
#include "results/CertificateLayout.h"
#include "results/Distributions.h"

using namespace results;

namespace {

// A page's chart is redrawn when the page shows.
class PageShowHook final : public QObject {
public:
    explicit PageShowHook(TMainFrm& frm) : QObject(&frm), frm_(frm) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) frm_.RunHandler([&] { frm_.TabSheetShow(watched); });
        return false;
    }

private:
    TMainFrm& frm_;
};

// The printed chart's bars are narrower than the screen's, and the isolation chart's labels
// would all but touch in the report's face: they take a smaller size of it, from the largest
// at which each ends a few pixels before the next begins, down to the smallest printed text.
void FitAxisLabels(platform::Canvas& canvas, int kind, const ChartGeometry& g) {
    constexpr int LeastGap = 4;
    const auto& labels = AxisLabels(kind);
    auto crowded = [&] {
        for (int j = 0; j < BinCount; ++j) {
            std::string text = labels[static_cast<size_t>(j)];
            while (!text.empty() && text.back() == ' ') text.pop_back();
            const int end = AxisLabelOffset(kind, j, g.V) + canvas.TextWidth(text);
            if (end + LeastGap > AxisLabelOffset(kind, j + 1, g.V)) return true;
        }
        return false;
    };
    int pixels = platform::ToQFont(canvas.Font).pixelSize();
    while (pixels > SmallestPrintedTextPixels && crowded()) canvas.Font.Size = -(--pixels);
}

} // namespace

void TMainFrm::ConnectCharts() {
    auto* hook = new PageShowHook(*this);
    for (int kind = 0; kind < DistribKinds; ++kind) {
        TabSheets[static_cast<size_t>(kind)]->installEventFilter(hook);
        ImageControl* image = ChartImage(kind);
        image->OnMouseMove = [this, image](int x, int y) {
            RunHandler([&] { ImageDistribMouseMove(image, Qt::NoModifier, x, y); });
        };
        image->OnMouseDown = [this, image](Qt::MouseButton button, Qt::KeyboardModifiers shift,
                                           int x, int y) {
            RunHandler([&] { ImageDistribMouseDown(image, button, shift, x, y); });
        };
    }
}

ImageControl* TMainFrm::ChartImage(int kind) const {
    const std::array<ImageControl*, 4> charts = {ImageDistribTOs, ImageDistribCont,
                                                 ImageDistribIso, ImageDistribRelays};
    return kind >= 0 && kind < DistribKinds ? charts[static_cast<size_t>(kind)] : nullptr;
}

int TMainFrm::ChartKind(const QObject* sender) const {
    for (int kind = 0; kind < DistribKinds; ++kind)
        if (sender == ChartImage(kind) || sender == TabSheets[static_cast<size_t>(kind)])
            return kind;
    return -1;
}

bool TMainFrm::ChartTabVisible(int kind) const {
    return kind >= 0 && DistribPageCtrl->isTabVisible(kind);
}

void TMainFrm::RedrawChart(int kind) {
    ImageControl* image = ChartImage(kind);
    if (!image) return;
    DrawDistribution(kind, image, -1, image->Picture().width(), image->Picture().height(), 0, 0,
                     platform::clBtnFace, false);
}

void TMainFrm::FillChartBackground(ImageControl* image, int32_t width, int32_t height,
                                   int32_t left, int32_t top, TColor colour) {
    if (!image) return;
    image->GetCanvas().FillBox(left, top, left + width, top + height, colour);
}

int TMainFrm::HoveredBin(const ImageControl* image, int width, int height) const {
    const platform::ScreenPoint cursor = services_.cursor.Position();
    const QPoint p = image->mapFromGlobal(QPoint(cursor.x, cursor.y));
    return BinAt(GeometryOf(width), width, height, p.x(), p.y());
}

void TMainFrm::DrawDistribution(int kind, ImageControl* image, int64_t value, int32_t width,
                                int32_t height, int32_t left, int32_t top, TColor background,
                                bool /*printQuality: text is never antialiased here*/) {
    if (!image || kind < 0 || kind >= DistribKinds) return;
    auto& c = DistribCounts[static_cast<size_t>(kind)];
    const auto& colour = DistribBinColours[static_cast<size_t>(kind)];
    // -100 asks for the printed chart: its bins as they stand, nothing added.
    const bool printing = value == -100;
    int32_t scale = 0;
    if (printing) {
        scale = *std::max_element(c.begin(), c.begin() + BinCount);
    } else {
        scale = c[ScaleSlot];
        FillChartBackground(image, width, height, left, top, background);
        if (const int bin = BinOf(kind, value); bin >= 0) ++c[static_cast<size_t>(bin)];
    }

    const ChartGeometry g = GeometryOf(width);
    if (g.V <= 0) return; // narrower than ten one-pixel bars: nothing to draw
    const int W = width, H = height, L = left, T = top;
    auto& canvas = image->GetCanvas();
    canvas.Font = platform::FromQFont(ReportMemo->font());
    canvas.Pen.Mode = platform::PenMode::Copy;
    canvas.Pen.Style = platform::PenStyle::Solid;
    canvas.Pen.Color = platform::clBlack;
    canvas.Pen.Width = 1;
    canvas.MoveTo(L + g.l + 4, T + H - 14);
    canvas.LineTo(L + W - 8 - g.r, T + H - 14);
    for (int x = g.l + 4; x <= W - 8 - g.r; x += g.V) {
        canvas.MoveTo(L + x, T + H - 13);
        canvas.LineTo(L + x, T + H - 15);
    }
    canvas.Brush.SetColor(background);

    // A printed chart never follows the mouse: its page window is not on the screen, and the
    // cursor would only ever point at it by chance.
    const int hovered = printing ? -1 : HoveredBin(image, W, H);
    canvas.Brush.SetStyle(platform::BrushStyle::Clear);

    const auto& labels = AxisLabels(kind);
    const platform::CanvasFont chartFont = canvas.Font;
    if (printing) FitAxisLabels(canvas, kind, g);
    for (int j = 0; j <= BinCount; ++j) {
        TColor text = platform::clBlack;
        if (j >= 1 && hovered == j - 1)
            text = colour[static_cast<size_t>(j) - 1];
        else if (j < BinCount && hovered == j)
            text = colour[static_cast<size_t>(j)];
        canvas.Font.Color = text;
        canvas.TextOut(L + g.l + AxisLabelOffset(kind, j, g.V), T + H - 12,
                       labels[static_cast<size_t>(j)]);
    }
    canvas.Font = chartFont;

    if (scale < 1) return;
    for (int i = 0; i < BinCount; ++i) {
        const int32_t count = c[static_cast<size_t>(i)];
        if (count <= 0) continue;
        const bool isHovered = i == hovered;
        const TColor bar = colour[static_cast<size_t>(i)];
        const int t = static_cast<int>(
            std::trunc((H - 15) - static_cast<double>(count) / scale * (H - 16)));
        canvas.Pen.Color = platform::clBlack;
        canvas.Brush.SetColor(isHovered ? platform::clWhite : bar);
        canvas.Rectangle(L + g.Edge(i), T + H - 13, L + g.l + 5 + g.V * (i + 1), T + t);
        const int x = L + g.l + g.V * i + g.V / 2 + CountOffset(count);
        if (t > 12) {
            canvas.Font.Color = platform::clBlack;
            canvas.Brush.SetStyle(platform::BrushStyle::Clear);
            canvas.TextOut(x, T + t - 13, std::to_string(count));
        } else {
            canvas.Font.Color = isHovered ? platform::clBlack : platform::clWhite;
            canvas.Brush.SetColor(isHovered ? platform::clWhite : bar);
            canvas.TextOut(x, static_cast<int>(std::trunc((H - 14 + t) * 0.5 + T - 6)),
                           std::to_string(count));
        }
    }
}

void TMainFrm::AddDistributionEntry(int kind, int32_t first, int64_t value, int32_t second,
                                    int32_t third, int64_t worst) {
    const EntryContext context{Wiring, NodesA, NodesB};
    const auto line = DistributionEntryLine(kind, first, value, second, third, worst, context);
    if (line) DistribText[static_cast<size_t>(kind)][static_cast<size_t>(BinOf(kind, value))] += *line;
}

void TMainFrm::ResetDistributions() {
    for (auto& counts : DistribCounts) std::fill(counts.begin(), counts.begin() + BinCount, 0);
    for (auto& texts : DistribText)
        for (auto& text : texts) text.clear();
    for (int kind = 0; kind < DistribKinds; ++kind) RedrawChart(kind);
    services_.events.ProcessMessages();
}

void TMainFrm::ImageDistribMouseMove(QObject* sender, Qt::KeyboardModifiers /*shift*/, int /*x*/,
                                     int /*y*/) {
    const int previous = HoverBin;
    HoverBin = HoveredBin(ImageDistribTOs, ImageDistribTOs->Picture().width(),
                          ImageDistribTOs->Picture().height());
    const int kind = ChartKind(sender);
    if (HoverBin != previous && ChartTabVisible(kind)) RedrawChart(kind);
}

void TMainFrm::TabSheetShow(QObject* sender) {
    const int kind = ChartKind(sender);
    if (ChartTabVisible(kind)) RedrawChart(kind);
}

void TMainFrm::ImageDistribMouseDown(QObject* sender, Qt::MouseButton /*button*/,
                                     Qt::KeyboardModifiers /*shift*/, int /*x*/, int /*y*/) {
    const int kind = ChartKind(sender);
    if (kind < 0) return;
    const int bin = HoveredBin(ImageDistribTOs, ImageDistribTOs->Picture().width(),
                               ImageDistribTOs->Picture().height());
    if (bin < 0) return;
    // Each click opens a window of its own; it is released once the operator closes it.
    std::unique_ptr<TCategoryResultsFrm> window(new TCategoryResultsFrm(*this));
    window->setWindowTitle(QString::fromStdString(CategoryCaption(kind, bin)));
    window->ResultsMemo->clear();
    window->ResultsMemo->setPlainText(QString::fromStdString(
        DistribText[static_cast<size_t>(kind)][static_cast<size_t>(bin)]));
    services_.dialogs.ShowModal(*window);
}
