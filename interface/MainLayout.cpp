// The controls of the main window, their captions, sizes and start states.

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QToolButton>

#include "definitions/DataFolders.h"
#include "interface/ColorLabel.h"
#include "interface/Fonts.h"
#include "interface/HeadingLabel.h"
#include "interface/Main.h"
#include "interface/Pictures.h"
#include "interface/SettingsPanel.h"
#include "interface/widgets/ImageControl.h"
#include "interface/widgets/StatusPanel.h"
#include "interface/widgets/TrackBar.h"

namespace {

template <class W> W* Named(W* widget, const char* name, int x, int y, int w, int h) {
    widget->setObjectName(name);
    widget->setGeometry(x, y, w, h);
    return widget;
}

ImageControl* Image(QWidget* parent, const char* name, int x, int y, int w, int h) {
    auto* image = Named(new ImageControl(parent), name, x, y, w, h);
    image->SetImageSize(w, h);
    auto& canvas = image->GetCanvas();
    canvas.Pen.Color = platform::clBtnFace;
    canvas.Brush.SetColor(platform::clBtnFace);
    canvas.Rectangle(0, 0, w, h);
    return image;
}

QFrame* Panel(QWidget* parent, const char* name, int x, int y, int w, int h) {
    auto* panel = Named(new QFrame(parent), name, x, y, w, h);
    panel->setFrameShape(QFrame::StyledPanel);
    return panel;
}

// The open list of a drop-down list is as wide as its widest item, wider than the box when it
// must be, so long test names read whole; it follows the items as they change.
void WidenOpenList(QComboBox* list) {
    auto fit = [list] {
        QAbstractItemView* view = list->view();
        int width = view->sizeHintForColumn(0) + 2 * view->frameWidth();
        if (list->count() > list->maxVisibleItems())
            width += view->verticalScrollBar()->sizeHint().width();
        view->setMinimumWidth(std::max(width, 0));
    };
    const QAbstractItemModel* model = list->model();
    QObject::connect(model, &QAbstractItemModel::rowsInserted, list, fit);
    QObject::connect(model, &QAbstractItemModel::rowsRemoved, list, fit);
    QObject::connect(model, &QAbstractItemModel::modelReset, list, fit);
    QObject::connect(model, &QAbstractItemModel::dataChanged, list, fit);
    fit();
}

// The test panel's own height, and what the simulated hand's hint adds below its buttons.
constexpr int PanelTestContHeight = 136;
constexpr int PanelTestContHintHeight = 28;
constexpr const char* SimulatedHandHint =
    "Simulated bench: its hand probes each end by itself, no need to click Skip.";

struct ChartPage {
    const char* sheet;
    const char* caption; // UTF-8
    const char* hint;
    const char* chart;
    ImageControl* TMainFrm::*image;
};

const ChartPage ChartPages[4] = {
    {"TabSheet1", "Take-outs (\u03A9) :", "Plugs test : results distribution (lower is better)",
     "ImageDistribTOs", &TMainFrm::ImageDistribTOs},
    {"TabSheet2",
     "Continuity (\u03A9) :", "Continuity test : results distribution (lower is better)",
     "ImageDistribCont", &TMainFrm::ImageDistribCont},
    {"TabSheet3",
     "Isolation (\u03A9) :", "Isolation test : results distribution (higher is better)",
     "ImageDistribIso", &TMainFrm::ImageDistribIso},
    {"TabSheet4", "Relays (\u03A9) :", "Relays test : results distribution (lower is better)",
     "ImageDistribRelays", &TMainFrm::ImageDistribRelays},
};

} // namespace

void TMainFrm::CreateControls() {
    auto* central = new QWidget(this);
    central->setObjectName("ClientArea");
    central->setFixedSize(1004, 680);
    setCentralWidget(central);
    setWindowTitle("Calbrix");
    // A fixed-size window: minimise and close, no maximise.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFont(fonts::DesignFont(fonts::Face::Tahoma, 11));

    // --- the box group ----------------------------------------------------------------------
    GroupBox4 = Named(new QGroupBox(" Calbrix box ", central), "GroupBox4", 6, 2, 175, 190);
    const int rowY = 18;
    auto caption = [&](auto* label, const char* name, int row) {
        return Named(label, name, 4, rowY + 17 * row, 82, 15);
    };
    auto value = [&](const char* name, const char* text, int row) {
        return Named(new ColorLabel(text, GroupBox4), name, 86, rowY + 17 * row, 84, 15);
    };
    Label11 = caption(new QLabel("  Box version:", GroupBox4), "Label11", 0);
    StaticTextVersion = value("StaticTextVersion", "-", 0);
    Label15 = caption(new QLabel("  Status:", GroupBox4), "Label15", 1);
    StaticTextStatus = value("StaticTextStatus", "OFF", 1);
    StaticTextStatus->SetTextColour(platform::clMaroon);
    Label12 = caption(new ColorLabel("  12 V power:", GroupBox4), "Label12", 2);
    StaticTextBatt = value("StaticTextBatt", "-", 2);
    Label1 = caption(new ColorLabel("  5 V power:", GroupBox4), "Label1", 3);
    StaticText5V = value("StaticText5V", "-", 3);
    Label13 = caption(new ColorLabel("  Switch Nb:", GroupBox4), "Label13", 4);
    StaticTextSwNb = value("StaticTextSwNb", "-", 4);
    ImageMes = Image(GroupBox4, "ImageMes", 21, 106, 133, 37);
    PowerBtn = Named(new QPushButton(" Connect ", GroupBox4), "PowerBtn", 25, 150, 125, 30);
    // Beside the group's caption, over its frame as the caption is: always in sight, and no
    // caption of the group moves. Shown only on a simulated bench.
    LabelSimulatedBench =
        Named(new ColorLabel("Simulated bench", GroupBox4), "LabelSimulatedBench", 80, 0, 90, 15);
    LabelSimulatedBench->setAlignment(Qt::AlignCenter);
    LabelSimulatedBench->setAutoFillBackground(true);
    LabelSimulatedBench->SetColours(platform::clBtnFace, platform::clRed);
    LabelSimulatedBench->SetBold(true);
    LabelSimulatedBench->setToolTip(
        "No Calbrix box: the program runs on its simulated bench and no cable is tested");
    LabelSimulatedBench->setVisible(SimulatedBench());

    // --- the settings group -----------------------------------------------------------------
    // The settings group is the wider of the two: its list, banner and heading hold the
    // longest texts of the window.
    GroupBox1 = Named(new QGroupBox(" Settings ", central), "GroupBox1", 185, 2, 235, 190);
    CableLst = Named(new QComboBox(GroupBox1), "CableLst", 8, 18, 219, 22);
    StaticTextSelectATestToRun =
        Named(new ColorLabel("-------- Please select an item --------", GroupBox1),
              "StaticTextSelectATestToRun", 12, 21, 192, 16);
    StaticTextSelectATestToRun->SetColours(platform::clWindow, platform::clWindowText);
    StaticTextSelectATestToRun->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    LabelTests = Named(
        new HeadingLabel("------------------- Tests to perform -------------------", GroupBox1),
        "LabelTests", 4, 46, 227, 16);
    LabelTests->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    CheckBoxTOs = Named(new QCheckBox("T/Os", GroupBox1), "CheckBoxTOs", 16, 64, 100, 18);
    CheckBoxTOs->setToolTip("Take-outs");
    CheckBoxCont = Named(new QCheckBox("Continuity", GroupBox1), "CheckBoxCont", 124, 64, 103, 18);
    CheckBoxIso = Named(new QCheckBox("Isolation", GroupBox1), "CheckBoxIso", 16, 84, 100, 18);
    CheckBoxRelays = Named(new QCheckBox("Relays", GroupBox1), "CheckBoxRelays", 124, 84, 103, 18);
    for (QCheckBox* box : {CheckBoxTOs, CheckBoxCont, CheckBoxIso, CheckBoxRelays})
        box->setEnabled(false);
    StaticTextIsolationCB =
        Named(new ColorLabel("", GroupBox1), "StaticTextIsolationCB", 34, 85, 62, 16);
    StaticTextIsolationCB->hide();
    NodeRangeLst = Named(new QComboBox(GroupBox1), "NodeRangeLst", 8, 106, 219, 22);
    // The first node of each window of 24: what a brevant unit without a size in its name
    // offers until a name with a size fills the list. None is chosen.
    for (const char* item : {"1", "25", "49", "73", "97", "121", "145", "169", "193"})
        NodeRangeLst->addItem(item);
    NodeRangeLst->setCurrentIndex(-1);
    NodeRangeLst->hide();
    CheckBoxAutomatic =
        Named(new QCheckBox("Automatic", GroupBox1), "CheckBoxAutomatic", 8, 134, 90, 18);
    CheckBoxAutomatic->setChecked(true);
    AdvSettingsBtn =
        Named(new QPushButton("Advanced settings", GroupBox1), "AdvSettingsBtn", 112, 131, 115, 24);
    AdvSettingsBtn->setCheckable(true);
    AdvSettingsBtn->setEnabled(false);
    StartBtn = Named(new QPushButton(StartCaption(0), GroupBox1), "StartBtn", 8, 158, 219, 28);
    StartBtn->setEnabled(false);

    // --- the report and the charts ----------------------------------------------------------
    Label4 = Named(new QLabel("Report :", central), "Label4", 8, 198, 60, 16);
    ToolBar1 = Named(new QWidget(central), "ToolBar1", 296, 194, 124, 22);
    const struct {
        QToolButton** button;
        const char* name;
        int glyph;
        const char* hint;
        bool hidden;
    } tools[] = {
        {&PrintButton, "PrintButton", 0, "Print report", false},
        {&FontBtn, "FontBtn", 1, "Font", true}, // created hidden; nothing shows it
        {&SaveBtn, "SaveBtn", 2, "Save report", false},
        {&HelpButton, "HelpButton", 3, "Help", false},
        {&AboutButton, "AboutButton", 6, "About", false},
    };
    // A hidden button takes no place on the bar.
    int toolX = 0;
    for (const auto& tool : tools) {
        auto* button = Named(new QToolButton(ToolBar1), tool.name, toolX, 0, 24, 22);
        button->setIcon(QIcon(ButtonGlyph(tool.glyph)));
        button->setToolTip(tool.hint);
        button->setVisible(!tool.hidden);
        *tool.button = button;
        if (!tool.hidden) toolX += 25;
    }
    // The report takes the window's face, as the window's controls do; the diagrams and charts
    // draw in the report's face.
    const QFont reportFont = fonts::DesignFont(fonts::Face::Tahoma, 11);
    ReportMemo = Named(new QTextEdit(central), "ReportMemo", 6, 216, 414, 309);
    ReportMemo->setFont(reportFont);
    ReportMemo->setReadOnly(true);
    ReportMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ReportMemo->setLineWrapMode(QTextEdit::NoWrap);
    // Tab stops every half inch, as rich-text controls have them: the report's columns of pins
    // and values then fit the report's width.
    ReportMemo->setTabStopDistance(ReportTabStop);
    PrintMemo = Named(new QTextEdit(central), "PrintMemo", 6, 216, 414, 309);
    PrintMemo->setFont(reportFont);
    PrintMemo->setTabStopDistance(ReportTabStop);
    PrintMemo->hide();

    // The pages start with their tabs hidden; each part shows its own.
    DistribPageCtrl = Named(new QTabWidget(central), "DistribPageCtrl", 7, 528, 412, 128);
    for (size_t i = 0; i < 4; ++i) {
        const ChartPage& page = ChartPages[i];
        auto* sheet = new QWidget;
        sheet->setObjectName(page.sheet);
        sheet->setToolTip(page.hint);
        this->*page.image = Image(sheet, page.chart, 2, 2, 403, 100);
        const int tab = DistribPageCtrl->addTab(sheet, QString::fromUtf8(page.caption));
        DistribPageCtrl->setTabToolTip(tab, page.hint);
        DistribPageCtrl->setTabVisible(tab, false);
        TabSheets[i] = sheet;
    }

    // --- the advanced settings, in place of the report and charts ---------------------------
    AdvSettingsGroupBox = Named(new QGroupBox(" Advanced settings ", central),
                                "AdvSettingsGroupBox", 6, 196, 414, 460);
    AdvSettingsGroupBox->hide();
    // The group's top edge runs under the tool bar, which stays in use while the group is
    // open: the bar lies over the group, not the group over the bar's buttons.
    ToolBar1->raise();
    TestModePanel = Panel(AdvSettingsGroupBox, "TestModePanel", 8, 20, 398, 80);
    TestModeLabel = Named(new QLabel("Test mode (Plugs, T/Os, Continuity) :", TestModePanel),
                          "TestModeLabel", 8, 6, 380, 16);
    RadioButtonSingle = Named(new QRadioButton("Single (default)", TestModePanel),
                              "RadioButtonSingle", 24, 28, 200, 18);
    RadioButtonSingle->setChecked(true);
    RadioButtonRepetitive = Named(new QRadioButton("Repetitive", TestModePanel),
                                  "RadioButtonRepetitive", 24, 50, 200, 18);
    RadioButtonRepetitive->setToolTip("Recommended in case of suspected cable");

    TimePanel = Panel(AdvSettingsGroupBox, "TimePanel", 8, 108, 398, 60);
    TimeLabel = Named(new QLabel("Isolation measure time :", TimePanel), "TimeLabel", 8, 6, 380, 16);
    TimeLst = Named(new QComboBox(TimePanel), "TimeLst", 8, 28, 380, 22);
    for (const auto& choice : settings::TimeChoices)
        TimeLst->addItem(QString::fromUtf8(choice.Item));

    ThresholdPanel = Panel(AdvSettingsGroupBox, "ThresholdPanel", 8, 176, 398, 60);
    ThresholdLabel = Named(new QLabel("Isolation threshold :", ThresholdPanel), "ThresholdLabel",
                           8, 6, 380, 16);
    ThresholdLst = Named(new QComboBox(ThresholdPanel), "ThresholdLst", 8, 28, 380, 22);
    for (const auto& choice : settings::ThresholdChoices)
        ThresholdLst->addItem(QString::fromUtf8(choice.Item));

    HTVoltagePanel = Panel(AdvSettingsGroupBox, "HTVoltagePanel", 8, 244, 398, 80);
    HTVoltageLabel = Named(new QLabel("Isolation test voltage (V) :", HTVoltagePanel),
                           "HTVoltageLabel", 8, 6, 380, 16);
    EditHT = Named(new QLineEdit("800", HTVoltagePanel), "EditHT", 8, 32, 60, 22);
    TrackBarHT = Named(new TrackBar(HTVoltagePanel), "TrackBarHT", 80, 24, 310, 40);
    TrackBarHT->SetRange(40, 80);
    TrackBarHT->SetPageSize(5);
    TrackBarHT->SetSelStart(40);
    TrackBarHT->SetSelEnd(80);
    TrackBarHT->SetPosition(80);
    for (QFrame* panel : {TestModePanel, TimePanel, ThresholdPanel, HTVoltagePanel})
        EnablePanel(panel, false);
    for (QComboBox* list : {CableLst, NodeRangeLst, TimeLst, ThresholdLst}) WidenOpenList(list);

    // --- the wiring diagrams ----------------------------------------------------------------
    auto diagram = [&](QFrame*& bevel, ImageControl*& image, QLabel*& caption, const char* bevelName,
                       const char* imageName, const char* captionName, const char* captionText,
                       int x) {
        caption = Named(new QLabel(captionText, central), captionName, x + 50, 4, 182, 16);
        caption->setAlignment(Qt::AlignCenter);
        auto* a = new QLabel("A plug", central);
        a->setGeometry(x + 2, 4, 48, 16);
        auto* b = new QLabel("B plug", central);
        b->setGeometry(x + 232, 4, 48, 16);
        b->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        bevel = Named(new QFrame(central), bevelName, x, 22, 282, 632);
        bevel->setFrameShape(QFrame::Box);
        bevel->setFrameShadow(QFrame::Sunken);
        image = Image(bevel, imageName, 1, 1, 280, 630);
        return std::pair{a, b};
    };
    auto plugs1 = diagram(Bevel1, Image1, LabelImage1, "Bevel1", "Image1", "LabelImage1",
                          "Reference pattern to be tested", 428);
    plugs1.first->setObjectName("LabelAPlug");
    plugs1.second->setObjectName("LabelBPlug");
    LabelAPlug = plugs1.first;
    LabelBPlug = plugs1.second;
    auto plugs3 = diagram(Bevel2, Image3, LabelImage3, "Bevel2", "Image3", "LabelImage3",
                          "Latest result", 716);
    plugs3.first->setObjectName("LabelAPlug3");
    plugs3.second->setObjectName("LabelBPlug3");

    PanelTestCont = Panel(central, "PanelTestCont", 444, 270, 250, PanelTestContHeight);
    PanelTestCont->setAutoFillBackground(true);
    Label9 = Named(new QLabel("", PanelTestCont), "Label9", 8, 8, 234, 18);
    Label9->setAlignment(Qt::AlignCenter);
    PanelTestContCaption =
        Named(new QLabel("", PanelTestCont), "PanelTestContCaption", 8, 28, 234, 18);
    PanelTestContCaption->setAlignment(Qt::AlignCenter);
    CancelBtn = Named(new QPushButton("Cancel whole test", PanelTestCont), "CancelBtn", 8, 52,
                      234, 24);
    SkipBtn = Named(new QPushButton("Skip this connection", PanelTestCont), "SkipBtn", 8, 80,
                    234, 24);
    CheckAgainBtn =
        Named(new QPushButton("Check again", PanelTestCont), "CheckAgainBtn", 8, 108, 234, 24);
    CheckAgainBtn->setEnabled(false);
    // Below the buttons, on a taller panel, while the take-out part runs on a simulated bench
    // whose hand probes the ends (see ShowTestPanel).
    PanelTestContHint = Named(new QLabel(SimulatedHandHint, PanelTestCont), "PanelTestContHint", 8,
                              PanelTestContHeight, 234, PanelTestContHintHeight);
    PanelTestContHint->setAlignment(Qt::AlignCenter);
    PanelTestContHint->setWordWrap(true);
    PanelTestContHint->hide();
    PanelTestCont->hide();

    // --- the status bar ---------------------------------------------------------------------
    StatusBar1 = Named(new QWidget(central), "StatusBar1", 0, 660, 1004, 20);
    StatusBar1->setToolTip("ETR = Estimated Time Remaining");
    const int widths[3] = {128, 128, 340};
    int panelX = 0;
    for (size_t i = 0; i < 3; ++i) {
        auto* panel = new StatusPanel(StatusBar1);
        panel->setObjectName(QString("StatusPanel%1").arg(i));
        panel->setGeometry(panelX, 1, widths[i] - 2, 18);
        panel->setAlignment(Qt::AlignCenter);
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        StatusPanels[i] = panel;
        panelX += widths[i];
    }
    ProgressBar1 = Named(new QProgressBar(StatusBar1), "ProgressBar1", panelX + 4, 3, 340, 14);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    Image2 = Image(StatusBar1, "Image2", 950, 2, 47, 15);
}

void TMainFrm::ConnectHandlers() {
    auto on = [this](auto* sender, auto signal, void (TMainFrm::*handler)()) {
        QObject::connect(sender, signal, this, [this, handler] { RunHandler([this, handler] { (this->*handler)(); }); });
    };
    on(PowerBtn, &QPushButton::clicked, &TMainFrm::PowerBtnClick);
    on(CableLst, &QComboBox::activated, &TMainFrm::CableLstChange);
    on(HelpButton, &QToolButton::clicked, &TMainFrm::HelpButtonClick);
    on(AboutButton, &QToolButton::clicked, &TMainFrm::AboutButtonClick);
    on(SaveBtn, &QToolButton::clicked, &TMainFrm::SaveBtnClick);
    on(FontBtn, &QToolButton::clicked, &TMainFrm::FontBtnClick);
    on(PrintButton, &QToolButton::clicked, &TMainFrm::PrintButtonClick);
    StaticTextSelectATestToRun->OnMouseDown = [this](Qt::KeyboardModifiers) {
        RunHandler([this] { StaticTextSelectATestToRunClick(); });
    };
    Label13->OnMouseDown = [this](Qt::KeyboardModifiers m) {
        RunHandler([this, m] { Label13MouseDown(m); });
    };
    StaticTextSwNb->OnMouseDown = [this](Qt::KeyboardModifiers m) {
        RunHandler([this, m] { StaticTextSwNbMouseDown(m); });
    };
    ConnectSettingsPanel();
    ConnectRunControls();
    ConnectCharts();
}

bool TMainFrm::SimulatedBench() const {
    return services_.ftdi.Simulated().has_value();
}

definitions::DataFolders TMainFrm::BenchDataFolders() const {
    using definitions::Bench;
    return definitions::DataFoldersFor(services_.process.DataRoot(),
                                       SimulatedBench() ? Bench::Simulated : Bench::Real);
}

void TMainFrm::ShowTestPanel(bool takeOutPart) {
    const auto simulation = services_.ftdi.Simulated();
    const bool hint = takeOutPart && simulation && simulation->handProbesTakeOuts;
    const int height = PanelTestContHeight + (hint ? PanelTestContHintHeight + 4 : 0);
    if (PanelTestCont->height() != height) {
        // Still centred on the reference diagram.
        PanelTestCont->setGeometry(PanelTestCont->x(),
                                   Bevel1->y() + (Bevel1->height() - height) / 2,
                                   PanelTestCont->width(), height);
    }
    PanelTestContHint->setVisible(hint);
    PanelTestCont->show();
}
