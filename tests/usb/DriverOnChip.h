#pragma once
// The real driver (libftdi1 over libusb) against the emulated chip: the fixture the driver's
// tests share, with the driver's log kept for them to read.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/LibFtdiDriver.h"
#include "tests/usb/Responder.h"
#include "tests/usb/UsbBed.h"

namespace usbemu {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

inline double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// n bytes running through every value, those that look like the chip's status bytes included.
inline Bytes Counting(size_t n) {
    Bytes bytes(n);
    for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>((i * 7 + 0x31) & 0xFF);
    return bytes;
}

// What the scheduler of a shared machine may add to a wait.
constexpr double SlackMs = 250;

class DriverOnChip : public ::testing::Test {
protected:
    explicit DriverOnChip(platform::LibFtdiDriverOptions options = {})
        : driver(WithLog(std::move(options))) {}

    void Plug(std::unique_ptr<FtdiChip> chip) { bed = std::make_unique<UsbBed>(std::move(chip)); }
    // A responder that answers 'a' with `reply`.
    void PlugResponder(Bytes reply, sim::Timing timing = {}) {
        Plug(ResponderChip({{'a', std::move(reply)}}, {}, timing));
    }
    platform::FtHandle Open() {
        platform::FtHandle handle = 0;
        EXPECT_EQ(driver.Open(0, handle), platform::FtOk);
        EXPECT_NE(handle, 0u);
        return handle;
    }
    void Send(platform::FtHandle handle, const Bytes& bytes) {
        uint32_t written = 0;
        ASSERT_EQ(driver.Write(handle, bytes.data(), static_cast<uint32_t>(bytes.size()), written),
                  platform::FtOk);
        ASSERT_EQ(written, bytes.size());
    }
    // Reads n bytes under the read time-out set; the bytes that came.
    Bytes Receive(platform::FtHandle handle, uint32_t n) {
        Bytes bytes(n);
        uint32_t got = 0;
        EXPECT_EQ(driver.Read(handle, bytes.data(), n, got), platform::FtOk);
        bytes.resize(got);
        return bytes;
    }
    uint32_t Queued(platform::FtHandle handle) {
        uint32_t rx = 0;
        EXPECT_EQ(driver.GetQueueStatus(handle, rx), platform::FtOk);
        return rx;
    }
    std::vector<ChipRequest> Requests(const std::string& name) {
        return bed->WithChip([&](FtdiChip& c) { return c.Requests(name); });
    }
    Bytes Received() {
        return bed->WithChip([](FtdiChip& c) { return ReceivedBy(c); });
    }
    size_t InTransfers() {
        size_t n = 0;
        for (const auto& t : bed->Transfers()) n += t.in ? 1 : 0;
        return n;
    }
    // Until the driver has taken in everything the chip sent up to now: the reader submits its
    // next transfer only once it has delivered the last one.
    void WaitUntilDelivered() {
        const size_t submitted = InTransfers();
        const auto start = Clock::now();
        while (InTransfers() < submitted + 2 && MsSince(start) < 2000)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_GE(InTransfers(), submitted + 2) << "the driver's reader stopped";
    }
    std::vector<std::string> Log() {
        std::lock_guard<std::mutex> lock(*logMutex);
        return *log;
    }
    void TearDown() override {
        if (bed) {
            EXPECT_THAT(bed->Faults(), ::testing::IsEmpty());
        }
    }

    std::shared_ptr<std::mutex> logMutex = std::make_shared<std::mutex>();
    std::shared_ptr<std::vector<std::string>> log = std::make_shared<std::vector<std::string>>();
    std::unique_ptr<UsbBed> bed;
    platform::LibFtdiDriver driver; // closes what it holds before the bed goes

private:
    platform::LibFtdiDriverOptions WithLog(platform::LibFtdiDriverOptions options) {
        options.log = [m = logMutex, l = log](const std::string& line) {
            std::lock_guard<std::mutex> lock(*m);
            l->push_back(line);
        };
        return options;
    }
};

} // namespace usbemu
