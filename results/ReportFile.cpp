// Saving the report to a file, and the font of the report's selection.

#include <QDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextEdit>

#include "interface/Main.h"
#include "interface/Serial.h"
#include "results/RichText.h"
#include "results/SimulatedBench.h"

namespace {

double PointsOf(const QFont& font) {
    return font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize() * 72.0 / 96.0;
}

uint32_t StyleOf(const QTextCharFormat& format) {
    return (format.fontWeight() > QFont::Normal ? StyleBold : 0u) |
           (format.fontItalic() ? StyleItalic : 0u) |
           (format.fontUnderline() ? StyleUnderline : 0u) |
           (format.fontStrikeOut() ? StyleStrikeOut : 0u);
}

// The lines of a text box with the colour, style and font of each piece of text; a box
// without any text has no line.
results::RichDocument RichDocumentOf(const QTextEdit& memo, const QFont& font) {
    results::RichDocument document;
    document.FontName = font.family().toStdString();
    document.PointSize = PointsOf(font);
    if (memo.document()->isEmpty()) return document;
    for (QTextBlock block = memo.document()->begin(); block.isValid(); block = block.next()) {
        results::RichLine line;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            results::RichRun run;
            run.Text = fragment.text().toStdString();
            run.Colour = format.foreground().style() == Qt::NoBrush
                             ? platform::clBlack
                             : platform::FromQColor(format.foreground().color());
            run.Style = StyleOf(format);
            const QStringList families = format.fontFamilies().toStringList();
            if (!families.isEmpty() && families.front() != font.family())
                run.FontName = families.front().toStdString();
            if (format.fontPointSize() > 0 && format.fontPointSize() != document.PointSize)
                run.PointSize = format.fontPointSize();
            line.push_back(std::move(run));
        }
        document.Lines.push_back(std::move(line));
    }
    return document;
}

} // namespace

void TMainFrm::SaveReport() {
    // PrintMemo gets the report with its formatting, under the five header lines, and keeps
    // that document until the next save.
    PrintMemo->clear();
    PrintMemo->setFont(ReportMemo->font());
    QTextCursor cursor(PrintMemo->document());
    // By its lines: a report of one empty line shows as an empty box.
    const bool emptyReport = ReportLines().empty();
    if (!emptyReport) cursor.insertFragment(QTextDocumentFragment(ReportMemo->document()));

    QTextCharFormat plain;
    plain.setForeground(QColor(Qt::black));
    plain.setFontWeight(QFont::Normal);
    plain.setFontItalic(false);
    plain.setFontUnderline(false);
    plain.setFontStrikeOut(false);
    std::vector<std::string> header = {"Date :  " + CertDate, "Operator :  " + OperatorName,
                                       "Model :  " + ModelName, "Serial # :  " + SerialNumber};
    // On a simulated bench the header's last line says that no cable was tested.
    if (SimulatedBench()) header.push_back(results::SimulatedBenchLine);
    header.push_back("");
    cursor.movePosition(QTextCursor::Start);
    for (size_t i = 0; i < header.size(); ++i) {
        cursor.insertText(QString::fromStdString(header[i]), plain);
        // The empty line closes the header; in an empty report it is the last line.
        if (i + 1 < header.size() || !emptyReport) cursor.insertBlock(QTextBlockFormat(), plain);
    }
    PrintMemo->moveCursor(QTextCursor::Start);

    const std::string& path = SaveDialog1.FileName;
    const results::RichDocument document = RichDocumentOf(*PrintMemo, ReportMemo->font());
    results::WriteReportFile(path, results::IsRichTextName(path)
                                       ? results::WriteRtf(document)
                                       : results::WritePlainText(document));
}

void TMainFrm::SaveBtnClick() {
    // The dialog stays owned by the window, as every report information dialog does.
    Services().dialogs.ShowModal(*new TSerialFrm(*this));
    SaveDialog1.InitialFolder = QDir::currentPath().toStdString() + "/";
    const auto chosen = Services().dialogs.SaveFileName(SaveDialog1);
    if (!chosen) return;
    SaveDialog1.FileName = *chosen;
    SaveReport();
}

void TMainFrm::FontBtnClick() {
    QFont font = ReportMemo->currentFont();
    if (!Services().dialogs.ChooseFont(font)) return;
    QTextCharFormat format;
    format.setFont(font);
    ReportMemo->mergeCurrentCharFormat(format);
}
