#include "simulator/BenchFile.h"

#include <cctype>
#include <fstream>
#include <sstream>

namespace sim {

namespace {

std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line.substr(0, line.find('#')));
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

[[noreturn]] void Fail(const std::string& line, const std::string& why) {
    throw BenchFileError("bench line \"" + line + "\": " + why);
}

double Number(const std::string& line, const std::string& word) {
    if (word == "open" || word == "inf") return NoPath;
    try {
        size_t used = 0;
        const double value = std::stod(word, &used);
        if (used != word.size()) Fail(line, "not a number: " + word);
        return value;
    } catch (const std::logic_error&) {
        Fail(line, "not a number: " + word);
    }
}

long Integer(const std::string& line, const std::string& word) {
    try {
        size_t used = 0;
        const long value = std::stol(word, &used, 0); // 0x.. allowed
        if (used != word.size()) Fail(line, "not a whole number: " + word);
        return value;
    } catch (const std::logic_error&) {
        Fail(line, "not a whole number: " + word);
    }
}

// A whole number within [least, most]; the message names the line and the allowed range.
long Ranged(const std::string& line, const std::string& word, long least, long most) {
    const long value = Integer(line, word);
    if (value < least || value > most)
        Fail(line, word + " is not within " + std::to_string(least) + ".." + std::to_string(most));
    return value;
}

uint8_t Byte(const std::string& line, const std::string& word) {
    return static_cast<uint8_t>(Ranged(line, word, 0, 255));
}

bool YesNo(const std::string& line, const std::string& word) {
    if (word == "yes" || word == "on" || word == "1") return true;
    if (word == "no" || word == "off" || word == "0") return false;
    Fail(line, "expected yes or no: " + word);
}

int Node(const std::string& line, const std::string& word) {
    const int node = ParseNode(word);
    if (node < 1 || node > NodeCount) Fail(line, "not a node (1..192, A1..A96, B1..B96): " + word);
    return node;
}

void Need(const std::string& line, const std::vector<std::string>& w, size_t least) {
    if (w.size() < least) Fail(line, "too few values");
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

void ApplyBenchLine(BenchSetup& s, const std::string& line) {
    const auto w = Words(line);
    if (w.empty()) return;
    const std::string& key = w[0];
    Bench& b = s.bench;
    auto value = [&](size_t i) -> const std::string& {
        Need(line, w, i + 1);
        return w[i];
    };
    if (key == "firmware") {
        b.firmware = value(1);
        if (b.firmware.size() > 5) Fail(line, "a firmware text has at most 5 characters");
    } else if (key == "config") {
        b.configBlock[0] = Byte(line, value(1));
    } else if (key == "boards") {
        b.switchBoardsA = Byte(line, value(1));
        b.switchBoardsB = Byte(line, value(2));
    } else if (key == "serial") {
        b.eepromSerial = w.size() > 1 ? w[1] : "";
    } else if (key == "supply5") {
        b.volts5 = Number(line, value(1));
    } else if (key == "supply12") {
        b.volts12 = Number(line, value(1));
    } else if (key == "driver") {
        const std::string& d = value(1);
        if (d == "good")
            s.driver = DriverConfig::Good;
        else if (d == "strip-high-bit")
            s.driver = DriverConfig::StripHighBit;
        else if (d == "loopback")
            s.driver = DriverConfig::Loopback;
        else
            Fail(line, "driver is good, strip-high-bit or loopback");
    } else if (key == "other-devices") {
        s.otherDevices = static_cast<uint32_t>(Ranged(line, value(1), 0, 1000));
    } else if (key == "open-failures") {
        s.openFailures = static_cast<int>(Ranged(line, value(1), -1, 1000000));
    } else if (key == "attached") {
        s.attached = YesNo(line, value(1));
    } else if (key == "silent") {
        s.silent = YesNo(line, value(1));
    } else if (key == "takeout") {
        const std::string& t = value(1);
        if (t == "plugged-at" || t == "unplugged-at") {
            b.takeOutFlipIn = static_cast<int>(Ranged(line, value(2), 1, 1000000));
            b.takeOutFlipTo = t == "plugged-at";
        } else if (t == "plugged" || t == "unplugged") {
            b.takeOutPlugged = t == "plugged";
        } else {
            Fail(line, "takeout is plugged, unplugged, plugged-at N or unplugged-at N");
        }
    } else if (key == "touch") {
        Touch touch;
        touch.node = Node(line, value(1));
        if (w.size() > 2) touch.fromMs = Number(line, w[2]);
        if (w.size() > 3) touch.toMs = Number(line, w[3]);
        if (w.size() > 4) touch.ohms = Number(line, w[4]);
        b.touches.push_back(touch);
    } else if (key == "no-touch") {
        b.touches.clear();
    } else if (key == "conductor") {
        const int a = Node(line, value(1));
        const int c = Node(line, value(2));
        // conductor NODE NODE [OHMS] [open] [between FROM_MS TO_MS] [readings FROM [TO]]
        Conductor conductor(a, c);
        for (size_t i = 3; i < w.size(); ++i) {
            if (w[i] == "open") {
                conductor.open = true;
            } else if (w[i] == "between") {
                const double from = Number(line, value(i + 1));
                conductor.openWindowsMs.emplace_back(from, Number(line, value(i + 2)));
                i += 2;
            } else if (w[i] == "readings") {
                conductor.openFromReading = static_cast<int>(Ranged(line, value(i + 1), 1, 1000000));
                if (i + 2 < w.size())
                    conductor.openToReading = static_cast<int>(
                        Ranged(line, w[i + 2], conductor.openFromReading, 1000000));
                i = w.size();
            } else if (i == 3) {
                conductor.ohms = Number(line, w[3]);
            } else {
                Fail(line, "conductor NODE NODE [OHMS] [open] [between FROM_MS TO_MS] "
                           "[readings FROM [TO]]");
            }
        }
        b.conductors.push_back(conductor);
    } else if (key == "straight") {
        const long n = Integer(line, value(1));
        if (n < 0 || n > 96) Fail(line, "straight takes 0..96 conductors");
        const double ohms = w.size() > 2 ? Number(line, w[2]) : 0.05;
        for (int pin = 1; pin <= n; ++pin) b.conductors.emplace_back(pin, 96 + pin, ohms);
    } else if (key == "no-cable") {
        b.conductors.clear();
        b.leaks.clear();
    } else if (key == "leak") {
        b.leaks.push_back({Node(line, value(1)), Node(line, value(2)), Number(line, value(3))});
    } else if (key == "leak-readings") {
        // leak-readings NODE NODE OHMS OHMS...: a leak read as each value in turn
        Leak leak{Node(line, value(1)), Node(line, value(2)), Number(line, value(3))};
        for (size_t i = 4; i < w.size(); ++i) leak.laterOhms.push_back(Number(line, w[i]));
        b.leaks.push_back(leak);
    } else if (key == "reference-zero") {
        b.referenceZeroIn = static_cast<int>(Ranged(line, value(1), 1, 1000000));
    } else if (key == "standby") {
        const std::string& kind = value(1);
        if (kind == "takeout") {
            b.takeOutStandby = static_cast<int>(Ranged(line, value(2), -65535, 65535));
        } else {
            const long channel = Integer(line, value(2));
            if (channel < 1 || channel > 12) Fail(line, "standby channels are 1..12");
            const int offset = static_cast<int>(Ranged(line, value(3), -65535, 65535));
            if (kind == "iso")
                b.isolationStandby[static_cast<size_t>(channel - 1)] = offset;
            else if (kind == "cont")
                b.continuityStandby[static_cast<size_t>(channel - 1)] = offset;
            else
                Fail(line, "standby is iso, cont or takeout");
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
            b.meter.electrodeNode[static_cast<int>(Integer(line, value(2)))] = Node(line, value(3));
        } else if (what == "relay") {
            b.meter.relayOhms = Number(line, value(2));
        } else if (what == "path") {
            b.meter.pathOhms[{static_cast<int>(Integer(line, value(2))),
                              static_cast<int>(Integer(line, value(3)))}] = Number(line, value(4));
        } else {
            Fail(line, "meter is present, absent, silent, electrode, relay or path");
        }
    } else if (key == "timing") {
        const std::string& what = value(1);
        if (what == "zero")
            s.timing = Timing::Zero();
        else if (what == "latency")
            s.timing.latencyMs = Number(line, value(2));
        else if (what == "wire")
            s.timing.wireTime = YesNo(line, value(2));
        else if (what == "measure")
            s.timing.measureTime = YesNo(line, value(2));
        else
            Fail(line, "timing is zero, latency MS, wire yes|no or measure yes|no");
    } else {
        Fail(line, "unknown setting \"" + key + "\"");
    }
}

BenchSetup ParseBench(const std::string& text) {
    BenchSetup setup = DefaultBenchSetup();
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        ApplyBenchLine(setup, line);
    }
    return setup;
}

BenchSetup LoadBenchFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw BenchFileError("cannot read the bench file \"" + path + "\"");
    std::ostringstream text;
    text << file.rdbuf();
    return ParseBench(text.str());
}

BenchSetup BenchFromVariable(const std::string& value) {
    if (value.empty() || value == "default") return DefaultBenchSetup();
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
