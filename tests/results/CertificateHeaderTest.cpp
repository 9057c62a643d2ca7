// The certificate's header block when its values are long, and the line of a simulated bench on
// every page: pixels of drawn pages, and of printed ones read back as the customer sees them.

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QToolButton>

#include <algorithm>
#include <string>
#include <vector>

#include "interface/Certificate.h"
#include "interface/CertificateBackground.h"
#include "interface/Main.h"
#include "interface/widgets/ImageControl.h"
#include "platform/canvas/Jpeg.h"
#include "results/Certificates.h"
#include "tests/support/FakeFtdi.h"
#include "tests/support/TestServices.h"

using namespace testing_support;

namespace {

constexpr int PageWidth = 630;
// Values end before the frame's outer edge.
constexpr int RightMargin = PageWidth - 14;
// The frame's top lines under the header block start on this row.
constexpr int FrameTop = 109;

struct HeaderItem {
    const char* label;
    std::string TMainFrm::*value;
    int top;
};
const HeaderItem Items[] = {{"Date :", &TMainFrm::CertDate, 20},
                            {"Operator :", &TMainFrm::OperatorName, 45},
                            {"Model :", &TMainFrm::ModelName, 70},
                            {"Serial # :", &TMainFrm::SerialNumber, 95}};

class CertificateHeaderTest : public ::testing::Test {
protected:
    TestPlatform p;
    FakeFtdi driver{p.clock};
    platform::Services services = ServicesOf(p, driver);
    TMainFrm frm{services};
    std::vector<ReportLine> lines = std::vector<ReportLine>(10, {"x", platform::clRed, 0});

    void SetUp() override {
        frm.Timer1->SetEnabled(false);
        frm.CertDate = "15/06/2020";
        frm.OperatorName = "J. Martin";
        frm.ModelName = "CD-96";
        frm.SerialNumber = "SN-0042";
    }

    // The page drawn at scale over the background picture, and the background alone.
    struct Page {
        QImage before;
        QImage after;
        int scale = 1;
        // The box of the pixels that changed in the page's rows y0..y1-1, in page pixels.
        QRect Changed(int y0, int y1) const {
            QRect box;
            for (int y = y0 * scale; y < y1 * scale; ++y)
                for (int x = 0; x < after.width(); ++x)
                    if (after.pixel(x, y) != before.pixel(x, y))
                        box |= QRect(x / scale, y / scale, 1, 1);
            return box;
        }
        // The page's rows y0..y1-1 that hold a changed pixel from column x0 on.
        std::vector<int> InkRows(int y0, int y1, int x0 = 0) const {
            std::vector<int> rows;
            for (int y = y0; y < y1; ++y) {
                bool ink = false;
                for (int x = x0 * scale; x < after.width() && !ink; ++x)
                    ink = after.pixel(x, y * scale) != before.pixel(x, y * scale);
                if (ink) rows.push_back(y);
            }
            return rows;
        }
    };
    Page Draw(int scale = 1) {
        TCertificateFrm page(frm);
        page.SetPicture(platform::DecodeJpeg(CertifImgResource()), scale);
        Page drawn;
        drawn.scale = scale;
        drawn.before = page.ImageFond->Picture().copy();
        const int count = static_cast<int>(lines.size());
        const std::array<int32_t, 4> noChart{-1, -1, -1, -1};
        results::DrawCertificatePage(frm, *page.ImageFond, lines,
                                     results::LayoutCertificatePages(count, noChart).at(0), 1, 1,
                                     "Electrical Test");
        drawn.after = page.ImageFond->Picture().copy();
        return drawn;
    }

    // The font of a header text: the report's face at the largest size whose cell is 13
    // pixels at most.
    platform::CanvasFont HeaderFont() const {
        platform::CanvasFont font = platform::FromQFont(frm.ReportMemo->font());
        font.Color = platform::clBlack;
        for (int pixels = 13; pixels > 1; --pixels) {
            font.Size = -pixels;
            if (QFontMetrics(platform::ToQFont(font)).height() <= 13) break;
        }
        return font;
    }
    int LabelLeft(const char* label) const {
        return PageWidth - QFontMetrics(platform::ToQFont(HeaderFont())).horizontalAdvance(label) -
               140;
    }
    // Past the label's colon, where its value begins.
    int ValueLeft(const char* label) const {
        return LabelLeft(label) +
               QFontMetrics(platform::ToQFont(HeaderFont())).horizontalAdvance(label) + 2;
    }
};

} // namespace

TEST_F(CertificateHeaderTest, ValuesThatFitAreDrawnWithTheirLabelsAsOneText) {
    frm.OperatorName = "Anna Smith";
    frm.ModelName = "Harness CD-96 rev"; // still before the margin
    const Page page = Draw();
    for (const HeaderItem& item : Items) {
        // The label and its value in one text from the label's place, and nothing else there.
        TCertificateFrm expected(frm);
        expected.SetPicture(platform::DecodeJpeg(CertifImgResource()));
        auto& canvas = expected.ImageFond->GetCanvas();
        canvas.Font = HeaderFont();
        canvas.Brush.SetStyle(platform::BrushStyle::Clear);
        canvas.TextOut(LabelLeft(item.label), item.top,
                       std::string(item.label) + "  " + frm.*item.value);
        const QImage& want = expected.ImageFond->Picture();
        for (int y = item.top - 4; y < item.top + 17; ++y)
            for (int x = 300; x < PageWidth; ++x)
                ASSERT_EQ(page.after.pixel(x, y), want.pixel(x, y))
                    << item.label << " at " << x << "," << y;
    }
}

TEST_F(CertificateHeaderTest, ALongValueTakesASmallerSizeOnItsLabelsLine) {
    for (const int scale : {1, 4}) {
        SCOPED_TRACE(scale);
        const Page shortValues = Draw(scale);
        frm.OperatorName = "Anna-Katharina Newcomer-Smith";
        frm.SerialNumber = "SN-2020-0615-0042-B";
        const Page page = Draw(scale);
        for (const HeaderItem& item : Items) {
            const QRect ink = page.Changed(item.top - 5, item.top + 18);
            ASSERT_FALSE(ink.isNull()) << item.label;
            EXPECT_LE(ink.right(), RightMargin) << item.label << " runs off the page";
            // The label stays where it stands: its pixels are those of the page with a short
            // value, up to its colon.
            const int labelEnd =
                LabelLeft(item.label) +
                QFontMetrics(platform::ToQFont(HeaderFont())).horizontalAdvance(item.label);
            for (int y = item.top * scale; y < (item.top + 13) * scale; ++y)
                for (int x = 400 * scale; x < labelEnd * scale; ++x)
                    ASSERT_EQ(page.after.pixel(x, y), shortValues.after.pixel(x, y))
                        << item.label << " moved, at " << x << "," << y;
        }
        // The operator's name on one line, in letters less tall than its label's, whose cell
        // it keeps; it uses the room up to the margin.
        const QRect name = page.Changed(40, 70);
        EXPECT_GT(name.right(), RightMargin - 20);
        EXPECT_GE(name.top(), 45);
        EXPECT_LT(name.bottom(), 45 + 13);
        const std::vector<int> rows = page.InkRows(40, 70, ValueLeft("Operator :"));
        EXPECT_EQ(rows.back() - rows.front() + 1, static_cast<int>(rows.size())) << "one line";
        frm.OperatorName = "J. Martin";
        frm.SerialNumber = "SN-0042";
    }
}

TEST_F(CertificateHeaderTest, AValueTooLongForOneLineTakesTwoThatStayInTheirPlace) {
    const struct {
        const char* what;
        const char* label;
        std::string TMainFrm::*value;
        std::string text;
        int top;
    } cases[] = {
        {"model with blanks", "Model :", &TMainFrm::ModelName,
         "Harness CD-96 rev B, 2x96 pins, 5 m", 70},
        {"model without a blank", "Model :", &TMainFrm::ModelName, std::string(40, 'W'), 70},
        {"serial number, just above the frame", "Serial # :", &TMainFrm::SerialNumber,
         "SN gyp-2020-0615-0042 gyp-rework", 95},
        {"a date beyond any length", "Date :", &TMainFrm::CertDate, std::string(300, 'g'), 20},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        frm.*c.value = c.text;
        const Page page = Draw();
        const QRect ink = page.Changed(c.top - 8, c.top + 20);
        ASSERT_FALSE(ink.isNull());
        EXPECT_LE(ink.right(), RightMargin);
        // Two lines with a clear row between them, within the 25 rows between two labels.
        const std::vector<int> rows = page.InkRows(c.top - 8, c.top + 20, ValueLeft(c.label));
        int groups = 1;
        for (size_t i = 1; i < rows.size(); ++i) groups += rows[i] > rows[i - 1] + 1;
        EXPECT_EQ(groups, 2);
        EXPECT_GE(rows.front(), c.top - 4);
        EXPECT_LT(rows.back(), std::min(c.top + 21, FrameTop));
        // Nothing reaches the next label's rows or the frame.
        for (const HeaderItem& item : Items) {
            if (item.top <= c.top) continue;
            EXPECT_TRUE(page.Changed(item.top - 5, item.top).isNull()) << item.label;
        }
        frm.*c.value = "x";
    }
}

namespace {

// A printed page as pdftoppm (poppler-utils) rasterises it; null when that fails.
QImage Rasterised(const QString& pdf, int page, int dpi) {
    const QString prefix = pdf + ".page" + QString::number(page);
    QProcess tool;
    tool.start("pdftoppm", {"-r", QString::number(dpi), "-f", QString::number(page), "-l",
                            QString::number(page), "-png", "-singlefile", pdf, prefix});
    if (!tool.waitForFinished(60000) || tool.exitCode() != 0) return {};
    return QImage(prefix + ".png").convertToFormat(QImage::Format_RGB32);
}

bool IsRed(QRgb pixel) {
    return qRed(pixel) > 180 && qGreen(pixel) < 120 && qBlue(pixel) < 120;
}

} // namespace

TEST_F(CertificateHeaderTest, OnASimulatedBenchEveryPrintedPageSaysSoUnderItsTitle) {
    driver.simulation = platform::FtdiDriver::Simulation{};
    for (int i = 0; i < 50; ++i)
        frm.AddReportLine("line " + std::to_string(i), platform::clWindowText, 0);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString pdf = dir.filePath("pages.pdf");
    QRect printable;
    p.dialogs.OnPrint = [&](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printable = printer.pageLayout().paintRectPixels(100);
        return true;
    };
    frm.PrintButton->click();
    for (const int number : {1, 2}) {
        SCOPED_TRACE(number);
        const QImage page = Rasterised(pdf, number, 100);
        ASSERT_FALSE(page.isNull()) << "pdftoppm (poppler-utils) could not rasterise the page";
        // The page's picture fills the printable width, from its top.
        const double scale = printable.width() / static_cast<double>(PageWidth);
        QRect red;
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x)
                if (IsRed(page.pixel(x, y))) red |= QRect(x, y, 1, 1);
        ASSERT_FALSE(red.isNull()) << "no red line";
        const double top = (red.top() - printable.top()) / scale;
        const double bottom = (red.bottom() + 1 - printable.top()) / scale;
        EXPECT_GE(top, 141); // below the title, above the frame's lines
        EXPECT_LE(bottom, 158);
        const double left = (red.left() - printable.left()) / scale;
        const double right = (red.right() + 1 - printable.left()) / scale;
        EXPECT_NEAR(left, PageWidth - right, 4) << "not centred";
        EXPECT_GT(right - left, 150) << "a whole line of text";
    }
}

TEST_F(CertificateHeaderTest, WithARealBoxNothingIsDrawnBetweenTheTitleAndTheFrame) {
    const Page real = Draw();
    EXPECT_TRUE(real.Changed(141, 158).isNull());
    driver.simulation = platform::FtdiDriver::Simulation{};
    const Page simulated = Draw();
    const QRect mark = simulated.Changed(141, 158);
    ASSERT_FALSE(mark.isNull());
    EXPECT_GE(mark.top(), 143);
    // The rest of the page is the same.
    for (int y = 0; y < real.after.height(); ++y) {
        if (y >= 141 && y < 158) continue;
        for (int x = 0; x < real.after.width(); ++x)
            ASSERT_EQ(real.after.pixel(x, y), simulated.after.pixel(x, y)) << x << "," << y;
    }
}
