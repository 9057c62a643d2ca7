// Both programs through the whole real USB path: the port over LibFtdiDriver over libftdi1 and
// libusb, to the emulated chip with the simulated box or fixture behind it, in real time. What
// the operator sees is set against the same over the simulated driver on the virtual clock:
// the same, but for the marks of a simulated bench, which a real chip never gets.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "boardtester/Main.h"
#include "interface/Certificate.h"
#include "interface/CertificateBackground.h"
#include "interface/ColorLabel.h"
#include "interface/Main.h"
#include "interface/widgets/ImageControl.h"
#include "platform/LibFtdiDriver.h"
#include "platform/canvas/Jpeg.h"
#include "results/Certificates.h"
#include "results/SimulatedBench.h"
#include "simulator/SimulatedFtdi.h"
#include "simulator/SwitchBoardFixture.h"
#include "tests/boardtester/FakePortCtl.h"
#include "tests/support/FileSystemCases.h"
#include "tests/support/TestServices.h"
#include "tests/usb/UsbBed.h"

namespace usbemu {
namespace {

using namespace platform;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using Lines = std::vector<std::string>;

// The platform of a window in real time: the given clock (real or virtual), timers that never
// fire (the tests leave the main window's timer out of it), the rest recorded or scripted.
struct Platform {
    explicit Platform(Clock& c) : clock(c), tones(c) {
        process.programFolder = std::string(SAMPLE_PROGRAM_FOLDER) + "/";
        process.dataRoot = data.path().toStdString();
    }
    Services ServicesWith(FtdiDriver& driver) {
        return Services{clock,  driver, boxes,   events,  cursor,
                        timers, tones,  process, devices, dialogs};
    }
    Clock& clock;
    QTemporaryDir data;
    VirtualClock still;
    VirtualTimers timers{still};
    ScriptedMessageBoxes boxes;
    ScriptedEventPump events;
    RecordingCursor cursor;
    RecordingTones tones;
    RecordingProcess process;
    ManualDeviceWatcher devices;
    testing_support::ScriptedDialogs dialogs;
};

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%06X", value);
    return text;
}

// What the operator saw of a connect and, when asked for, a fast continuity run of the sample
// of 24 wires: the report lines (colour, style, text) and the message boxes; and what left
// the program: the report saved as plain and rich text, and the first certificate page.
struct Seen {
    Lines report;
    Lines boxes;
    bool connected = false;
    std::string firmware;
    int socketLimit = 0;
    std::string text;
    std::string rtf;
    QImage page;
};

std::string Saved(TMainFrm& frm, const QString& path) {
    frm.SaveDialog1.FileName = path.toStdString();
    frm.SaveReport();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll().toStdString();
}

QImage FirstPage(TMainFrm& frm) {
    TCertificateFrm page(frm);
    page.SetPicture(platform::DecodeJpeg(CertifImgResource()));
    const int count = frm.ReportLineCount();
    results::DrawCertificatePage(frm, *page.ImageFond, frm.ReportLines(),
                                 results::LayoutCertificatePages(count, frm.ChartLines).at(0), 1,
                                 results::CertificatePageCount(count, frm.ChartLines),
                                 "Electrical Test");
    return page.ImageFond->Picture().copy();
}

// The text without its lines that hold the simulated bench's mark.
std::string WithoutMark(const std::string& text) {
    std::string kept;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = std::min(text.find('\n', start), text.size() - 1) + 1;
        const std::string line = text.substr(start, end - start);
        if (line.find(results::SimulatedBenchLine) == std::string::npos) kept += line;
        start = end;
    }
    return kept;
}

Seen ConnectAndRun(Clock& clock, FtdiDriver& driver, bool run) {
    Platform p(clock);
    Services services = p.ServicesWith(driver);
    TMainFrm frm(services);
    frm.Timer1->SetEnabled(false);
    frm.PowerBtnClick();
    Seen seen;
    seen.connected = frm.Connected;
    seen.firmware = frm.FirmwareVersion.data();
    seen.socketLimit = frm.SocketLimit;
    if (run && frm.Connected) {
        frm.CableLst->setCurrentIndex(frm.CableLst->findText("Cable 24 wires straight"));
        frm.CableLstChange();
        frm.CheckBoxIso->setChecked(false);
        frm.CheckBoxTOs->setChecked(false);
        frm.StartBtnClick();
    }
    for (const auto& line : frm.ReportLines())
        seen.report.push_back(Hex(line.Colour) + " " + std::to_string(line.Style) + " " +
                              line.Text);
    for (const auto& shown : p.boxes.History())
        seen.boxes.push_back(std::string(Name(shown.Request.Icon)) + ": " + shown.Request.Text);
    if (run && frm.Connected) {
        frm.CertDate = "15/06/2020 14:05:00";
        frm.OperatorName = "J. Martin";
        seen.text = Saved(frm, p.data.filePath("report.txt"));
        seen.rtf = Saved(frm, p.data.filePath("report.rtf"));
        seen.page = FirstPage(frm);
    }
    if (frm.Port) frm.Port->Close();
    return seen;
}

class WholeStack : public ::testing::Test {
protected:
    void TearDown() override {
        if (bed) {
            EXPECT_THAT(bed->Faults(), IsEmpty());
        }
    }
    std::unique_ptr<UsbBed> bed;
    LibFtdiDriver driver;
};

TEST_F(WholeStack, CalbrixConnectsAndRunsContinuityAsOverTheSimulatedDriver) {
    Seen simulated;
    {
        VirtualClock clock{1'000'000};
        sim::SimulatedFtdi box(clock);
        simulated = ConnectAndRun(clock, box, true);
    }
    ASSERT_TRUE(simulated.connected);
    ASSERT_GT(simulated.report.size(), 24u) << "the run wrote no lines";

    bed = std::make_unique<UsbBed>(CalbrixChip());
    RealClock clock;
    const Seen real = ConnectAndRun(clock, driver, true);
    EXPECT_TRUE(real.connected);
    EXPECT_EQ(real.firmware, simulated.firmware);
    EXPECT_EQ(real.socketLimit, simulated.socketLimit);
    EXPECT_EQ(real.boxes, simulated.boxes);
    EXPECT_EQ(real.report, simulated.report);
    // The saved reports: those of the simulated bench have the mark, in one header line.
    ASSERT_NE(simulated.text.find(results::SimulatedBenchLine), std::string::npos);
    EXPECT_EQ(WithoutMark(simulated.text).size() + 38, simulated.text.size());
    EXPECT_EQ(real.text, WithoutMark(simulated.text));
    EXPECT_EQ(real.rtf, WithoutMark(simulated.rtf));
    // The certificate page: the same pixels, but for the mark's band under the title, where
    // the real box's page shows its background.
    const QImage background = platform::DecodeJpeg(CertifImgResource());
    ASSERT_EQ(real.page.size(), simulated.page.size());
    int marked = 0;
    for (int y = 0; y < real.page.height(); ++y)
        for (int x = 0; x < real.page.width(); ++x) {
            const bool band = y >= 141 && y < 158;
            if (!band) {
                ASSERT_EQ(real.page.pixel(x, y), simulated.page.pixel(x, y)) << x << "," << y;
                continue;
            }
            EXPECT_EQ(real.page.pixel(x, y), background.pixel(x, y)) << x << "," << y;
            marked += simulated.page.pixel(x, y) == platform::ToPixel(platform::clRed);
        }
    EXPECT_GT(marked, 100);
    // The chip ran at the program's rate with its own latency; the port's opening turned DTR
    // and RTS off and on again, its closing off.
    bed->WithChip([](FtdiChip& chip) {
        EXPECT_EQ(chip.Baud(), 9600u);
        EXPECT_THAT(chip.Requests("SetLatencyTimer"), IsEmpty());
        Lines lines;
        for (const auto& r : chip.Requests("SetModemControl"))
            lines.push_back((r.value & 0x0100 ? "DTR " : "RTS ") +
                            std::string(r.value & 0x0003 ? "on" : "off"));
        EXPECT_EQ(lines, (Lines{"DTR off", "RTS off", "DTR on", "RTS on", "DTR off", "RTS off"}));
    });
}

TEST_F(WholeStack, CalbrixRefusesABoxWithAnotherSerialString) {
    sim::Bench bench = sim::DefaultBench();
    bench.eepromSerial = "TKCALBv2";
    bed = std::make_unique<UsbBed>(CalbrixChip(bench));
    RealClock clock;
    const Seen seen = ConnectAndRun(clock, driver, false);
    EXPECT_FALSE(seen.connected);
    EXPECT_EQ(seen.boxes, Lines{"warning: Connected to an unknown device\n(Wrong device ID)"});
    // Refused before the handshake: the box got nothing.
    EXPECT_THAT(bed->WithChip([](FtdiChip& chip) { return chip.Line().Wire(); }), IsEmpty());
}

Lines RelmoraLog(Clock& clock, FtdiDriver& driver) {
    Platform p(clock);
    Services services = p.ServicesWith(driver);
    boardtester_tests::FakePortCtlFactory serialPorts;
    relmora::TMainFrm frm(services, serialPorts);
    frm.PortComboBox->setCurrentText("USB");
    frm.TestButtonClick();
    return frm.LogLines();
}

// Relmora's log of a fault-free board on the simulated fixture at the pace of the line, as
// over the emulated chip, without the mark of the simulated fixture that ends it: a real
// fixture's log is the same without the mark.
const Lines& SimulatedRelmoraRun() {
    static const Lines log = [] {
        VirtualClock clock{1'000'000};
        sim::FixtureSetup setup;
        setup.timing = sim::Timing{};
        auto fixture = sim::SimulatedFixture(clock, setup);
        Lines lines = RelmoraLog(clock, *fixture);
        EXPECT_FALSE(lines.empty());
        if (!lines.empty() && lines.back() == relmora::SimulatedFixtureLine)
            lines.pop_back();
        else
            ADD_FAILURE() << "the simulated fixture's log ends without its mark";
        return lines;
    }();
    return log;
}

// The fixture chip with room for seconds of the stream (see below).
std::unique_ptr<FtdiChip> RoomyFixtureChip() {
    auto chip = FixtureChip();
    chip->SetReceiveFifoBytes(16384);
    return chip;
}

TEST_F(WholeStack, RelmoraReadsAFaultFreeBoardOverUsb) {
    const Lines& simulated = SimulatedRelmoraRun();
    ASSERT_EQ(simulated.back(), "No anomaly detected");

    // Every packet of the stream needs both the driver's reader and the bed's own thread to
    // run (a real host controller needs neither). A machine busy with other tests can hold them
    // up for longer than the 66 ms the FT232R's FIFO lasts at 38400 baud, so here the chip gets
    // room for four seconds of the stream; the driver's tests keep the chip's own 256 bytes.
    bed = std::make_unique<UsbBed>(RoomyFixtureChip());
    RealClock clock;
    const Lines real = RelmoraLog(clock, driver);
    EXPECT_EQ(real, simulated);
    bed->WithChip([](FtdiChip& chip) {
        EXPECT_EQ(chip.Baud(), 38400u);
        EXPECT_EQ(chip.LatencyMs(), 1);
        EXPECT_EQ(chip.LostBytes(), 0u) << "the chip's receive FIFO overflowed";
    });
    // The stream came a packet a transfer, after the port's two extra set-up calls.
    const auto transfers = bed->Transfers();
    ASSERT_FALSE(transfers.empty());
    EXPECT_TRUE(transfers.back().in);
    EXPECT_EQ(transfers.back().bytes, 64u);
}

// One failed transfer at a point of a run, and what is known of it.
struct RunFault {
    const char* where;
    uint8_t endpoint;
    uint64_t afterBytes; // data bytes gone that way before the failed transfer
    int error;
};

std::string FaultName(const ::testing::TestParamInfo<RunFault>& info) {
    const int error = info.param.error;
    return std::string(info.param.where) + "_" +
           (error == -EPIPE    ? "EPIPE"
            : error == -EILSEQ ? "EILSEQ"
                               : "EPROTO");
}

void PrintTo(const RunFault& f, std::ostream* os) {
    *os << f.where << ", endpoint " << int{f.endpoint} << " after " << f.afterBytes
        << " bytes, errno " << -f.error;
}

std::string FailedText(const RunFault& f) {
    return std::string(f.endpoint == UsbBed::InEndpoint ? "0x81 " : "0x02 ") +
           (f.error == -EPIPE    ? "EPIPE"
            : f.error == -EILSEQ ? "EILSEQ"
                                 : "EPROTO");
}

// The transfer failed once, and a stall was cleared.
void ExpectOneFailure(UsbBed& bed, const RunFault& f) {
    EXPECT_THAT(bed.FailedTransfers(), ElementsAre(FailedText(f)));
    const auto events = bed.Events();
    const std::string clear =
        f.endpoint == UsbBed::InEndpoint ? "clear halt 0x81" : "clear halt 0x02";
    EXPECT_EQ(std::count(events.begin(), events.end(), clear), f.error == -EPIPE ? 1 : 0);
}

const Seen& SimulatedCalbrixRun() {
    static const Seen seen = [] {
        VirtualClock clock{1'000'000};
        sim::SimulatedFtdi box(clock);
        return ConnectAndRun(clock, box, true);
    }();
    return seen;
}

class CalbrixOnANoisyBus : public WholeStack, public ::testing::WithParamInterface<RunFault> {};

// A connect and a continuity run of 24 wires move 16 bytes out and 185 in to the end of the
// connect, 749 and 755 in all.
TEST_P(CalbrixOnANoisyBus, OneFailedTransferChangesNothingTheOperatorSees) {
    const RunFault& f = GetParam();
    const Seen& simulated = SimulatedCalbrixRun();
    ASSERT_TRUE(simulated.connected);
    bed = std::make_unique<UsbBed>(CalbrixChip());
    bed->AddTransferFault({f.endpoint, f.error, f.afterBytes, 1});
    RealClock clock;
    const Seen real = ConnectAndRun(clock, driver, true);
    EXPECT_TRUE(real.connected);
    EXPECT_EQ(real.boxes, simulated.boxes);
    EXPECT_EQ(real.report, simulated.report);
    ExpectOneFailure(*bed, f);
}

constexpr uint8_t In = UsbBed::InEndpoint;
constexpr uint8_t Out = UsbBed::OutEndpoint;

INSTANTIATE_TEST_SUITE_P(AtEachPoint, CalbrixOnANoisyBus,
                         ::testing::Values(RunFault{"ReadAtOpen", In, 0, -EPROTO},
                                           RunFault{"ReadAtOpen", In, 0, -EPIPE},
                                           RunFault{"ReadInTheConnect", In, 100, -EILSEQ},
                                           RunFault{"ReadInTheConnect", In, 100, -EPIPE},
                                           RunFault{"FirstWrite", Out, 0, -EPROTO},
                                           RunFault{"FirstWrite", Out, 0, -EPIPE},
                                           RunFault{"ReadInTheRun", In, 450, -EPROTO},
                                           RunFault{"ReadInTheRun", In, 450, -EPIPE},
                                           RunFault{"WriteInTheRun", Out, 400, -EPROTO},
                                           RunFault{"WriteInTheRun", Out, 400, -EPIPE}),
                         FaultName);

// A control transfer that fails once (the purge after the open, the line's DTR) is that
// request's failure: the connect and the run go on as over a sound bus, and no lost link is
// told.
TEST_F(WholeStack, AFailedControlTransferIsNoLostLink) {
    const Seen& simulated = SimulatedCalbrixRun();
    ASSERT_TRUE(simulated.connected);
    const struct {
        const char* what;
        uint8_t request;
        uint16_t value;
    } cases[] = {
        {"the purge of what the chip holds for the host", 0x00, 2},
        {"DTR set", 0x01, 0x0101},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        bed = std::make_unique<UsbBed>(CalbrixChip());
        TransferFault fault;
        fault.endpoint = 0;
        fault.error = -EPROTO;
        fault.request = c.request;
        fault.value = c.value;
        bed->AddTransferFault(fault);
        RealClock clock;
        const Seen real = ConnectAndRun(clock, driver, true);
        EXPECT_TRUE(real.connected);
        EXPECT_EQ(real.boxes, simulated.boxes);
        EXPECT_EQ(real.report, simulated.report);
        EXPECT_THAT(bed->FailedTransfers(), ElementsAre("0x00 EPROTO"));
        bed.reset();
    }
}

double MsSinceFirstFailure(UsbBed& bed) {
    const auto first = bed.FirstFailure();
    if (!first) return -1;
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - *first)
        .count();
}

// A chip that fails every transfer from the middle of the run on still ends it within seconds:
// the operator is told that the box's link was lost, once, and the test stops.
TEST_F(WholeStack, CalbrixStopsSoonWhenTheChipStaysBroken) {
    bed = std::make_unique<UsbBed>(CalbrixChip());
    bed->AddTransferFault({In, -EPROTO, 450, -1});
    RealClock clock;
    const Seen real = ConnectAndRun(clock, driver, true);
    const double tookMs = MsSinceFirstFailure(*bed);
    EXPECT_TRUE(real.connected);
    EXPECT_EQ(real.boxes, (Lines{"warning: Calbrix box USB link lost (too many transfer errors)",
                                 "warning: Test stopped"}));
    EXPECT_GE(tookMs, 0) << "the chip never failed";
    EXPECT_LT(tookMs, 3000); // the port's closing pause of 1 s included
    EXPECT_EQ(bed->FailedTransfers().size(), 4u);
}

class RelmoraOnANoisyBus : public WholeStack, public ::testing::WithParamInterface<RunFault> {};

// A run sends 'T' and gets 't' and the 23400 bytes of the records.
TEST_P(RelmoraOnANoisyBus, OneFailedTransferChangesNothingInTheLog) {
    const RunFault& f = GetParam();
    const Lines& simulated = SimulatedRelmoraRun();
    ASSERT_EQ(simulated.back(), "No anomaly detected");
    bed = std::make_unique<UsbBed>(RoomyFixtureChip());
    bed->AddTransferFault({f.endpoint, f.error, f.afterBytes, 1});
    RealClock clock;
    EXPECT_EQ(RelmoraLog(clock, driver), simulated);
    ExpectOneFailure(*bed, f);
    EXPECT_EQ(bed->WithChip([](FtdiChip& chip) { return chip.LostBytes(); }), 0u);
}

INSTANTIATE_TEST_SUITE_P(AtEachPoint, RelmoraOnANoisyBus,
                         ::testing::Values(RunFault{"ReadAtOpen", In, 0, -EPROTO},
                                           RunFault{"ReadAtOpen", In, 0, -EPIPE},
                                           RunFault{"TheCommand", Out, 0, -EILSEQ},
                                           RunFault{"TheCommand", Out, 0, -EPIPE},
                                           RunFault{"ReadAfterTheHandshake", In, 1, -EPROTO},
                                           RunFault{"ReadAfterTheHandshake", In, 1, -EPIPE},
                                           RunFault{"ReadInTheStream", In, 12000, -EPROTO},
                                           RunFault{"ReadInTheStream", In, 12000, -EPIPE}),
                         FaultName);

// What the log of a run that lost its fixture ends with: the link lost, and no diagnosis of the
// bytes that never came (no configuration blamed, no short circuit suspected).
void ExpectLinkLostAtTheEnd(const Lines& log, const std::string& why) {
    ASSERT_GE(log.size(), 3u);
    EXPECT_THAT(log[log.size() - 3], ::testing::StartsWith("Measures : "));
    EXPECT_EQ(log[log.size() - 2], "");
    EXPECT_EQ(log.back(), "Test hardware USB link lost (" + why + ")");
    for (const auto& line : log) {
        EXPECT_THAT(line, ::testing::Not(HasSubstr("No reply")));
        EXPECT_THAT(line, ::testing::Not(HasSubstr("short circuits")));
        EXPECT_THAT(line, ::testing::Not(HasSubstr("anomal")));
    }
}

// Broken from the middle of the stream on: the run stops at once, saying so, instead of
// waiting out ten seconds a byte.
TEST_F(WholeStack, RelmoraStopsSoonWhenTheChipStaysBroken) {
    bed = std::make_unique<UsbBed>(RoomyFixtureChip());
    bed->AddTransferFault({In, -EPROTO, 12000, -1});
    RealClock clock;
    const Lines log = RelmoraLog(clock, driver);
    const double tookMs = MsSinceFirstFailure(*bed);
    ExpectLinkLostAtTheEnd(log, "too many transfer errors");
    EXPECT_GE(tookMs, 0) << "the chip never failed";
    EXPECT_LT(tookMs, 3000); // the port's closing pause of 1 s included
}

// The fixture unplugged in the middle of the stream: the log says so.
TEST_F(WholeStack, RelmoraToldTheFixtureWasUnpluggedMidStream) {
    bed = std::make_unique<UsbBed>(RoomyFixtureChip());
    bed->UnplugAfter(In, 12000);
    RealClock clock;
    const auto start = std::chrono::steady_clock::now();
    const Lines log = RelmoraLog(clock, driver);
    ExpectLinkLostAtTheEnd(log, "unplugged");
    // Some 12000 bytes at 38400 baud, then no wait for bytes that cannot come.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(9));
}

// Calbrix over the emulated chip in real time, its window kept for the test to look at; the
// main window's timer is left to the test to tick.
class CalbrixOnTheBed {
public:
    explicit CalbrixOnTheBed(FtdiDriver& driver)
        : p_(clock_), services_(p_.ServicesWith(driver)), frm(services_) {
        frm.Timer1->SetEnabled(false);
    }
    ~CalbrixOnTheBed() {
        if (frm.Port) frm.Port->Close();
    }
    Lines Boxes() const {
        Lines boxes;
        for (const auto& shown : p_.boxes.History())
            boxes.push_back(std::string(Name(shown.Request.Icon)) + ": " + shown.Request.Text);
        return boxes;
    }
    Lines Report() const {
        Lines lines;
        for (const auto& line : frm.ReportLines()) lines.push_back(line.Text);
        return lines;
    }
    void RunContinuity() {
        frm.CableLst->setCurrentIndex(frm.CableLst->findText("Cable 24 wires straight"));
        frm.CableLstChange();
        frm.CheckBoxIso->setChecked(false);
        frm.CheckBoxTOs->setChecked(false);
        frm.StartBtnClick();
    }
    void Ticks(int n) {
        for (int i = 0; i < n; ++i) frm.Timer1Timer();
    }
    // The next tick of the timer ends the connection as a Disconnect does, and later ticks
    // show nothing more.
    void ExpectDisconnectedByTheNextTick() {
        const Lines told = Boxes();
        Ticks(1);
        ExpectDisconnected();
        Ticks(20);
        EXPECT_EQ(Boxes(), told);
    }
    // The disconnected display, as after a Disconnect.
    void ExpectDisconnected() {
        EXPECT_FALSE(frm.Connected);
        EXPECT_FALSE(frm.DisconnectRequested);
        EXPECT_EQ(frm.Port->GetPortNumber(), 0);
        EXPECT_EQ(frm.StaticTextStatus->text().toStdString(), "OFF");
        for (const auto* label :
             {frm.StaticTextVersion, frm.StaticTextBatt, frm.StaticText5V, frm.StaticTextSwNb})
            EXPECT_EQ(label->text().toStdString(), "-") << label->objectName().toStdString();
        EXPECT_FALSE(frm.StartBtn->isEnabled());
        EXPECT_TRUE(frm.PowerBtn->isEnabled());
        EXPECT_EQ(frm.PowerBtn->text().toStdString(), " Connect ");
    }

private:
    RealClock clock_;
    Platform p_;
    Services services_;

public:
    TMainFrm frm;
};

const std::string Unplugged = "warning: Calbrix box USB link lost (unplugged)";

// Unplugged while the connect waits for the switch-board reply ('N', its fifth byte to the
// box): no board is listed from the reply that never came, the operator is told of the unplug
// once, and the window ends disconnected.
TEST_F(WholeStack, CalbrixUnpluggedAtTheSwitchBoardQueryIsToldSo) {
    bed = std::make_unique<UsbBed>(CalbrixChip());
    bed->UnplugAfter(Out, 5);
    CalbrixOnTheBed calbrix(driver);
    calbrix.frm.PowerBtnClick();
    EXPECT_EQ(calbrix.Boxes(), Lines{Unplugged});
    EXPECT_EQ(calbrix.Report(), Lines{}) << "switch boards listed from a reply that never came";
    EXPECT_EQ(calbrix.frm.StaticTextStatus->text().toStdString(), "OFF");
    calbrix.ExpectDisconnectedByTheNextTick();
}

// Unplugged in the middle of a continuity run: told once (no box for the relays' reset, which is
// not tried), the run ends stopped as when the box gives up, and the connection ends once the
// run has.
TEST_F(WholeStack, CalbrixUnpluggedDuringARunIsToldSoOnce) {
    bed = std::make_unique<UsbBed>(CalbrixChip());
    bed->UnplugAfter(Out, 400);
    CalbrixOnTheBed calbrix(driver);
    calbrix.frm.PowerBtnClick();
    ASSERT_TRUE(calbrix.frm.Connected);
    calbrix.RunContinuity();
    EXPECT_EQ(calbrix.Boxes(), (Lines{Unplugged, "warning: Test stopped"}));
    const Lines report = calbrix.Report();
    ASSERT_GE(report.size(), 4u);
    EXPECT_EQ(Lines(report.end() - 4, report.end()),
              (Lines{"Test stopped", std::string(48, '='), "", ""}));
    EXPECT_TRUE(calbrix.frm.DisconnectRequested);
    calbrix.ExpectDisconnectedByTheNextTick();
}

// Unplugged while connected and idle: the timer's next supply reading finds it, the operator is
// told once, and the window shows the disconnected state instead of the last values.
TEST_F(WholeStack, CalbrixUnpluggedWhileIdleEndsTheConnection) {
    bed = std::make_unique<UsbBed>(CalbrixChip());
    CalbrixOnTheBed calbrix(driver);
    calbrix.frm.PowerBtnClick();
    ASSERT_TRUE(calbrix.frm.Connected);
    ASSERT_EQ(calbrix.frm.StaticTextStatus->text().toStdString(), "Connected");
    ASSERT_EQ(calbrix.Boxes(), Lines{});
    bed->Unplug();
    calbrix.Ticks(10); // the tenth reads the supplies
    EXPECT_EQ(calbrix.Boxes(), Lines{Unplugged});
    calbrix.ExpectDisconnectedByTheNextTick();
}

// An operator who may not use the USB device (not in the group the udev rule gives it to) is
// told why the port did not open, and what to do, by both programs.
TEST_F(WholeStack, NoAccessToTheDeviceIsToldWithWhatToDo) {
    const std::string reason =
        "(USB device access denied: join the group plugdev and log in again)";
    {
        bed = std::make_unique<UsbBed>(CalbrixChip());
        bed->DenyAccess();
        CalbrixOnTheBed calbrix(driver);
        {
            testing_support::AsOrdinaryUser user;
            if (!user.Switched()) GTEST_SKIP() << "root could not take another user's rights";
            calbrix.frm.PowerBtnClick();
        }
        EXPECT_EQ(calbrix.Boxes(), Lines{"warning: Unable to open port\n" + reason});
        EXPECT_EQ(calbrix.frm.StaticTextStatus->text().toStdString(), "OFF");
        bed.reset();
    }
    bed = std::make_unique<UsbBed>(FixtureChip());
    bed->DenyAccess();
    RealClock clock;
    Platform p(clock);
    Services services = p.ServicesWith(driver);
    boardtester_tests::FakePortCtlFactory serialPorts;
    relmora::TMainFrm frm(services, serialPorts);
    frm.PortComboBox->setCurrentText("USB");
    {
        testing_support::AsOrdinaryUser user;
        frm.TestButtonClick();
    }
    EXPECT_EQ(frm.LogLines(), (Lines{"Unable to open USB port", reason}));
}

} // namespace
} // namespace usbemu
