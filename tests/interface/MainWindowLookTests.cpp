// The main window as the operator reads it: its typeface, captions that fit their controls
// whole, drop-down lists whose open list shows the longest item, and its frame.

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QImage>
#include <QPainter>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTextEdit>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "interface/ColorLabel.h"
#include "interface/Fonts.h"
#include "interface/HeadingLabel.h"
#include "interface/Main.h"
#include "tests/support/FakeFtdi.h"
#include "tests/support/TestServices.h"

using namespace testing_support;

namespace {

const char* const DefaultHeading = "------------------- Tests to perform -------------------";
const char* const NodeRangeHeading = "------- Node range -------  --- Tests to perform ---";

// Dashes at the start and at the end of a caption.
std::pair<int, int> OuterDashes(const QString& text) {
    int left = 0;
    while (left < text.size() && text[left] == '-') ++left;
    int right = 0;
    while (right < text.size() - left && text[text.size() - 1 - right] == '-') ++right;
    return {left, right};
}

// What fitting did to a caption: the words kept whole, the dashes dropped evenly from both
// ends (one end may run out first), and the result within the width.
void ExpectFittedEvenly(const QString& caption, const QString& shown, const QFontMetrics& metrics,
                        int width) {
    const auto [left, right] = OuterDashes(caption);
    const auto [keptLeft, keptRight] = OuterDashes(shown);
    const QString words = caption.mid(left, caption.size() - left - right).trimmed();
    EXPECT_TRUE(shown.contains(words)) << shown.toStdString();
    const int droppedLeft = left - keptLeft;
    const int droppedRight = right - keptRight;
    if (keptLeft > 0 && keptRight > 0) {
        EXPECT_EQ(droppedLeft, droppedRight);
    } else if (keptLeft > 0) {
        EXPECT_GE(droppedLeft, droppedRight);
    } else if (keptRight > 0) {
        EXPECT_GE(droppedRight, droppedLeft);
    }
    EXPECT_LE(metrics.horizontalAdvance(shown), width) << shown.toStdString();
}

TEST(HeadingLabelTest, DropsOuterDashesEvenlyUntilTheWordsFit) {
    const QFontMetrics metrics(fonts::DesignFont(fonts::Face::Tahoma, 11));
    const int dash = metrics.horizontalAdvance('-');
    struct Case {
        const char* caption;
        int width;   // 0: the caption's own width
        int dropped; // dashes expected gone from the longer end
    };
    const QString node = NodeRangeHeading;
    const int nodeWidth = metrics.horizontalAdvance(node);
    const std::vector<Case> cases = {
        {DefaultHeading, 0, 0},
        {DefaultHeading, metrics.horizontalAdvance(DefaultHeading) - 1, 1},
        {DefaultHeading, metrics.horizontalAdvance(DefaultHeading) - 2 * dash, 1},
        {DefaultHeading, metrics.horizontalAdvance(DefaultHeading) - 2 * dash - 1, 2},
        // Three dashes at the end run out first; the rest come from the start.
        {NodeRangeHeading, nodeWidth - 6 * dash, 3},
        {NodeRangeHeading, nodeWidth - 8 * dash, 5},
        {"-- ab --", 1, 2}, // too narrow for the words: they stand alone, never cut
        {"Tests", 1, 0},    // nothing to drop
    };
    for (const Case& c : cases) {
        const QString caption = QString::fromUtf8(c.caption);
        const int width = c.width ? c.width : metrics.horizontalAdvance(caption);
        SCOPED_TRACE(std::string(c.caption) + " in " + std::to_string(width));
        const QString shown = HeadingLabel::FitDashes(caption, metrics, width);
        const auto [left, right] = OuterDashes(caption);
        const auto [keptLeft, keptRight] = OuterDashes(shown);
        EXPECT_EQ(std::max(left - keptLeft, right - keptRight), c.dropped) << shown.toStdString();
        if (metrics.horizontalAdvance(caption.mid(left, caption.size() - left - right)) <= width)
            ExpectFittedEvenly(caption, shown, metrics, width);
        else
            EXPECT_EQ(shown, caption.mid(left, caption.size() - left - right).trimmed());
    }
}

TEST(FontsTest, TheDesignFacesAreFoundByNameAtTheirPixelSize) {
    const QFontInfo tahoma(fonts::DesignFont(fonts::Face::Tahoma, 11));
    EXPECT_EQ(tahoma.family(), QString("Tahoma"));
    EXPECT_EQ(tahoma.pixelSize(), 11);
    // MS Sans Serif is a bitmap face: 11 pixels take its 8-point strike, 13 pixels a line.
    const QFontInfo sansSerif(fonts::DesignFont(fonts::Face::MsSansSerif, 11));
    EXPECT_EQ(sansSerif.family(), QString("MS Sans Serif"));
    EXPECT_EQ(sansSerif.pixelSize(), 13);
    QFont bold = fonts::DesignFont(fonts::Face::Tahoma, 11);
    bold.setBold(true);
    EXPECT_TRUE(QFontInfo(bold).bold());
    EXPECT_EQ(QFontInfo(bold).family(), QString("Tahoma"));
}

TEST(FontsTest, BoldTahomaDrawsHeavierThanRegular) {
    auto ink = [](bool bold) {
        QImage image(200, 20, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setFont(fonts::DesignFont(fonts::Face::Tahoma, 11, bold));
        painter.drawText(2, 15, "Cable 24 wires straight");
        painter.end();
        int dark = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) dark += qGray(image.pixel(x, y)) < 128;
        return dark;
    };
    EXPECT_GT(ink(true), ink(false) * 5 / 4);
}

TEST(FontsTest, MissingFilesAreNamedInOneLineAndLoadingGoesOn) {
    testing::internal::CaptureStderr();
    EXPECT_FALSE(fonts::LoadDesignFonts("/nonexistent/fonts"));
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    for (const char* file : {"tahoma.ttf", "ms_sans_serif.ttf", "/nonexistent"})
        EXPECT_NE(said.find(file), std::string::npos) << said;
    EXPECT_FALSE(QFontInfo(fonts::DesignFont(fonts::Face::Tahoma, 11)).family().isEmpty());
}

// The window with the sample tests of the project in its list.
class MainWindowLookTest : public ::testing::Test {
protected:
    TestPlatform p;
    FakeFtdi ftdi{p.clock};
    platform::Services services = ServicesOf(p, ftdi);
    std::unique_ptr<TMainFrm> frm;

    void SetUp() override {
        p.process.programFolder = SAMPLE_PROGRAM_FOLDER "/";
        frm = std::make_unique<TMainFrm>(services);
    }

    void Pick(const QString& name) {
        const int index = frm->CableLst->findText(name);
        ASSERT_GE(index, 0) << name.toStdString();
        frm->CableLst->setCurrentIndex(index);
        emit frm->CableLst->activated(index);
    }

    // Where a drop-down list shows its current item: the box without its arrow.
    static QRect TextField(QComboBox* list) {
        QStyleOptionComboBox option;
        option.initFrom(list);
        option.editable = list->isEditable();
        return list->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                             QStyle::SC_ComboBoxEditField, list);
    }
};

TEST_F(MainWindowLookTest, DrawsInTahomaElevenPixelsReportIncluded) {
    const QFontInfo window(frm->font());
    EXPECT_EQ(window.family(), QString("Tahoma"));
    EXPECT_EQ(window.pixelSize(), 11);
    for (QWidget* control : std::initializer_list<QWidget*>{
             frm->LabelTests, frm->CableLst, frm->AdvSettingsBtn, frm->StaticTextStatus})
        EXPECT_EQ(QFontInfo(control->font()).family(), QString("Tahoma"))
            << control->objectName().toStdString();
    // The report too, as a control of the window; the diagrams and charts draw in its face.
    EXPECT_EQ(QFontInfo(frm->ReportMemo->font()).family(), QString("Tahoma"));
    EXPECT_EQ(QFontInfo(frm->ReportMemo->font()).pixelSize(), 11);
    EXPECT_EQ(frm->PrintMemo->font(), frm->ReportMemo->font());
}

TEST_F(MainWindowLookTest, TestsHeadingShowsItsWordsWholeForEitherCaption) {
    auto* heading = dynamic_cast<HeadingLabel*>(frm->LabelTests);
    ASSERT_NE(heading, nullptr);
    struct Case {
        const char* test;
        const char* caption;
    };
    const Case cases[] = {
        {"Brevant switching unit 48 channels", NodeRangeHeading},
        {"Cable 24 wires straight", DefaultHeading},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.test);
        Pick(c.test);
        // The caption stays as the loader gave it; only the drawing drops dashes.
        EXPECT_EQ(heading->text(), QString(c.caption));
        ExpectFittedEvenly(c.caption, heading->ShownText(), heading->fontMetrics(),
                           heading->contentsRect().width());
        EXPECT_TRUE(heading->ShownText().startsWith('-') && heading->ShownText().endsWith('-'))
            << "the group leaves room for dashes at both ends";
    }
}

TEST_F(MainWindowLookTest, CaptionsOfTheGroupsFitTheirControls) {
    // Buttons and check boxes: the size the style asks for their caption.
    struct Case {
        QWidget* control;
        std::vector<const char*> captions;
    };
    const std::vector<Case> buttons = {
        {frm->AdvSettingsBtn, {"Advanced settings"}},
        {frm->StartBtn, {" Start test  ", " Start tests", " Stop test  ", " Stop tests"}},
        {frm->PowerBtn, {" Connect ", " Disconnect "}},
        {frm->CheckBoxTOs, {"T/Os"}},
        {frm->CheckBoxCont, {"Continuity"}},
        {frm->CheckBoxIso, {"Isolation"}},
        {frm->CheckBoxRelays, {"Relays"}},
        {frm->CheckBoxAutomatic, {"Automatic"}},
    };
    for (const Case& c : buttons) {
        auto* button = qobject_cast<QAbstractButton*>(c.control);
        ASSERT_NE(button, nullptr);
        for (const char* caption : c.captions) {
            button->setText(caption);
            EXPECT_LE(button->sizeHint().width(), button->width())
                << button->objectName().toStdString() << " \"" << caption << "\"";
        }
    }
    // Labels: the text within the label.
    const std::vector<Case> labels = {
        {frm->Label11, {"  Box version:"}},
        {frm->Label15, {"  Status:"}},
        {frm->Label12, {"  12 V power:"}},
        {frm->Label1, {"  5 V power:"}},
        {frm->Label13, {"  Switch Nb:"}},
        {frm->StaticTextStatus, {"OFF", "Connecting...", "Connected"}},
        {frm->StaticTextBatt, {"12.000 V"}},
        {frm->StaticTextSwNb, {"96+96"}},
        {frm->StaticTextSelectATestToRun, {"-------- Please select an item --------"}},
    };
    for (const Case& c : labels) {
        auto* label = qobject_cast<QLabel*>(c.control);
        ASSERT_NE(label, nullptr);
        for (const char* caption : c.captions) {
            label->setText(caption);
            EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()),
                      label->contentsRect().width())
                << label->objectName().toStdString() << " \"" << caption << "\"";
        }
    }
    // The banner lies on the list's text field, clear of its arrow.
    const QRect field = TextField(frm->CableLst).translated(frm->CableLst->pos());
    EXPECT_TRUE(field.contains(frm->StaticTextSelectATestToRun->geometry()))
        << field.x() << "," << field.y() << " " << field.width() << "x" << field.height();
}

TEST_F(MainWindowLookTest, EverySampleNameReadsWholeInTheListBox) {
    QComboBox* list = frm->CableLst;
    ASSERT_GT(list->count(), 5);
    const int room = TextField(list).width();
    for (int i = 0; i < list->count(); ++i)
        EXPECT_LE(list->fontMetrics().horizontalAdvance(list->itemText(i)), room)
            << list->itemText(i).toStdString();
}

// The open list fits its widest item, also after the items change, with or without a scroll
// bar: a test name longer than its box reads whole there. The desktop's own style may widen
// the list by itself; the classic one does not, so the window does it.
class OpenListTest : public MainWindowLookTest {
protected:
    QString savedStyle = QApplication::style()->name();
    void SetUp() override {
        QApplication::setStyle("Windows");
        MainWindowLookTest::SetUp();
    }
    void TearDown() override { QApplication::setStyle(savedStyle); }

    static void ExpectWhole(QComboBox* list) {
        list->showPopup();
        QAbstractItemView* view = list->view();
        ASSERT_TRUE(view->isVisible());
        for (int i = 0; i < list->count(); ++i) {
            const QModelIndex index = view->model()->index(i, 0);
            EXPECT_GE(view->viewport()->width(), view->sizeHintForIndex(index).width())
                << list->itemText(i).toStdString();
        }
        list->hidePopup();
    }
};

TEST_F(OpenListTest, IsAsWideAsItsWidestItem) {
    Pick("Brevant switching unit 48 channels"); // fills the node ranges
    const char* const longName =
        "Cable 96 pins harness with take-outs, both plugs reversed, revision B";
    for (QComboBox* list : {frm->CableLst, frm->NodeRangeLst}) {
        SCOPED_TRACE(list->objectName().toStdString() + " of " + std::to_string(list->count()));
        list->addItem(longName);
        ASSERT_GT(list->fontMetrics().horizontalAdvance(longName), list->width());
        ExpectWhole(list);
        list->setItemText(0, QString(longName) + ", left-hand rack of the second bench");
        ExpectWhole(list);
    }
    EXPECT_GT(frm->NodeRangeLst->count(), frm->NodeRangeLst->maxVisibleItems())
        << "one list with a scroll bar";
}

TEST_F(MainWindowLookTest, FrameHasMinimiseAndCloseButNoMaximise) {
    const Qt::WindowFlags flags = frm->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    // Without the customize hint the platform would add the maximise button back.
    EXPECT_TRUE(flags & Qt::CustomizeWindowHint);
    EXPECT_EQ(frm->windowTitle(), QString("Calbrix"));
}

} // namespace
