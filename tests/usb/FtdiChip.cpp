#include "tests/usb/FtdiChip.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <utility>

#include "simulator/CalbrixBox.h"
#include "simulator/SwitchBoardFixture.h"

namespace usbemu {

namespace {

constexpr uint8_t VendorOut = 0x40;
constexpr uint8_t VendorIn = 0xC0;
constexpr uint8_t StandardIn = 0x80;
constexpr uint8_t GetDescriptor = 0x06;

// The vendor requests of the chip family, by number, for the names in records and faults.
struct VendorRequest {
    uint8_t number;
    const char* name;
};
constexpr std::array<VendorRequest, 15> VendorRequests = {{
    {0x00, "Reset"},
    {0x01, "SetModemControl"},
    {0x02, "SetFlowControl"},
    {0x03, "SetBaudRate"},
    {0x04, "SetData"},
    {0x05, "PollModemStatus"},
    {0x06, "SetEventChar"},
    {0x07, "SetErrorChar"},
    {0x09, "SetLatencyTimer"},
    {0x0A, "GetLatencyTimer"},
    {0x0B, "SetBitMode"},
    {0x0C, "ReadPins"},
    {0x90, "ReadEeprom"},
    {0x91, "WriteEeprom"},
    {0x92, "EraseEeprom"},
}};

const char* VendorName(uint8_t request) {
    for (const auto& r : VendorRequests)
        if (r.number == request) return r.name;
    return "unnamed";
}

// Eighths of the divisor that each 3-bit fraction code stands for.
constexpr std::array<uint32_t, 8> FractionEighths = {0, 4, 2, 1, 3, 5, 6, 7};
constexpr uint32_t BaseClock = 3'000'000;

constexpr uint8_t LineTransmitterEmpty = 0x60; // THRE and TEMT
constexpr uint8_t LineOverrun = 0x02;
constexpr uint8_t ModemReserved = 0x01; // the low nibble the chip sends

std::vector<uint8_t> StringDescriptor(const std::string& text) {
    std::vector<uint8_t> d = {static_cast<uint8_t>(2 + 2 * text.size()), 3};
    for (const char c : text) {
        d.push_back(static_cast<uint8_t>(c));
        d.push_back(0);
    }
    return d;
}

// The Calbrix box with the bench it lives on.
class BoxOnBench final : public sim::WireDevice {
public:
    BoxOnBench(sim::Bench bench, sim::Timing& timing, Emitter emit)
        : bench_(std::move(bench)), box_(bench_, timing, std::move(emit)) {}
    void Receive(uint8_t value, uint64_t arrivalNs) override { box_.Receive(value, arrivalNs); }
    void RunUntil(uint64_t nowNs) override { box_.RunUntil(nowNs); }
    std::optional<uint64_t> NextEventNs() const override { return box_.NextEventNs(); }
    void Abort() override { box_.Abort(); }
    void PowerCycle() override { box_.PowerCycle(); }

private:
    sim::Bench bench_;
    sim::CalbrixBox box_;
};

} // namespace

uint32_t Ft232rBaud(uint16_t value, uint16_t index) {
    if ((index & ~1u) != 0) return 0; // an FT232R has no further divisor bits
    const uint32_t integer = value & 0x3FFF;
    const uint32_t code = (value >> 14) | ((index & 1u) << 2);
    if (code == 0 && integer == 0) return 3'000'000;
    if (code == 0 && integer == 1) return 2'000'000;
    const uint32_t eighths = integer * 8 + FractionEighths[code];
    if (eighths < 16) return 0; // below a divisor of 2 only the two cases above exist
    return (BaseClock * 8 + eighths / 2) / eighths;
}

FtdiChip::FtdiChip(DeviceMaker device, sim::Timing timing, ChipStrings strings)
    : timing_(timing), line_(timing_), strings_(std::move(strings)) {
    // The line shows the host's bytes as they arrive; the chip's latency timer is ours.
    timing_.latencyMs = 0;
    device_ = device(
        timing_, [this](uint8_t value, uint64_t readyNs) { return line_.Emit(value, readyNs); });
}

std::vector<uint8_t> FtdiChip::Descriptors() const {
    // clang-format off
    return {
        // device: USB 2.0, vendor class, 8-byte control packets, 0403:6001, release 6.00
        18, 1, 0x00, 0x02, 0, 0, 0, 8, 0x03, 0x04, 0x01, 0x60, 0x00, 0x06, 1, 2, 3, 1,
        // configuration 1: one interface, bus powered, 90 mA
        9, 2, 32, 0, 1, 1, 0, 0xA0, 45,
        // interface 0: two endpoints, vendor class
        9, 4, 0, 0, 2, 0xFF, 0xFF, 0xFF, 2,
        // bulk IN 0x81 and bulk OUT 0x02, 64-byte packets
        7, 5, 0x81, 2, 64, 0, 0,
        7, 5, 0x02, 2, 64, 0, 0,
    };
    // clang-format on
}

std::optional<uint64_t> FtdiChip::NextLineEventNs() const {
    std::optional<uint64_t> next = line_.NextEventNs(modelNs_);
    if (const auto device = device_->NextEventNs(); device && (!next || *device < *next))
        next = device;
    return next;
}

void FtdiChip::StepTo(uint64_t ns) {
    ns = std::max(ns, modelNs_);
    modelNs_ = ns;
    if (!powered_) return;
    line_.DeliverToBox(ns, [this](uint8_t value, uint64_t atNs) { device_->Receive(value, atNs); });
    device_->RunUntil(ns);
    line_.AdvanceChip(ns);
    std::array<uint8_t, 256> arrived;
    while (const uint32_t n = line_.Take(arrived.data(), arrived.size(), ns)) {
        for (uint32_t i = 0; i < n; ++i) {
            if (toHost_.size() < receiveFifoBytes_) {
                toHost_.push_back(arrived[i]);
                highWater_ = std::max(highWater_, toHost_.size());
            } else {
                ++lostBytes_;
                overrun_ = true;
            }
        }
    }
}

void FtdiChip::CatchUp(uint64_t nowNs) {
    StepTo(nowNs);
}

uint64_t FtdiChip::StepUntilFullPacket(uint64_t target) {
    for (;;) {
        if (toHost_.size() >= PacketData) return modelNs_;
        const auto next = NextLineEventNs();
        if (!next || *next > target) {
            StepTo(target);
            return std::max(target, modelNs_);
        }
        const uint64_t at = std::max(*next, modelNs_);
        StepTo(at);
        if (const auto after = NextLineEventNs(); after && *after <= at) {
            // Nothing moved: the model would spin here for ever.
            AddFault("the line model stands still at " + std::to_string(at) + " ns");
            StepTo(target);
            return std::max(target, modelNs_);
        }
    }
}

std::vector<uint8_t> FtdiChip::Packet(size_t dataBytes) {
    std::vector<uint8_t> packet;
    packet.reserve(2 + dataBytes);
    packet.push_back(static_cast<uint8_t>(ModemReserved | modemInputs_));
    uint8_t line = (overrun_ ? LineOverrun : 0) | lineErrors_;
    if (line_.TxPending(modelNs_) == 0) line |= LineTransmitterEmpty;
    packet.push_back(line);
    overrun_ = false;
    lineErrors_ = 0;
    for (size_t i = 0; i < dataBytes; ++i) {
        packet.push_back(toHost_.front());
        toHost_.pop_front();
    }
    return packet;
}

std::optional<uint64_t> FtdiChip::CollectIn(InTransfer& t, uint64_t nowNs) {
    while (!t.done) {
        // The host asks from the moment it submitted; the latency timer runs from the last
        // packet the chip sent, whoever it went to.
        const uint64_t from = t.data.empty() ? t.submitNs : t.doneNs;
        const uint64_t latencyNs = sim::MsToNs(latencyMs_);
        const uint64_t latencyDue =
            std::max(from, lastPacketNs_ ? *lastPacketNs_ + latencyNs : uint64_t{0});
        const uint64_t target = std::min(latencyDue, nowNs);
        const uint64_t reached = StepUntilFullPacket(target);
        const bool full = toHost_.size() >= PacketData;
        if (!full && latencyDue > nowNs) {
            const auto next = NextLineEventNs();
            return next && *next < latencyDue ? std::max(*next, nowNs) : latencyDue;
        }
        const size_t dataBytes = full ? PacketData : toHost_.size();
        const uint64_t at = full ? std::max(reached, from) : latencyDue;
        if (t.capacity - t.data.size() < 2 + dataBytes) {
            t.overflow = true;
            t.done = true;
            t.doneNs = at;
            break;
        }
        const std::vector<uint8_t> packet = Packet(dataBytes);
        t.data.insert(t.data.end(), packet.begin(), packet.end());
        lastPacketNs_ = at;
        t.doneNs = at;
        // A short packet ends the transfer; so does a full buffer.
        t.done = !full || t.data.size() == t.capacity;
    }
    return std::nullopt;
}

size_t FtdiChip::TakeFromHost(std::span<const uint8_t> bytes, uint64_t nowNs) {
    StepTo(nowNs);
    const uint32_t pending = line_.TxPending(modelNs_);
    const size_t room = pending >= TransmitFifoBytes ? 0 : TransmitFifoBytes - pending;
    const size_t n = std::min(room, bytes.size());
    for (size_t i = 0; i < n; ++i) line_.Send(bytes[i], modelNs_);
    return n;
}

void FtdiChip::PowerOff() {
    device_->PowerCycle();
    line_.Reset();
    toHost_.clear();
    powered_ = false;
}

std::vector<ChipRequest> FtdiChip::Requests(const std::string& name) const {
    std::vector<ChipRequest> out;
    std::copy_if(requests_.begin(), requests_.end(), std::back_inserter(out),
                 [&name](const ChipRequest& r) { return r.name == name; });
    return out;
}

void FtdiChip::Record(const char* name, const ControlSetup& setup, uint64_t nowNs) {
    requests_.push_back({name, setup.value, setup.index, nowNs});
}

void FtdiChip::Fault(const char* what, const ControlSetup& setup) {
    const bool vendor = (setup.requestType & 0x60) == 0x40;
    const char* name = vendor                           ? VendorName(setup.request)
                       : setup.request == GetDescriptor ? "GetDescriptor"
                                                        : "standard";
    char text[160];
    std::snprintf(text, sizeof text,
                  "%s: request %s (type 0x%02X, number 0x%02X, value 0x%04X, index 0x%04X, "
                  "length %u)",
                  what, name, setup.requestType, setup.request, setup.value, setup.index,
                  setup.length);
    faults_.push_back(text);
}

std::optional<std::vector<uint8_t>>
FtdiChip::Control(const ControlSetup& setup, std::span<const uint8_t> out, uint64_t nowNs) {
    StepTo(nowNs);
    if (!out.empty() && (setup.requestType & 0x80) == 0 && out.size() != setup.length) {
        Fault("data stage of the wrong length", setup);
        return std::nullopt;
    }
    if (setup.requestType == VendorOut || setup.requestType == VendorIn)
        return Vendor(setup, nowNs);
    if (setup.requestType == StandardIn && setup.request == GetDescriptor) {
        auto descriptor = Standard(setup);
        if (descriptor) Record("GetDescriptor", setup, nowNs);
        return descriptor;
    }
    Fault("the chip does not take this request", setup);
    return std::nullopt;
}

std::optional<std::vector<uint8_t>> FtdiChip::Standard(const ControlSetup& setup) {
    const uint8_t type = setup.value >> 8;
    const uint8_t number = setup.value & 0xFF;
    std::vector<uint8_t> d;
    const std::vector<uint8_t> all = Descriptors();
    if (type == 1 && number == 0) {
        d.assign(all.begin(), all.begin() + 18);
    } else if (type == 2 && number == 0) {
        d.assign(all.begin() + 18, all.end());
    } else if (type == 3 && number == 0) {
        d = {4, 3, 0x09, 0x04}; // US English only
    } else if (type == 3 && number <= 3 && setup.index == 0x0409) {
        const std::string* texts[] = {&strings_.manufacturer, &strings_.description,
                                      &strings_.serial};
        d = StringDescriptor(*texts[number - 1]);
    } else {
        Fault("no such descriptor", setup);
        return std::nullopt;
    }
    if (d.size() > setup.length) d.resize(setup.length);
    return d;
}

std::optional<std::vector<uint8_t>> FtdiChip::Vendor(const ControlSetup& setup, uint64_t nowNs) {
    const bool in = setup.requestType == VendorIn;
    // Every request but the baud rate carries the port in the low byte of its index: an
    // FT232R has one, numbered 0 or 1.
    const uint8_t port = setup.index & 0xFF;
    if (setup.request != 0x03 && port > 1) {
        Fault("no such port", setup);
        return std::nullopt;
    }
    auto refuse = [&](const char* why) -> std::optional<std::vector<uint8_t>> {
        Fault(why, setup);
        return std::nullopt;
    };
    switch (in ? 0x100 | setup.request : setup.request) {
    case 0x00:
        if (setup.value == 0) {
            Record("Reset", setup, nowNs);
            toHost_.clear();
            line_.PurgeRx();
            line_.PurgeTx(modelNs_);
            overrun_ = false;
            lineErrors_ = 0;
        } else if (setup.value == 1) {
            // Named from the chip's side: its FIFO of bytes from the host to the line.
            Record("PurgeToLine", setup, nowNs);
            line_.PurgeTx(modelNs_);
        } else if (setup.value == 2) {
            Record("PurgeToHost", setup, nowNs);
            toHost_.clear();
            line_.PurgeRx();
            overrun_ = false;
        } else {
            return refuse("no such reset");
        }
        return std::vector<uint8_t>{};
    case 0x01: {
        const uint8_t mask = setup.value >> 8;
        if (mask == 0 || (mask & ~3u) != 0) return refuse("no such modem line");
        Record("SetModemControl", setup, nowNs);
        if (mask & 1) dtr_ = (setup.value & 1) != 0;
        if (mask & 2) rts_ = (setup.value & 2) != 0;
        return std::vector<uint8_t>{};
    }
    case 0x02: {
        const uint16_t mode = setup.index >> 8;
        if (mode != 0 && mode != 1 && mode != 2 && mode != 4) return refuse("no such flow control");
        Record("SetFlowControl", setup, nowNs);
        flowControl_ = mode;
        if (mode == 4) {
            xon_ = setup.value & 0xFF;
            xoff_ = setup.value >> 8;
        }
        return std::vector<uint8_t>{};
    }
    case 0x03: {
        const uint32_t baud = Ft232rBaud(setup.value, setup.index);
        if (baud == 0) return refuse("not an FT232R baud divisor");
        Record("SetBaudRate", setup, nowNs);
        baud_ = baud;
        line_.SetBaud(baud);
        return std::vector<uint8_t>{};
    }
    case 0x04: {
        const uint8_t bits = setup.value & 0xFF;
        const uint8_t parity = (setup.value >> 8) & 7;
        const uint8_t stop = (setup.value >> 11) & 7;
        if ((bits != 7 && bits != 8) || parity > 4 || stop > 2 || (setup.value & 0x8000) != 0)
            return refuse("no such data format");
        Record("SetData", setup, nowNs);
        lineProperties_ = setup.value;
        return std::vector<uint8_t>{};
    }
    case 0x09:
        if (setup.value < 1 || setup.value > 255) return refuse("no such latency");
        Record("SetLatencyTimer", setup, nowNs);
        latencyMs_ = static_cast<uint8_t>(setup.value);
        return std::vector<uint8_t>{};
    case 0x100 | 0x05: {
        if (setup.length != 2) return refuse("modem status is two bytes");
        Record("PollModemStatus", setup, nowNs);
        uint8_t line = line_.TxPending(modelNs_) == 0 ? LineTransmitterEmpty : 0;
        if (overrun_) line |= LineOverrun;
        line |= lineErrors_;
        return std::vector<uint8_t>{static_cast<uint8_t>(ModemReserved | modemInputs_), line};
    }
    case 0x100 | 0x0A:
        if (setup.length != 1) return refuse("the latency is one byte");
        Record("GetLatencyTimer", setup, nowNs);
        return std::vector<uint8_t>{latencyMs_};
    default:
        return refuse("the chip does not take this request");
    }
}

std::unique_ptr<FtdiChip> CalbrixChip(sim::Bench bench, sim::Timing timing) {
    ChipStrings strings{bench.eepromManufacturer, bench.eepromDescription, bench.eepromSerial};
    auto device = [bench = std::move(bench)](
                      sim::Timing& t,
                      sim::WireDevice::Emitter emit) -> std::unique_ptr<sim::WireDevice> {
        return std::make_unique<BoxOnBench>(bench, t, std::move(emit));
    };
    return std::make_unique<FtdiChip>(device, timing, std::move(strings));
}

std::unique_ptr<FtdiChip> FixtureChip(sim::FixtureSetup setup, sim::Timing timing) {
    auto device = [setup = std::move(setup)](
                      sim::Timing& t,
                      sim::WireDevice::Emitter emit) -> std::unique_ptr<sim::WireDevice> {
        return std::make_unique<sim::SwitchBoardFixture>(setup, t, std::move(emit));
    };
    return std::make_unique<FtdiChip>(device, timing,
                                      ChipStrings{"Tolvex", "Relmora fixture", "TKRELMv1"});
}

} // namespace usbemu
