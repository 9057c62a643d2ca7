// The chip as a device: handles, unplugging, open failures, identification, a silent box,
// badly configured drivers and injected line faults.
#include "BoxHarness.h"

#include <string>

namespace simtest {
namespace {

using namespace platform;

class Device : public BoxHarness {};

TEST_F(Device, HandlesAreCheckedOnEveryCall) {
    Start();
    FtHandle second = 0;
    EXPECT_NE(ftdi->Open(0, second), FtOk); // the box is held already
    EXPECT_EQ(second, 0u);
    uint32_t count = 0;
    EXPECT_EQ(ftdi->GetQueueStatus(handle + 7, count), FtInvalidHandle);
    EXPECT_EQ(ftdi->GetQueueStatus(0, count), FtInvalidHandle);
    EXPECT_EQ(ftdi->Close(handle), FtOk);
    EXPECT_EQ(ftdi->GetQueueStatus(handle, count), FtInvalidHandle);
    EXPECT_EQ(ftdi->Close(handle), FtInvalidHandle);
    ASSERT_EQ(ftdi->Open(0, second), FtOk);
    EXPECT_NE(second, 0u);
}

TEST_F(Device, UnplugKillsTheHandleAndTheBoxStartsAfreshWhenReplugged) {
    sim::Bench bench;
    bench.leaks.push_back({1, 2, 1e8});
    Start(bench);
    MeasureT(NodeLists{}.Set(0, 1).Set(1, 2));
    ftdi->SetAttached(false);

    uint32_t count = 9;
    ASSERT_EQ(ftdi->CountDevices(count), FtOk);
    EXPECT_EQ(count, 0u);
    uint8_t byte = 'w';
    uint32_t n = 0;
    EXPECT_EQ(ftdi->Write(handle, &byte, 1, n), FtDeviceNotFound);
    EXPECT_EQ(ftdi->Read(handle, &byte, 1, n), FtDeviceNotFound);
    EXPECT_EQ(ftdi->GetQueueStatus(handle, n), FtDeviceNotFound);
    FtHandle fresh = 0;
    EXPECT_EQ(ftdi->Open(0, fresh), FtDeviceNotFound);

    ftdi->SetAttached(true);
    EXPECT_EQ(ftdi->GetQueueStatus(handle, n), FtDeviceNotFound); // still dead: reopen needed
    ASSERT_EQ(ftdi->Open(0, fresh), FtOk);
    EXPECT_NE(fresh, handle);
    EXPECT_EQ(ftdi->Close(handle), FtIoError); // the dead one is released all the same
    EXPECT_EQ(ftdi->GetQueueStatus(handle, n), FtInvalidHandle);
    handle = fresh;
    ASSERT_EQ(ftdi->SetBaudRate(handle, 9600), FtOk);
    EXPECT_EQ(ReadU()[0], 30720u); // the measure selection did not survive the power loss
}

TEST_F(Device, OpenFailuresAndOtherDevices) {
    Start();
    ASSERT_EQ(ftdi->Close(handle), FtOk);
    ftdi->SetOpenFailures(2);
    FtHandle h = 0;
    EXPECT_EQ(ftdi->Open(0, h), FtDeviceNotOpened);
    EXPECT_EQ(ftdi->Open(0, h), FtDeviceNotOpened);
    ASSERT_EQ(ftdi->Open(0, h), FtOk);
    ASSERT_EQ(ftdi->Close(h), FtOk);

    ftdi->SetOpenFailures(-1); // held by another program
    for (int i = 0; i < 5; ++i) EXPECT_EQ(ftdi->Open(0, h), FtDeviceNotOpened);
    ftdi->SetOpenFailures(0);

    ftdi->SetOtherDevices(2);
    uint32_t count = 0;
    ASSERT_EQ(ftdi->CountDevices(count), FtOk);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(ftdi->Open(1, h), FtDeviceNotOpened);
    EXPECT_EQ(ftdi->Open(3, h), FtDeviceNotFound);
    ftdi->SetAttached(false);
    ASSERT_EQ(ftdi->CountDevices(count), FtOk);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(ftdi->Open(0, h), FtDeviceNotOpened); // index 0 is no longer the box
}

TEST_F(Device, EepromAndVersions) {
    sim::Bench bench;
    bench.eepromDescription = std::string(80, 'd'); // longer than its buffer
    Start(bench);
    EepromProgramData data;
    ASSERT_EQ(ftdi->ReadEeprom(handle, data), FtOk);
    EXPECT_EQ(std::string(data.SerialNumber.data()), "TKCALBv1");
    EXPECT_EQ(std::string(data.Manufacturer.data()), "Tolvex");
    EXPECT_EQ(std::string(data.Description.data()), std::string(63, 'd'));

    EepromProgramData wrong;
    wrong.Signature2 = 0;
    EXPECT_NE(ftdi->ReadEeprom(handle, wrong), FtOk);

    uint32_t version = 0;
    ASSERT_EQ(ftdi->GetDriverVersion(handle, version), FtOk);
    EXPECT_EQ(version, 0x00021214u);
    ASSERT_EQ(ftdi->GetLibraryVersion(version), FtOk);
    EXPECT_EQ(version, 0x00030215u);
    uint32_t modem = 0;
    ASSERT_EQ(ftdi->GetModemStatus(handle, modem), FtOk);
    EXPECT_EQ(modem, 0x30u);
}

TEST_F(Device, SilentBoxConsumesAndAnswersNothing) {
    Start();
    Send({'M'}); // silenced in the middle of a measurement: its reply never comes
    EXPECT_EQ(Receive(1), Bytes{'m'});
    ftdi->SetSilent(true);
    EXPECT_TRUE(Receive(30, 1000).empty());
    Send({'w', 'N', '2'});
    EXPECT_TRUE(Receive(1, 1000).empty());
    ftdi->SetSilent(false);
    Send({'w'});
    EXPECT_EQ(Receive(1), Bytes{'t'});
}

struct ConfigCase {
    const char* name;
    sim::DriverConfig config;
    uint8_t answerToW;
    uint8_t answerToF7;
};

class Handshake : public BoxHarness, public ::testing::WithParamInterface<ConfigCase> {};

// The connect handshake tells a good driver from one that strips bit 7 or loops bytes back.
TEST_P(Handshake, AnswersTellTheDriverConfiguration) {
    Start();
    ftdi->SetDriverConfig(GetParam().config);
    Send({'w'});
    EXPECT_EQ(Receive(1), Bytes{GetParam().answerToW});
    Send({0xF7});
    EXPECT_EQ(Receive(1), Bytes{GetParam().answerToF7});
    EXPECT_TRUE(Receive(1, 200).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Drivers, Handshake,
    ::testing::Values(ConfigCase{"Good", sim::DriverConfig::Good, 't', 'w'},
                      ConfigCase{"StripHighBit", sim::DriverConfig::StripHighBit, 't', 't'},
                      ConfigCase{"Loopback", sim::DriverConfig::Loopback, 'w', 0xF7}),
    [](const auto& info) { return std::string(info.param.name); });

struct FaultCase {
    const char* name;
    sim::Fault fault;
    uint8_t command;
    Bytes expected;
    double firstVisibleUs; // 0: nothing comes
};

constexpr double EchoUs = 2 * 1e7 / 9600 + 50 + 16000;

class Faults : public BoxHarness, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(Faults, AppliedToTheByteTheyName) {
    const FaultCase c = GetParam();
    Start();
    Send({'w'}); // bytes before the fault is added are not counted
    ASSERT_EQ(Receive(1), Bytes{'t'});
    ftdi->AddFault(c.fault);
    const uint64_t t0 = clock.NowMicros();
    Send({c.command});
    if (c.firstVisibleUs > 0) {
        EXPECT_NEAR(static_cast<double>(WaitVisible(1, 3000) - t0), c.firstVisibleUs, 45);
    }
    EXPECT_EQ(Receive(3, 2000), c.expected);
    // A fault is used once: the next exchange is clean.
    Send({'w'});
    EXPECT_EQ(Receive(1), Bytes{'t'});
}

using sim::Direction;
using sim::FaultKind;
INSTANTIATE_TEST_SUITE_P(
    Kinds, Faults,
    ::testing::Values(
        FaultCase{"LoseAnswer", {Direction::BoxToPc, 0, FaultKind::Lose}, 'w', {}, 0},
        FaultCase{"LoseCommand", {Direction::PcToBox, 0, FaultKind::Lose}, 'w', {}, 0},
        FaultCase{"CorruptAnswer",
                  {Direction::BoxToPc, 0, FaultKind::Corrupt, 0, 0x01},
                  'w',
                  {'u'},
                  EchoUs},
        FaultCase{"CorruptCommand",
                  {Direction::PcToBox, 0, FaultKind::Corrupt, 0, 0x80},
                  'w',
                  {'w'},
                  EchoUs}, // arrives as 0xF7
        FaultCase{"DelayAnswer",
                  {Direction::BoxToPc, 0, FaultKind::Delay, 1500},
                  'w',
                  {'t'},
                  EchoUs + 1500000},
        FaultCase{"DelayCommand",
                  {Direction::PcToBox, 0, FaultKind::Delay, 100},
                  'w',
                  {'t'},
                  EchoUs + 100000},
        FaultCase{"LoseSecondMask", {Direction::BoxToPc, 1, FaultKind::Lose}, 'N', {0x0F}, EchoUs}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Device, CallsAreRecordedWithTheirArgumentsAndResult) {
    Start();
    ftdi->ClearCalls();
    Send({'w'});
    uint32_t count = 0;
    ftdi->GetQueueStatus(0, count);
    const auto& calls = ftdi->Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].name, "Write");
    EXPECT_EQ(calls[0].args, (std::vector<int64_t>{handle, 1}));
    EXPECT_EQ(calls[0].status, FtOk);
    EXPECT_EQ(calls[1].name, "GetQueueStatus");
    EXPECT_EQ(calls[1].status, FtInvalidHandle);
    EXPECT_EQ(calls[1].atMicros - calls[0].atMicros, 20u);
}

} // namespace
} // namespace simtest
