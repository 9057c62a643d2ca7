// The About box with its version texts, picture, links and animated icon; the help window and
// the guide shipped beside the program; the category results window.

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QTextEdit>
#include <QToolButton>

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "interface/About.h"
#include "interface/CategoryResults.h"
#include "interface/Main.h"
#include "interface/Pictures.h"
#include "interface/ProductPicture.h"
#include "interface/VersionInfo.h"
#include "tests/support/FakeFtdi.h"
#include "tests/support/TestServices.h"

using namespace testing_support;

namespace {

class WindowTest : public ::testing::Test {
protected:
    TestPlatform p;
    FakeFtdi ftdi{p.clock};
    platform::Services services = ServicesOf(p, ftdi);
    TMainFrm frm{services};

    void SetUp() override { QApplication::setApplicationDisplayName("Calbrix"); }
    void TearDown() override {
        frm.CloseAllHelp();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // One tick of the main window's timer.
    void MainTick() {
        p.clock.AdvanceTo(p.timers.NextDueMicros());
        p.events.ProcessMessages();
    }

    static QWidget* HelpWindow() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == "HelpWindow" && w->isVisible()) return w;
        return nullptr;
    }
};

// --- version texts --------------------------------------------------------------------------

TEST(VersionInfo, VersionTextDropsTheBuild) {
    EXPECT_EQ(VersionText({1, 2, 0, 0}), "V01.02.00");
    EXPECT_EQ(VersionText({10, 3, 7, 1234}), "V10.03.07");
    EXPECT_EQ(VersionText({0, 0, 0, 0}), "V00.00.00");
    EXPECT_EQ(VersionText({123, 45, 6, 0}), "V123.45.06"); // wider parts are not cut
}

TEST(VersionInfo, CommentsFollowTheTranslationList) {
    VersionBlock block;
    EXPECT_TRUE(VersionComments(block).empty()); // no translation, no line

    block.Translations = {{0x0409, 0x04E4}};
    EXPECT_TRUE(VersionComments(block).empty()); // a translation without comments

    block.Strings["\\StringFileInfo\\040904E4\\Comments"] = "";
    EXPECT_EQ(VersionComments(block), std::vector<std::string>{""}); // one empty line

    // Keys are the pair in upper-case hexadecimal; the list's order is kept.
    block.Translations = {{0x040C, 0x04E4}, {0x0409, 0x04E4}, {0x0407, 0x04B0}};
    block.Strings["\\StringFileInfo\\040c04e4\\Comments"] = "lower case: not found";
    block.Strings["\\StringFileInfo\\040C04E4\\Comments"] = "premier";
    block.Strings["\\StringFileInfo\\040704B0\\Comments"] = "dritter";
    EXPECT_EQ(VersionComments(block), (std::vector<std::string>{"premier", "", "dritter"}));
}

TEST(VersionInfo, TheProgramsVersionIsTheProjects) {
    const FileVersion& v = ProgramVersion().Fixed;
    const std::string full = std::to_string(v.Major) + "." + std::to_string(v.Minor) + "." +
                             std::to_string(v.Release) + "." + std::to_string(v.Build);
    EXPECT_EQ(full, PROJECT_VERSION_TEXT);
    EXPECT_EQ(VersionComments(ProgramVersion()), std::vector<std::string>{""});
}

// --- the product picture ----------------------------------------------------------------------

uint32_t BigEndian(const unsigned char* b) {
    return uint32_t{b[0]} << 24 | uint32_t{b[1]} << 16 | uint32_t{b[2]} << 8 | b[3];
}

TEST(ProductPicture, EmbeddedPngIsWholeAndDecodes) {
    // Walk the chunks with their CRCs and inflate the image data through zlib: a damaged or
    // cut embedding shows here, whatever a reader would make of it.
    const auto bytes = ProductPictureBytes();
    const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    ASSERT_GE(bytes.size(), 8u);
    ASSERT_EQ(std::memcmp(bytes.data(), signature, 8), 0);
    size_t at = 8;
    uint32_t width = 0, height = 0;
    int bitDepth = 0, colourType = -1;
    std::vector<unsigned char> compressed;
    bool ended = false;
    while (!ended) {
        ASSERT_LE(at + 12, bytes.size());
        const uint32_t length = BigEndian(&bytes[at]);
        ASSERT_LE(at + 12 + length, bytes.size());
        const unsigned char* type = &bytes[at + 4];
        const unsigned char* data = &bytes[at + 8];
        EXPECT_EQ(crc32(crc32(0, nullptr, 0), type, 4 + length), BigEndian(data + length))
            << std::string(reinterpret_cast<const char*>(type), 4);
        if (std::memcmp(type, "IHDR", 4) == 0) {
            width = BigEndian(data);
            height = BigEndian(data + 4);
            bitDepth = data[8];
            colourType = data[9];
        } else if (std::memcmp(type, "IDAT", 4) == 0) {
            compressed.insert(compressed.end(), data, data + length);
        }
        ended = std::memcmp(type, "IEND", 4) == 0;
        at += 12 + length;
    }
    EXPECT_EQ(at, bytes.size());
    EXPECT_EQ(width, 135u);
    EXPECT_EQ(height, 150u);
    ASSERT_EQ(bitDepth, 8);
    const int channels = colourType == 6 ? 4 : colourType == 2 ? 3 : colourType == 4 ? 2 : 1;
    // Each row: a filter byte, then its pixels.
    std::vector<unsigned char> raw(height * (1 + width * channels) + 1);
    uLongf rawSize = raw.size();
    ASSERT_EQ(uncompress(raw.data(), &rawSize, compressed.data(), compressed.size()), Z_OK);
    EXPECT_EQ(rawSize, height * (1 + width * channels));
}

// --- the About box ----------------------------------------------------------------------------

TEST_F(WindowTest, AboutBoxTwice) {
    std::vector<QPointer<TAboutBoxFrm>> boxes;
    p.dialogs.OnShow = [&](QDialog& dialog) {
        auto* box = dynamic_cast<TAboutBoxFrm*>(&dialog);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(frm.AboutBox, box);
        boxes.emplace_back(box);

        EXPECT_EQ(box->windowTitle().toStdString(), "About");
        EXPECT_EQ(box->size(), QSize(506, 295));
        EXPECT_EQ(box->ProductName->text().toStdString(), "Calbrix");
        EXPECT_EQ(box->Version->text().toStdString(), VersionText(ProgramVersion().Fixed));
        EXPECT_EQ(box->LabelMaker->text().toStdString(), about::MakerLine);
        EXPECT_EQ(box->ProgramIcon->pixmap().size(), QSize(135, 150));
        EXPECT_EQ(box->ProgramIcon->size(), QSize(135, 150));
        EXPECT_EQ(box->Image1->pixmap().size(), QSize(32, 32));
        // The contact lines, then the version block's empty comments as one empty line.
        std::vector<std::string> lines;
        for (const QString& line : box->Memo1->toPlainText().split('\n'))
            lines.push_back(line.toStdString());
        std::vector<std::string> expected(std::begin(about::ContactLines),
                                          std::end(about::ContactLines));
        expected.push_back("");
        EXPECT_EQ(lines, expected);
        EXPECT_TRUE(box->Memo1->isReadOnly());

        box->BitBtn1->click();
        EXPECT_FALSE(box->isVisible());
    };
    frm.AboutButton->click();
    EXPECT_EQ(frm.AboutBox, nullptr);
    frm.AboutButton->click();
    EXPECT_EQ(frm.AboutBox, nullptr);

    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(p.dialogs.shown, (std::vector<std::string>{"AboutBoxFrm", "AboutBoxFrm"}));
    // Released as soon as each closed.
    EXPECT_TRUE(boxes[0].isNull());
    EXPECT_TRUE(boxes[1].isNull());
}

TEST_F(WindowTest, AboutLinksOpenThroughTheShell) {
    p.dialogs.OnShow = [&](QDialog& dialog) {
        auto& box = dynamic_cast<TAboutBoxFrm&>(dialog);
        box.Label3Click();
        box.Label4Click();
        box.Label4->setText("http://elsewhere.example/page");
        box.Label4Click();
        box.Label4->setText("");
        box.Label4Click();
    };
    frm.AboutButton->click();
    EXPECT_EQ(p.process.links,
              (std::vector<std::string>{std::string("mailto:") + about::SupportMail,
                                        about::WebAddress, "http://elsewhere.example/page", ""}));
}

TEST_F(WindowTest, TheTimerAnimatesTheIconOfTheOpenAboutBox) {
    MainTick();
    MainTick();
    p.dialogs.OnShow = [&](QDialog& dialog) {
        auto& box = dynamic_cast<TAboutBoxFrm&>(dialog);
        // Created with the icon the window shows now.
        EXPECT_EQ(box.Image1->pixmap().toImage(), frm.windowIcon().pixmap(32, 32).toImage());
        for (int tick = 0; tick < 3; ++tick) {
            MainTick();
            EXPECT_EQ(box.Image1->pixmap().toImage(), AnimationFrame(frm.Timer1Tag).toImage())
                << "tag " << frm.Timer1Tag;
        }
        EXPECT_EQ(frm.Timer1Tag, 5);
    };
    frm.AboutButton->click();
    MainTick(); // and nothing to animate once it is gone
}

// --- help -----------------------------------------------------------------------------------

TEST_F(WindowTest, HelpOpensAtItsContentsAndClosesAtExit) {
    p.process.programFolder = PROGRAM_DIR;
    frm.HelpButton->click();
    QWidget* window = HelpWindow();
    ASSERT_NE(window, nullptr);
    auto* browser = window->findChild<QTextBrowser*>("HelpBrowser");
    ASSERT_NE(browser, nullptr);
    EXPECT_TRUE(browser->source().toLocalFile().endsWith("/Help/index.html"));
    EXPECT_EQ(browser->documentTitle().toStdString(), "Contents");

    // Reading on, then asking for help again: the same window, back at its contents.
    browser->setSource(QUrl("run.html"));
    EXPECT_EQ(browser->documentTitle().toStdString(), "Running the test");
    frm.ShowHelp();
    EXPECT_EQ(HelpWindow(), window);
    EXPECT_EQ(browser->documentTitle().toStdString(), "Contents");

    frm.CloseAllHelp();
    EXPECT_EQ(HelpWindow(), nullptr);
    frm.CloseAllHelp(); // nothing left to close
}

TEST_F(WindowTest, WithoutItsGuideHelpShowsNothing) {
    p.process.programFolder = "/nonexistent/calbrix/";
    frm.ShowHelp();
    EXPECT_EQ(HelpWindow(), nullptr);
    EXPECT_TRUE(p.boxes.History().empty());
}

TEST(HelpGuide, EveryPageIsReachableAndEveryLinkLeadsToAPage) {
    const QDir folder(HELP_SOURCE_DIR);
    const QStringList pages = folder.entryList({"*.html"}, QDir::Files);
    ASSERT_TRUE(pages.contains("index.html"));
    const QRegularExpression href(R"(href="([^"#]*)[^"]*")");
    std::set<std::string> reached{"index.html"};
    std::vector<std::string> queue{"index.html"};
    while (!queue.empty()) {
        const std::string page = queue.back();
        queue.pop_back();
        QFile file(folder.filePath(QString::fromStdString(page)));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << page;
        const QString text = QString::fromUtf8(file.readAll());
        EXPECT_TRUE(text.contains("<title>")) << page;
        for (auto it = href.globalMatch(text); it.hasNext();) {
            const QString target = it.next().captured(1);
            if (target.isEmpty()) continue;
            EXPECT_TRUE(pages.contains(target)) << page << " links to " << target.toStdString();
            if (pages.contains(target) && reached.insert(target.toStdString()).second)
                queue.push_back(target.toStdString());
        }
    }
    for (const QString& page : pages)
        EXPECT_TRUE(reached.count(page.toStdString())) << page.toStdString() << " is not linked";
}

// --- category results -------------------------------------------------------------------------

TEST_F(WindowTest, CategoryResultsKeepTheirWidthAndTakeNoTyping) {
    auto* window = new TCategoryResultsFrm(frm);
    window->setWindowTitle("10 - 20 Ω");
    window->ResultsMemo->setPlainText("Connection between  PlugA.  1-A");
    p.dialogs.OnShow = [&](QDialog&) {
        EXPECT_EQ(window->size(), QSize(404, 356));
        EXPECT_EQ(window->ResultsMemo->geometry(), window->rect());
        window->resize(600, 500);
        EXPECT_EQ(window->size(), QSize(404, 500));
        for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_A}) {
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, key == Qt::Key_A ? "a" : "\r");
            QCoreApplication::sendEvent(window->ResultsMemo, &press);
        }
        EXPECT_EQ(window->ResultsMemo->toPlainText().toStdString(),
                  "Connection between  PlugA.  1-A");
        EXPECT_EQ(window->ResultsMemo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    };
    p.dialogs.ShowModal(*window);
    EXPECT_EQ(window->parent(), &frm); // kept by the main window
}

} // namespace
