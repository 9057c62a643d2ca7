#pragma once
// An FT232R-like USB-serial chip as the USB host sees it, with a simulated device on its serial
// line: the vendor requests it answers on the control pipe, bulk OUT into its 128-byte transmit
// FIFO and onto the line at the baud rate it was given, and bulk IN from its 256-byte receive
// FIFO in 64-byte packets, each led by the two modem-status bytes. A packet goes to the host
// when 62 data bytes are waiting, or when the latency timer has run out since the last packet,
// with whatever is there (often nothing but the status bytes). A full receive FIFO loses bytes
// and reports an overrun.
//
// The model is lazy: every call names the time it happens at (ns since the chip was made) and
// the line and the device are brought up to it first. Not thread-safe: the test bed holds its
// lock around every call.

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "simulator/Bench.h"
#include "simulator/SerialLink.h"
#include "simulator/SimulatedFtdi.h"
#include "simulator/SwitchBoardFixture.h"
#include "simulator/Timing.h"
#include "simulator/WireDevice.h"

namespace usbemu {

// The eight bytes that lead a control transfer.
struct ControlSetup {
    uint8_t requestType = 0;
    uint8_t request = 0;
    uint16_t value = 0;
    uint16_t index = 0;
    uint16_t length = 0;
};

// A request the chip took, for tests that look at what the driver sent.
struct ChipRequest {
    std::string name; // "SetBaudRate", "PurgeToHost" ...
    uint16_t value = 0;
    uint16_t index = 0;
    uint64_t atNs = 0;
};

struct ChipStrings {
    std::string manufacturer = "Tolvex";
    std::string description = "Calbrix box";
    std::string serial = "TKCALBv1";
};

// The baud rate an FT232R divisor gives: 3 MHz over an integer part (14 bits of value) plus an
// eighth-step fraction coded in value bits 14-15 and index bit 0; 0 stands for 3 MBd and 1 for
// 2 MBd. 0 when the request is not one an FT232R takes.
uint32_t Ft232rBaud(uint16_t value, uint16_t index);

class FtdiChip {
public:
    using DeviceMaker = sim::SimulatedFtdi::DeviceMaker;

    static constexpr size_t PacketBytes = 64;
    static constexpr size_t PacketData = PacketBytes - 2;
    static constexpr size_t ReceiveFifoBytes = 256;
    static constexpr size_t TransmitFifoBytes = 128;

    // `timing` is the line's and the device's; the chip keeps its own latency timer (16 ms
    // until the host sets it).
    FtdiChip(DeviceMaker device, sim::Timing timing, ChipStrings strings);

    // The descriptors the host reads from sysfs: device, then configuration with its interface
    // and the two bulk endpoints.
    std::vector<uint8_t> Descriptors() const;
    const ChipStrings& Strings() const { return strings_; }

    // A control transfer: the data stage of an IN request, or nothing for OUT. A request the
    // chip does not know stalls (no value) and is listed in Faults().
    std::optional<std::vector<uint8_t>> Control(const ControlSetup& setup,
                                                std::span<const uint8_t> out, uint64_t nowNs);

    // Bulk OUT: takes as many bytes as its transmit FIFO has room for; the count taken.
    size_t TakeFromHost(std::span<const uint8_t> bytes, uint64_t nowNs);

    // A bulk IN transfer of up to `capacity` bytes, filled packet by packet as they go.
    struct InTransfer {
        size_t capacity = 0;
        uint64_t submitNs = 0;
        std::vector<uint8_t> data;
        bool done = false;
        bool overflow = false; // a packet did not fit: the host sees an overflow
        uint64_t doneNs = 0;
    };
    // Sends the packets due by now into the transfer; when it is not done yet, the time by
    // which something may have changed.
    std::optional<uint64_t> CollectIn(InTransfer& transfer, uint64_t nowNs);

    // The line and the device up to now; bytes that reach a full receive FIFO are lost.
    void CatchUp(uint64_t nowNs);
    // The device loses its power (the chip was unplugged).
    void PowerOff();

    // What the host set.
    uint32_t Baud() const { return baud_; }
    uint16_t LineProperties() const { return lineProperties_; }
    uint16_t FlowControl() const { return flowControl_; } // wIndex high byte: 1, 2, 4 or 0
    uint8_t Xon() const { return xon_; }
    uint8_t Xoff() const { return xoff_; }
    bool Dtr() const { return dtr_; }
    bool Rts() const { return rts_; }
    uint8_t LatencyMs() const { return latencyMs_; }
    const std::vector<ChipRequest>& Requests() const { return requests_; }
    // Requests of one name, in order.
    std::vector<ChipRequest> Requests(const std::string& name) const;
    // Requests the chip does not know, each by name, and other misuse it saw.
    const std::vector<std::string>& Faults() const { return faults_; }
    void AddFault(std::string fault) { faults_.push_back(std::move(fault)); }

    // A receive FIFO of another size than the FT232R's.
    void SetReceiveFifoBytes(size_t bytes) { receiveFifoBytes_ = bytes; }
    // The modem inputs the device drives: CTS 0x10, DSR 0x20, RI 0x40, DCD 0x80.
    void SetModemInputs(uint8_t bits) { modemInputs_ = bits; }
    // Errors the line had (overrun 0x02, parity 0x04, framing 0x08, break 0x10): the next packet
    // carries them in its line status byte, as does a status poll until then.
    void AddLineErrors(uint8_t bits) { lineErrors_ |= bits; }
    size_t ReceiveFifoCount() const { return toHost_.size(); }
    uint64_t LostBytes() const { return lostBytes_; }
    // The most bytes the receive FIFO has held.
    size_t HighWater() const { return highWater_; }
    sim::WireDevice& Device() { return *device_; }
    sim::SerialLink& Line() { return line_; }

    // The next time a byte moves on the line or the device acts on its own.
    std::optional<uint64_t> NextLineEventNs() const;

private:
    void StepTo(uint64_t ns);
    // Steps the line up to `target`, stopping early when a full packet is waiting; the time
    // reached.
    uint64_t StepUntilFullPacket(uint64_t target);
    std::vector<uint8_t> Packet(size_t dataBytes);
    std::optional<std::vector<uint8_t>> Vendor(const ControlSetup& setup, uint64_t nowNs);
    std::optional<std::vector<uint8_t>> Standard(const ControlSetup& setup);
    void Record(const char* name, const ControlSetup& setup, uint64_t nowNs);
    void Fault(const char* what, const ControlSetup& setup);

    sim::Timing timing_;
    sim::SerialLink line_;
    std::unique_ptr<sim::WireDevice> device_;
    ChipStrings strings_;
    uint64_t modelNs_ = 0;

    size_t receiveFifoBytes_ = ReceiveFifoBytes;
    std::deque<uint8_t> toHost_;
    bool overrun_ = false;
    uint8_t lineErrors_ = 0;
    uint64_t lostBytes_ = 0;
    size_t highWater_ = 0;
    std::optional<uint64_t> lastPacketNs_;

    uint32_t baud_ = 9600;
    uint16_t lineProperties_ = 8;
    uint16_t flowControl_ = 0;
    uint8_t xon_ = 0x11;
    uint8_t xoff_ = 0x13;
    bool dtr_ = false;
    bool rts_ = false;
    uint8_t latencyMs_ = 16;
    uint8_t modemInputs_ = 0x30; // CTS and DSR: the device is powered
    bool powered_ = true;

    std::vector<ChipRequest> requests_;
    std::vector<std::string> faults_;
};

// The Calbrix box on a bench of its own, with the bench's identification strings.
std::unique_ptr<FtdiChip> CalbrixChip(sim::Bench bench = sim::DefaultBench(),
                                      sim::Timing timing = {});
// The switch-board fixture, its bytes at the pace of the line.
std::unique_ptr<FtdiChip> FixtureChip(sim::FixtureSetup setup = {}, sim::Timing timing = {});

} // namespace usbemu
