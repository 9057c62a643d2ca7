#pragma once
// Which report lines and charts go on which certificate page: 42 lines a page, a chart printed
// at its line's row, and a chart that would not fit above the page's end (rows 39 to 41)
// moving to the top of the next page with its line.

#include <array>
#include <cstdint>
#include <vector>

namespace results {

constexpr int CertificateRows = 42;
// The last row on which a chart still fits on its page.
constexpr int LastChartRow = 38;

// The number of pages for lineCount report lines and the chart lines by test kind (-1: that
// test did not run), counting the rows left empty where a chart moved on.
int CertificatePageCount(int lineCount, const std::array<int32_t, 4>& chartLines);

struct CertificateChart {
    int Kind;
    int Row;
};

struct CertificatePage {
    int FirstLine = 0; // report line on row 0
    int LineCount = 0; // rows used, from row 0
    std::vector<CertificateChart> Charts;
};

// The pages as printed, one after the other until no report line remains.
std::vector<CertificatePage> LayoutCertificatePages(int lineCount,
                                                    const std::array<int32_t, 4>& chartLines);

// The page's size in its own pixels, the size of the background picture.
constexpr int CertificateWidth = 630;
constexpr int CertificateHeight = 891;

// The resolution a printed page needs at least, in dots an inch, for sharp letters and lines.
constexpr int CertificatePrintDpi = 300;

// Printer pixels per page pixel, across and down, for a page fitted into an area of width x
// height printer pixels at dotsPerInch: the least whole number that prints the page at
// CertificatePrintDpi or finer, or at the printer's own resolution when that is coarser.
int CertificatePrintScale(int width, int height, int dotsPerInch);

// The smallest size of text a page prints, in its pixels (the page is 630 pixels across a
// sheet of 210 mm): about 7.5 points, still read without effort.
constexpr int SmallestPrintedTextPixels = 8;

// Row r of a page starts at this height.
constexpr int CertificateRowTop(int row) {
    return 190 + 13 * row;
}

} // namespace results
