#include "results/CertificateLayout.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace results {

int CertificatePageCount(int lineCount, const std::array<int32_t, 4>& chartLines) {
    // 64-bit: a chart line near the top of the 32-bit range must not overflow when shifted.
    std::array<int64_t, 4> c{};
    for (std::size_t k = 0; k < 4; ++k) c[k] = chartLines[k];
    int64_t extra = 0;
    for (std::size_t k = 0; k < 4; ++k) {
        if (c[k] == -1) continue;
        if (c[k] >= CertificateRows) {
            // Whole pages before the chart's page, taken off in one step.
            const int64_t shift = c[k] / CertificateRows * CertificateRows;
            for (std::size_t i = k; i < 4; ++i)
                if (c[i] != -1) c[i] -= shift;
        }
        if (c[k] > LastChartRow) {
            const int64_t d = CertificateRows - c[k];
            extra += d;
            for (std::size_t i = k + 1; i < 4; ++i)
                if (c[i] != -1) c[i] += d;
        }
    }
    return static_cast<int>((lineCount + extra + CertificateRows - 1) / CertificateRows);
}

std::vector<CertificatePage> LayoutCertificatePages(int lineCount,
                                                    const std::array<int32_t, 4>& chartLines) {
    std::vector<CertificatePage> pages;
    int line = 0;
    while (line < lineCount) {
        CertificatePage page;
        page.FirstLine = line;
        bool moved = false;
        for (int row = 0; row < CertificateRows && line < lineCount && !moved; ++row) {
            for (int kind = 0; kind < 4 && !moved; ++kind) {
                if (chartLines[static_cast<std::size_t>(kind)] != line) continue;
                if (row > LastChartRow)
                    moved = true; // the chart and its line open the next page
                else
                    page.Charts.push_back({kind, row});
            }
            if (moved) break;
            ++page.LineCount;
            ++line;
        }
        pages.push_back(std::move(page));
    }
    return pages;
}

int CertificatePrintScale(int width, int height, int dotsPerInch) {
    if (width <= 0 || height <= 0 || dotsPerInch <= 0) return 1;
    // Printer pixels per page pixel once the page is fitted to the area.
    const double fitted = std::min(static_cast<double>(width) / CertificateWidth,
                                   static_cast<double>(height) / CertificateHeight);
    const int wanted = std::min(CertificatePrintDpi, dotsPerInch);
    // Rounding dust in an exact fit must not add a whole step.
    return std::max(1, static_cast<int>(std::ceil(wanted * fitted / dotsPerInch - 1e-9)));
}

} // namespace results
