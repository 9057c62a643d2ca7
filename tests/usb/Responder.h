#pragma once
// A device on the emulated chip's serial line for tests of the driver alone: it answers each
// byte it gets from a table, at the pace of the line, and keeps every byte that reached it.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "simulator/WireDevice.h"
#include "tests/usb/FtdiChip.h"

namespace usbemu {

class Responder final : public sim::WireDevice {
public:
    using Replies = std::map<uint8_t, std::vector<uint8_t>>;

    Responder(Replies replies, Emitter emit)
        : replies_(std::move(replies)), emit_(std::move(emit)) {}

    void Receive(uint8_t value, uint64_t arrivalNs) override {
        held_.push_back({value, arrivalNs});
    }
    void RunUntil(uint64_t nowNs) override {
        size_t done = 0;
        for (; done < held_.size() && held_[done].second <= nowNs; ++done) {
            const auto [value, at] = held_[done];
            received_.push_back(value);
            if (const auto it = replies_.find(value); it != replies_.end())
                for (const uint8_t b : it->second) emit_(b, at);
        }
        held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(done));
    }
    std::optional<uint64_t> NextEventNs() const override {
        if (held_.empty()) return std::nullopt;
        return held_.front().second;
    }
    void Abort() override { held_.clear(); }
    void PowerCycle() override { held_.clear(); }

    const std::vector<uint8_t>& Received() const { return received_; }

private:
    Replies replies_;
    Emitter emit_;
    std::vector<std::pair<uint8_t, uint64_t>> held_;
    std::vector<uint8_t> received_;
};

inline std::unique_ptr<FtdiChip> ResponderChip(Responder::Replies replies, ChipStrings strings = {},
                                               sim::Timing timing = {}) {
    auto device = [replies = std::move(replies)](
                      sim::Timing&,
                      sim::WireDevice::Emitter emit) -> std::unique_ptr<sim::WireDevice> {
        return std::make_unique<Responder>(replies, std::move(emit));
    };
    return std::make_unique<FtdiChip>(device, timing, std::move(strings));
}

inline const std::vector<uint8_t>& ReceivedBy(FtdiChip& chip) {
    return static_cast<Responder&>(chip.Device()).Received();
}

} // namespace usbemu
