#pragma once
// The pieces of certificate printing that a test looks at on their own: the title and the
// drawing of one page.

#include <string>
#include <vector>

#include "results/CertificateLayout.h"

class ImageControl;
class TMainFrm;
struct ReportLine;

namespace results {

// The first line of "CertifTitle.txt" in programFolder (ending with '/'), or "Electrical Test"
// when the file is missing or holds no line at all.
std::string CertificateTitle(const std::string& programFolder);

// Draws one page on image (holding the background picture): for each row the charts whose
// line falls there, then the line; then the title, the header block and "Page n / N".
void DrawCertificatePage(TMainFrm& frm, ImageControl& image, const std::vector<ReportLine>& lines,
                         const CertificatePage& page, int number, int pageCount,
                         const std::string& title);

} // namespace results
