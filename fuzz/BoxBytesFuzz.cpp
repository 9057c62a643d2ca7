// libFuzzer entry for the bytes that come back from the box, the one input a faulty or foreign
// device controls. The connect procedure and then every box command run through the real port
// on the virtual clock against InputFtdi. Besides the sanitizers' own checks, each must return
// (or raise BoxCommandFailed, where the command may) within the time its reads can take at
// most: the repeat bound times the longest attempt.

#include <QApplication>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <numeric>
#include <vector>

#include "fuzz/InputFtdi.h"
#include "interface/Main.h"
#include "link/FramedExchange.h"
#include "tests/support/ScriptedDialogs.h"

namespace {

// --- The most time each exchange can take, from the time-outs of its reads -------------------
// A read returns at the latest one poll after its time-out: the 15 ms poll pause, the
// millisecond clock's rounding and a few driver calls.
constexpr uint64_t ReadSlackMs = 20;
constexpr uint64_t AttemptSlackMs = 2; // its writes, each a driver call

uint64_t ReadsMs(const std::vector<uint64_t>& timeouts) {
    return std::accumulate(timeouts.begin(), timeouts.end(), uint64_t{0}) +
           timeouts.size() * ReadSlackMs + AttemptSlackMs;
}

// The 30-byte reply: the first byte after the box's measuring, the others 200 ms apart, then
// the final 'k' for the CRC the program sends back.
std::vector<uint64_t> WithReply(std::vector<uint64_t> reads) {
    reads.push_back(boxlink::LongestFirstReplyByteTimeoutMs);
    reads.insert(reads.end(), ChannelReplyBytes - 1, boxlink::NextReplyByteTimeoutMs);
    reads.push_back(boxlink::FinalAckTimeoutMs);
    return reads;
}

constexpr uint64_t Echo = boxlink::EchoTimeoutMs;
const uint64_t MeasureMs = BoxCommandMaxAttempts * ReadsMs(WithReply({Echo, 1000, 2000}));
const uint64_t ReadChannelsMs = BoxCommandMaxAttempts * ReadsMs(WithReply({Echo}));
const uint64_t SelectMs = BoxCommandMaxAttempts * ReadsMs({Echo, 1000, 2000});
const uint64_t MeterSwitchMs = BoxCommandMaxAttempts * ReadsMs({Echo, 1000, 5000});
const uint64_t RemoteModeMs = ReadsMs({Echo, 3000}); // one attempt
const uint64_t ResetMs = BoxCommandMaxAttempts * ReadsMs({Echo, 2000});
const uint64_t SuppliesMs = ReadsMs({500, 100, 100, 100});
const uint64_t SwitchBoardsMs = ReadsMs({1000, 1000});
// Open: one try and ten set-up pauses of 15 ms; the two probes; the version and the block;
// the pauses of 10, 10 and 50 ms; the supplies; the switch boards; the standby check ('U',
// 100 ms, 'U', 'M', '2').
const uint64_t ConnectMs = 11 * 15 + ReadsMs({1000, 1000, 100, 100}) + 70 + SuppliesMs +
                           SwitchBoardsMs + 2 * ReadChannelsMs + 100 + ReadChannelsMs + SuppliesMs;

// The fields the connect procedure and the commands write, as a new window holds them. Every
// input starts from them, so that one window serves every input (making one takes about
// 60 ms, twenty times a whole input) and a failing input still fails alone.
struct BoxFields {
    std::array<char, 8> firmware;
    int32_t socketLimit, htSelectable, boardsA, boardsB, nodeCount;
    NodeList nodesA, nodesB;
    ChannelReply readings;
    uint16_t ref, supply12, takeOut;
    int16_t unplugged;
    float supply5;
    bool stop, cancel;

    static BoxFields Of(const TMainFrm& f) {
        return {f.FirmwareVersion,  f.SocketLimit,  f.HtSelectable,  f.SwitchBoardsA,
                f.SwitchBoardsB,    f.BoxNodeCount, f.NodesA,        f.NodesB,
                f.ChannelReadings,  f.RefRaw,       f.Supply12Raw,   f.TakeOutRaw,
                f.TakeOutUnplugged, f.Supply5V,     f.StopRequested, f.CancelRequested};
    }
    void To(TMainFrm& f) const {
        f.FirmwareVersion = firmware;
        f.SocketLimit = socketLimit;
        f.HtSelectable = htSelectable;
        f.SwitchBoardsA = boardsA;
        f.SwitchBoardsB = boardsB;
        f.BoxNodeCount = nodeCount;
        f.NodesA = nodesA;
        f.NodesB = nodesB;
        f.ChannelReadings = readings;
        f.RefRaw = ref;
        f.Supply12Raw = supply12;
        f.TakeOutRaw = takeOut;
        f.TakeOutUnplugged = unplugged;
        f.Supply5V = supply5;
        f.StopRequested = stop;
        f.CancelRequested = cancel;
    }
};

struct Session {
    platform::VirtualClock clock{1'000'000};
    platform::ScriptedMessageBoxes boxes; // the default button, as an operator pressing Enter
    platform::ScriptedEventPump events;   // no timer ticks: a tick's own '2' is not a command's
    platform::RecordingCursor cursor;
    platform::VirtualTimers timers{clock};
    platform::RecordingTones tones{clock};
    platform::RecordingProcess process;
    platform::ManualDeviceWatcher devices;
    fuzzing::InputFtdi driver{clock};
    testing_support::ScriptedDialogs dialogs;
    platform::Services services{clock,  driver, boxes,   events,  cursor,
                                timers, tones,  process, devices, dialogs};
    TMainFrm frm{services};
    const BoxFields fresh = BoxFields::Of(frm);

    void Start(const uint8_t* data, size_t size) {
        clock = platform::VirtualClock{1'000'000};
        driver.Reset(data, size);
        boxes.ClearHistory();
        process.started.clear();
        frm.Port.reset(); // the connect makes the program's one port, as at its first click
        frm.Connected = frm.DisconnectRequested = false;
        fresh.To(frm);
        frm.ClearReport();
    }
};

[[noreturn]] void Broken(const char* what, const char* detail) {
    std::fprintf(stderr, "box bytes: %s: %s\n", what, detail);
    std::abort();
}

// Runs one exchange and holds it to its bound; `mayFail` for the commands whose contract is
// to raise BoxCommandFailed when every attempt failed. Any command may raise it for a lost link:
// a failed read or queue query is how the driver ends a device that kept failing.
void Bounded(platform::VirtualClock& clock, const char* name, uint64_t boundMs, bool mayFail,
             const std::function<void()>& exchange) {
    const uint64_t start = clock.NowMicros();
    try {
        exchange();
    } catch (const BoxCommandFailed& e) {
        if (!mayFail && !e.LinkLost()) Broken(name, "raised BoxCommandFailed");
    }
    const uint64_t tookMs = (clock.NowMicros() - start) / 1000;
    if (tookMs > boundMs) {
        char detail[96];
        std::snprintf(detail, sizeof detail, "took %llu ms, more than its bound of %llu ms",
                      static_cast<unsigned long long>(tookMs),
                      static_cast<unsigned long long>(boundMs));
        Broken(name, detail);
    }
}

} // namespace

static Session* session = nullptr;

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(*argc, *argv);
    static Session one;
    session = &one;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    session->Start(data, size);
    TMainFrm& frm = session->frm;
    auto& clock = session->clock;

    Bounded(clock, "connect", ConnectMs, false, [&] { frm.PowerBtnClick(); });
    if (!frm.Port) Broken("connect", "made no port");

    // Every command, connected or not by the handshake: the box's bytes decide the rest.
    frm.Connected = true;
    const NodeList listA{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
    const NodeList listB{0, 96, 95, 94};
    ChannelReply reply{};
    frm.HtVoltage = 800;
    frm.TimingSteps = -1;
    Bounded(clock, "'T'", MeasureMs, true, [&] { frm.BoxMeasure(listA, listB, reply); });
    Bounded(clock, "'Y'", SelectMs, true, [&] { frm.BoxSelectRelayNodes(listA, listB); });
    Bounded(clock, "'O'", SelectMs, true, [&] { frm.BoxSelectNodes(listA, listB); });
    Bounded(clock, "'U'", ReadChannelsMs, true, [&] { frm.BoxReadIsolationChannels(reply); });
    Bounded(clock, "'M'", ReadChannelsMs, true, [&] { frm.BoxReadContinuityChannels(reply); });
    Bounded(clock, "'S'", MeterSwitchMs, true,
            [&] { frm.BoxSetMeterSwitch(frm.MeterSwitchWords); });
    Bounded(clock, "'C'", RemoteModeMs, false, [&] { frm.BoxEnterRemoteMode(); });
    Bounded(clock, "'D'", RemoteModeMs, false, [&] { frm.BoxLeaveRemoteMode(); });
    Bounded(clock, "'R'", ResetMs, true, [&] { frm.BoxResetRelays(); });
    Bounded(clock, "'2'", SuppliesMs, false, [&] { frm.BoxReadSupplies(); });
    Bounded(clock, "'N'", SwitchBoardsMs, false, [&] { frm.DetectSwitchBoards(); });
    Bounded(clock, "'w'", ReadsMs({1000}), false, [&] { frm.BoxProbe(); });
    Bounded(clock, "0xF7", ReadsMs({1000}), false, [&] { frm.BoxProbeHighBit(); });
    Bounded(clock, "'V'", ReadsMs({100, 100}), false, [&] { frm.BoxReadVersion(); });
    // What the program makes of the readings, as a run would.
    Bounded(clock, "supply check", 0, false, [&] { frm.CheckSupplies(); });
    Bounded(clock, "standby check", 2 * ReadChannelsMs + 100 + ReadChannelsMs + SuppliesMs, true,
            [&] { frm.CheckStandbyValues(); });
    Bounded(clock, "conversions", 0, false, [&] {
        for (uint16_t word : reply) {
            frm.RawToIsolationOhms(word);
            frm.RawToContinuityOhms(word);
        }
    });
    return 0;
}
