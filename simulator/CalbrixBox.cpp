#include "simulator/CalbrixBox.h"

#include "simulator/Crc.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace sim {

namespace {

// The firmware drops a partial frame only after this long without a byte: a stray byte is
// taken as payload, so the program's repeat gets back in step after one 'e'.
constexpr uint64_t SafetyTimeoutNs = 5000ull * 1000 * 1000;

constexpr size_t ListsSize = 26; // listA + listB
constexpr size_t ReferenceWordIndex = 13;
// How long the box keeps the program waiting at most, below its 5 s for the first reply byte
// and its 2 s for the 'R' of 'T', with room for the wire and the chip's latency.
constexpr double LongestReplyWaitMs = 4800;
constexpr double LongestReadyWaitMs = 1800;

// Reading word of 'M' that each meter switch word lands on; word 3 is not wired.
constexpr std::array<int, 13> ReadingWordOfSwitch = {1, 0, 2, -1, 3, 4, 5, 6, 7, 8, 9, 10, 11};

std::array<uint8_t, 5> VersionBytes(const std::string& firmware) {
    std::array<uint8_t, 5> bytes{};
    for (size_t i = 0; i < bytes.size() && i < firmware.size(); ++i)
        bytes[i] = static_cast<uint8_t>(firmware[i]);
    return bytes;
}

} // namespace

int CalbrixBox::Selection::SlotNode(int slot) const {
    const uint8_t a = listA[slot];
    const uint8_t b = listB[slot];
    if (a >= 1 && a <= 96) return a;
    if (b >= 1 && b <= 96) return 96 + b;
    return 0;
}

CalbrixBox::CalbrixBox(Bench& bench, Timing& timing, Emitter emit)
    : bench_(bench), timing_(timing), emit_(std::move(emit)) {}

void CalbrixBox::Receive(uint8_t value, uint64_t arrivalNs) {
    uart_.push_back({value, arrivalNs});
}

void CalbrixBox::RunUntil(uint64_t nowNs) {
    for (;;) {
        if (timerNs_) {
            if (*timerNs_ > nowNs) return;
            FireTimer();
            continue;
        }
        if (uart_.empty()) return;
        const uint64_t at = std::max(uart_.front().arrivalNs, readyNs_);
        if (at > nowNs) return;
        const uint8_t value = uart_.front().value;
        uart_.pop_front();
        Handle(value, at);
    }
}

std::optional<uint64_t> CalbrixBox::NextEventNs() const {
    if (timerNs_) return timerNs_;
    if (uart_.empty()) return std::nullopt;
    return std::max(uart_.front().arrivalNs, readyNs_);
}

void CalbrixBox::Abort() {
    uart_.clear();
    phase_ = Phase::Idle;
    payload_.clear();
    timerNs_.reset();
}

void CalbrixBox::PowerCycle() {
    Abort();
    measure_ = {};
    takeOut_ = {};
    relays_ = {};
    readyNs_ = 0;
    lastSentNs_ = 0;
}

uint64_t CalbrixBox::Send(uint8_t value, uint64_t readyNs) {
    const uint64_t end = emit_(value, readyNs);
    lastSentNs_ = std::max(lastSentNs_, end);
    return end;
}

void CalbrixBox::Record(uint8_t command, std::vector<uint8_t> payload, bool crcOk, uint64_t atNs) {
    if (recording_) frames_.push_back({command, std::move(payload), crcOk, atNs / 1000});
}

void CalbrixBox::Handle(uint8_t value, uint64_t atNs) {
    const bool inFrame = phase_ == Phase::Payload || phase_ == Phase::AwaitReplyCrc;
    if (inFrame && atNs - waitSinceNs_ > SafetyTimeoutNs) {
        phase_ = Phase::Idle;
        payload_.clear();
    }
    switch (phase_) {
    case Phase::Idle:
        StartCommand(value, atNs);
        break;
    case Phase::Payload:
        payload_.push_back(value);
        if (payload_.size() == need_) FinishPayload(atNs);
        break;
    case Phase::AwaitReplyCrc:
        // The program's CRC of the reply as the box sent it; anything else means a damaged reply.
        Send(value == Crc7(sent_.data(), sent_.size()) ? 'k' : 'e', atNs + FirmwareNs());
        phase_ = Phase::Idle;
        break;
    case Phase::Measuring:
        break; // not reached: RunUntil holds bytes while a measurement runs
    }
    readyNs_ = std::max(atNs + FirmwareNs(), lastSentNs_);
    waitSinceNs_ = readyNs_;
}

void CalbrixBox::StartCommand(uint8_t command, uint64_t atNs) {
    const uint64_t ready = atNs + FirmwareNs();
    auto expect = [this, command](size_t bytes) {
        phase_ = Phase::Payload;
        command_ = command;
        need_ = bytes;
        payload_.clear();
    };
    const bool meterAnswers = bench_.meter.present && bench_.meter.answers;

    switch (command) {
    case 'T': {
        Send('t', ready);
        const bool voltageCode = FirmwareAtLeast(bench_.firmware.substr(0, 5), "1.03");
        expect((voltageCode ? 1 : 0) + 2 + ListsSize + 1);
        break;
    }
    case 'U':
        Send('u', ready);
        expect(2);
        break;
    case 'O':
    case 'Y':
    case 'S':
        Send(static_cast<uint8_t>(command + ('a' - 'A')), ready);
        expect(ListsSize + 1);
        break;
    case 'M':
        Send('m', ready);
        Record(command, {}, true, atNs);
        StartMeasuring(Reply::Continuity, ready + MsToNs(timing_.continuityMeasureMs));
        break;
    case 'C':
    case 'D':
        Send(static_cast<uint8_t>(command + ('a' - 'A')), ready);
        Record(command, {}, true, atNs);
        if (meterAnswers && command == 'C' && bench_.meter.unansweredRemote > 0) {
            --bench_.meter.unansweredRemote; // not yet switched to remote mode
        } else if (meterAnswers) {
            bench_.meter.remote = command == 'C';
            Send('R', ready + MsToNs(timing_.meterMs));
        }
        break;
    case 'R':
        Send('r', ready);
        Record(command, {}, true, atNs);
        measure_ = {};
        takeOut_ = {};
        relays_ = {};
        Send('R', ready + MsToNs(timing_.relaySettleMs));
        break;
    case '2':
        Record(command, {}, true, atNs);
        StartMeasuring(Reply::Supplies, ready + MsToNs(timing_.supplyReadMs));
        break;
    case 'N':
        Record(command, {}, true, atNs);
        Send(bench_.switchBoardsA, ready);
        Send(bench_.switchBoardsB, ready);
        break;
    case 'w':
        Record(command, {}, true, atNs);
        Send('t', ready);
        break;
    case 0xF7:
        Record(command, {}, true, atNs);
        Send('w', ready);
        break;
    case 'V': {
        Record(command, {}, true, atNs);
        const auto version = VersionBytes(bench_.firmware);
        for (uint8_t b : version) Send(b, ready);
        if (std::memcmp(version.data(), "1.00", 5) != 0)
            for (uint8_t b : bench_.configBlock) Send(b, ready);
        break;
    }
    default:
        break; // noise while idle
    }
}

bool CalbrixBox::ListsCrcOk(size_t offset, Selection& into) const {
    std::copy_n(payload_.begin() + static_cast<std::ptrdiff_t>(offset), 13, into.listA.begin());
    std::copy_n(payload_.begin() + static_cast<std::ptrdiff_t>(offset + 13), 13,
                into.listB.begin());
    into.active = true;
    return Crc7(payload_.data() + offset, ListsSize) == payload_[offset + ListsSize];
}

void CalbrixBox::FinishPayload(uint64_t atNs) {
    const uint64_t ready = atNs + FirmwareNs();
    const uint64_t settled = ready + MsToNs(timing_.relaySettleMs);
    phase_ = Phase::Idle;
    Selection lists;

    switch (command_) {
    case 'T': {
        const size_t timingAt = need_ - (ListsSize + 1) - 2; // after the voltage code, if any
        const bool ok = ListsCrcOk(timingAt + 2, lists);
        Record(command_, payload_, ok, atNs);
        if (!ok) {
            Send('e', ready);
            break;
        }
        // The measurement starts once the relays have settled. A long one is already under way
        // when the box acknowledges: 'k' and 'R' come late enough that none of the program's
        // waits (1 s for 'k', 2 s for 'R', 5 s for the first reply byte) runs out, so that the
        // longest self-adaptive time, 7 s, fits.
        const double measureMs = MeasureMs(payload_[timingAt], payload_[timingAt + 1]);
        const double rLateMs = std::max(0.0, measureMs - LongestReplyWaitMs);
        const double kLateMs = std::max(0.0, rLateMs - LongestReadyWaitMs);
        Send('k', ready + MsToNs(kLateMs));
        measure_ = lists;
        Send('R', settled + MsToNs(rLateMs));
        StartMeasuring(Reply::Isolation, settled + MsToNs(measureMs));
        break;
    }
    case 'U':
        Record(command_, payload_, true, atNs);
        StartMeasuring(Reply::Isolation, ready + MsToNs(MeasureMs(payload_[0], payload_[1])));
        break;
    case 'O':
    case 'Y': {
        const bool ok = ListsCrcOk(0, lists);
        Record(command_, payload_, ok, atNs);
        if (!ok) {
            Send('e', ready);
            break;
        }
        Send('k', ready);
        (command_ == 'O' ? takeOut_ : relays_) = lists;
        if (command_ == 'O') {
            takeOutReadings_ = handReadings_ = handContacts_ = 0;
            takeOutSelectedMs_ = static_cast<double>(settled) / 1e6;
        }
        Send('R', settled);
        break;
    }
    case 'S': {
        const bool ok = Crc7(payload_.data(), ListsSize) == payload_[ListsSize];
        Record(command_, payload_, ok, atNs);
        if (!ok) {
            Send('e', ready);
            break;
        }
        Send('k', ready);
        Meter& meter = bench_.meter;
        if (meter.present && meter.answers && meter.remote) {
            for (size_t w = 0; w < meter.switchWords.size(); ++w)
                meter.switchWords[w] =
                    static_cast<uint16_t>(payload_[2 * w] | (payload_[2 * w + 1] << 8));
            CountSwitchings(meter, meter.switchWords);
            Send('R', ready + MsToNs(timing_.meterMs));
        }
        break;
    }
    default:
        break;
    }
    payload_.clear();
}

double CalbrixBox::MeasureMs(uint8_t steps, uint8_t shift) const {
    if (!timing_.measureTime) return 0;
    // The firmware's shift is bounded; past 16 the time would be hours anyway.
    return 50.0 * steps + static_cast<double>(50ull << std::min<uint8_t>(shift, 16));
}

void CalbrixBox::StartMeasuring(Reply reply, uint64_t atNs) {
    phase_ = Phase::Measuring;
    reply_ = reply;
    timerNs_ = atNs;
}

void CalbrixBox::FireTimer() {
    const uint64_t at = *timerNs_;
    timerNs_.reset();
    const double atMs = static_cast<double>(at) / 1e6;

    if (reply_ == Reply::Supplies) {
        if (bench_.takeOutFlipIn > 0 && --bench_.takeOutFlipIn == 0)
            bench_.takeOutPlugged = bench_.takeOutFlipTo;
        std::array<uint16_t, 4> words = {ReferenceWord(bench_), Supply12Word(bench_),
                                         TakeOutWord(atMs),
                                         static_cast<uint16_t>(bench_.takeOutPlugged ? 0 : 1)};
        if (bench_.supplyReferenceZeroIn > 0 && --bench_.supplyReferenceZeroIn == 0) words[0] = 0;
        for (uint16_t w : words) {
            Send(static_cast<uint8_t>(w & 0xFF), at);
            Send(static_cast<uint8_t>(w >> 8), at);
        }
        phase_ = Phase::Idle;
    } else {
        std::vector<size_t> leaksSeen;
        auto words = ChannelWords(reply_, atMs, leaksSeen);
        // A drifting leak moves on once per reply that saw it, however many channels did.
        std::sort(leaksSeen.begin(), leaksSeen.end());
        leaksSeen.erase(std::unique(leaksSeen.begin(), leaksSeen.end()), leaksSeen.end());
        for (size_t i : leaksSeen) ++bench_.leaks[i].seen;
        if (bench_.referenceZeroIn > 0 && --bench_.referenceZeroIn == 0)
            words[ReferenceWordIndex] = 0;
        for (size_t i = 0; i < words.size(); ++i) {
            sent_[2 * i] = static_cast<uint8_t>(words[i] & 0xFF);
            sent_[2 * i + 1] = static_cast<uint8_t>(words[i] >> 8);
        }
        for (uint8_t b : sent_) Send(b, at);
        phase_ = Phase::AwaitReplyCrc;
    }
    readyNs_ = std::max(at, lastSentNs_);
    waitSinceNs_ = readyNs_;
}

std::array<uint16_t, 15> CalbrixBox::ChannelWords(Reply reply, double atMs,
                                                  std::vector<size_t>& leaksSeen) const {
    std::array<uint16_t, 15> words{};
    const bool isolation = reply == Reply::Isolation;
    for (size_t k = 0; k < 12; ++k)
        words[k] = NoCurrentWord(bench_, isolation ? bench_.isolationStandby[k]
                                                   : bench_.continuityStandby[k]);

    if (isolation && measure_.active) {
        const int reference = measure_.SlotNode(0);
        for (int k = 1; k <= 12 && NodeServed(bench_, reference); ++k) {
            const int node = measure_.SlotNode(k);
            if (!NodeServed(bench_, node)) continue;
            const double ohms = IsolationOhms(bench_, reference, node, atMs, &leaksSeen);
            if (ohms < NoPath) words[k - 1] = IsolationWord(bench_, ohms);
        }
    }
    const Meter& meter = bench_.meter;
    if (!isolation && relays_.active && meter.present && NodeServed(bench_, relays_.SlotNode(0))) {
        const int node = relays_.SlotNode(0);
        for (size_t w = 0; w < meter.switchWords.size(); ++w) {
            const int electrode = meter.switchWords[w];
            const auto wired = meter.electrodeNode.find(electrode);
            if (electrode == 0 || ReadingWordOfSwitch[w] < 0 ||
                wired == meter.electrodeNode.end() || wired->second != node)
                continue;
            const double ohms = MeterPathOhms(meter, electrode, static_cast<int>(w));
            if (ohms < NoPath) words[ReadingWordOfSwitch[w]] = ContinuityWord(bench_, ohms);
        }
    }
    words[12] = Supply12Word(bench_);
    words[ReferenceWordIndex] = ReferenceWord(bench_);
    words[14] = bench_.takeOutPlugged ? 0 : 1;
    return words;
}

uint16_t CalbrixBox::TakeOutWord(double atMs) {
    const uint16_t none = NoCurrentWord(bench_, bench_.takeOutStandby);
    const int from = takeOut_.SlotNode(0);
    if (!takeOut_.active || !NodeServed(bench_, from)) return none;
    // Conductors that open for some readings of their selection are open now or not.
    ++takeOutReadings_;
    const bool byReadings = std::any_of(bench_.conductors.begin(), bench_.conductors.end(),
                                        [](const Conductor& c) { return c.openFromReading > 0; });
    Bench now;
    if (byReadings) {
        now = bench_;
        for (Conductor& c : now.conductors)
            if (c.openFromReading > 0 && takeOutReadings_ >= c.openFromReading &&
                (c.openToReading == 0 || takeOutReadings_ <= c.openToReading))
                c.open = true;
    }
    const Bench& bench = byReadings ? now : bench_;
    std::vector<std::pair<int, double>> targets;
    for (int k = 1; k <= 12; ++k)
        if (NodeServed(bench_, takeOut_.SlotNode(k)))
            targets.emplace_back(takeOut_.SlotNode(k), 0.0);
    if (bench_.takeOutPlugged) {
        for (const Touch& t : bench_.touches)
            if (atMs >= t.fromMs && atMs < t.toMs) targets.emplace_back(t.node, t.ohms);
        if (HandTouches(atMs)) targets.emplace_back(from, bench_.hand.ohms);
    }
    const double ohms = PathOhms(bench, from, targets, atMs);
    return ohms < NoPath ? ContinuityWord(bench_, ohms) : none;
}

bool CalbrixBox::HandTouches(double atMs) {
    const Hand& hand = bench_.hand;
    if (!hand.present || atMs < takeOutSelectedMs_ + hand.delayMs) return false;
    const int reading = ++handReadings_;
    const bool slipping =
        hand.slipAfter > 0 && reading > hand.slipAfter && reading <= hand.slipAfter + hand.slipFor;
    if (slipping || handContacts_ >= hand.holdReadings) return false;
    ++handContacts_;
    return true;
}

} // namespace sim
