// Certificates: the page count and the rows of lines and charts, the title file, the pixels of
// a drawn page, the embedded background picture and printing into a PDF, read back as the
// customer sees it (rasterised by pdftoppm).

#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>
#include <QToolButton>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "engine/Continuity.h"
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

// A printed page as pdftoppm (poppler-utils) rasterises it; null when that fails.
QImage RasterisePdfPage(const QString& pdf, int dpi, int page = 1) {
    const QString prefix = pdf + ".page" + QString::number(page);
    QProcess tool;
    tool.start("pdftoppm", {"-r", QString::number(dpi), "-f", QString::number(page), "-l",
                            QString::number(page), "-png", "-singlefile", pdf, prefix});
    if (!tool.waitForFinished(60000) || tool.exitStatus() != QProcess::NormalExit ||
        tool.exitCode() != 0)
        return {};
    return QImage(prefix + ".png").convertToFormat(QImage::Format_RGB32);
}

// A picture of a PDF as pdfimages (poppler-utils) lists it: dots an inch across and down, and
// its encoding ("jpeg" for a lossy one).
struct PdfPicture {
    int across;
    int down;
    QString encoding;
};

// One per picture drawn; empty when pdfimages fails.
std::vector<PdfPicture> PdfPictures(const QString& pdf) {
    QProcess tool;
    tool.start("pdfimages", {"-list", pdf});
    if (!tool.waitForFinished(60000) || tool.exitCode() != 0) return {};
    std::vector<PdfPicture> pictures;
    // After two heading lines: page num type width height color comp bpc enc interp object ID
    // x-ppi y-ppi size ratio.
    const QStringList rows = QString::fromUtf8(tool.readAllStandardOutput()).split('\n');
    for (qsizetype i = 2; i < rows.size(); ++i) {
        const QStringList fields = rows[i].simplified().split(' ');
        if (fields.size() >= 14)
            pictures.push_back({fields[12].toInt(), fields[13].toInt(), fields[8]});
    }
    return pictures;
}

// Text and lines, in any of the report's colours, against the page's pale background.
bool IsInk(QRgb pixel) {
    return std::min({qRed(pixel), qGreen(pixel), qBlue(pixel)}) < 128;
}

// The boxes of the 8-connected patches of ink inside area.
std::vector<QRect> InkBlobs(const QImage& image, const QRect& area) {
    std::vector<QRect> blobs;
    std::vector<uint8_t> seen(static_cast<size_t>(area.width()) * area.height());
    const auto index = [&](int x, int y) {
        return static_cast<size_t>(y - area.top()) * area.width() + (x - area.left());
    };
    std::vector<QPoint> stack;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            if (seen[index(x, y)] || !IsInk(image.pixel(x, y))) continue;
            QRect box(x, y, 1, 1);
            seen[index(x, y)] = 1;
            stack.assign(1, QPoint(x, y));
            while (!stack.empty()) {
                const QPoint p = stack.back();
                stack.pop_back();
                box |= QRect(p, QSize(1, 1));
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        const QPoint q(p.x() + dx, p.y() + dy);
                        if (!area.contains(q) || seen[index(q.x(), q.y())]) continue;
                        seen[index(q.x(), q.y())] = 1;
                        if (IsInk(image.pixel(q))) stack.push_back(q);
                    }
            }
            blobs.push_back(box);
        }
    return blobs;
}

// A page rasterised at dpi: the page's picture of 630 x 891 fills the printable area of the
// printer's page at that resolution as far as its proportions allow, centred across it, from
// its top.
struct PrintedPage {
    QImage image;
    double scale = 0;
    QPointF origin;

    PrintedPage(QImage rasterised, const QRect& printable) : image(std::move(rasterised)) {
        scale = std::min(printable.width() / 630.0, printable.height() / 891.0);
        origin = QPointF(printable.left() + (printable.width() - 630 * scale) / 2, printable.top());
    }
    QPoint At(double x, double y) const {
        return QPoint(static_cast<int>(origin.x() + x * scale),
                      static_cast<int>(origin.y() + y * scale));
    }
    double PageY(int y) const { return (y - origin.y()) / scale; }

    QRect RowBand(int row, int left = 40, int right = 610) const {
        const int top = results::CertificateRowTop(row);
        return QRect(At(left, top), At(right, top + 13) - QPoint(1, 1));
    }

    // The left edge of the ink of each colon on the page's rows, by row: two dots of one size
    // one above the other, a little apart (no other mark of a report line looks like that).
    std::map<int, int> ColonsByRow() const {
        const QRect body = RowBand(0) | RowBand(results::CertificateRows - 1);
        const auto blobs = InkBlobs(image, body);
        const auto near = [this](int a, int b) { return std::abs(a - b) <= scale / 2 + 1; };
        std::map<int, int> colons;
        for (const QRect& upper : blobs)
            for (const QRect& lower : blobs) {
                const int gap = lower.top() - upper.bottom() - 1;
                if (upper.width() > 2.5 * scale || upper.height() > 2.5 * scale ||
                    !near(upper.left(), lower.left()) || !near(upper.width(), lower.width()) ||
                    !near(upper.height(), lower.height()) || gap < scale / 2 || gap > 3.5 * scale)
                    continue;
                const int row = static_cast<int>(
                    std::floor((PageY(lower.bottom()) - results::CertificateRowTop(0)) / 13));
                const int left = std::min(upper.left(), lower.left());
                const auto found = colons.find(row);
                if (found == colons.end() || left < found->second) colons[row] = left;
            }
        return colons;
    }

    // The left edge of the first mark of a row's text.
    int TextLeft(int row) const {
        const QRect band = RowBand(row);
        for (int x = band.left(); x <= band.right(); ++x)
            for (int y = band.top(); y <= band.bottom(); ++y)
                if (IsInk(image.pixel(x, y))) return x;
        return -1;
    }
};

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

TEST(CertificateLayout, PrintScaleReachesThreeHundredDotsAnInch) {
    const struct {
        const char* what;
        int width, height, dpi;
        int scale;
    } cases[] = {
        {"A4 within margins at 1200 dpi", 9583, 13699, 1200, 4}, // 316 dots an inch
        {"A4 at 600 dpi", 4960, 7016, 600, 4},
        {"the page at exactly 300 dpi", 2520, 3564, 300, 4},
        {"a little more room than that", 2530, 3600, 300, 5},
        {"letter, fitted by its height", 5100, 6600, 600, 4},
        {"A3 at 600 dpi", 7016, 9921, 600, 6},
        {"a 150 dpi printer: its own pixels", 1240, 1754, 150, 2},
        {"a 72 dpi device of the page's size", 630, 891, 72, 1},
        {"no area", 0, 0, 1200, 1},
    };
    for (const auto& c : cases) {
        const int scale = results::CertificatePrintScale(c.width, c.height, c.dpi);
        EXPECT_EQ(scale, c.scale) << c.what;
        if (c.width == 0) continue;
        // The page's pixels once printed, in dots an inch.
        const double fitted = std::min(c.width / 630.0, c.height / 891.0);
        EXPECT_GE(scale * c.dpi / fitted, std::min(300, c.dpi) - 1e-6) << c.what;
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

// As the Debian package has it: the program folder's name leads to /etc/calbrix, where the
// file may also not be.
TEST(CertificateTitle, ALinkIsReadAsWhatItLeadsTo) {
    QTemporaryDir dir, etc;
    ASSERT_TRUE(dir.isValid() && etc.isValid());
    const std::string folder = dir.path().toStdString() + "/";
    const QString link = dir.filePath("CertifTitle.txt");
    const QString title = etc.filePath("CertifTitle.txt");
    ASSERT_TRUE(QFile::link(title, link));
    EXPECT_EQ(results::CertificateTitle(folder), "Electrical Test"); // leads nowhere yet

    QFile file(title);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("Shop title\r\n");
    file.close();
    EXPECT_EQ(results::CertificateTitle(folder), "Shop title");

    ASSERT_TRUE(QFile::remove(link) && QFile::link(etc.path(), link)); // a folder
    EXPECT_EQ(results::CertificateTitle(folder), "Electrical Test");
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

    // The printable area of the last page printed into a PDF, in pixels at 300 dots an inch.
    QRect printable;

    // Prints into a PDF in the test's folder, with the printer set up as the operator chose in
    // the print dialog; its name.
    QString PrintToPdf(const QString& name = "pages.pdf",
                       const std::function<void(QPrinter&)>& choose = {}) {
        const QString pdf = dir.filePath(name);
        p.dialogs.OnPrint = [this, pdf, choose](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            if (choose) choose(printer);
            printable = printer.pageLayout().paintRectPixels(300);
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
              const std::string& title, size_t pageIndex = 0, int scale = 1) {
        TCertificateFrm page(frm);
        page.SetPicture(platform::DecodeJpeg(CertifImgResource()), scale);
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

TEST_F(CertificatePrintTest, ThePrintersPageIsThePageInFinerPixels) {
    frm.CertDate = "15/06/2020";
    frm.DistribCounts[1] = {6, 0, 0, 0, 0, 3, 0, 0, 0, 0, 1};
    std::vector<ReportLine> lines(20, ReportLine{"", platform::clWindowText, 0});
    lines[0] = {"Cable 24 wires straight", platform::clBlack, StyleBold | StyleUnderline};
    lines[2] = {"Connection between  PlugA.  1-A \t and PlugB.  1-A\t: 0 \u03A9", platform::clBlack,
                0};
    lines[5] = {"No contact between  PlugA.12-M \t and PlugB.12-M \t", 0x0001FF, 0};
    lines[9] = {"Bad contact between PlugA.  3-C \t and PlugB.  3-C \t", 0x0080FF, StyleItalic};
    const int scale = 4;
    const DrawnPage own(frm, lines, {-1, 12, -1, -1}, "Electrical Test");
    const DrawnPage fine(frm, lines, {-1, 12, -1, -1}, "Electrical Test", 0, scale);
    ASSERT_EQ(fine.after.size(), own.after.size() * scale);

    // Lines and boxes cover exactly the blocks of their pixels: the chart's axis and the
    // inside of its tallest bar, above and below its count.
    const int chartTop = results::CertificateRowTop(12);
    const auto sameBlock = [&](int x, int y) {
        for (int dy = 0; dy < scale; ++dy)
            for (int dx = 0; dx < scale; ++dx)
                if (fine.after.pixel(x * scale + dx, y * scale + dy) != own.after.pixel(x, y))
                    return false;
        return true;
    };
    for (int x = 249; x <= 568; ++x) EXPECT_TRUE(sameBlock(x, chartTop + 41)) << "axis " << x;
    for (const int y0 : {chartTop + 1, chartTop + 30})
        for (int y = y0; y < y0 + 11; ++y)
            for (int x = 249; x < 282; ++x) ASSERT_TRUE(sameBlock(x, y)) << "bar " << x << "," << y;

    // Every text stands where it stands on the page, to a pixel or two of the page's own.
    const struct {
        const char* what;
        TColor colour;
        int y0, y1;
    } texts[] = {
        {"title line", platform::clBlack, 190, 203}, // rows 0, 2, 5 and 9
        {"connection", platform::clBlack, 216, 229},
        {"no contact", 0x0001FF, 255, 268},
        {"bad contact", 0x0080FF, 307, 320},
        {"title", platform::clBlack, 115, 150},
        {"date", platform::clBlack, 18, 40},
        {"page number", platform::clBlack, 820, 850},
    };
    for (const auto& t : texts) {
        const QRect ownBox = own.Changed(t.colour, t.y0, t.y1);
        const QRect fineBox = fine.Changed(t.colour, t.y0 * scale, t.y1 * scale);
        ASSERT_FALSE(ownBox.isNull()) << t.what;
        EXPECT_NEAR(fineBox.left(), ownBox.left() * scale, 2 * scale) << t.what;
        EXPECT_NEAR(fineBox.top(), ownBox.top() * scale, 2 * scale) << t.what;
        EXPECT_NEAR(fineBox.right(), ownBox.right() * scale + scale - 1, 3 * scale) << t.what;
        EXPECT_NEAR(fineBox.bottom(), ownBox.bottom() * scale + scale - 1, 2 * scale) << t.what;
        // Finer letters, not the page's pixels enlarged: some block holds ink and paper both.
        bool finer = false;
        for (int y = fineBox.top(); y <= fineBox.bottom() && !finer; ++y)
            for (int x = fineBox.left(); x <= fineBox.right() && !finer; ++x)
                finer = fine.after.pixel(x, y) !=
                        fine.after.pixel(x / scale * scale, y / scale * scale);
        EXPECT_TRUE(finer) << t.what;
    }
}

TEST_F(CertificatePrintTest, PagesArePrintedAtThreeHundredDotsAnInchOrFiner) {
    WriteLines(50);
    const struct {
        const char* what;
        std::function<void(QPrinter&)> choose;
    } printers[] = {
        {"A4, as the dialog comes", {}},
        {"A4 without margins", [](QPrinter& printer) { printer.setFullPage(true); }},
        {"letter",
         [](QPrinter& printer) { printer.setPageSize(QPageSize(QPageSize::Letter)); }},
        {"A3 across",
         [](QPrinter& printer) {
             printer.setPageSize(QPageSize(QPageSize::A3));
             printer.setPageOrientation(QPageLayout::Landscape);
         }},
        {"A4 at 300 dpi", [](QPrinter& printer) { printer.setResolution(300); }},
    };
    for (const auto& printer : printers) {
        const auto pictures = PdfPictures(PrintToPdf("pages.pdf", printer.choose));
        ASSERT_EQ(pictures.size(), 2u) << printer.what << ": one picture a page";
        for (const PdfPicture& picture : pictures) {
            EXPECT_GE(picture.across, 300) << printer.what;
            EXPECT_GE(picture.down, 300) << printer.what;
            // No finer than needed: a page stays a picture of a few tens of megabytes.
            EXPECT_LT(picture.across, 450) << printer.what;
            // Kept as drawn: a lossy picture would smudge the letters again.
            EXPECT_NE(picture.encoding, "jpeg") << printer.what;
        }
    }
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

TEST_F(CertificatePrintTest, APrintedPageKeepsTheColumnsOfTheReport) {
    // A continuity part of 24 conductors: connections with values of every width among no
    // contacts, a bad contact and a skipped conductor, pins of one and two digits.
    using engine::ContinuityVerdict;
    frm.AddReportLine("Cable 24 wires straight", platform::clBlack, StyleBold | StyleUnderline);
    frm.AddReportLine("", platform::clWindowText, 0);
    frm.AddReportLine("Part 1 of 1 : Continuity test", platform::clBlack,
                      StyleBold | StyleUnderline);
    std::vector<int> connections;
    const int32_t values[] = {0, 1, 12, 999, 3000, 0, 7};
    for (int pin = 1; pin <= 24; ++pin) {
        const ContinuityVerdict verdict = pin % 7 == 4 ? ContinuityVerdict::NoContact
                                          : pin == 20  ? ContinuityVerdict::BadContact
                                                       : ContinuityVerdict::Connected;
        const bool skipped = pin == 15;
        const auto line = engine::ContinuityLine(verdict, skipped, pin, pin + 96, values[pin % 7]);
        if (verdict == ContinuityVerdict::Connected && !skipped)
            connections.push_back(frm.ReportLineCount());
        frm.AddReportLine(line.text, line.colour, 0);
    }
    frm.AddReportLine("", platform::clWindowText, 0);
    frm.AddReportLine("Part 1 of 1 : 4 errors", platform::clRed, StyleBold);

    const QImage rasterised = RasterisePdfPage(PrintToPdf(), 300);
    ASSERT_FALSE(rasterised.isNull()) << "pdftoppm (poppler-utils) could not rasterise the page";
    const PrintedPage page(rasterised, printable);
    const auto colons = page.ColonsByRow();
    ASSERT_TRUE(colons.contains(connections.front()));
    const int column = colons.at(connections.front());
    for (const int line : connections) {
        ASSERT_TRUE(colons.contains(line)) << frm.ReportLines()[static_cast<size_t>(line)].Text;
        EXPECT_NEAR(colons.at(line), column, 1)
            << frm.ReportLines()[static_cast<size_t>(line)].Text;
    }

    // The screen's column: the report puts the colon on one of its tab stops, and the page puts
    // it as far from the line's left edge.
    QTextDocument& report = *frm.ReportMemo->document();
    const QTextBlock block = report.findBlockByNumber(connections.front());
    report.documentLayout()->blockBoundingRect(block);
    ASSERT_GT(block.layout()->lineCount(), 0);
    const double onScreen = block.layout()->lineAt(0).cursorToX(block.text().indexOf(':'));
    EXPECT_EQ(std::fmod(onScreen, ReportTabStop), 0) << onScreen;
    const double onPage = (column - page.TextLeft(connections.front())) / page.scale;
    EXPECT_NEAR(onPage, onScreen, 2.5);
}
