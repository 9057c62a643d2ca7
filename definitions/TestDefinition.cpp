#include "definitions/TestDefinition.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <utility>

namespace definitions {

namespace {

// Numbers are held at this value once they reach ten digits, so neither the accumulation nor
// the plug offset added later can overflow. It names no pin, and as a voltage limit it counts
// as "too high" like every number above FirstIgnoredVoltageLimit.
constexpr int32_t TooLong = 1'000'000'000;

constexpr int32_t PlugACode = 1000;
constexpr int32_t PlugBCode = 2000;

// A '@' sets the voltage to this while it waits for its number.
constexpr int32_t LimitAwaited = -1;

int32_t AppendDigit(int32_t number, unsigned char digit) {
    if (number >= TooLong / 10) return TooLong;
    return 10 * number + (digit - '0');
}

bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

// The node a code names: 1001..1096 plug A, 2001..2096 plug B; 0 for anything else.
int NodeOfCode(int32_t code) {
    if (code > PlugACode && code <= PlugACode + PinsPerPlug) return code - PlugACode;
    if (code > PlugBCode && code <= PlugBCode + PinsPerPlug) return code - PlugBCode + PinsPerPlug;
    return 0;
}

int32_t ClampedLimit(int32_t number) {
    if (number <= LowestVoltageLimit) return LowestVoltageLimit;
    if (number >= FirstIgnoredVoltageLimit) return DefaultVoltage;
    return number;
}

int ReportedLine(size_t line) {
    return static_cast<int>(std::min<size_t>(line, std::numeric_limits<int>::max()));
}

enum LineState { BeforeFirst, InFirst, Between, InSecond, AfterSecond };

class Parser {
public:
    explicit Parser(DefinitionState& state) : s_(state) {}

    void Byte(unsigned char c) {
        switch (c) {
        case 'A':
            plugOffset_ = PlugACode;
            return;
        case 'B':
            plugOffset_ = PlugBCode;
            return;
        case '@':
            s_.HtVoltage = LimitAwaited;
            return;
        case 'F':
            s_.APlugMirrored = false;
            return;
        case 'L':
            s_.BPlugMirrored = true;
            return;
        default:
            break;
        }
        switch (lineState_) {
        case BeforeFirst:
            if (IsDigit(c)) {
                first_ = c - '0';
                lineState_ = InFirst;
            }
            break;
        case InFirst:
            if (IsDigit(c)) {
                first_ = AppendDigit(first_, c);
            } else {
                first_ += plugOffset_;
                plugOffset_ = 0;
                lineState_ = Between;
            }
            break;
        case Between:
            if (IsDigit(c)) {
                second_ = c - '0';
                lineState_ = InSecond;
            } else if (c != '\t' && c != ' ') {
                lineMarked_ = true;
                s_.MarkSeen = true;
            }
            break;
        case InSecond:
            if (IsDigit(c))
                second_ = AppendDigit(second_, c);
            else
                lineState_ = AfterSecond;
            break;
        default:
            break;
        }
    }

    // Ends the current line; false when it names a pin that an earlier line used.
    bool EndLine() {
        bool ok = true;
        if (lineState_ == InSecond || lineState_ == AfterSecond)
            ok = TwoNumbers();
        else if (lineState_ == Between)
            OneNumber();
        lineState_ = BeforeFirst;
        first_ = second_ = 0;
        plugOffset_ = 0;
        lineMarked_ = false;
        return ok;
    }

private:
    bool TwoNumbers() {
        second_ += plugOffset_;
        if (first_ > second_) std::swap(first_, second_);
        const int a = NodeOfCode(first_);
        const int b = NodeOfCode(second_);
        if ((a != 0 && s_.Wiring[a] >= 0) || (b != 0 && s_.Wiring[b] >= 0)) return false;
        const int mark = lineMarked_ ? TakeOutMark : 0;
        if (a != 0 && b != 0) {
            s_.Wiring[a] = static_cast<int16_t>(b + mark);
            s_.Wiring[b] = static_cast<int16_t>(a + mark);
            s_.PairSeen = true;
        } else if (first_ == 0 && b != 0) {
            s_.Wiring[b] = static_cast<int16_t>(mark);
        }
        return true;
    }

    void OneNumber() {
        if (s_.HtVoltage == LimitAwaited) s_.HtVoltage = ClampedLimit(first_);
    }

    DefinitionState& s_;
    LineState lineState_ = BeforeFirst;
    int32_t first_ = 0;
    int32_t second_ = 0;
    int32_t plugOffset_ = 0;
    bool lineMarked_ = false;
};

} // namespace

WiringTable ClearedWiring() {
    WiringTable wiring;
    wiring.fill(-1);
    wiring[0] = 0;
    return wiring;
}

WiringTable SelfTestWiring(int32_t boxNodeCount, int32_t socketLimit) {
    WiringTable wiring = ClearedWiring();
    const int pins = std::clamp(std::min(boxNodeCount, socketLimit), 0, PinsPerPlug);
    for (int n = 1; n <= pins; ++n) wiring[n] = wiring[PinsPerPlug + n] = TakeOutMark;
    return wiring;
}

ParseResult ParseDefinition(std::string_view bytes, const DefinitionState& start) {
    ParseResult result{start, 0};
    Parser parser(result.Definition);
    size_t line = 1; // wide enough for any input; clamped when reported
    bool afterCr = false;
    for (const char byte : bytes) {
        const auto c = static_cast<unsigned char>(byte);
        if (c == '\n' || c == '\r') {
            // The LF of a CR LF ends an empty line, which does nothing and is no editor line.
            if (!(c == '\n' && afterCr)) {
                if (!parser.EndLine()) {
                    result.ConflictLine = ReportedLine(line);
                    break;
                }
                ++line;
            }
            afterCr = c == '\r';
            continue;
        }
        afterCr = false;
        parser.Byte(c);
    }
    // A last line without a line end still counts.
    if (!result.Conflict() && !parser.EndLine()) result.ConflictLine = ReportedLine(line);

    // A limit that no line closed: test at the full voltage rather than carry -1 on.
    if (result.Definition.HtVoltage == LimitAwaited) result.Definition.HtVoltage = DefaultVoltage;
    return result;
}

} // namespace definitions
