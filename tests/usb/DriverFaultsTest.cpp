// The real driver against an emulated chip on a noisy bus: a failed transfer is retried, a chip
// that stays broken and an unplug end the device each as itself, what came before the end can
// still be read, and the receive buffer and the line's errors are reported.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "tests/usb/DriverOnChip.h"

namespace usbemu {
namespace {

using namespace platform;
using ::testing::Each;
using ::testing::ElementsAre;

constexpr uint8_t In = UsbBed::InEndpoint;
constexpr uint8_t Out = UsbBed::OutEndpoint;

struct ErrorCase {
    int error;
    const char* bed;    // as the bed lists the failed transfer
    const char* libusb; // as libusb reports it
};
const ErrorCase Eproto{-EPROTO, "EPROTO", "LIBUSB_ERROR_IO"};
const ErrorCase Eilseq{-EILSEQ, "EILSEQ", "LIBUSB_ERROR_IO"};
const ErrorCase Epipe{-EPIPE, "EPIPE", "LIBUSB_ERROR_PIPE"};
const ErrorCase Eoverflow{-EOVERFLOW, "EOVERFLOW", "LIBUSB_ERROR_OVERFLOW"};

std::string EndpointText(uint8_t endpoint) {
    return endpoint == In ? "0x81" : "0x02";
}

struct OneFailure {
    const char* where;
    uint8_t endpoint;
    uint64_t afterBytes;
    ErrorCase error;
    bool carriesData = false; // the failed transfer brought packets of the reply with it
};

void PrintTo(const OneFailure& c, std::ostream* os) {
    *os << c.where << ", " << c.error.bed;
}

std::string Name(const ::testing::TestParamInfo<OneFailure>& info) {
    return std::string(info.param.where) + "_" + info.param.error.bed;
}

class OneFailedTransfer : public DriverOnChip, public ::testing::WithParamInterface<OneFailure> {};

// A single failed transfer costs a retry, nothing else: the reply comes whole (what a failed
// transfer brought with it once, neither lost nor twice), the next exchange works, and the log
// says what happened.
TEST_P(OneFailedTransfer, IsRetriedAndLosesNothing) {
    const OneFailure& c = GetParam();
    const Bytes reply = Counting(150); // about 160 ms on the line, in packets of the latency
    PlugResponder(reply);
    const FtHandle handle = Open();
    ASSERT_EQ(driver.SetTimeouts(handle, 2000, 500), FtOk);
    bed->AddTransferFault({c.endpoint, c.error.error, c.afterBytes, 1, c.carriesData});
    Send(handle, {'x'}); // the responder ignores it
    Send(handle, {'a'});
    EXPECT_EQ(Receive(handle, 150), reply);
    Send(handle, {'a'});
    EXPECT_EQ(Receive(handle, 150), reply) << "the device did not survive the failure";
    EXPECT_EQ(Queued(handle), 0u);

    EXPECT_THAT(bed->FailedTransfers(), ElementsAre(EndpointText(c.endpoint) + " " + c.error.bed));
    const bool stall = c.error.error == -EPIPE;
    const auto events = bed->Events();
    EXPECT_EQ(std::count(events.begin(), events.end(), "clear halt " + EndpointText(c.endpoint)),
              stall ? 1 : 0);
    const std::string what = c.endpoint == In ? "read" : "write";
    EXPECT_THAT(Log(), ElementsAre("USB device 1: " + what + " failed (" + c.error.libusb + ")" +
                                   (stall ? ", halt cleared" : "") + ", tried again"));
}

INSTANTIATE_TEST_SUITE_P(
    AtEachPoint, OneFailedTransfer,
    ::testing::Values(OneFailure{"ReadBeforeTheReply", In, 0, Eproto},
                      OneFailure{"ReadBeforeTheReply", In, 0, Eilseq},
                      OneFailure{"ReadBeforeTheReply", In, 0, Epipe},
                      OneFailure{"ReadInTheReply", In, 62, Eproto},
                      OneFailure{"ReadInTheReply", In, 62, Eilseq},
                      OneFailure{"ReadInTheReply", In, 62, Epipe},
                      OneFailure{"ReadCarryingTheReply", In, 0, Eoverflow, true},
                      OneFailure{"ReadCarryingTheReplysEnd", In, 62, Eoverflow, true},
                      OneFailure{"WriteOfTheCommand", Out, 1, Eproto},
                      OneFailure{"WriteOfTheCommand", Out, 1, Eilseq},
                      OneFailure{"WriteOfTheCommand", Out, 1, Epipe}),
    Name);

struct Broken {
    const char* name;
    uint8_t endpoint;
    ErrorCase error;
};

void PrintTo(const Broken& c, std::ostream* os) {
    *os << c.name << ", " << c.error.bed;
}

class BrokenChip : public DriverOnChip, public ::testing::WithParamInterface<Broken> {};

// Failures that keep coming end the device within the bound, as a bus error: the call under way
// fails well inside its own time-out, and every data call after it at once.
TEST_P(BrokenChip, IsGivenUpWithinTheBound) {
    const Broken& c = GetParam();
    PlugResponder({'b'});
    const FtHandle handle = Open();
    ASSERT_EQ(driver.SetTimeouts(handle, 3000, 500), FtOk);
    bed->AddTransferFault({c.endpoint, c.error.error, 0, -1});
    const auto start = Clock::now();
    const uint8_t a = 'a';
    uint32_t written = 77;
    const FtStatus wrote = driver.Write(handle, &a, 1, written);
    uint8_t byte = 0;
    uint32_t got = 77;
    EXPECT_EQ(driver.Read(handle, &byte, 1, got), FtIoError);
    EXPECT_EQ(got, 0u);
    // Four failures 20 ms apart.
    EXPECT_LT(MsSince(start), 60 + SlackMs * 2) << "a broken chip held the exchange up";
    if (c.endpoint == Out) {
        EXPECT_EQ(wrote, FtIoError);
        EXPECT_EQ(written, 0u);
    }

    const auto after = Clock::now();
    uint32_t rx = 77;
    EXPECT_EQ(driver.GetQueueStatus(handle, rx), FtIoError);
    EXPECT_EQ(driver.Write(handle, &a, 1, written), FtIoError);
    EXPECT_LT(MsSince(after), SlackMs);
    EXPECT_THAT(bed->FailedTransfers(),
                ElementsAre(::testing::_, ::testing::_, ::testing::_, ::testing::_));
    EXPECT_THAT(bed->FailedTransfers(), Each(EndpointText(c.endpoint) + " " + c.error.bed));
    const std::string what = c.endpoint == In ? "read" : "write";
    const auto log = Log();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "USB device 1: 4 failed transfers within 1000 ms, the last a " + what +
                              " (" + c.error.libusb + "): the device is given up");
    driver.Close(handle);
}

INSTANTIATE_TEST_SUITE_P(OnEitherEndpoint, BrokenChip,
                         ::testing::Values(Broken{"ReadsFail", In, Eproto},
                                           Broken{"ReadsStall", In, Epipe},
                                           Broken{"WritesFail", Out, Eilseq},
                                           Broken{"WritesStall", Out, Epipe}),
                         [](const auto& info) { return std::string(info.param.name); });

// Failures older than the window no longer count: spaced wider than the window they never end
// the device, however many; as many close together do. With a window of 0 each failure counts
// alone.
struct WindowCase {
    const char* name;
    int windowMs;
    int failuresToEnd;
    int failures;
    int spacingMs; // between one failure and the next
    bool ends;
};

void PrintTo(const WindowCase& c, std::ostream* os) {
    *os << c.name;
}

class FailureWindow : public DriverOnChip, public ::testing::WithParamInterface<WindowCase> {
protected:
    FailureWindow() : DriverOnChip(Options(GetParam())) {}
    static LibFtdiDriverOptions Options(const WindowCase& c) {
        LibFtdiDriverOptions options;
        options.failureWindow = std::chrono::milliseconds(c.windowMs);
        options.failuresToEnd = c.failuresToEnd;
        return options;
    }
};

TEST_P(FailureWindow, OnlyFailuresWithinItEndTheDevice) {
    const WindowCase& c = GetParam();
    const Bytes reply = Counting(20);
    PlugResponder(reply);
    const FtHandle handle = Open();
    ASSERT_EQ(driver.SetTimeouts(handle, 2000, 500), FtOk);
    if (c.spacingMs == 0) {
        bed->AddTransferFault({In, -EPROTO, 0, c.failures});
    } else {
        for (int i = 0; i < c.failures; ++i) {
            const size_t before = bed->FailedTransfers().size();
            bed->AddTransferFault({In, -EPROTO, 0, 1});
            const auto start = Clock::now();
            while (bed->FailedTransfers().size() == before && MsSince(start) < 2000)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            ASSERT_EQ(bed->FailedTransfers().size(), before + 1) << "failure " << i;
            std::this_thread::sleep_for(std::chrono::milliseconds(c.spacingMs));
        }
    }
    const auto start = Clock::now();
    while (bed->FailedTransfers().size() < static_cast<size_t>(c.failures) && MsSince(start) < 2000)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(bed->FailedTransfers().size(), static_cast<size_t>(c.failures));
    std::this_thread::sleep_for(std::chrono::milliseconds(50)); // the last one's retry

    const uint8_t a = 'a';
    uint32_t written = 0;
    Bytes bytes(reply.size());
    uint32_t got = 0;
    const FtStatus wrote = driver.Write(handle, &a, 1, written);
    const FtStatus read =
        driver.Read(handle, bytes.data(), static_cast<uint32_t>(bytes.size()), got);
    const auto log = Log();
    const bool givenUp = std::any_of(log.begin(), log.end(), [](const std::string& line) {
        return line.find("the device is given up") != std::string::npos;
    });
    if (c.ends) {
        EXPECT_TRUE(givenUp);
        EXPECT_EQ(read, FtIoError);
    } else {
        EXPECT_FALSE(givenUp) << "failures outside the window ended the device";
        EXPECT_EQ(wrote, FtOk);
        EXPECT_EQ(read, FtOk);
        EXPECT_EQ(bytes, reply);
    }
    driver.Close(handle);
}

INSTANTIATE_TEST_SUITE_P(Spacing, FailureWindow,
                         ::testing::Values(WindowCase{"SpacedWiderThanTheWindow", 150, 4, 6, 300,
                                                      false},
                                           WindowCase{"CloseTogether", 150, 4, 4, 0, true},
                                           WindowCase{"ZeroWindowEachAlone", 0, 2, 3, 0, false},
                                           WindowCase{"ZeroWindowOneIsEnough", 0, 1, 1, 0, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// Bytes that had come before the end are still counted and read; then the end's own status.
TEST_F(DriverOnChip, BytesReceivedBeforeTheEndCanStillBeRead) {
    for (const bool unplug : {true, false}) {
        SCOPED_TRACE(unplug ? "unplugged" : "given up");
        const Bytes reply = Counting(5);
        PlugResponder(reply);
        const FtHandle handle = Open();
        ASSERT_EQ(driver.SetTimeouts(handle, 1000, 500), FtOk);
        Send(handle, {'a'});
        const auto start = Clock::now();
        while (Queued(handle) < 5 && MsSince(start) < 1000) std::this_thread::yield();
        ASSERT_EQ(Queued(handle), 5u);

        if (unplug) {
            bed->Unplug();
        } else {
            bed->AddTransferFault({In, -EPROTO, 0, -1});
        }
        const std::string end = unplug ? "unplugged" : "given up";
        const auto waited = Clock::now();
        auto ended = [&] {
            for (const auto& line : Log())
                if (line.find(end) != std::string::npos) return true;
            return false;
        };
        while (!ended() && MsSince(waited) < 2000)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_TRUE(ended());

        const FtStatus status = unplug ? FtDeviceNotFound : FtIoError;
        uint32_t rx = 0;
        EXPECT_EQ(driver.GetQueueStatus(handle, rx), FtOk);
        EXPECT_EQ(rx, 5u);
        Bytes bytes(5);
        uint32_t got = 0;
        EXPECT_EQ(driver.Read(handle, bytes.data(), 5, got), FtOk);
        EXPECT_EQ(bytes, reply);
        EXPECT_EQ(driver.GetQueueStatus(handle, rx), status);
        EXPECT_EQ(driver.Read(handle, bytes.data(), 1, got), status);
        EXPECT_EQ(got, 0u);
        driver.Close(handle);
        bed.reset();
        log->clear();
    }
}

// The driver's and the simulated driver's meaning: what is there, without waiting.
TEST_F(DriverOnChip, AReadTimeOutOfZeroTakesWhatIsThere) {
    PlugResponder(Counting(5));
    const FtHandle handle = Open();
    ASSERT_EQ(driver.SetTimeouts(handle, 1000, 500), FtOk);
    Send(handle, {'a'});
    const auto start = Clock::now();
    while (Queued(handle) < 5 && MsSince(start) < 1000) std::this_thread::yield();
    ASSERT_EQ(driver.SetTimeouts(handle, 0, 500), FtOk);
    for (const uint32_t expected : {5u, 0u}) {
        Bytes bytes(10);
        uint32_t got = 77;
        const auto read = Clock::now();
        EXPECT_EQ(driver.Read(handle, bytes.data(), 10, got), FtOk);
        EXPECT_EQ(got, expected);
        EXPECT_LT(MsSince(read), SlackMs / 5);
    }
}

class BoundedBuffer : public DriverOnChip {
protected:
    BoundedBuffer() : DriverOnChip(Options()) {}
    static LibFtdiDriverOptions Options() {
        LibFtdiDriverOptions options;
        options.receiveLimit = 100;
        return options;
    }
};

// A program that does not read keeps the newest bytes up to the bound; the dropped ones show as
// an overrun, once.
TEST_F(BoundedBuffer, KeepsTheNewestBytesAndReportsAnOverrun) {
    const Bytes reply = Counting(300);
    PlugResponder(reply);
    const FtHandle handle = Open();
    ASSERT_EQ(driver.SetBaudRate(handle, 38400), FtOk);
    ASSERT_EQ(driver.SetTimeouts(handle, 1000, 500), FtOk);
    uint32_t status = 0;
    ASSERT_EQ(driver.GetModemStatus(handle, status), FtOk);
    ASSERT_EQ(status & FtLineOverrun, 0u);
    Send(handle, {'a'});
    const auto start = Clock::now();
    while (bed->BytesIn() < 300 && MsSince(start) < 2000)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(bed->BytesIn(), 300u);
    WaitUntilDelivered();

    EXPECT_EQ(Queued(handle), 100u);
    ASSERT_EQ(driver.GetModemStatus(handle, status), FtOk);
    EXPECT_NE(status & FtLineOverrun, 0u);
    ASSERT_EQ(driver.GetModemStatus(handle, status), FtOk);
    EXPECT_EQ(status & FtLineOverrun, 0u) << "reported once";
    EXPECT_EQ(Receive(handle, 100), Bytes(reply.end() - 100, reply.end()));
    const std::string full = "USB device 1: receive buffer full (100 bytes): the oldest bytes "
                             "are dropped";
    EXPECT_THAT(Log(), ElementsAre(full));

    // A line for each overflow once the program has emptied the buffer, not for each read of
    // a program that reads too little.
    auto overflow = [&] {
        const uint64_t sent = bed->BytesIn();
        Send(handle, {'a'});
        const auto again = Clock::now();
        while (bed->BytesIn() < sent + 300 && MsSince(again) < 2000)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        WaitUntilDelivered();
    };
    overflow();
    EXPECT_THAT(Log(), ElementsAre(full, full));
    EXPECT_EQ(Receive(handle, 10).size(), 10u);
    overflow();
    EXPECT_THAT(Log(), ElementsAre(full, full));
    EXPECT_EQ(bed->WithChip([](FtdiChip& chip) { return chip.LostBytes(); }), 0u)
        << "the chip lost bytes itself";
}

// The line's errors come in the status bytes of a packet; the driver keeps them for the next
// modem status query, which reports them once.
TEST_F(DriverOnChip, LineErrorsOfThePacketsAreReportedOnce) {
    struct Case {
        uint8_t chipBits;
        uint32_t reported;
    };
    const std::vector<Case> cases = {
        {0x02, FtLineOverrun},
        {0x04, FtLineParity},
        {0x08, FtLineFraming},
        {0x10, FtLineBreak},
        {0x14, FtLineParity | FtLineBreak},
    };
    PlugResponder({});
    const FtHandle handle = Open();
    constexpr uint32_t errors = FtLineOverrun | FtLineParity | FtLineFraming | FtLineBreak;
    for (const auto& c : cases) {
        SCOPED_TRACE("line status bits " + std::to_string(c.chipBits));
        bed->WithChip([&](FtdiChip& chip) { chip.AddLineErrors(c.chipBits); });
        WaitUntilDelivered(); // a packet has carried them, and the chip forgot them
        uint32_t status = 0;
        ASSERT_EQ(driver.GetModemStatus(handle, status), FtOk);
        EXPECT_EQ(status & errors, c.reported);
        EXPECT_EQ(status & 0xF0, 0x30u) << "the modem lines as ever";
        ASSERT_EQ(driver.GetModemStatus(handle, status), FtOk);
        EXPECT_EQ(status & errors, 0u) << "reported once";
    }
}

} // namespace
} // namespace usbemu
