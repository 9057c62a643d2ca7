#pragma once
// The shared layouts and pure rules of the box's framed commands.

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "link/Portvirt.h"

// One byte per slot: the pin within the list's plug (1..96), 0 = empty. Slot 0 is the node
// under test, slot k is read by reply word k - 1.
using NodeList = std::array<uint8_t, 13>;

// The 30-byte measuring reply as 15 words (sent low byte first): 0..11 the channels, 12 the
// 12 V supply, 13 the 2.5 V reference, 14 the take-out detector (0 = take-out wire plugged in).
using ChannelReply = std::array<uint16_t, 15>;

inline constexpr int ChannelReplyBytes = 30;
inline constexpr int ReplyWord12V = 12;
inline constexpr int ReplyWordReference = 13;
inline constexpr int ReplyWordTakeOut = 14;

// The isolation test voltage as the box's 6-bit code: 0 at 400 V and below, 63 from 1060 V.
int VoltageCode(int volts);

// How many times a framed command runs its whole exchange before it gives up. A glitch (a
// lost, late or corrupted byte) costs one or two repeats; ten in a row means the link is gone,
// and a silent box is reported after ten echo time-outs, about ten seconds.
inline constexpr int BoxCommandMaxAttempts = 10;

// Who sends an expected byte of an exchange: the box, or the resistivity meter or switching
// unit that the box drives in remote mode, whose completion the box passes on.
enum class Answerer { Box, Unit };

// Raised by 'T', 'Y', 'O', 'U', 'M', 'S' and 'R' when every attempt of the exchange failed.
// Its text names the device that did not answer: the box, or the unit behind it when the box
// answered its own bytes each time and only the unit's completion never came.
// Raised as well, at once and by every box command (also '2', 'N', 'C' and 'D'), when the port
// finds the box's USB link lost (LinkLost()): then the text says so, nothing more is sent, and
// the window tells it once and ends the connection (TMainFrm::TellLinkLost).
//
// Contract for callers: during a test run the exception leaves the test sequence as it is (a
// part that cleans up passes it on, not a plain stop) and the run driver shows its text, then
// ends the run ("Test stopped", relays reset, unless the command that gave up was that reset
// or the link is lost); the reset itself may raise again when the box stops answering, is told
// after it, and must not keep the stop lines from being written.
// Outside a run it reaches the event handler that sent the command, whose exception box shows
// the text (a lost link: TMainFrm::RunHandler tells it once) and the program stays usable: a handler that disabled controls or set the hourglass
// for its work puts them back. The command leaves its reply buffer and fields as they were.
class BoxCommandFailed : public std::runtime_error {
public:
    BoxCommandFailed(char command, int attempts, Answerer silent = Answerer::Box);
    // The port found the link lost (fault Unplugged or GivenUp) during the command.
    BoxCommandFailed(char command, DeviceFault fault);
    char Command() const { return command_; }
    int Attempts() const { return attempts_; }
    Answerer Silent() const { return silent_; }
    DeviceFault Fault() const { return fault_; }
    bool LinkLost() const { return ::LinkLost(fault_); }

private:
    char command_;
    int attempts_;
    Answerer silent_;
    DeviceFault fault_ = DeviceFault::None;
};
