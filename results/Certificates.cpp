// Printing the report as certificates: 42 report lines a page on the background picture, with
// the title, the header block, the charts of the parts that ran and the page number.

#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>
#include <QTextEdit>

#include <algorithm>
#include <cmath>
#include <memory>
#include <stdexcept>

#include "interface/Certificate.h"
#include "interface/CertificateBackground.h"
#include "interface/Main.h"
#include "interface/Serial.h"
#include "interface/widgets/ImageControl.h"
#include "platform/FileRead.h"
#include "platform/TextDecoding.h"
#include "platform/canvas/Jpeg.h"
#include "results/Certificates.h"
#include "results/SimulatedBench.h"

namespace {

const char* const DefaultTitle = "Electrical Test";

// The largest font size (in pixels) whose text cell, ascent and descent together, is no taller
// than cellHeight: a font given by its cell height rather than by its size.
int EmPixelsForCellHeight(platform::CanvasFont font, int cellHeight) {
    int pixels = cellHeight;
    for (; pixels > 1; --pixels) {
        font.Size = -pixels;
        if (QFontMetrics(platform::ToQFont(font)).height() <= cellHeight) break;
    }
    return pixels;
}

// The header's texts are 13 pixels high; its values end before the page's right margin, the
// outer edge of the frame.
constexpr int HeaderCellHeight = 13;
constexpr int HeaderRightMargin = 14;
// The simulated bench's line, centred between the title and the frame's lines below it.
constexpr int SimulatedLineTop = 143;

int Ascent(const platform::Canvas& canvas) {
    return QFontMetrics(platform::ToQFont(canvas.Font)).ascent();
}

int CellHeight(const platform::Canvas& canvas) {
    return QFontMetrics(platform::ToQFont(canvas.Font)).height();
}

// The longest start of text (whole characters) that is at most room wide; at a blank when
// one fits and atBlank is set, the blank left out.
qsizetype FittingStart(const platform::Canvas& canvas, const QString& text, int room,
                       bool atBlank) {
    qsizetype fits = 0;
    qsizetype blank = -1;
    for (qsizetype end = 1; end <= text.size(); ++end) {
        if (end < text.size() && text[end].isLowSurrogate()) continue;
        if (canvas.TextWidth(text.left(end).toStdString()) > room) break;
        fits = end;
        if (end < text.size() && text[end] == ' ') blank = end;
    }
    return atBlank && blank > 0 && fits < text.size() ? blank : fits;
}

// "Label :  value" as one text where it fits before the margin. A value that does not keeps
// the label where it stands and takes a smaller size of the face, on the label's baseline,
// down to the smallest printed size; then two lines of that size, broken at a blank where one
// fits, the second ending in "..." if even they cannot hold it.
template <class TextFont>
void DrawHeaderItem(platform::Canvas& canvas, const TextFont& textFont, const std::string& label,
                    const std::string& value, int top) {
    const int left = canvas.Width() - canvas.TextWidth(label) - 140;
    const int right = canvas.Width() - HeaderRightMargin;
    const std::string lead = label + "  ";
    if (left + canvas.TextWidth(lead + value) <= right) {
        canvas.TextOut(left, top, lead + value);
        return;
    }
    canvas.TextOut(left, top, lead);
    const int valueLeft = left + canvas.TextWidth(lead);
    const int room = right - valueLeft;
    const int baseline = top + Ascent(canvas);
    const int labelCell = CellHeight(canvas);
    for (int cell = HeaderCellHeight - 1; cell >= results::SmallestPrintedTextPixels; --cell) {
        textFont(cell, false);
        if (canvas.TextWidth(value) <= room) {
            canvas.TextOut(valueLeft, baseline - Ascent(canvas), value);
            return;
        }
    }
    const QString text = QString::fromStdString(value);
    const qsizetype cut = std::max<qsizetype>(1, FittingStart(canvas, text, room, true));
    QString second = text.mid(cut).trimmed();
    if (canvas.TextWidth(second.toStdString()) > room) {
        const int dots = canvas.TextWidth("...");
        second = second.left(FittingStart(canvas, second, room - dots, false)) + "...";
    }
    // A pixel between the lines; the pair centred on the label's line, rounded up, so that
    // the last line's descenders stay above the frame under the header block.
    const int pitch = CellHeight(canvas) + 1;
    const int firstTop = top + static_cast<int>(std::floor((labelCell - 2 * pitch) / 2.0));
    canvas.TextOut(valueLeft, firstTop, text.left(cut).trimmed().toStdString());
    canvas.TextOut(valueLeft, firstTop + pitch, second.toStdString());
}

std::string PrinterName(const QPrinter& printer) {
    return (printer.outputFileName().isEmpty() ? printer.printerName() : printer.outputFileName())
        .toStdString();
}

} // namespace

namespace results {

// The file is read as the settings file is: UTF-8, Windows-1252 or UTF-16, any line end. What
// is not a readable file (a FIFO, a device, a file of megabytes) is as good as none.
std::string CertificateTitle(const std::string& programFolder) {
    constexpr size_t MostTitleBytes = size_t{1} << 20;
    platform::FileRead read =
        platform::ReadRegularFile(programFolder + "CertifTitle.txt", MostTitleBytes);
    if (!read.Ok()) return DefaultTitle;
    const std::string text = platform::DecodeText(std::move(read.bytes));
    platform::LineCutter lines(text);
    std::string_view first;
    if (!lines.Next(first)) return DefaultTitle; // no line at all
    return std::string(first);
}

// Every text has a transparent background.
void DrawCertificatePage(TMainFrm& frm, ImageControl& image, const std::vector<ReportLine>& lines,
                         const CertificatePage& page, int number, int pageCount,
                         const std::string& title) {
    platform::Canvas& canvas = image.GetCanvas();
    const platform::CanvasFont reportFont = platform::FromQFont(frm.ReportMemo->font());
    const int width = canvas.Width();
    canvas.Font.Color = platform::clBlack;

    for (int row = 0; row < page.LineCount; ++row) {
        const int top = CertificateRowTop(row);
        for (const CertificateChart& chart : page.Charts)
            if (chart.Row == row)
                frm.DrawDistribution(chart.Kind, &image, -100, 340, 55, 240, top, platform::clWhite,
                                     true);
        const ReportLine& line =
            lines[static_cast<size_t>(page.FirstLine) + static_cast<size_t>(row)];
        canvas.Font = reportFont;
        canvas.Font.Color = line.Colour;
        canvas.Font.Bold = (line.Style & StyleBold) != 0;
        canvas.Font.Italic = (line.Style & StyleItalic) != 0;
        canvas.Font.Underline = (line.Style & StyleUnderline) != 0;
        canvas.Font.StrikeOut = (line.Style & StyleStrikeOut) != 0;
        canvas.Brush.SetStyle(platform::BrushStyle::Clear);
        // The report's columns: its tab stops, counted from the line's left edge.
        canvas.TabbedTextOut(54, top, line.Text, ReportTabStop);
    }

    // The remaining texts are black in the report's typeface, sized by the height of their
    // text cell.
    auto textFont = [&](int cellHeight, bool emphasis) {
        canvas.Font = reportFont;
        canvas.Font.Size = -EmPixelsForCellHeight(reportFont, cellHeight);
        canvas.Font.Color = platform::clBlack;
        canvas.Font.Bold = canvas.Font.Underline = emphasis;
        canvas.Font.Italic = canvas.Font.StrikeOut = false;
        canvas.Brush.SetStyle(platform::BrushStyle::Clear);
    };
    textFont(20, true);
    canvas.TextOut((width - canvas.TextWidth(title)) / 2, 120, title);

    if (frm.SimulatedBench()) {
        textFont(HeaderCellHeight, false);
        canvas.Font.Color = platform::clRed;
        canvas.TextOut((width - canvas.TextWidth(SimulatedBenchLine)) / 2, SimulatedLineTop,
                       SimulatedBenchLine);
    }

    const struct {
        const char* label;
        const std::string& value;
        int top;
    } header[] = {{"Date :", frm.CertDate, 20},
                  {"Operator :", frm.OperatorName, 45},
                  {"Model :", frm.ModelName, 70},
                  {"Serial # :", frm.SerialNumber, 95}};
    for (const auto& item : header) {
        textFont(HeaderCellHeight, false);
        DrawHeaderItem(canvas, textFont, item.label, item.value, item.top);
    }

    textFont(HeaderCellHeight, false);
    const std::string pageText =
        "Page " + std::to_string(number) + " / " + std::to_string(pageCount);
    canvas.TextOut(width - canvas.TextWidth(pageText) - 50, 825, pageText);
}

} // namespace results

void TMainFrm::PrintButtonClick() {
    Services().dialogs.ShowModal(*new TSerialFrm(*this));
    // A copy: the operator's clicks let through while pages spool must not pull the lines away.
    const std::vector<ReportLine> lines = ReportLines();
    const int count = static_cast<int>(lines.size());
    const int pageCount = results::CertificatePageCount(count, ChartLines);

    // The status panel is emptied at the end, whether anything was printed or not.
    struct ClearStatus {
        TMainFrm& frm;
        ~ClearStatus() { frm.SetStatusPanel(2, ""); }
    } clearStatus{*this};
    if (count == 0) return;
    QPrinter printer(QPrinter::HighResolution);
    if (!Services().dialogs.SetupPrinter(printer)) return;

    // One print job for all pages, so that they stay together and in order (and a PDF file
    // holds them all).
    QPainter painter;
    if (!painter.begin(&printer))
        throw std::runtime_error("Cannot print to \"" + PrinterName(printer) + "\"");
    // Each page is drawn at the printer's finer pixels, in the layout of its own.
    const QRect area = painter.viewport();
    const int scale =
        results::CertificatePrintScale(area.width(), area.height(), printer.resolution());
    const auto pages = results::LayoutCertificatePages(count, ChartLines);
    for (size_t n = 0; n < pages.size(); ++n) {
        const int number = static_cast<int>(n) + 1;
        SetStatusPanel(2, "Spooling Page " + std::to_string(number));
        Services().events.ProcessMessages();

        const auto page = std::make_unique<TCertificateFrm>(*this);
        page->SetPicture(platform::DecodeJpeg(CertifImgResource()), scale);
        results::DrawCertificatePage(*this, *page->ImageFond, lines, pages[n], number, pageCount,
                                     results::CertificateTitle(Services().process.ProgramFolder()));
        if (n > 0) printer.newPage();
        page->Print(painter);
    }
    painter.end();
}
