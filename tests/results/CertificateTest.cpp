// Certificates: the page count and the rows of lines and charts, the title file, the pixels of
// a drawn page, the embedded background picture and printing into a PDF.

#include <gtest/gtest.h>

#include <QFile>
#include <QPrinter>
#include <QTemporaryDir>
#include <QToolButton>

#include <array>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "interface/Certificate.h"
#include "interface/CertificateBackground.h"
#include "interface/Main.h"
#include "interface/widgets/ImageControl.h"
#include "platform/canvas/Jpeg.h"
#include "results/Certificates.h"
#include "tests/support/FakeFtdi.h"
#include "tests/support/FileSystemCases.h"
#include "tests/support/TestServices.h"

using namespace testing_support;
using results::CertificatePageCount;
using results::LayoutCertificatePages;

namespace {

using Charts = std::array<int32_t, 4>;
constexpr Charts NoChart{-1, -1, -1, -1};

int PdfPages(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return -1;
    const QByteArray pdf = file.readAll();
    int pages = 0;
    for (qsizetype at = pdf.indexOf("/Type /Page"); at >= 0;
         at = pdf.indexOf("/Type /Page", at + 1))
        if (pdf.mid(at + 11, 1) != "s") ++pages;
    return pages;
}

} // namespace

TEST(CertificateLayout, PageCountsCountTheRowsLeftEmpty) {
    const struct {
        int lines;
        Charts charts;
        int pages;
    } cases[] = {
        {0, NoChart, 0},
        {1, NoChart, 1},
        {42, NoChart, 1},
        {43, NoChart, 2},
        {84, NoChart, 2},
        {85, NoChart, 3},
        {42, {-1, 38, -1, -1}, 1}, // row 38: the chart still fits (it reaches y = 739)
        {42, {-1, 39, -1, -1}, 2}, // rows 39 to 41 move on, with 3, 2 or 1 rows left empty
        {42, {-1, 40, -1, -1}, 2},
        {42, {-1, 41, -1, -1}, 2},
        {40, {-1, -1, 39, -1}, 2},
        {39, {-1, -1, -1, 39}, 1}, // a chart after the last line is never printed
        {80, {-1, 80, -1, -1}, 2}, // row 38 of the second page
        {84, {-1, 81, -1, -1}, 3}, // row 39 of the second page
        {80, {10, 39, 60, 81}, 2}, // the first move shifts the later charts
        {120, {0, 39, 81, 123}, 3},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CertificatePageCount(c.lines, c.charts), c.pages)
            << c.lines << " lines, charts " << c.charts[0] << " " << c.charts[1] << " "
            << c.charts[2] << " " << c.charts[3];
        // The pages printed are the pages counted.
        EXPECT_EQ(static_cast<int>(LayoutCertificatePages(c.lines, c.charts).size()), c.pages)
            << c.lines << " lines";
    }
}

TEST(CertificateLayout, AChartBelowRow38OpensTheNextPageWithItsLine) {
    auto pages = LayoutCertificatePages(50, {-1, 38, -1, -1});
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[0].LineCount, 42);
    ASSERT_EQ(pages[0].Charts.size(), 1u);
    EXPECT_EQ(pages[0].Charts[0].Kind, 1);
    EXPECT_EQ(pages[0].Charts[0].Row, 38);

    pages = LayoutCertificatePages(50, {5, 39, -1, -1});
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[0].LineCount, 39); // rows 39 to 41 stay empty
    ASSERT_EQ(pages[0].Charts.size(), 1u);
    EXPECT_EQ(pages[0].Charts[0].Row, 5);
    EXPECT_EQ(pages[1].FirstLine, 39);
    EXPECT_EQ(pages[1].LineCount, 11);
    ASSERT_EQ(pages[1].Charts.size(), 1u);
    EXPECT_EQ(pages[1].Charts[0].Kind, 1);
    EXPECT_EQ(pages[1].Charts[0].Row, 0);
}

TEST(CertificateLayout, TheCountAgreesWithThePagesPrinted) {
    // Every report of up to 200 lines with charts at rising lines, as the parts write them.
    std::mt19937 random(12);
    for (int trial = 0; trial < 20000; ++trial) {
        // A chart's line is always followed by the part's end lines.
        const int lines = 1 + static_cast<int>(random() % 200);
        Charts charts = NoChart;
        int line = static_cast<int>(random() % 12);
        for (auto& chart : charts) {
            if (random() % 3 == 0 || line >= lines) continue;
            chart = line;
            line += 1 + static_cast<int>(random() % 60);
        }
        const auto pages = LayoutCertificatePages(lines, charts);
        ASSERT_EQ(CertificatePageCount(lines, charts), static_cast<int>(pages.size()))
            << lines << " lines, charts " << charts[0] << " " << charts[1] << " " << charts[2]
            << " " << charts[3];
        int next = 0;
        for (const auto& page : pages) {
            ASSERT_EQ(page.FirstLine, next);
            ASSERT_LE(page.LineCount, results::CertificateRows);
            for (const auto& chart : page.Charts) ASSERT_LE(chart.Row, results::LastChartRow);
            next += page.LineCount;
        }
        ASSERT_EQ(next, lines);
    }
    // Chart lines far down do not overflow while they are shifted.
    EXPECT_EQ(CertificatePageCount(10, {INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX}), 1);
}

TEST(CertificateTitle, FirstLineOfTheTitleFileOrTheDefault) {
    using namespace std::string_literals;
    const struct {
        std::optional<std::string> contents; // none: no file
        const char* title;
    } cases[] = {
        {std::nullopt, "Electrical Test"},
        {"", "Electrical Test"}, // a file without any line
        {"\xEF\xBB\xBF", "Electrical Test"},
        {"Continuity certificate", "Continuity certificate"},
        {"First line\r\nSecond line\r\n", "First line"},
        {"\xEF\xBB\xBFTest \xC3\xA9lectrique\n", "Test \xC3\xA9lectrique"},
        {"Test \xE9lectrique\n", "Test \xC3\xA9lectrique"}, // a single-byte code page
        {"\nSecond line", ""},                              // the first line is empty
        {"Old editor\rSecond line\r", "Old editor"},        // CR alone ends a line too
        {"Prix \x80 10\r\n", "Prix \xE2\x82\xAC 10"},       // Windows-1252, not Latin-1
        {"\xFF\xFET\0i\0t\0l\0e\0\r\0\n\0"s, "Title"},      // UTF-16 with its mark
        {"T\0i\0t\0l\0e\0\n\0"s, "Title"},                  // UTF-16 without it
    };
    for (const auto& c : cases) {
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        if (c.contents) {
            QFile file(dir.filePath("CertifTitle.txt"));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(c.contents->data(), static_cast<qint64>(c.contents->size()));
        }
        EXPECT_EQ(results::CertificateTitle(dir.path().toStdString() + "/"), c.title)
            << testing::PrintToString(c.contents.value_or("(no file)"));
    }
}

TEST(CertificateTitle, AFifoIsAsGoodAsNoFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    testing_support::FifoWatch fifo(dir.filePath("CertifTitle.txt").toStdString());
    ASSERT_TRUE(fifo.Made());
    EXPECT_EQ(results::CertificateTitle(dir.path().toStdString() + "/"), "Electrical Test");
    EXPECT_EQ(fifo.Readers(), 0);
}

TEST(CertificateBackground, AnEmbeddedBaselineJfifPictureAt72Dpi) {
    const auto bytes = CertifImgResource();
    ASSERT_GT(bytes.size(), 20u);
    const QByteArray jpeg(reinterpret_cast<const char*>(bytes.data()),
                          static_cast<qsizetype>(bytes.size()));
    EXPECT_TRUE(jpeg.startsWith("\xFF\xD8\xFF\xE0"));
    EXPECT_EQ(jpeg.mid(6, 5), QByteArray("JFIF\0", 5));
    EXPECT_EQ(jpeg.mid(13, 5), QByteArray("\x01\x00\x48\x00\x48", 5)); // dots per inch, 72 x 72
    EXPECT_GE(jpeg.indexOf("\xFF\xC0"), 0);                            // baseline frame
    EXPECT_LT(jpeg.indexOf("\xFF\xC2"), 0);                            // not progressive

    const QImage picture = platform::DecodeJpeg(bytes);
    EXPECT_EQ(picture.size(), QSize(630, 891));
    EXPECT_EQ(picture.format(), QImage::Format_RGB32);
}

TEST(CertificateBackground, DataThatIsNotAPictureRaises) {
    const uint8_t garbage[] = {'n', 'o', 't', ' ', 'a', ' ', 'j', 'p', 'e', 'g'};
    EXPECT_THROW(platform::DecodeJpeg(garbage), platform::JpegError);
    EXPECT_THROW(platform::DecodeJpeg({}), platform::JpegError);
    const auto real = CertifImgResource();
    EXPECT_THROW(platform::DecodeJpeg(real.first(100)), platform::JpegError); // header cut short
}

namespace {

class CertificatePrintTest : public ::testing::Test {
protected:
    TestPlatform p;
    FakeFtdi driver{p.clock};
    platform::Services services = ServicesOf(p, driver);
    TMainFrm frm{services};
    QTemporaryDir dir;
    std::vector<std::string> status2;

    void SetUp() override {
        frm.Timer1->SetEnabled(false);
        ASSERT_TRUE(dir.isValid());
        p.process.programFolder = dir.path().toStdString() + "/";
        frm.OnStatusPanel = [this](int panel, const std::string& text) {
            if (panel == 2) status2.push_back(text);
        };
    }

    void WriteLines(int count) {
        for (int i = 0; i < count; ++i)
            frm.AddReportLine("line " + std::to_string(i), platform::clWindowText, 0);
    }

    // Prints into a PDF in the test's folder; its name.
    QString PrintToPdf(const QString& name = "pages.pdf") {
        const QString pdf = dir.filePath(name);
        p.dialogs.OnPrint = [pdf](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            return true;
        };
        frm.PrintButton->click();
        return pdf;
    }
};

// A page drawn over the background, and the background alone, to see what the drawing changed.
struct DrawnPage {
    QImage before;
    QImage after;

    DrawnPage(TMainFrm& frm, const std::vector<ReportLine>& lines, const Charts& charts,
              const std::string& title, size_t pageIndex = 0) {
        TCertificateFrm page(frm);
        page.SetPicture(platform::DecodeJpeg(CertifImgResource()));
        before = page.ImageFond->Picture().copy();
        const auto pages = LayoutCertificatePages(static_cast<int>(lines.size()), charts);
        results::DrawCertificatePage(
            frm, *page.ImageFond, lines, pages.at(pageIndex), static_cast<int>(pageIndex) + 1,
            CertificatePageCount(static_cast<int>(lines.size()), charts), title);
        after = page.ImageFond->Picture().copy();
    }

    // The box of the pixels that changed to colour within the rows y0..y1-1 (null if none).
    QRect Changed(TColor colour, int y0, int y1) const {
        QRect box;
        const QRgb want = platform::ToPixel(colour);
        for (int y = y0; y < y1; ++y)
            for (int x = 0; x < after.width(); ++x)
                if (after.pixel(x, y) != before.pixel(x, y) && after.pixel(x, y) == want)
                    box |= QRect(x, y, 1, 1);
        return box;
    }
    int CountChanged(TColor colour, int y0, int y1) const {
        int n = 0;
        const QRgb want = platform::ToPixel(colour);
        for (int y = y0; y < y1; ++y)
            for (int x = 0; x < after.width(); ++x)
                n += after.pixel(x, y) != before.pixel(x, y) && after.pixel(x, y) == want;
        return n;
    }
};

} // namespace

TEST_F(CertificatePrintTest, LinesAreDrawnInTheirRowsColoursAndStylesWithoutSmoothing) {
    std::vector<ReportLine> lines(45, ReportLine{"", platform::clWindowText, 0});
    lines[3] = {"No contact between  A3 and B3", platform::clRed, 0};
    lines[5] = {"No contact between  A3 and B3", platform::clGreen, StyleBold};
    lines[41] = {"last row", 0x0080FF, StyleItalic};
    lines[42] = {"next page", 0x0080FF, 0};
    frm.CertDate = "15/06/2020 14:05:09";
    const DrawnPage page(frm, lines, NoChart, "Electrical Test");

    // Every pixel that changed took one of the colours drawn: text is never smoothed.
    for (int y = 0; y < page.after.height(); ++y)
        for (int x = 0; x < page.after.width(); ++x)
            if (page.after.pixel(x, y) != page.before.pixel(x, y)) {
                const TColor c = platform::FromPixel(page.after.pixel(x, y));
                ASSERT_TRUE(c == platform::clBlack || c == platform::clRed ||
                            c == platform::clGreen || c == 0x0080FF)
                    << "pixel " << x << "," << y << " = " << std::hex << c;
            }

    // Row r starts at 190 + 13 r, text from x = 54.
    const QRect red = page.Changed(platform::clRed, 0, page.after.height());
    ASSERT_FALSE(red.isNull());
    EXPECT_GE(red.top(), 190 + 13 * 3);
    EXPECT_LT(red.bottom(), 190 + 13 * 3 + 16);
    EXPECT_GE(red.left(), 54);
    EXPECT_LT(red.left(), 54 + 4);
    const QRect orange = page.Changed(0x0080FF, 0, page.after.height());
    EXPECT_GE(orange.top(), 190 + 13 * 41); // the next page's line is not on this one
    // The bold line covers more pixels than the same text in regular weight.
    EXPECT_GT(page.CountChanged(platform::clGreen, 0, page.after.height()),
              page.CountChanged(platform::clRed, 0, page.after.height()) * 11 / 10);
}

TEST_F(CertificatePrintTest, TitleHeaderAndPageNumberStandWhereTheyBelong) {
    frm.CertDate = "15/06/2020";
    frm.OperatorName = "J. Martin";
    const std::vector<ReportLine> lines(43, ReportLine{"x", platform::clRed, 0});
    const DrawnPage page(frm, lines, NoChart, "Electrical Test");

    const QRect title = page.Changed(platform::clBlack, 115, 150);
    ASSERT_FALSE(title.isNull());
    EXPECT_LE(std::abs(title.left() - (629 - title.right())), 4) << "not centred";
    EXPECT_GE(title.top(), 119); // the cell's top is 120; emboldened strokes may reach a pixel up

    // The labels end at 630 - 140; the values follow.
    const QRect date = page.Changed(platform::clBlack, 18, 40);
    ASSERT_FALSE(date.isNull());
    EXPECT_GE(date.top(), 20);
    EXPECT_GT(date.left(), 420);
    EXPECT_LT(date.left(), 490);
    EXPECT_GT(date.right(), 500);
    EXPECT_FALSE(page.Changed(platform::clBlack, 45, 60).isNull()); // "Operator :"

    const QRect number = page.Changed(platform::clBlack, 820, 850);
    ASSERT_FALSE(number.isNull());
    EXPECT_GE(number.top(), 825);
    EXPECT_LE(number.right(), 630 - 50);
    EXPECT_GE(number.right(), 630 - 50 - 3);
}

TEST_F(CertificatePrintTest, ATitleWiderThanThePageStartsLeftOfIt) {
    const std::vector<ReportLine> lines(1, ReportLine{"x", platform::clRed, 0});
    const DrawnPage page(frm, lines, NoChart, std::string(200, 'W'));
    const QRect title = page.Changed(platform::clBlack, 115, 150);
    EXPECT_EQ(title.left(), 0);
    EXPECT_EQ(title.right(), 629);
}

TEST_F(CertificatePrintTest, AChartStandsRightOfItsLineInPrintMode) {
    // Continuity: 6 values in bin 0 and 3 in bin 5; the chart at row 3 of the page.
    frm.DistribCounts[1] = {6, 0, 0, 0, 0, 3, 0, 0, 0, 0, 1};
    const std::vector<ReportLine> lines(10, ReportLine{"x", platform::clWindowText, 0});
    const DrawnPage page(frm, lines, {-1, 3, -1, -1}, "Electrical Test");
    const QRect chart(240, 190 + 13 * 3, 340, 55);
    auto changedIn = [&](const QRect& box) {
        int n = 0;
        for (int y = box.top(); y <= box.bottom(); ++y)
            for (int x = box.left(); x <= box.right(); ++x)
                n += page.after.pixel(x, y) != page.before.pixel(x, y);
        return n;
    };
    ASSERT_GT(changedIn(chart), 0);

    // Print geometry (340 x 55): bars 32 wide from x = 249, the axis 41 below the top.
    const QRgb black = platform::ToPixel(platform::clBlack);
    const int axisY = chart.top() + 41;
    for (const int x : {249, 300, 568}) EXPECT_EQ(page.after.pixel(x, axisY), black) << x;
    // The largest bin reaches the top; the other is half as high. A bar is filled with its
    // bin's colour; the chart has no background of its own.
    const int tall = 249 + 16;
    const int half = 249 + 5 * 32 + 16;
    EXPECT_NE(page.after.pixel(tall, chart.top() + 10), page.before.pixel(tall, chart.top() + 10));
    EXPECT_NE(page.after.pixel(tall, chart.top() + 10), platform::ToPixel(platform::clWhite));
    EXPECT_EQ(page.after.pixel(half, chart.top() + 10), page.before.pixel(half, chart.top() + 10));
    EXPECT_NE(page.after.pixel(half, chart.top() + 30), page.before.pixel(half, chart.top() + 30));
    EXPECT_EQ(page.after.pixel(249 + 2 * 32 + 16, chart.top() + 30),
              page.before.pixel(249 + 2 * 32 + 16, chart.top() + 30));
    // Nothing drawn between the lines' text and the chart.
    EXPECT_EQ(changedIn(QRect(120, chart.top(), 240 - 120, chart.height())), 0);
}

TEST_F(CertificatePrintTest, EveryPageGoesIntoOneJobWithItsSpoolingText) {
    WriteLines(43);
    const QString pdf = PrintToPdf();
    EXPECT_EQ(p.dialogs.shown, std::vector<std::string>{"SerialFrm"});
    EXPECT_EQ(PdfPages(pdf), 2);
    EXPECT_EQ(status2, (std::vector<std::string>{"Spooling Page 1", "Spooling Page 2", ""}));
    EXPECT_TRUE(p.boxes.History().empty());
    // The page windows are gone with their pages.
    EXPECT_EQ(frm.findChild<QWidget*>("CertificateFrm"), nullptr);
}

TEST_F(CertificatePrintTest, FortyTwoLinesMakeOnePage) {
    WriteLines(42);
    EXPECT_EQ(PdfPages(PrintToPdf()), 1);
    EXPECT_EQ(status2, (std::vector<std::string>{"Spooling Page 1", ""}));
}

TEST_F(CertificatePrintTest, NothingIsPrintedForAnEmptyReportOrACancelledDialog) {
    bool asked = false;
    p.dialogs.OnPrint = [&](QPrinter&) { return asked = true, false; };
    frm.PrintButton->click(); // empty report: the information is still asked for
    EXPECT_FALSE(asked);
    EXPECT_EQ(p.dialogs.shown, std::vector<std::string>{"SerialFrm"});
    EXPECT_EQ(status2, std::vector<std::string>{""});

    WriteLines(3);
    frm.PrintButton->click(); // cancelled
    EXPECT_TRUE(asked);
    EXPECT_EQ(p.dialogs.shown.size(), 2u);
    EXPECT_EQ(status2, (std::vector<std::string>{"", ""}));
}

TEST_F(CertificatePrintTest, APdfThatCannotBeWrittenIsNamedInTheError) {
    WriteLines(3);
    const QString pdf = PrintToPdf("missing/pages.pdf");
    ASSERT_EQ(p.boxes.History().size(), 1u);
    EXPECT_NE(p.boxes.History()[0].Request.Text.find(pdf.toStdString()), std::string::npos);
    EXPECT_EQ(status2.back(), "");
}
