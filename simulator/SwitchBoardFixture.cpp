#include "simulator/SwitchBoardFixture.h"

#include <algorithm>
#include <sstream>

#include "platform/FileRead.h"

namespace sim {

namespace {

constexpr bool Vcc = true;

// The level the fixture drives onto input i in test t: test t < 13 grounds input t alone,
// test 13 puts every input at Vcc, test 14 grounds them all.
bool DrivenInput(int input, int test) {
    if (test == 13) return Vcc;
    if (test == 14) return !Vcc;
    return input != test;
}

// Where each input line sits in a record: byte 3 bits 0..7, byte 4 bits 0..3, and input "11"
// on byte 4 bit 5.
std::pair<int, int> InputBit(int input) {
    if (input < 8) return {3, input};
    if (input < 12) return {4, input - 8};
    return {4, 5};
}

std::vector<uint8_t> Record(const BoardFaults& board, int input, int output, int test) {
    std::vector<uint8_t> record(FixtureRecordBytes, 0);
    auto put = [&](int byte, int bit, bool level) {
        if (level) record[static_cast<size_t>(byte)] |= static_cast<uint8_t>(1u << bit);
    };
    auto inputLevel = [&](int i) {
        return board.inputsStuckHigh.count(i) != 0 ? Vcc : DrivenInput(i, test);
    };
    for (int i = 0; i < FixtureInputs; ++i) {
        const auto [byte, bit] = InputBit(i);
        put(byte, bit, inputLevel(i));
    }
    const bool relayCloses = board.openRelays.count({input, output}) == 0;
    for (int j = 0; j < FixtureOutputs; ++j) {
        // Outputs are pulled up; the selected one follows its input through the relay.
        bool level = j == output && relayCloses ? inputLevel(input) : Vcc;
        for (const auto& [stuck, high] : board.stuckOutputs)
            if (stuck == j) level = high;
        put(j / 8, j % 8, level);
    }
    return record;
}

int InputNumber(const std::string& name) {
    if (name == "A") return 0;
    if (name == "B") return 1;
    for (int k = 1; k <= 11; ++k)
        if (name == std::to_string(k)) return k + 1;
    return -1;
}

} // namespace

std::vector<uint8_t> FixtureStream(const BoardFaults& board) {
    std::vector<uint8_t> stream;
    stream.reserve(FixtureStreamBytes);
    for (int in = 0; in < FixtureInputs; ++in)
        for (int out = 0; out < FixtureOutputs; ++out)
            for (int t = 0; t < FixtureTests; ++t) {
                const auto record = Record(board, in, out, t);
                stream.insert(stream.end(), record.begin(), record.end());
            }
    return stream;
}

std::vector<uint8_t> FixtureAnswer(const FixtureSetup& setup, uint8_t received) {
    if (setup.silent || received != 'T') return {};
    std::vector<uint8_t> answer{setup.handshake};
    if (setup.handshake != 't') return answer; // a fixture out of step sends nothing more
    auto stream = FixtureStream(setup.board);
    if (setup.stopAfterBytes)
        stream.resize(
            static_cast<size_t>(std::clamp(*setup.stopAfterBytes, 0, FixtureStreamBytes)));
    answer.insert(answer.end(), stream.begin(), stream.end());
    return answer;
}

FixtureSetup ParseFixture(const std::string& text) {
    FixtureSetup setup;
    setup.timing = Timing{};
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line.substr(0, line.find('#')));
        std::string key, a, b;
        words >> key >> a >> b;
        auto fail = [&](const std::string& why) -> FixtureFileError {
            return FixtureFileError("fixture line \"" + line + "\": " + why);
        };
        auto number = [&](const std::string& word, int least, int most) {
            try {
                size_t used = 0;
                const int value = std::stoi(word, &used, 0);
                if (used == word.size() && value >= least && value <= most) return value;
            } catch (const std::logic_error&) {
            }
            throw fail("expected a number within " + std::to_string(least) + ".." +
                       std::to_string(most) + ": " + word);
        };
        auto input = [&](const std::string& word) {
            const int in = InputNumber(word);
            if (in < 0) throw fail("no input " + word + " (A, B, 1..11)");
            return in;
        };
        if (key.empty()) continue;
        if (key == "output" && (b == "vcc" || b == "gnd")) {
            setup.board.stuckOutputs.emplace_back(number(a, 1, 24) - 1, b == "vcc");
        } else if (key == "input" && b.empty()) {
            setup.board.inputsStuckHigh.insert(input(a));
        } else if (key == "relay") {
            setup.board.openRelays.insert({input(a), number(b, 1, 24) - 1});
        } else if (key == "stop-after") {
            setup.stopAfterBytes = number(a, 0, FixtureStreamBytes);
        } else if (key == "handshake") {
            setup.handshake = static_cast<uint8_t>(number(a, 0, 255));
        } else if (key == "silent" && a.empty()) {
            setup.silent = true;
        } else if (key == "timing" && (a == "real" || a == "zero")) {
            setup.timing = a == "zero" ? Timing::Zero() : Timing{};
        } else if (key == "pty-baud") {
            setup.ptyBaud = static_cast<uint32_t>(number(a, 0, 4000000));
        } else {
            throw fail("not understood");
        }
    }
    return setup;
}

FixtureSetup FixtureFromVariable(const std::string& value) {
    if (value == "default" || value.empty()) return ParseFixture("");
    // A few lines; a FIFO or a device given by mistake is refused unopened.
    constexpr size_t MostFixtureFileBytes = size_t{1} << 20;
    const platform::FileRead read = platform::ReadRegularFile(value, MostFixtureFileBytes);
    if (!read.Ok())
        throw FixtureFileError("cannot read the fixture file \"" + value + "\": " + read.Reason());
    return ParseFixture(read.bytes);
}

SwitchBoardFixture::SwitchBoardFixture(FixtureSetup setup, Timing& timing, Emitter emit)
    : setup_(std::move(setup)), timing_(timing), emit_(std::move(emit)) {}

void SwitchBoardFixture::Receive(uint8_t value, uint64_t arrivalNs) {
    held_.push_back({value, arrivalNs});
}

void SwitchBoardFixture::RunUntil(uint64_t nowNs) {
    size_t done = 0;
    for (; done < held_.size() && held_[done].arrivalNs <= nowNs; ++done) {
        const Held& byte = held_[done];
        received_.push_back(byte.value);
        // The line keeps the bytes in order and at its pace; the fixture hands them over at once.
        const uint64_t ready = byte.arrivalNs + MsToNs(timing_.firmwareMs);
        for (uint8_t value : FixtureAnswer(setup_, byte.value)) emit_(value, ready);
    }
    held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(done));
}

std::optional<uint64_t> SwitchBoardFixture::NextEventNs() const {
    if (held_.empty()) return std::nullopt;
    return held_.front().arrivalNs;
}

void SwitchBoardFixture::Abort() {
    held_.clear();
}

void SwitchBoardFixture::PowerCycle() {
    held_.clear();
}

std::unique_ptr<SimulatedFtdi> SimulatedFixture(platform::ModelClock& clock,
                                                const FixtureSetup& setup) {
    auto device = [setup](Timing& timing, WireDevice::Emitter emit) -> std::unique_ptr<WireDevice> {
        return std::make_unique<SwitchBoardFixture>(setup, timing, std::move(emit));
    };
    return std::make_unique<SimulatedFtdi>(clock, device, setup.timing);
}

} // namespace sim
