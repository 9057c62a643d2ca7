// The window's start-up, its repaint and up-down handlers, the grid and the log.

#include "boardtester/Main.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include <exception>

#include "boardtester/GridSurface.h"
#include "boardtester/UpDown.h"

namespace relmora {

namespace {
const char* const AppCaption = "Relmora";
} // namespace

TMainFrm::TMainFrm(platform::Services& services, platform::PortCtlFactory& serialPorts,
                   QWidget* parent)
    : QWidget(parent), services_(services), serialPorts_(serialPorts) {
    shownColours_.fill(NotShown);
    CreateControls();
    PortComboBox->setCurrentIndex(0);
    LoadExpectedPattern();
    // Refused without the right to raise it: the program then runs at its normal priority.
    services_.process.RaisePriority(platform::PriorityClass::Realtime);

    surface_->OnPaint = [this] { RunHandler([this] { FormPaint(); }); };
    connect(TestButton, &QPushButton::clicked, this,
            [this] { RunHandler([this] { TestButtonClick(); }); });
    UpDownInput->OnClick = [this] { RunHandler([this] { UpDownInputClick(); }); };
    UpDownOutput->OnClick = [this] { RunHandler([this] { UpDownOutputClick(); }); };

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TMainFrm::~TMainFrm() = default;

void TMainFrm::RunHandler(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        services_.messageBoxes.Show(
            {e.what(), AppCaption, platform::MsgIcon::Error, platform::MsgButtons::Ok, 0});
    }
}

ImageControl* TMainFrm::Surface() const {
    return surface_;
}

void TMainFrm::LoadExpectedPattern() {
    FillExpectedPattern(Measures);
    InputIndex = OutputIndex = 0;
    UpDownInput->SetPosition(0);
    UpDownOutput->SetPosition(0);
}

void TMainFrm::FormPaint() {
    DrawResultGrid();
}

void TMainFrm::UpDownInputClick() {
    InputIndex = UpDownInput->Position();
    DrawResultGrid();
}

void TMainFrm::UpDownOutputClick() {
    OutputIndex = UpDownOutput->Position();
    DrawResultGrid();
}

platform::TColor TMainFrm::GetCellColor(int byte, int bit) const {
    const bool inRange = InputIndex >= 0 && InputIndex < InputCount && OutputIndex >= 0 &&
                         OutputIndex < OutputCount && TestIndex >= 0 && TestIndex < TestCount &&
                         byte >= 0 && byte < RecordBytes && bit >= 0 && bit < 8;
    if (!inRange) return platform::clBtnFace; // nothing to compare outside the table
    return CellColor(Measures, InputIndex, OutputIndex, TestIndex, byte, bit);
}

void TMainFrm::DrawResultGrid() {
    StaticTextInput->setText(QString::fromStdString(InputName(InputIndex)));
    StaticTextOutput->setText(QString::fromStdString(OutputName(OutputIndex)));
    // The picture keeps what was drawn: a square already showing its colour is left as it is.
    // A run repaints the grid 312 times and changes a few squares each time.
    auto& canvas = surface_->GetCanvas();
    QRect changed;
    size_t n = 0;
    for (TestIndex = 0; TestIndex < TestCount; ++TestIndex) {
        const int y = GridTop + GridPitch * TestIndex;
        for (const GridSquare& square : GridSquares) {
            const platform::TColor colour = GetCellColor(square.Byte, square.Bit);
            platform::TColor& shown = shownColours_[n++];
            if (shown == colour) continue;
            shown = colour;
            canvas.Brush.SetColor(colour);
            canvas.Rectangle(square.X, y, square.X + GridSquareSize, y + GridSquareSize);
            changed |= QRect(square.X, y, GridSquareSize, GridSquareSize);
        }
    }
    if (!changed.isEmpty()) surface_->update(changed);
}

void TMainFrm::DiagnoseAnomalies() {
    for (const std::string& line : Diagnose(Measures, *this)) AddLogLine(line);
    // Left where the walk over the configurations ended.
    InputIndex = InputCount - 1;
    OutputIndex = OutputCount - 1;
    TestIndex = TestCount - 1;
}

void TMainFrm::AddLogLine(const std::string& text) {
    Memo1->AddLine(QString::fromStdString(text));
}

std::vector<std::string> TMainFrm::LogLines() const {
    std::vector<std::string> lines;
    for (const QString& line : Memo1->Lines()) lines.push_back(line.toStdString());
    return lines;
}

} // namespace relmora
