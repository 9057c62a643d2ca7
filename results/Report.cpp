// Report lines, part summaries and progress on the main window.

#include <QLabel>
#include <QProgressBar>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>

#include <algorithm>

#include "interface/Main.h"
#include "interface/widgets/StatusPanel.h"
#include "results/ValueTexts.h"

using platform::ToQColor;

void TMainFrm::AddReportLine(const std::string& text, TColor colour, uint32_t style) {
    reportLines_.push_back({text, colour, style});

    // Each line gets exactly the colour and the style bits passed: the format is set whole,
    // so a bold title never leaks into the ordinary line after it.
    QTextCharFormat format;
    format.setForeground(ToQColor(colour));
    format.setFontWeight((style & StyleBold) ? QFont::Bold : QFont::Normal);
    format.setFontItalic((style & StyleItalic) != 0);
    format.setFontUnderline((style & StyleUnderline) != 0);
    format.setFontStrikeOut((style & StyleStrikeOut) != 0);

    QTextCursor cursor(ReportMemo->document());
    cursor.movePosition(QTextCursor::End);
    if (reportLines_.size() > 1)
        cursor.insertBlock(QTextBlockFormat(), format);
    else
        cursor.setBlockCharFormat(format);
    cursor.insertText(QString::fromStdString(text), format);
    cursor.movePosition(QTextCursor::End);
    // Visible as the window sees it: a report hidden behind the settings panel keeps its
    // scroll position even though its caret moves to the end.
    QScrollBar* scroll = ReportMemo->verticalScrollBar();
    if (ReportMemo->isVisibleTo(this)) {
        ReportMemo->setTextCursor(cursor);
        scroll->setValue(scroll->maximum());
        // The caret at the end of a long line must not carry the view away from the lines'
        // beginnings.
        ReportMemo->horizontalScrollBar()->setValue(0);
    } else {
        const int kept = scroll->value();
        ReportMemo->setTextCursor(cursor);
        scroll->setValue(kept);
    }

    if (OnReportLine) OnReportLine(reportLines_.back());
    services_.events.ProcessMessages();
}

void TMainFrm::ClearReport() {
    reportLines_.clear();
    ReportMemo->clear();
}

void TMainFrm::FinishPart(int16_t errors) {
    const std::string part =
        "Part " + std::to_string(PartIndex) + " of " + std::to_string(SelectedTestCount);
    AddReportLine("", platform::clWindowText, 0);
    SetStatusPanel(0, part + " finished");
    SetStatusPanel(1, "");
    if (errors != 0) {
        AddReportLine(part + " : " + std::to_string(errors) + " error" + (errors >= 2 ? "s" : ""),
                      platform::clRed, StyleBold);
        AddReportLine("", platform::clWindowText, 0);
    } else {
        AddReportLine(part + " : No error", platform::clGreen, StyleBold);
        AddReportLine("", platform::clWindowText, 0);
        AddReportLine("", platform::clWindowText, 0);
    }
    ProgressBar1->setValue(0);
}

void TMainFrm::ShowProgress(int32_t done, int32_t total) {
    SetStatusPanel(0, std::to_string(done) + " / " + std::to_string(total));
    // The bar stops at its ends, where Qt's would ignore a value outside its range.
    ProgressBar1->setValue(std::clamp(done, ProgressBar1->minimum(), ProgressBar1->maximum()));
}

void TMainFrm::ShowRemainingTime(uint32_t startTick, int32_t done, int32_t total) {
    const uint32_t elapsed = services_.clock.TickCount() - startTick;
    SetStatusPanel(1,
                   results::RemainingTimeText(elapsed, done, total, FormatSettings.TimeSeparator));
}

std::string TMainFrm::FormatIsolation(int64_t ohms) const {
    return results::FormatIsolation(ohms);
}

std::string TMainFrm::FormatContinuity(int32_t ohms) const {
    return results::FormatContinuity(ohms);
}

std::string TMainFrm::FormatContinuityPrecise(int32_t ohms) const {
    return results::FormatContinuityPrecise(ohms, FormatSettings.DecimalSeparator);
}

std::string TMainFrm::PadNumberRight(int32_t n) const {
    return results::PadNumberRight(n);
}

std::string TMainFrm::PadNumberLeft(int32_t n) const {
    return results::PadNumberLeft(n);
}

void TMainFrm::SetStatusPanel(int panel, const std::string& text) {
    StatusPanels.at(static_cast<size_t>(panel))->SetText(QString::fromStdString(text));
    if (OnStatusPanel) OnStatusPanel(panel, text);
}

void TMainFrm::SetStatusPanel(int panel, const std::string& lead, const std::string& path) {
    StatusPanels.at(static_cast<size_t>(panel))
        ->SetText(QString::fromStdString(lead), QString::fromStdString(path));
    if (OnStatusPanel) OnStatusPanel(panel, lead + path);
}

std::string TMainFrm::StatusPanelText(int panel) const {
    return StatusPanels.at(static_cast<size_t>(panel))->text().toStdString();
}
