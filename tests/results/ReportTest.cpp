// Report lines as the rich text holds them, part summaries, progress and the remaining time on
// the main window.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProgressBar>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>

#include <string>
#include <vector>

#include "interface/Main.h"
#include "interface/widgets/StatusPanel.h"
#include "tests/support/FakeFtdi.h"
#include "tests/support/TestServices.h"

using namespace testing_support;
using platform::ToQColor;

namespace {

// A line as the report control shows it: its text and the one format all of its text has.
struct ShownLine {
    std::string text;
    QColor colour;
    uint32_t style;
};

bool operator==(const ShownLine& a, const ShownLine& b) {
    return a.text == b.text && a.colour == b.colour && a.style == b.style;
}

std::ostream& operator<<(std::ostream& out, const ShownLine& line) {
    return out << '"' << line.text << "\" " << line.colour.name().toStdString() << " style "
               << line.style;
}

uint32_t StyleOf(const QTextCharFormat& format) {
    return (format.fontWeight() > QFont::Normal ? StyleBold : 0u) |
           (format.fontItalic() ? StyleItalic : 0u) |
           (format.fontUnderline() ? StyleUnderline : 0u) |
           (format.fontStrikeOut() ? StyleStrikeOut : 0u);
}

ShownLine Expected(const std::string& text, TColor colour, uint32_t style) {
    return {text, ToQColor(colour), style};
}

class ReportTest : public ::testing::Test {
protected:
    TestPlatform p;
    FakeFtdi driver{p.clock};
    platform::Services services = ServicesOf(p, driver);
    TMainFrm frm{services};

    void SetUp() override { frm.Timer1->SetEnabled(false); }

    // Every line of the report control; a line whose text changes format part-way is a fault.
    std::vector<ShownLine> Shown() const {
        std::vector<ShownLine> lines;
        const QTextDocument* document = frm.ReportMemo->document();
        for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
            QTextCharFormat format = block.charFormat();
            bool first = true;
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextCharFormat fragment = it.fragment().charFormat();
                if (!first) {
                    EXPECT_EQ(fragment, format) << block.text().toStdString();
                }
                format = fragment;
                first = false;
            }
            lines.push_back(
                {block.text().toStdString(), format.foreground().color(), StyleOf(format)});
        }
        return lines;
    }

    std::vector<ShownLine> ShownFrom(size_t first) const {
        const auto all = Shown();
        return {all.begin() + static_cast<std::ptrdiff_t>(std::min(first, all.size())), all.end()};
    }

    QScrollBar* Scroll() const { return frm.ReportMemo->verticalScrollBar(); }

    void FillReport(int count) {
        for (int i = 0; i < count; ++i) frm.AddReportLine("line " + std::to_string(i), 0, 0);
    }
};

TEST_F(ReportTest, EachLineHasExactlyItsColourAndStyle) {
    const struct {
        std::string text;
        TColor colour;
        uint32_t style;
    } calls[] = {
        {"Cable 12", platform::clBlack, 5},
        {"ordinary line after a title", platform::clWindowText, 0},
        {"Part 1 of 1 : No error", platform::clGreen, 1},
        {"after a summary", platform::clWindowText, 0},
        {"Bad contact between  3 and  4", 0x0080FF, 0},
        {"No contact between  5 and  6", 0x0001FF, 0},
        {"italic", platform::clRed, StyleItalic},
        {"struck out", 0x808080, StyleStrikeOut},
        {"everything", 0x000080, 15},
        {"plain again", platform::clWindowText, 0},
        {"25-48 :\tNot detected", platform::clRed, 0},
    };
    std::vector<ShownLine> written;
    for (const auto& c : calls) {
        frm.AddReportLine(c.text, c.colour, c.style);
        written.push_back(Expected(c.text, c.colour, c.style));
    }
    // Bits are never carried over: the plain lines after a title or a summary are plain.
    EXPECT_EQ(Shown(), written);
    // The recorded lines keep the colour values as passed, window text as a system colour.
    ASSERT_EQ(frm.ReportLines().size(), std::size(calls));
    for (size_t i = 0; i < std::size(calls); ++i) {
        EXPECT_EQ(frm.ReportLines()[i].Text, calls[i].text);
        EXPECT_EQ(frm.ReportLines()[i].Colour, calls[i].colour);
        EXPECT_EQ(frm.ReportLines()[i].Style, calls[i].style);
    }
}

TEST_F(ReportTest, ValueTextsKeepTheOhmSign) {
    frm.AddReportLine("3 - 4" + frm.FormatIsolation(42000000), platform::clRed, 0);
    EXPECT_EQ(frm.ReportMemo->toPlainText(), QString::fromUtf8("3 - 4 42 M\u03A9"));
}

TEST_F(ReportTest, EmptyLinesAreLinesOfTheirOwn) {
    frm.AddReportLine("", platform::clWindowText, 0);
    frm.AddReportLine("Test stopped", platform::clRed, 1);
    frm.AddReportLine("", platform::clWindowText, 0);
    frm.AddReportLine("", platform::clWindowText, 0);
    const std::vector<ShownLine> expected = {
        Expected("", platform::clWindowText, 0),
        Expected("Test stopped", platform::clRed, 1),
        Expected("", platform::clWindowText, 0),
        Expected("", platform::clWindowText, 0),
    };
    EXPECT_EQ(Shown(), expected);
    EXPECT_EQ(frm.ReportLineCount(), 4);
}

TEST_F(ReportTest, EveryLineLetsTheOperatorsClicksThrough) {
    const uint64_t before = p.events.Calls();
    // A Stop click during the third line is visible to the caller when that line returns.
    p.events.At(before + 3, [this] { frm.StopRequested = true; });
    frm.AddReportLine("one", 0, 0);
    frm.AddReportLine("", 0, 0);
    EXPECT_FALSE(frm.StopRequested);
    frm.AddReportLine("three", 0, 0);
    EXPECT_TRUE(frm.StopRequested);
    EXPECT_EQ(p.events.Calls(), before + 3);
}

TEST_F(ReportTest, VisibleReportFollowsItsEndHiddenReportKeepsItsPlace) {
    frm.show();
    FillReport(80);
    ASSERT_GT(Scroll()->maximum(), 0);
    EXPECT_EQ(Scroll()->value(), Scroll()->maximum());

    // An empty line scrolls to the end as well.
    Scroll()->setValue(0);
    frm.AddReportLine("", platform::clWindowText, 0);
    EXPECT_EQ(Scroll()->value(), Scroll()->maximum());

    // Hidden behind the settings panel: lines still arrive, the view does not move.
    Scroll()->setValue(10);
    frm.ReportMemo->hide();
    FillReport(40);
    EXPECT_EQ(frm.ReportLineCount(), 121);
    EXPECT_EQ(frm.ReportMemo->document()->blockCount(), 121);
    EXPECT_EQ(Scroll()->value(), 10);

    frm.ReportMemo->show();
    frm.AddReportLine("shown again", 0, 0);
    EXPECT_EQ(Scroll()->value(), Scroll()->maximum());
    EXPECT_EQ(frm.ReportMemo->textCursor().position(),
              frm.ReportMemo->document()->characterCount() - 1);
}

TEST_F(ReportTest, ALongLineLeavesTheViewAtTheLinesBeginnings) {
    frm.show();
    QScrollBar* across = frm.ReportMemo->horizontalScrollBar();
    frm.AddReportLine(std::string(300, 'x'), 0, 0);
    ASSERT_GT(across->maximum(), 0);
    EXPECT_EQ(across->value(), 0);
    // A continuity line fits the report with the report's tab stops.
    frm.ClearReport();
    frm.AddReportLine("Connection between  PlugA.  1-A \t and PlugB.  1-A\t: 0 \u03A9", 0, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(across->maximum(), 0);
}

TEST_F(ReportTest, ClearedReportStartsAgainAtItsFirstLine) {
    FillReport(3);
    frm.ClearReport();
    frm.AddReportLine("Cable 7", platform::clBlack, 5);
    frm.AddReportLine("next", platform::clWindowText, 0);
    const std::vector<ShownLine> expected = {Expected("Cable 7", platform::clBlack, 5),
                                             Expected("next", platform::clWindowText, 0)};
    EXPECT_EQ(Shown(), expected);
}

TEST_F(ReportTest, FinishPartWritesTheSummaryOfItsErrors) {
    const TColor text = platform::clWindowText;
    const struct {
        int16_t errors;
        int32_t part;
        int32_t of;
        std::vector<ShownLine> lines;
    } cases[] = {
        {0,
         1,
         1,
         {Expected("", text, 0), Expected("Part 1 of 1 : No error", platform::clGreen, 1),
          Expected("", text, 0), Expected("", text, 0)}},
        {1,
         1,
         2,
         {Expected("", text, 0), Expected("Part 1 of 2 : 1 error", platform::clRed, 1),
          Expected("", text, 0)}},
        {2,
         2,
         2,
         {Expected("", text, 0), Expected("Part 2 of 2 : 2 errors", platform::clRed, 1),
          Expected("", text, 0)}},
        {14,
         2,
         3,
         {Expected("", text, 0), Expected("Part 2 of 3 : 14 errors", platform::clRed, 1),
          Expected("", text, 0)}},
    };
    for (const auto& c : cases) {
        frm.ClearReport();
        frm.AddReportLine("Part title", platform::clBlack, 5);
        frm.PartIndex = c.part;
        frm.SelectedTestCount = c.of;
        frm.ProgressBar1->setValue(37);
        frm.SetStatusPanel(1, "ETR: 0:00:12");
        frm.FinishPart(c.errors);

        EXPECT_EQ(ShownFrom(1), c.lines) << c.errors;
        EXPECT_EQ(frm.StatusPanelText(0),
                  "Part " + std::to_string(c.part) + " of " + std::to_string(c.of) + " finished");
        EXPECT_EQ(frm.StatusPanelText(1), "");
        EXPECT_EQ(frm.ProgressBar1->value(), 0);
    }
}

TEST_F(ReportTest, ProgressShowsStepsOnPanelAndBar) {
    std::vector<std::pair<int, std::string>> panels;
    frm.ProgressBar1->setMaximum(12);
    frm.SetStatusPanel(1, "ETR: 0:01:00");
    frm.OnStatusPanel = [&](int panel, const std::string& text) {
        panels.emplace_back(panel, text);
    };

    frm.ShowProgress(7, 12);
    EXPECT_EQ(frm.StatusPanelText(0), "7 / 12");
    EXPECT_EQ(frm.ProgressBar1->value(), 7);
    // A bar asked beyond its end stops there rather than keeping a stale position.
    frm.ShowProgress(15, 12);
    EXPECT_EQ(frm.StatusPanelText(0), "15 / 12");
    EXPECT_EQ(frm.ProgressBar1->value(), 12);
    frm.ShowProgress(0, 1234567);
    EXPECT_EQ(frm.StatusPanelText(0), "0 / 1234567");
    EXPECT_EQ(frm.ProgressBar1->value(), 0);
    frm.ShowProgress(12, 12);
    EXPECT_EQ(frm.ProgressBar1->value(), 12);
    EXPECT_EQ(frm.StatusPanelText(1), "ETR: 0:01:00");

    const std::vector<std::pair<int, std::string>> expected = {
        {0, "7 / 12"}, {0, "15 / 12"}, {0, "0 / 1234567"}, {0, "12 / 12"}};
    EXPECT_EQ(panels, expected);
}

// The saved report's name on panel 2: the words in front and the file name stay readable in
// the panel's width and font, the folder gives way in its middle, the hint holds it all.
TEST_F(ReportTest, ASavedReportsPathGivesWayInItsFolderToFitThePanel) {
    const QString lead = "Report saved as :  ";
    const QString data = "/home/operator/Tolvex/Calbrix Data/";
    const QString chosen = "Lot 12 harness 3.rtf";
    // The name the program proposes: wider than the panel beside the words in front.
    const QString proposed = "2024-05-12 - 10.33.05 - Cable 24 wires straight.rtf";
    enum Expect { Whole, NameWhole, NameShortened };
    const struct {
        const char* what;
        QString path;
        Expect expect;
    } cases[] = {
        {"a short path", "/tmp/r.rtf", Whole},
        {"a name in the data folder", data + chosen, NameWhole},
        {"a name in a deep folder", data + "Line 3/Harness batches/2024/May/week 19/" + chosen,
         NameWhole},
        {"folders in other scripts",
         QString::fromUtf8("/home/opérateur/Données/𝔸 線縄/été/") + chosen, NameWhole},
        {"the proposed name", data + proposed, NameShortened},
        {"a bare name", proposed, NameShortened},
    };
    auto* panel = frm.StatusPanels[2];
    const QFontMetrics metrics = panel->fontMetrics();
    const int width = panel->contentsRect().width();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString whole = lead + c.path;
        const qsizetype slash = c.path.lastIndexOf('/');
        const QString name = c.path.mid(slash + 1);
        frm.SetStatusPanel(2, lead.toStdString(), c.path.toStdString());
        const QString shown = panel->Shown();
        const std::string text = shown.toStdString();

        EXPECT_LE(metrics.horizontalAdvance(shown), width) << text;
        EXPECT_TRUE(shown.startsWith("Report saved as :")) << text;
        EXPECT_EQ(panel->toolTip(), whole);
        EXPECT_EQ(frm.StatusPanelText(2), whole.toStdString());
        // Cut between the halves of no character.
        EXPECT_EQ(QString::fromUtf8(shown.toUtf8()), shown) << text;
        switch (c.expect) {
        case Whole:
            EXPECT_EQ(shown, whole);
            break;
        case NameWhole:
            ASSERT_GT(metrics.horizontalAdvance(whole), width);
            EXPECT_TRUE(shown.endsWith("/" + name)) << text;
            EXPECT_TRUE(shown.contains(QChar(0x2026))) << text;
            break;
        case NameShortened:
            // Its start (the date and time) and its end (the test and the extension) stay.
            ASSERT_GT(metrics.horizontalAdvance(lead + name), width);
            EXPECT_TRUE(shown.startsWith(lead + (slash >= 0 ? QString::fromUtf8("…/") : "") +
                                         name.left(21)))
                << text;
            EXPECT_TRUE(shown.endsWith(name.right(12))) << text;
            break;
        }
    }

    // The next text of the panel is a plain one, without the hint.
    frm.SetStatusPanel(2, "Remote mode OK !");
    EXPECT_EQ(panel->Shown().toStdString(), "Remote mode OK !");
    EXPECT_TRUE(panel->toolTip().isEmpty());
}

TEST_F(ReportTest, RemainingTimeFromTheTickCountAcrossItsWrap) {
    frm.SetStatusPanel(0, "1 / 4");
    // Started 10 s ago: the start tick lies before the tick count's wrap.
    const uint32_t start = p.clock.TickCount() - 10000u;
    ASSERT_GT(start, p.clock.TickCount());
    frm.ShowRemainingTime(start, 1, 4);
    EXPECT_EQ(frm.StatusPanelText(1), "ETR: 0:00:30");
    EXPECT_EQ(frm.StatusPanelText(0), "1 / 4");

    frm.ShowRemainingTime(p.clock.TickCount() - 4000u, 4, 4);
    EXPECT_EQ(frm.StatusPanelText(1), "ETR: 0:00:00");

    frm.FormatSettings.TimeSeparator = '.';
    frm.ShowRemainingTime(p.clock.TickCount() - 7200000u, 1, 2);
    EXPECT_EQ(frm.StatusPanelText(1), "ETR: 2.00.00");
}

TEST_F(ReportTest, WindowValueTextsUseTheWindowsFormats) {
    frm.FormatSettings.DecimalSeparator = ',';
    EXPECT_EQ(frm.FormatContinuityPrecise(1000), "1,00 k\u03A9");
    EXPECT_EQ(frm.FormatContinuityPrecise(-1), "Invalid !");
    EXPECT_EQ(frm.FormatContinuity(1500), "2 k\u03A9");
    EXPECT_EQ(frm.FormatIsolation(41999999), " < 40 M\u03A9");
    EXPECT_EQ(frm.PadNumberRight(9) + frm.PadNumberLeft(9), "9      9");
}

} // namespace
