#pragma once
// The switch-board fixture behind a pseudo-terminal: the program opens the terminal's device
// as its serial port. A thread of its own answers on the master side, pacing the answer at
// the setup's baud rate, so the program's reads wait on a real device.
//
// A new 'T' drops what is left of an earlier answer, and so does the program closing the
// device: a stream the program gave up on does not reach its next run.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "simulator/SwitchBoardFixture.h"

namespace sim {

class PtyFixture {
public:
    // Raises std::runtime_error when no pseudo-terminal can be had.
    explicit PtyFixture(FixtureSetup setup);
    ~PtyFixture();
    PtyFixture(const PtyFixture&) = delete;
    PtyFixture& operator=(const PtyFixture&) = delete;

    // The device the program opens, such as /dev/pts/3.
    const std::string& DevicePath() const { return path_; }

    // Bytes the program sent, in order.
    std::vector<uint8_t> Received() const;
    // Bytes of answers written to the terminal so far.
    uint64_t SentCount() const { return sent_.load(); }

private:
    void Serve();

    FixtureSetup setup_;
    int master_ = -1;
    std::string path_;
    std::atomic<bool> stop_{false};
    std::atomic<uint64_t> sent_{0};
    mutable std::mutex mutex_;
    std::vector<uint8_t> received_;
    std::thread thread_;
};

} // namespace sim
