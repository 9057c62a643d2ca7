// Saving the report from the window: the file's kind by its name, the header lines, the
// formatting kept, the font of a selection, and a file that cannot be written.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextEdit>
#include <QToolButton>

#include <string>

#include "interface/Main.h"
#include "results/RichText.h"
#include "tests/support/FakeFtdi.h"
#include "tests/support/TestServices.h"

using namespace testing_support;

namespace {

std::string Read(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return "(unreadable)";
    return file.readAll().toStdString();
}

// A report reader nobody here wrote: the saved RTF as unrtf turns it into HTML, with runs of
// blanks folded as a browser would show them.
std::string UnrtfHtml(const QString& path) {
    if (QStandardPaths::findExecutable("unrtf").isEmpty()) return "(unrtf is not installed)";
    QProcess unrtf;
    unrtf.start("unrtf", {"--html", path});
    if (!unrtf.waitForFinished(10000)) return "(unrtf did not finish)";
    return QString::fromUtf8(unrtf.readAllStandardOutput()).simplified().toStdString();
}

class ReportFileTest : public ::testing::Test {
protected:
    TestPlatform p;
    FakeFtdi driver{p.clock};
    platform::Services services = ServicesOf(p, driver);
    TMainFrm frm{services};
    QTemporaryDir dir;

    void SetUp() override {
        frm.Timer1->SetEnabled(false);
        ASSERT_TRUE(dir.isValid());
        frm.CertDate = "15/06/2020 14:05:09";
        frm.OperatorName = "J. Martin";
        frm.ModelName = "Cable X";
        frm.SerialNumber = "SN-0042";
    }

    void WriteRunReport() {
        frm.AddReportLine("Cable 24 wires straight", platform::clBlack, 5);
        frm.AddReportLine("", platform::clWindowText, 0);
        frm.AddReportLine("No contact between  A3 and B3 : infinite", 0x0001FF, 0);
        frm.AddReportLine("Bad contact between A4 and B4 : 2 k\u03A9", 0x0080FF, 0);
        frm.AddReportLine("Part 1 of 1 : 2 errors", platform::clRed, 1);
    }

    std::string SaveAs(const QString& name) {
        frm.SaveDialog1.FileName = dir.filePath(name).toStdString();
        QDir().mkpath(QFileInfo(dir.filePath(name)).absolutePath());
        frm.SaveReport();
        return Read(dir.filePath(name));
    }
};

} // namespace

TEST_F(ReportFileTest, TheNameChoosesRichOrPlainText) {
    WriteRunReport();
    const struct {
        const char* name;
        bool rich;
    } cases[] = {
        {"report.rtf", true},     {"report.txt", false},
        {"Rtf/report.txt", true}, // the folder's name holds the letters
        {"REPORT.Rtf", true},     {"report", false},
    };
    for (const auto& c : cases) {
        const std::string saved = SaveAs(c.name);
        EXPECT_EQ(saved.rfind(c.rich ? "{\\rtf1" : "Date :  ", 0), 0u) << c.name;
    }
}

TEST_F(ReportFileTest, FiveBlackHeaderLinesComeBeforeTheReport) {
    WriteRunReport();
    EXPECT_EQ(SaveAs("report.txt"), "Date :  15/06/2020 14:05:09\n"
                                    "Operator :  J. Martin\n"
                                    "Model :  Cable X\n"
                                    "Serial # :  SN-0042\n"
                                    "\n"
                                    "Cable 24 wires straight\n"
                                    "\n"
                                    "No contact between  A3 and B3 : infinite\n"
                                    "Bad contact between A4 and B4 : 2 k\u03A9\n"
                                    "Part 1 of 1 : 2 errors\n");
    // The header lines carry no style of the first report line (bold and underlined here).
    const std::string rtf = SaveAs("report.rtf");
    EXPECT_NE(rtf.find("\\plain\\f0\\fs17\\cf1 Date :  15/06/2020 14:05:09\\par"),
              std::string::npos)
        << rtf;
    EXPECT_NE(rtf.find("\\cf1\\b\\ul Cable 24 wires straight\\par"), std::string::npos) << rtf;
    EXPECT_EQ(frm.PrintMemo->toPlainText().split('\n').size(), 10);
}

TEST_F(ReportFileTest, OnASimulatedBenchTheHeaderEndsWithTheMark) {
    driver.simulation = platform::FtdiDriver::Simulation{};
    WriteRunReport();
    const std::string header = "Date :  15/06/2020 14:05:09\n"
                               "Operator :  J. Martin\n"
                               "Model :  Cable X\n"
                               "Serial # :  SN-0042\n"
                               "Simulated bench - no cable was tested\n"
                               "\n";
    EXPECT_EQ(SaveAs("report.txt"), header + "Cable 24 wires straight\n"
                                             "\n"
                                             "No contact between  A3 and B3 : infinite\n"
                                             "Bad contact between A4 and B4 : 2 k\u03A9\n"
                                             "Part 1 of 1 : 2 errors\n");
    // A header line as the others: black and plain in the rich text too.
    const std::string rtf = SaveAs("report.rtf");
    EXPECT_NE(rtf.find("\\cf1 Serial # :  SN-0042\\par\n"
                       "\\plain\\f0\\fs17\\cf1 Simulated bench - no cable was tested\\par\n"
                       "\\par\n"),
              std::string::npos)
        << rtf;
    // An empty report: the header alone, mark and all.
    frm.ClearReport();
    EXPECT_EQ(SaveAs("empty.txt"), header);
}

TEST_F(ReportFileTest, AnEmptyReportSavesTheHeaderAlone) {
    frm.CertDate = frm.OperatorName = frm.ModelName = frm.SerialNumber = "";
    EXPECT_EQ(SaveAs("empty.txt"), "Date :  \nOperator :  \nModel :  \nSerial # :  \n\n");
    // A report whose one line is empty is no empty report: the file has that line too.
    frm.AddReportLine("", platform::clWindowText, 0);
    EXPECT_EQ(SaveAs("one line.txt"), "Date :  \nOperator :  \nModel :  \nSerial # :  \n\n\n");
}

TEST_F(ReportFileTest, ARichSaveAfterAPlainOneKeepsTheColours) {
    WriteRunReport();
    SaveAs("first.txt");
    const std::string rtf = SaveAs("second.rtf");
    EXPECT_NE(rtf.find("\\red255\\green0\\blue0;"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("\\red255\\green128\\blue0;"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("\\b Part 1 of 1 : 2 errors"), std::string::npos) << rtf;
}

TEST_F(ReportFileTest, AnOutsideReaderFindsTheLinesColoursAndBold) {
    WriteRunReport();
    SaveAs("report.rtf");
    const std::string html = UnrtfHtml(dir.filePath("report.rtf"));
    for (const char* expected : {
             "<font color=\"#000000\">Date : 15/06/2020 14:05:09<br>",
             "Serial # : SN-0042<br>",
             "<b><u>Cable 24 wires straight<br>",
             "<font color=\"#ff0100\">No contact between A3 and B3 : infinite<br>",
             "<font color=\"#ff8000\">Bad contact between A4 and B4 : 2 k&Omega;<br>",
             "<font color=\"#ff0000\"><b>Part 1 of 1 : 2 errors",
         })
        EXPECT_NE(html.find(expected), std::string::npos) << expected << "\nin: " << html;
}

TEST_F(ReportFileTest, AFileThatCannotBeWrittenIsNamedInTheError) {
    WriteRunReport();
    frm.SaveDialog1.FileName = dir.filePath("no such folder/report.rtf").toStdString();
    try {
        frm.SaveReport();
        ADD_FAILURE() << "saved into a missing folder";
    } catch (const results::ReportFileError& e) {
        EXPECT_NE(std::string(e.what()).find("\"" + frm.SaveDialog1.FileName + "\""),
                  std::string::npos)
            << e.what();
    }
    // From the button the error reaches the operator in the standard exception box.
    p.dialogs.saveAnswers.push_back(frm.SaveDialog1.FileName);
    frm.SaveBtn->click();
    ASSERT_EQ(p.boxes.History().size(), 1u);
    EXPECT_NE(p.boxes.History()[0].Request.Text.find(frm.SaveDialog1.FileName), std::string::npos);
    EXPECT_EQ(p.boxes.History()[0].Request.Icon, platform::MsgIcon::Error);
}

TEST_F(ReportFileTest, TheSaveButtonAsksForTheReportInformationThenTheName) {
    WriteRunReport();
    frm.SaveDialog1.FileName = "2020-06-15 - 14.05.09 - Cable X.rtf";
    frm.SaveBtn->click(); // cancelled: nothing is written
    ASSERT_EQ(p.dialogs.shown, std::vector<std::string>{"SerialFrm"});
    ASSERT_EQ(p.dialogs.saveRequests.size(), 1u);
    EXPECT_EQ(p.dialogs.saveRequests[0].InitialFolder, QDir::currentPath().toStdString() + "/");
    EXPECT_EQ(p.dialogs.saveRequests[0].FileName, "2020-06-15 - 14.05.09 - Cable X.rtf");
    EXPECT_TRUE(frm.PrintMemo->toPlainText().isEmpty());

    const std::string chosen = dir.filePath("chosen.rtf").toStdString();
    p.dialogs.saveAnswers.push_back(chosen);
    frm.SaveBtn->click();
    EXPECT_EQ(p.dialogs.shown.size(), 2u);
    EXPECT_EQ(frm.SaveDialog1.FileName, chosen);
    EXPECT_EQ(Read(QString::fromStdString(chosen)).rfind("{\\rtf1", 0), 0u);
    EXPECT_TRUE(p.boxes.History().empty());
    EXPECT_EQ(frm.StatusPanelText(2), "");
}

TEST_F(ReportFileTest, ANameTypedWithoutExtensionTakesThatOfTheFilterChosen) {
    WriteRunReport();
    const struct {
        int filter; // Fichier RTF, Fichier texte, Tous les fichiers
        const char* typed;
        const char* saved;
        bool rich;
    } cases[] = {
        {0, "by filter 0", "by filter 0.RTF", true},
        {1, "by filter 1", "by filter 1.TXT", false},
        {2, "by filter 2", "by filter 2.TXT", false},
        {1, "kept.rtf", "kept.rtf", true}, // a name with its extension stays as typed
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        p.dialogs.saveFilter = c.filter;
        p.dialogs.saveAnswers.push_back(dir.filePath(c.typed).toStdString());
        frm.SaveBtn->click();
        EXPECT_EQ(frm.SaveDialog1.FileName, dir.filePath(c.saved).toStdString());
        if (std::string(c.typed) != c.saved) {
            EXPECT_FALSE(QFile::exists(dir.filePath(c.typed)));
        }
        const std::string saved = Read(dir.filePath(c.saved));
        EXPECT_EQ(saved.rfind(c.rich ? "{\\rtf1" : "Date :  ", 0), 0u) << saved;
    }
    EXPECT_TRUE(p.boxes.History().empty());
}

TEST_F(ReportFileTest, TheFontButtonSetsTheFontOfTheSelection) {
    WriteRunReport();
    EXPECT_TRUE(frm.FontBtn->isHidden());
    QTextCursor cursor(frm.ReportMemo->document());
    cursor.movePosition(QTextCursor::Start);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    frm.ReportMemo->setTextCursor(cursor);

    frm.FontBtn->click(); // cancelled: nothing changes
    EXPECT_EQ(SaveAs("before.rtf").find("Courier"), std::string::npos);

    QFont courier("Courier");
    courier.setPointSize(12);
    p.dialogs.fontAnswers.push_back(courier);
    frm.FontBtn->click();
    const std::string rtf = SaveAs("after.rtf");
    EXPECT_NE(rtf.find("{\\f1\\fnil\\fcharset0 Courier;}"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("\\plain\\f1\\fs24\\cf1 Cable 24 wires straight"), std::string::npos) << rtf;
}
