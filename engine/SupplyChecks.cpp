// Supply, switch-board and standby checks and the reading conversions on the main window.

#include "engine/Checks.h"
#include "engine/Conversions.h"
#include "interface/ColorLabel.h"
#include "interface/Main.h"
#include "link/FramedExchange.h"
#include "results/ValueTexts.h"

namespace {
// "0.000" with the user's decimal separator.
std::string ThreeDecimals(double value, char separator) {
    return results::FormatFixed(value, 3, separator);
}

void Judge(ColorLabel* value, ColorLabel* caption, bool inRange) {
    const TColor background = inRange ? platform::clBtnFace : platform::clRed;
    const TColor text = inRange ? platform::clBlack : platform::clWhite;
    if (value->Background() == background) return;
    value->SetColours(background, text);
    caption->SetColours(background, text);
}
} // namespace

int64_t TMainFrm::RawToIsolationOhms(int32_t raw) const {
    return engine::RawToIsolationOhms(raw, Supply5V);
}

int32_t TMainFrm::RawToContinuityOhms(uint16_t raw) const {
    return engine::RawToContinuityOhms(raw, Supply5V);
}

void TMainFrm::CheckSupplies() {
    const bool fiveOk = engine::Supply5VInRange(Supply5V);
    if (!fiveOk) StopRequested = CancelRequested = true;
    Judge(StaticText5V, Label1, fiveOk);

    const float volts12 = engine::Supply12Volts(Supply12Raw, Supply5V);
    const bool twelveOk = engine::Supply12VInRange(volts12);
    if (!twelveOk) StopRequested = CancelRequested = true;
    Judge(StaticTextBatt, Label12, twelveOk);

    StaticText5V->setText(
        QString::fromStdString(ThreeDecimals(Supply5V, FormatSettings.DecimalSeparator) + " V"));
    StaticTextBatt->setText(
        QString::fromStdString(ThreeDecimals(volts12, FormatSettings.DecimalSeparator) + " V"));
    services_.events.ProcessMessages();
}

void TMainFrm::DetectSwitchBoards() {
    BoxNodeCount = 0;
    // 'N': no connected check, echo or repeat; a byte that does not come gives -1.
    boxlink::RaiseIfLinkLost(*Port, 'N');
    Port->WriteByte('N');
    SwitchBoardsA = Port->ReadByte(1000);
    SwitchBoardsB = Port->ReadByte(1000);
    boxlink::RaiseIfLinkLost(*Port, 'N');
    if (SwitchBoardsA < 0 || SwitchBoardsB < 0) {
        // A reply that never came tells nothing of the boards: none is listed or counts as
        // there (a run then refuses as for missing boards), and the box is said not to have
        // answered, as a command that gives up says it.
        SwitchBoardsA = SwitchBoardsB = 0;
        StaticTextSwNb->setText("-");
        ShowMessage(BoxCommandFailed('N', 1).what(), platform::MsgIcon::Warning);
        return;
    }

    const auto expected = engine::ExpectedSwitchBoards(SocketLimit);
    const int topA = engine::TopBoard(SwitchBoardsA);
    const int topB = engine::TopBoard(SwitchBoardsB);
    StaticTextSwNb->setText(QString::number(24 * topA + 24) + "+" +
                            QString::number(24 * topB + 24));

    if (SwitchBoardsA == expected.mask && SwitchBoardsB == expected.mask) {
        BoxNodeCount = 24 * topA + 24;
        return;
    }
    auto reportPlug = [&](const char* title, int32_t mask) {
        AddReportLine(title, platform::clWindowText, 0);
        for (int i = 0; i < expected.boards; ++i) {
            const std::string range =
                std::to_string(24 * i + 1) + "-" + std::to_string(24 * i + 24) + " :\t";
            if (mask & (1 << i))
                AddReportLine(range + "OK", platform::clGreen, 0);
            else
                AddReportLine(range + "Not detected", platform::clRed, 0);
        }
    };
    reportPlug("A Plug Switch Boards :", SwitchBoardsA);
    AddReportLine("", platform::clWindowText, 0);
    reportPlug("B Plug Switch Boards :", SwitchBoardsB);
    AddReportLine(" ", platform::clWindowText, 0);
    ShowMessage("Internal switch boards problem/failure/malfunction", platform::MsgIcon::Error);
}

bool TMainFrm::MissingSwitchBoards() const {
    for (int n = 1; n <= 192; ++n) {
        if (Wiring[static_cast<size_t>(n)] == -1) continue;
        const int32_t mask = n <= 96 ? SwitchBoardsA : SwitchBoardsB;
        const int board = n <= 96 ? (n - 1) / 24 : (n - 97) / 24;
        if ((mask & (1 << board)) == 0) return true;
    }
    return false;
}

bool TMainFrm::PinsBeyondSocketLimit() const {
    for (int n = 1; n <= 192; ++n) {
        if (Wiring[static_cast<size_t>(n)] == -1) continue;
        const int pin = n <= 96 ? n : n - 96;
        if (pin > SocketLimit) return true;
    }
    return false;
}

bool TMainFrm::CheckStandbyValues() {
    std::string text = "Out of range standby values :\n";
    int count = 0;
    const char separator = FormatSettings.DecimalSeparator;
    // A reference that reads 0 is a dead reference, what the check is there to find: every
    // channel is judged against it all the same, and only its voltage cannot be given.
    auto judgeChannels = [&](const char* kind) {
        const uint16_t reference = ChannelReadings[ReplyWordReference];
        for (int j = 0; j < 12; ++j) {
            const uint16_t word = ChannelReadings[static_cast<size_t>(j)];
            if (!engine::StandbyOutOfRange(word, reference)) continue;
            text += std::string(kind) + "[" + std::to_string(j + 1) +
                    "] = " + engine::StandbyValueText(word, reference, separator) + "\n";
            ++count;
        }
    };
    BoxReadIsolationChannels(ChannelReadings);
    services_.clock.Sleep(100);
    BoxReadIsolationChannels(ChannelReadings);
    judgeChannels("Isolation");
    BoxReadContinuityChannels(ChannelReadings);
    judgeChannels("Continuity");
    // '2' stores a reference of 0 as 1; the value is told from the word the box sent.
    const uint16_t supplyReference = BoxReadSupplies();
    if (engine::StandbyOutOfRange(TakeOutRaw, RefRaw)) {
        text +=
            "Take-out = " + engine::StandbyValueText(TakeOutRaw, supplyReference, separator) + "\n";
        ++count;
    }
    text += "(Standard value should be 2.50 V)";
    if (count == 0) return false;
    ShowMessage(text, platform::MsgIcon::Warning);
    return true;
}
