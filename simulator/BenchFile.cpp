#include "simulator/BenchFile.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <optional>
#include <sstream>

#include "platform/FileRead.h"

namespace sim {

namespace {

// Limits of what a bench can hold. A bench has 192 nodes: one conductor or leak for every
// pair of them is already more than any cable; past that a file is asking for memory, not for
// a cable. The values bound what the model turns into integer nanoseconds and raw words.
constexpr size_t MostPerList = NodeCount * (NodeCount - 1) / 2;
constexpr double MostOhms = 1e15;
constexpr double MostVolts = 100;
constexpr double MostMs = MostModelMs;
constexpr double MostLatencyMs = 255; // the chip's latency timer is one byte of milliseconds
constexpr size_t QuotedChars = 40;

// A line or word as a message shows it: a short prefix with its control characters made
// visible, so a 10 MB line gives a short message.
std::string Quoted(const std::string& line) {
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos) return "\"\"";
    const size_t length = line.find_last_not_of(" \t") + 1 - first;
    size_t shownLength = std::min(length, QuotedChars);
    while (shownLength > 0 && shownLength < length &&
           (static_cast<unsigned char>(line[first + shownLength]) & 0xC0) == 0x80)
        --shownLength; // not in the middle of a UTF-8 character
    std::string shown = line.substr(first, shownLength);
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return "\"" + shown + (shownLength < length ? "...\"" : "\"");
}

// A fault of one line; the callers add where the line came from.
struct LineFault {
    std::string why;
};

[[noreturn]] void Fail(const std::string& why) {
    throw LineFault{why};
}

std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line.substr(0, line.find('#')));
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

std::string Range(double least, double most) {
    std::ostringstream text;
    text << least << ".." << most;
    return text.str();
}

// A finite number within [least, most]: "inf", "nan" and 1e300 never reach the model, whose
// times become integer nanoseconds.
double Number(const std::string& word, double least, double most) {
    double value = 0;
    try {
        size_t used = 0;
        value = std::stod(word, &used);
        if (used != word.size()) Fail("not a number: " + Quoted(word));
    } catch (const std::logic_error&) {
        Fail("not a number: " + Quoted(word)); // also beyond the range of a double
    }
    if (!std::isfinite(value) || value < least || value > most)
        Fail(Quoted(word) + " is not within " + Range(least, most));
    return value;
}

double Ohms(const std::string& word) {
    return Number(word, 0, MostOhms);
}

double Milliseconds(const std::string& word) {
    return Number(word, 0, MostMs);
}

long Integer(const std::string& word) {
    try {
        size_t used = 0;
        const long value = std::stol(word, &used, 0); // 0x.. allowed
        if (used != word.size()) Fail("not a whole number: " + Quoted(word));
        return value;
    } catch (const std::logic_error&) {
        Fail("not a whole number: " + Quoted(word));
    }
}

// A whole number within [least, most]; the message names the allowed range.
long Ranged(const std::string& word, long least, long most) {
    const long value = Integer(word);
    if (value < least || value > most)
        Fail(Quoted(word) + " is not within " + std::to_string(least) + ".." +
             std::to_string(most));
    return value;
}

uint8_t Byte(const std::string& word) {
    return static_cast<uint8_t>(Ranged(word, 0, 255));
}

bool YesNo(const std::string& word) {
    if (word == "yes" || word == "on" || word == "1") return true;
    if (word == "no" || word == "off" || word == "0") return false;
    Fail("expected yes or no: " + Quoted(word));
}

int Node(const std::string& word) {
    const int node = ParseNode(word);
    if (node < 1 || node > NodeCount)
        Fail("not a node (1..192, A1..A96, B1..B96): " + Quoted(word));
    return node;
}

// Room for `more` entries in a list of the bench.
void Room(size_t size, size_t more, const char* what) {
    if (size + more > MostPerList)
        Fail("more than " + std::to_string(MostPerList) + " " + what + " (one per pair of the " +
             std::to_string(NodeCount) + " nodes)");
}

// A switch word of the meter names its electrode; 0 is none.
int Electrode(const std::string& word) {
    return static_cast<int>(Ranged(word, 1, 65535));
}

// meter tolvex CHANNELS|zelph|brevant [boards N] [window K] [a mirrored|straight]
// [b mirrored|straight]
UnitSpec UnitLine(const std::vector<std::string>& w) {
    UnitSpec unit;
    size_t i = 2;
    if (w[1] == "tolvex") {
        if (w.size() < 3) Fail("too few values");
        unit.meterChannels = static_cast<int>(Ranged(w[2], 2, 10));
        if (unit.meterChannels % 2 != 0) Fail("a Tolvex meter has 2, 4, 6, 8 or 10 channels");
        i = 3;
    }
    unit.family = w[1] == "zelph"     ? UnitSpec::Family::Zelph
                  : w[1] == "brevant" ? UnitSpec::Family::Brevant
                                      : UnitSpec::Family::Tolvex;
    for (; i + 1 < w.size(); i += 2) {
        if (w[i] == "boards")
            unit.boards = static_cast<int>(Ranged(w[i + 1], 1, 8));
        else if (w[i] == "window")
            unit.window = static_cast<int>(Ranged(w[i + 1], 0, 84));
        else if ((w[i] == "a" || w[i] == "b") && (w[i + 1] == "mirrored" || w[i + 1] == "straight"))
            (w[i] == "a" ? unit.aMirrored : unit.bMirrored) = w[i + 1] == "mirrored";
        else
            Fail("a unit takes boards N, window K, a mirrored|straight, b mirrored|straight");
    }
    if (i < w.size()) Fail("a unit's option " + w[i] + " has no value");
    return unit;
}

void ApplyWords(BenchSetup& s, const std::vector<std::string>& w) {
    const std::string& key = w[0];
    Bench& b = s.bench;
    auto value = [&](size_t i) -> const std::string& {
        if (w.size() < i + 1) Fail("too few values");
        return w[i];
    };
    if (key == "firmware") {
        if (value(1).size() > 5) Fail("a firmware text has at most 5 characters");
        b.firmware = value(1);
    } else if (key == "config") {
        b.configBlock[0] = Byte(value(1));
    } else if (key == "boards") {
        b.switchBoardsA = Byte(value(1));
        b.switchBoardsB = Byte(value(2));
    } else if (key == "serial") {
        b.eepromSerial = w.size() > 1 ? w[1] : "";
    } else if (key == "supply5") {
        b.volts5 = Number(value(1), 0, MostVolts);
    } else if (key == "supply12") {
        b.volts12 = Number(value(1), 0, MostVolts);
    } else if (key == "driver") {
        const std::string& d = value(1);
        if (d == "good")
            s.driver = DriverConfig::Good;
        else if (d == "strip-high-bit")
            s.driver = DriverConfig::StripHighBit;
        else if (d == "loopback")
            s.driver = DriverConfig::Loopback;
        else
            Fail("driver is good, strip-high-bit or loopback");
    } else if (key == "other-devices") {
        s.otherDevices = static_cast<uint32_t>(Ranged(value(1), 0, 1000));
    } else if (key == "open-failures") {
        s.openFailures = static_cast<int>(Ranged(value(1), -1, 1000000));
    } else if (key == "attached") {
        s.attached = YesNo(value(1));
    } else if (key == "silent") {
        s.silent = YesNo(value(1));
    } else if (key == "takeout") {
        const std::string& t = value(1);
        if (t == "plugged-at" || t == "unplugged-at") {
            b.takeOutFlipIn = static_cast<int>(Ranged(value(2), 1, 1000000));
            b.takeOutFlipTo = t == "plugged-at";
        } else if (t == "plugged" || t == "unplugged") {
            b.takeOutPlugged = t == "plugged";
        } else {
            Fail("takeout is plugged, unplugged, plugged-at N or unplugged-at N");
        }
    } else if (key == "touch") {
        Room(b.touches.size(), 1, "touches");
        Touch touch;
        touch.node = Node(value(1));
        if (w.size() > 2) touch.fromMs = Milliseconds(w[2]);
        if (w.size() > 3) touch.toMs = Milliseconds(w[3]);
        if (w.size() > 4) touch.ohms = Ohms(w[4]);
        b.touches.push_back(touch);
    } else if (key == "no-touch") {
        b.touches.clear();
    } else if (key == "hand") {
        const char* form = "hand delay MS hold READINGS [slip AFTER FOR] [ohms OHMS]";
        if (w.size() < 5 || w[1] != "delay" || w[3] != "hold") Fail(form);
        Hand hand;
        hand.present = true;
        hand.delayMs = Milliseconds(w[2]);
        hand.holdReadings = static_cast<int>(Ranged(w[4], 0, 1000000));
        for (size_t i = 5; i < w.size(); ++i) {
            if (w[i] == "slip") {
                hand.slipAfter = static_cast<int>(Ranged(value(i + 1), 1, 1000000));
                hand.slipFor = static_cast<int>(Ranged(value(i + 2), 1, 1000000));
                i += 2;
            } else if (w[i] == "ohms") {
                hand.ohms = Ohms(value(i + 1));
                i += 1;
            } else {
                Fail(form);
            }
        }
        b.hand = hand;
    } else if (key == "no-hand") {
        b.hand.present = false;
    } else if (key == "conductor") {
        Room(b.conductors.size(), 1, "conductors");
        // conductor NODE NODE [OHMS] [open] [between FROM_MS TO_MS] [readings FROM [TO]]
        Conductor conductor(Node(value(1)), Node(value(2)));
        for (size_t i = 3; i < w.size(); ++i) {
            if (w[i] == "open") {
                conductor.open = true;
            } else if (w[i] == "between") {
                const double from = Milliseconds(value(i + 1));
                conductor.openWindowsMs.emplace_back(from, Milliseconds(value(i + 2)));
                i += 2;
            } else if (w[i] == "readings") {
                conductor.openFromReading = static_cast<int>(Ranged(value(i + 1), 1, 1000000));
                if (i + 2 < w.size())
                    conductor.openToReading =
                        static_cast<int>(Ranged(w[i + 2], conductor.openFromReading, 1000000));
                i = w.size();
            } else if (i == 3) {
                conductor.ohms = Ohms(w[3]);
            } else {
                Fail("conductor NODE NODE [OHMS] [open] [between FROM_MS TO_MS] "
                     "[readings FROM [TO]]");
            }
        }
        b.conductors.push_back(conductor);
    } else if (key == "straight") {
        const long n = Integer(value(1));
        if (n < 0 || n > 96) Fail("straight takes 0..96 conductors");
        Room(b.conductors.size(), static_cast<size_t>(n), "conductors");
        const double ohms = w.size() > 2 ? Ohms(w[2]) : 0.05;
        for (int pin = 1; pin <= n; ++pin) b.conductors.emplace_back(pin, 96 + pin, ohms);
    } else if (key == "no-cable") {
        b.conductors.clear();
        b.leaks.clear();
    } else if (key == "leak") {
        Room(b.leaks.size(), 1, "leaks");
        b.leaks.push_back({Node(value(1)), Node(value(2)), Ohms(value(3))});
    } else if (key == "leak-readings") {
        // leak-readings NODE NODE OHMS OHMS...: a leak read as each value in turn
        Room(b.leaks.size(), 1, "leaks");
        Leak leak{Node(value(1)), Node(value(2)), Ohms(value(3))};
        for (size_t i = 4; i < w.size(); ++i) leak.laterOhms.push_back(Ohms(w[i]));
        b.leaks.push_back(leak);
    } else if (key == "reference-zero") {
        b.referenceZeroIn = static_cast<int>(Ranged(value(1), 1, 1000000));
    } else if (key == "reference-zero-supply") {
        b.supplyReferenceZeroIn = static_cast<int>(Ranged(value(1), 1, 1000000));
    } else if (key == "standby") {
        const std::string& kind = value(1);
        if (kind == "takeout") {
            b.takeOutStandby = static_cast<int>(Ranged(value(2), -65535, 65535));
        } else {
            const long channel = Integer(value(2));
            if (channel < 1 || channel > 12) Fail("standby channels are 1..12");
            const int offset = static_cast<int>(Ranged(value(3), -65535, 65535));
            if (kind == "iso")
                b.isolationStandby[static_cast<size_t>(channel - 1)] = offset;
            else if (kind == "cont")
                b.continuityStandby[static_cast<size_t>(channel - 1)] = offset;
            else
                Fail("standby is iso, cont or takeout");
        }
    } else if (key == "meter") {
        const std::string& what = value(1);
        if (what == "present") {
            b.meter.present = true;
            b.meter.answers = true;
        } else if (what == "absent") {
            b.meter.present = false;
        } else if (what == "silent") {
            b.meter.present = true;
            b.meter.answers = false;
        } else if (what == "electrode") {
            Room(b.meter.electrodeNode.size(), 1, "meter electrodes");
            b.meter.electrodeNode[Electrode(value(2))] = Node(value(3));
        } else if (what == "tolvex" || what == "zelph" || what == "brevant") {
            WireUnit(b.meter, UnitLine(w));
        } else if (what == "relay" && w.size() > 3) {
            // meter relay BOARD REn good|open|stuck OHMS|late N
            Room(b.meter.relays.size(), 1, "unit relays");
            const int board = static_cast<int>(Ranged(w[2], 1, 85));
            if (w[3].rfind("RE", 0) != 0) Fail("a relay is REn, n 1..168: " + Quoted(w[3]));
            const int re = static_cast<int>(Ranged(w[3].substr(2), 1, 168));
            UnitRelay relay;
            const std::string& state = w.size() > 4 ? w[4] : "";
            if (state == "open")
                relay.state = UnitRelay::State::Open;
            else if (state == "stuck")
                relay = {UnitRelay::State::Stuck, Ohms(value(5)), 0};
            else if (state == "late")
                relay = {UnitRelay::State::Late, 0, static_cast<int>(Ranged(value(5), 0, 1000000))};
            else if (state != "good")
                Fail("a relay is good, open, stuck OHMS or late N");
            b.meter.relays[{24 * (board - 1) + (re - 1) / 7 + 1, (re - 1) % 7 + 1}] = relay;
        } else if (what == "relay") {
            b.meter.relayOhms = Ohms(value(2));
        } else if (what == "remote-after") {
            b.meter.unansweredRemote = static_cast<int>(Ranged(value(2), 0, 1000000));
        } else if (what == "path") {
            Room(b.meter.pathOhms.size(), 1, "meter paths");
            const int electrode = Electrode(value(2));
            const int word = static_cast<int>(Ranged(value(3), 0, 12));
            b.meter.pathOhms[{electrode, word}] = value(4) == "open" ? NoPath : Ohms(value(4));
        } else {
            Fail("meter is present, absent, silent, tolvex, zelph, brevant, electrode, relay, "
                 "remote-after or path");
        }
    } else if (key == "timing") {
        const std::string& what = value(1);
        if (what == "zero")
            s.timing = Timing::Zero();
        else if (what == "latency")
            s.timing.latencyMs = Number(value(2), 0, MostLatencyMs);
        else if (what == "wire")
            s.timing.wireTime = YesNo(value(2));
        else if (what == "measure")
            s.timing.measureTime = YesNo(value(2));
        else
            Fail("timing is zero, latency MS, wire yes|no or measure yes|no");
    } else {
        Fail("unknown setting " + Quoted(key));
    }
}

// Applies one line; a fault comes back as its reason.
std::optional<std::string> TryLine(BenchSetup& setup, const std::string& line) {
    try {
        const auto words = Words(line);
        if (!words.empty()) ApplyWords(setup, words);
    } catch (const LineFault& fault) {
        return fault.why;
    }
    return std::nullopt;
}

} // namespace

int ParseNode(const std::string& word) {
    if (word.empty()) return 0;
    const char plug = static_cast<char>(std::toupper(static_cast<unsigned char>(word[0])));
    const bool pin = plug == 'A' || plug == 'B';
    const std::string digits = pin ? word.substr(1) : word;
    if (digits.empty() || digits.size() > 3) return 0;
    for (char c : digits)
        if (!std::isdigit(static_cast<unsigned char>(c))) return 0;
    const int number = std::stoi(digits);
    if (!pin) return number;
    if (number < 1 || number > 96) return 0;
    return plug == 'A' ? number : 96 + number;
}

BenchSetup DefaultBenchSetup() {
    BenchSetup setup;
    for (int pin = 1; pin <= 24; ++pin) setup.bench.conductors.emplace_back(pin, 96 + pin, 0.05);
    return setup;
}

void ApplyBenchLine(BenchSetup& setup, const std::string& line) {
    if (auto why = TryLine(setup, line))
        throw BenchFileError("bench line " + Quoted(line) + ": " + *why);
}

BenchSetup ParseBench(const std::string& text, const std::string& source) {
    BenchSetup setup = DefaultBenchSetup();
    std::istringstream in(text);
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (auto why = TryLine(setup, line))
            throw BenchFileError(source + ", line " + std::to_string(number) + ": " + Quoted(line) +
                                 ": " + *why);
    }
    return setup;
}

BenchSetup LoadBenchFile(const std::string& path) {
    const std::string name = "bench file \"" + path + "\"";
    // A FIFO or a device given by mistake is refused unopened: the start never waits on it.
    platform::FileRead read = platform::ReadRegularFile(path, MostBenchFileBytes);
    switch (read.outcome) {
    case platform::FileRead::Outcome::Read:
        return ParseBench(read.bytes, name);
    case platform::FileRead::Outcome::NotAFile:
        throw BenchFileError(
            "the " + name +
            (read.folder ? " is a folder, not a file" : " is not a file (a FIFO or a device)"));
    case platform::FileRead::Outcome::TooLarge:
        throw BenchFileError("the " + name + " is larger than 1 MB: a bench is a few lines");
    case platform::FileRead::Outcome::Missing:
    case platform::FileRead::Outcome::Failed:
        break;
    }
    throw BenchFileError("cannot open the " + name + ": " + read.Reason());
}

bool NamesDefaultBench(const std::string& value) {
    return value.empty() || value == "default";
}

BenchSetup BenchFromVariable(const std::string& value) {
    if (NamesDefaultBench(value)) return DefaultBenchSetup();
    return LoadBenchFile(value);
}

void ApplyDeviceSettings(SimulatedFtdi& driver, const BenchSetup& setup) {
    driver.SetAttached(setup.attached);
    driver.SetSilent(setup.silent);
    driver.SetDriverConfig(setup.driver);
    driver.SetOpenFailures(setup.openFailures);
    driver.SetOtherDevices(setup.otherDevices);
}

void ApplyBenchLine(SimulatedFtdi& driver, const std::string& line) {
    BenchSetup setup;
    setup.bench = driver.GetBench();
    setup.timing = driver.GetTiming();
    // The device settings start from what is in force, so a line changes only its own.
    setup.attached = driver.Attached();
    setup.silent = driver.Silent();
    setup.driver = driver.Config();
    setup.openFailures = driver.OpenFailures();
    setup.otherDevices = driver.OtherDevices();
    ApplyBenchLine(setup, line);
    driver.GetBench() = setup.bench;
    driver.GetTiming() = setup.timing;
    ApplyDeviceSettings(driver, setup);
}

} // namespace sim
