#include "simulator/SerialLink.h"

#include <algorithm>

namespace sim {

namespace {
constexpr uint32_t UsbPacketBytes = 62; // a full USB packet is sent without waiting the latency
}

void SerialLink::Reset() {
    toBox_.clear();
    toHost_.clear();
    chip_.clear();
    batchOpen_ = false;
    baud_ = 9600;
}

void SerialLink::AddFault(const Fault& fault) {
    faults_.push_back({fault, counts_[static_cast<int>(fault.direction)] + fault.index});
}

uint64_t SerialLink::ByteNs() const {
    if (!timing_.wireTime || baud_ == 0) return 0;
    return (10ull * 1000 * 1000 * 1000 + baud_ / 2) / baud_; // 10 bit times
}

SerialLink::Effect SerialLink::TakeFaults(Direction direction) {
    const uint64_t index = counts_[static_cast<int>(direction)]++;
    Effect effect;
    for (auto it = faults_.begin(); it != faults_.end();) {
        if (it->fault.direction != direction || it->target != index) {
            ++it;
            continue;
        }
        switch (it->fault.kind) {
        case FaultKind::Lose:
            effect.lose = true;
            break;
        case FaultKind::Delay:
            effect.delayNs += MsToNs(it->fault.delayMs);
            break;
        case FaultKind::Corrupt:
            effect.xorMask ^= it->fault.xorMask;
            break;
        }
        it = faults_.erase(it);
    }
    return effect;
}

void SerialLink::ToHost(const Flight& flight) {
    const auto at = std::upper_bound(toHost_.begin(), toHost_.end(), flight.arriveNs,
                                     [](uint64_t t, const Flight& f) { return t < f.arriveNs; });
    toHost_.insert(at, flight);
}

void SerialLink::Send(uint8_t value, uint64_t nowNs) {
    const Effect effect = TakeFaults(Direction::PcToBox);
    // A late byte holds back the ones behind it: the line keeps its order.
    const uint64_t depart = std::max(nowNs, pcLineFreeNs_) + effect.delayNs;
    const uint64_t arrive = depart + ByteNs();
    pcLineFreeNs_ = arrive;
    if (recording_) wire_.push_back({Direction::PcToBox, value, depart / 1000});
    if (effect.lose) return;
    uint8_t received = value ^ effect.xorMask;
    switch (config_) {
    case DriverConfig::Loopback:
        ToHost({received, arrive, true});
        return;
    case DriverConfig::StripHighBit:
        received &= 0x7F;
        break;
    case DriverConfig::Good:
        break;
    }
    toBox_.push_back({received, arrive, true});
}

uint64_t SerialLink::Emit(uint8_t value, uint64_t readyNs) {
    const Effect effect = TakeFaults(Direction::BoxToPc);
    const uint64_t depart = std::max(readyNs, boxLineFreeNs_) + effect.delayNs;
    const uint64_t arrive = depart + ByteNs();
    boxLineFreeNs_ = arrive;
    if (recording_) wire_.push_back({Direction::BoxToPc, value, depart / 1000});
    if (!effect.lose) ToHost({static_cast<uint8_t>(value ^ effect.xorMask), arrive, false});
    return arrive;
}

void SerialLink::DeliverToBox(uint64_t nowNs, const std::function<void(uint8_t, uint64_t)>& sink) {
    while (!toBox_.empty() && toBox_.front().arriveNs <= nowNs) {
        const Flight f = toBox_.front();
        toBox_.pop_front();
        sink(f.value, f.arriveNs);
    }
}

void SerialLink::AdvanceChip(uint64_t nowNs) {
    while (!toHost_.empty() && toHost_.front().arriveNs <= nowNs) {
        const uint64_t t = toHost_.front().arriveNs;
        if (!batchOpen_ || t >= batchFlushNs_) {
            batchOpen_ = true;
            ++batchId_;
            batchFlushNs_ = t + MsToNs(timing_.latencyMs);
            batchCount_ = 0;
        }
        chip_.push_back({toHost_.front().value, batchFlushNs_, batchId_});
        toHost_.pop_front();
        if (++batchCount_ >= UsbPacketBytes) {
            for (auto it = chip_.rbegin(); it != chip_.rend() && it->batch == batchId_; ++it)
                it->visibleNs = t;
            batchOpen_ = false;
        }
    }
}

// The chip's bytes become visible in their order (a batch never before the one ahead of it),
// so the visible ones are a prefix: found by halving, as a long stream can fill the buffer.
std::deque<SerialLink::AtChip>::const_iterator SerialLink::FirstHidden(uint64_t nowNs) const {
    return std::partition_point(chip_.begin(), chip_.end(),
                                [nowNs](const AtChip& b) { return b.visibleNs <= nowNs; });
}

uint32_t SerialLink::Visible(uint64_t nowNs) const {
    return static_cast<uint32_t>(FirstHidden(nowNs) - chip_.begin());
}

uint32_t SerialLink::Take(uint8_t* buffer, uint32_t n, uint64_t nowNs) {
    const uint32_t count = std::min(n, Visible(nowNs));
    for (uint32_t i = 0; i < count; ++i) {
        buffer[i] = chip_.front().value;
        chip_.pop_front();
    }
    return count;
}

uint32_t SerialLink::TxPending(uint64_t nowNs) const {
    auto pending = [nowNs](const Flight& f) { return f.fromPc && f.arriveNs > nowNs; };
    return static_cast<uint32_t>(std::count_if(toBox_.begin(), toBox_.end(), pending) +
                                 std::count_if(toHost_.begin(), toHost_.end(), pending));
}

void SerialLink::PurgeRx() {
    chip_.clear();
    batchOpen_ = false;
}

void SerialLink::PurgeTx(uint64_t nowNs) {
    auto pending = [nowNs](const Flight& f) { return f.fromPc && f.arriveNs > nowNs; };
    toBox_.erase(std::remove_if(toBox_.begin(), toBox_.end(), pending), toBox_.end());
    toHost_.erase(std::remove_if(toHost_.begin(), toHost_.end(), pending), toHost_.end());
    pcLineFreeNs_ = std::min(pcLineFreeNs_, nowNs);
}

std::optional<uint64_t> SerialLink::NextEventNs(uint64_t nowNs) const {
    std::optional<uint64_t> next;
    auto consider = [&next](uint64_t t) {
        if (!next || t < *next) next = t;
    };
    if (!toBox_.empty()) consider(toBox_.front().arriveNs);
    if (!toHost_.empty()) consider(toHost_.front().arriveNs);
    if (const auto hidden = FirstHidden(nowNs); hidden != chip_.end()) consider(hidden->visibleNs);
    return next;
}

} // namespace sim
