// Printing the report as certificates: 42 report lines a page on the background picture, with
// the title, the header block, the charts of the parts that ran and the page number.

#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>
#include <QTextEdit>

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

// The header's texts are 13 pixels high.
constexpr int HeaderCellHeight = 13;
// The simulated bench's line, centred between the title and the frame's lines below it.
constexpr int SimulatedLineTop = 143;

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
    textFont(HeaderCellHeight, false);
    for (const auto& item : header)
        canvas.TextOut(width - canvas.TextWidth(item.label) - 140, item.top,
                       std::string(item.label) + "  " + item.value);

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
