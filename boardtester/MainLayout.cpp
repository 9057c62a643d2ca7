// The controls of the window, their captions, places and start states, and the fixed
// captions around the grid.

#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include <algorithm>

#include "boardtester/GridSurface.h"
#include "boardtester/Main.h"
#include "interface/Fonts.h"
#include "interface/widgets/FrameHints.h"
#include "boardtester/UpDown.h"

namespace relmora {

namespace {

constexpr int ClientWidth = 790;
constexpr int ClientHeight = 308;
constexpr int TextHeight = 13;

template <class W> W* Placed(W* widget, const char* name, int x, int y, int w, int h) {
    if (name) widget->setObjectName(name);
    widget->setGeometry(x, y, w, h);
    return widget;
}

QLabel* Caption(QWidget* parent, const char* text, int x, int y, int w = -1) {
    auto* label = new QLabel(text, parent);
    label->adjustSize();
    label->setGeometry(x, y, w > 0 ? w : label->width(), TextHeight);
    return label;
}

// A frame with a white outline and a face-coloured inside, behind a heading.
void HeadingFrame(QWidget* parent, int x, int y, int w, int h) {
    auto* frame = Placed(new QFrame(parent), nullptr, x, y, w, h);
    frame->setStyleSheet("border: 1px solid white;");
}

// The grid's column heading of a two-digit name: tens digit above the units digit.
void ColumnName(QWidget* parent, const std::string& name, int x) {
    if (name.size() == 2) Caption(parent, name.substr(0, 1).c_str(), x, 27);
    Caption(parent, name.substr(name.size() - 1).c_str(), x, 37);
}

struct RowName {
    const char* Text;
    const char* Arrow; // a separate arrow at the left of the box, or nullptr
};
constexpr RowName RowNames[TestCount] = {
    {"A to Gnd", "<----"},       {"B to Gnd", "<----"},       {"<---- 1 to Gnd", nullptr},
    {"<---- 2 to Gnd", nullptr}, {"<---- 3 to Gnd", nullptr}, {"<---- 4 to Gnd", nullptr},
    {"<---- 5 to Gnd", nullptr}, {"<---- 6 to Gnd", nullptr}, {"<---- 7 to Gnd", nullptr},
    {"<---- 8 to Gnd", nullptr}, {"<---- 9 to Gnd", nullptr}, {"<---10 to Gnd", nullptr},
    {"<---11 to Gnd", nullptr},  {"All to Vcc", "<---"},      {"All to Gnd", "<---"},
};

struct LegendEntry {
    platform::TColor Colour;
    int Y;
    const char* Text;
    const char* Second; // a second text at its own place, or nullptr
    int SecondX;
    int SecondY;
};
constexpr LegendEntry Legend[] = {
    {platform::clBtnFace, 18, "Should be Vcc,", "Vcc mesured", 102, 16},
    {platform::clLime, 35, "Should be Gnd,", "Gnd mesured", 101, 33},
    {platform::clBlack, 52, "Should be Vcc, Gnd mesured", nullptr, 0, 0},
    {platform::clRed, 69, "Should be Gnd, Vcc mesured", nullptr, 0, 0},
};

} // namespace

void TMainFrm::CreateControls() {
    setObjectName("MainFrm");
    setWindowTitle("Switch board tester");
    // The system menu, with its close, and the minimise box; no maximise.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    KeepFrameButtons(*this, {.systemMenu = true, .minimise = true, .close = true});
    // The window's typeface, 11 pixels high; where it is missing a narrow sans-serif keeps
    // the captions within their places.
    setFont(fonts::DesignFont(fonts::Face::MsSansSerif, 11));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, platform::ToQColor(platform::clBtnFace));
    setPalette(pal);
    setFixedSize(ClientWidth, ClientHeight);

    surface_ = Placed(new GridSurface(this), "Surface", 0, 0, ClientWidth, ClientHeight);
    surface_->SetImageSize(ClientWidth, ClientHeight, platform::clBtnFace);
    surface_->SetOpaque(true);
    QWidget* area = surface_;

    PortComboBox = Placed(new QComboBox(area), "PortComboBox", 310, 250, 61, 21);
    PortComboBox->addItem("USB");
    for (int n = 1; n <= 9; ++n) PortComboBox->addItem(QString("Com %1").arg(n));
    PortComboBox->setMaxVisibleItems(5);
    TestButton = Placed(new QPushButton("Run test", area), "TestButton", 380, 250, 78, 21);

    LabelLog = Placed(new QLabel("Log", area), "LabelLog", 468, 0, 313, TextHeight);
    LabelLog->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Memo1 = Placed(new LogMemo(area), "Memo1", 468, 16, 315, 285);
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    GroupBoxConfiguration = Placed(new QGroupBox("I/O Configuration", area),
                                   "GroupBoxConfiguration", 186, 212, 115, 89);
    auto* box = GroupBoxConfiguration;
    UpDownInput = Placed(new UpDown(0, InputCount - 1, box), "UpDownInput", 12, 27, 33, 16);
    LabelInput = Placed(Caption(box, "Input   :", 52, 28), "LabelInput", 52, 28, 40, TextHeight);
    StaticTextInput = Placed(new QLabel("-", box), "StaticTextInput", 92, 28, 16, TextHeight);
    UpDownOutput = Placed(new UpDown(0, OutputCount - 1, box), "UpDownOutput", 12, 59, 33, 16);
    LabelOutput = Placed(Caption(box, "Output :", 52, 60), "LabelOutput", 52, 60, 40, TextHeight);
    StaticTextOutput = Placed(new QLabel("-", box), "StaticTextOutput", 92, 60, 16, TextHeight);
    // The two texts change with every configuration a run shows: painted on their own
    // background, they do not make the frame behind them repaint.
    for (QLabel* text : {StaticTextInput, StaticTextOutput}) text->setAutoFillBackground(true);
    for (QWidget* w : std::initializer_list<QWidget*>{UpDownInput, LabelInput, StaticTextInput,
                                                      UpDownOutput, LabelOutput, StaticTextOutput})
        w->setEnabled(false);

    CreateGridCaptions(area);
    CreateLegend();
}

void TMainFrm::CreateGridCaptions(QWidget* area) {
    HeadingFrame(area, 29, 6, 86, 17);
    Caption(area, "I  N  P  U  T  S", 38, 8);
    HeadingFrame(area, 143, 6, 73, 17);
    Caption(area, "T  E  S  T  S", 149, 8);
    HeadingFrame(area, 285, 6, 106, 17);
    Caption(area, "O  U  T  P  U  T  S", 294, 8);

    for (int i = 0; i < InputCount; ++i) ColumnName(area, InputName(i), 10 + 10 * i);
    for (int j = 0; j < OutputCount; ++j) ColumnName(area, OutputName(j), 220 + 10 * j);

    for (int t = 0; t < TestCount; ++t) {
        const int y = GridTop - 1 + GridPitch * t;
        // Right-aligned on the box's right edge; a typeface wider than the window's own
        // widens the box to the left rather than cut the arrow off.
        auto* name = Caption(area, RowNames[t].Text, 145, y);
        const int width = std::max(62, name->width());
        name->setGeometry(145 + 62 - width, y, width, TextHeight);
        name->setAlignment(Qt::AlignRight | Qt::AlignTop);
        if (RowNames[t].Arrow) Caption(area, RowNames[t].Arrow, 145, y);
    }
}

void TMainFrm::CreateLegend() {
    GroupBoxColors =
        Placed(new QGroupBox("Color code meaning", surface_), "GroupBoxColors", 7, 212, 170, 89);
    for (const LegendEntry& entry : Legend) {
        auto* square = Placed(new QFrame(GroupBoxColors), nullptr, 10, entry.Y, 11, 11);
        square->setStyleSheet(QString("background: %1; border: 1px solid black;")
                                  .arg(platform::ToQColor(entry.Colour).name()));
        Caption(GroupBoxColors, entry.Text, 25, entry.Y - 2);
        if (entry.Second) Caption(GroupBoxColors, entry.Second, entry.SecondX, entry.SecondY);
    }
}

} // namespace relmora
