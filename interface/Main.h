#pragma once
// The cable tester's main window object: it owns the whole run state that the subsystems
// share. Its operations are spread over the subsystem folders (link/BoxCommands.cpp holds the
// box commands, and so on); the fields are grouped here by the subsystem that owns them.

#include <array>
#include <cstdint>
#include <memory>

#include "link/BoxProtocol.h"
#include "link/Portusb.h"
#include "platform/Services.h"

class TMainFrm {
public:
    explicit TMainFrm(platform::Services& services);
    virtual ~TMainFrm();

    TMainFrm(const TMainFrm&) = delete;
    TMainFrm& operator=(const TMainFrm&) = delete;

    platform::Services& Services() { return services_; }

    // --- Tester-box link -------------------------------------------------------------------
    // Box commands. 'T', 'Y', 'O', 'U', 'M', 'S' and 'R' may raise BoxCommandFailed (see its
    // contract in link/BoxProtocol.h); 'C' and 'D' report failure by their result; '2' never
    // raises.
    void BoxMeasure(const NodeList& listA, const NodeList& listB, ChannelReply& reply);
    void BoxSelectRelayNodes(const NodeList& listA, const NodeList& listB);
    void BoxSelectNodes(const NodeList& listA, const NodeList& listB);
    void BoxReadIsolationChannels(ChannelReply& reply);
    void BoxReadContinuityChannels(ChannelReply& reply);
    void BoxSetMeterSwitch(const std::array<uint16_t, 13>& words);
    bool BoxEnterRemoteMode();
    bool BoxLeaveRemoteMode();
    void BoxResetRelays();
    void BoxReadSupplies();

    // The program's one port, created at the first connect and kept until exit.
    std::unique_ptr<TPortUSB> Port;

    bool Connected = false;
    bool DisconnectRequested = false;
    std::array<char, 8> FirmwareVersion{}; // 5 bytes used, always NUL-terminated
    int32_t SocketLimit = 0;
    int32_t HtSelectable = 0;

    NodeList NodesA{};
    NodeList NodesB{};
    ChannelReply ChannelReadings{};
    std::array<uint16_t, 13> MeterSwitchWords{};

    uint16_t RefRaw = 0;
    uint16_t Supply12Raw = 0;
    uint16_t TakeOutRaw = 0;
    int16_t TakeOutUnplugged = 0;
    float Supply5V = 0;

    // --- Cable test engine -----------------------------------------------------------------
    int32_t SwitchBoardsA = 0;
    int32_t SwitchBoardsB = 0;
    int32_t BoxNodeCount = 0;

    // --- Measurement settings --------------------------------------------------------------
    int32_t HtVoltage = 800;
    int32_t TimingSteps = -1;
    int32_t TimingShift = -1;
    int32_t AutoTimingSteps = 0;
    int32_t AutoTimingShift = 0;

private:
    // The "not responding" box when the box is not connected; false then.
    bool BoxConnectedCheck();
    void TimingBytes(std::vector<uint8_t>& payload) const;
    void ReadReplyFrame(uint8_t command, std::vector<uint8_t> payload, ChannelReply& reply);

    platform::Services& services_;
};
