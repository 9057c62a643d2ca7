#pragma once
// Everything on and around the simulated box: identification, supplies, the cable on the plugs,
// the take-out wire with the operator's probe, and the meter of the relays test. The functions
// below turn resistances into the raw words the box reports, inverting the program's
// conversions so that the program reads back the bench's ohms.

#include <array>
#include <cstdint>
#include <limits>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace sim {

inline constexpr double NoPath = std::numeric_limits<double>::infinity();
inline constexpr int NodeCount = 192; // nodes 1..96 = plug A pins, 97..192 = plug B pins

struct Conductor {
    int nodeA = 0;
    int nodeB = 0;
    double ohms = 0.05;
    bool open = false;
    std::vector<std::pair<double, double>> openWindowsMs; // intermittent: open in [from, to)
    // Intermittent by readings: open for the take-out readings fromReading..toReading (1 = the
    // first after the box last selected nodes with 'O'); 0 = no such window.
    int openFromReading = 0;
    int openToReading = 0;

    // A constructor rather than brace-initialising the aggregate: with the window list left
    // out, {a, b, ohms} would trip -Wmissing-field-initializers under -Werror.
    Conductor() = default;
    Conductor(int a, int b, double resistance = 0.05, bool isOpen = false,
              std::vector<std::pair<double, double>> windows = {})
        : nodeA(a), nodeB(b), ohms(resistance), open(isOpen), openWindowsMs(std::move(windows)) {}
};

struct Leak {
    int node1 = 0;
    int node2 = 0;
    double ohms = 1e12;
    // A leak that drifts: the replies that see it read `ohms`, then each of these in turn, the
    // last one holding. `seen` counts those replies (state).
    std::vector<double> laterOhms = {};
    int seen = 0;
};

// The resistance a leak shows at the reply that sees it now.
double LeakOhmsNow(const Leak& leak);

// The operator's probe (on the take-out wire) touching a node during [fromMs, toMs).
struct Touch {
    double fromMs = 0;
    double toMs = 1e18;
    int node = 0;
    double ohms = 0.1;
};

// Resistivity meter / switching unit driven in remote mode.
struct Meter {
    bool present = false;
    bool answers = true;                    // answers 'C', 'D' and 'S' (false: a unit switched off)
    bool remote = false;                    // state, set by 'C' / cleared by 'D'
    std::array<uint16_t, 13> switchWords{}; // state, the words of the last 'S' it carried out
    std::map<int, int> electrodeNode;       // electrode number -> box node 1..192 it is wired to
    double relayOhms = 0.5;                 // path electrode -> relay -> line -> box channel
    std::map<std::pair<int, int>, double> pathOhms; // (electrode, switch word) override;
                                                    // NoPath = open relay
};

struct Bench {
    std::string eepromSerial = "TKCALBv1";
    std::string eepromDescription = "Calbrix box";
    std::string eepromManufacturer = "Tolvex";
    std::string eepromManufacturerId = "TK";
    std::string firmware = "1.04";                      // sent as 5 bytes, zero-padded
    std::array<uint8_t, 64> configBlock{0x70};          // byte 0 = 0x70: 96 pins
    uint8_t switchBoardsA = 0x0F, switchBoardsB = 0x0F; // 'N' answers; bit i = pins 24i+1..24i+24
    uint32_t driverVersion = 0x00021214, libraryVersion = 0x00030215; // 0x00MMmmbb

    double volts5 = 5.0, volts12 = 12.0;
    // Raw counts added to the no-current reading of a channel.
    std::array<int, 12> isolationStandby{}, continuityStandby{};
    int takeOutStandby = 0;

    std::vector<Conductor> conductors;
    std::vector<Leak> leaks;

    bool takeOutPlugged = false;
    // The wire changes to takeOutFlipTo at the takeOutFlipIn-th supply reading from now
    // (0 = no change coming); that reading already sees the new state.
    int takeOutFlipIn = 0;
    bool takeOutFlipTo = false;
    std::vector<Touch> touches;
    // The referenceZeroIn-th measuring reply ('T', 'U', 'M') from now carries a reference word
    // of 0 (0 = none coming).
    int referenceZeroIn = 0;

    Meter meter;
};

// 96-pin box, firmware "1.04", all switch boards, good supplies, nothing on the plugs.
Bench DefaultBench();

// Version texts compare byte by byte as unsigned values up to the first NUL, shorter = smaller.
bool FirmwareAtLeast(const std::string& firmware, const char* version);

// True when the box can connect the node: its switch board is fitted.
bool NodeServed(const Bench& bench, int node);

bool ConductorClosed(const Conductor& conductor, double atMs);

// Lowest series resistance along closed conductors from `from` to any target, each target
// carrying an extra resistance at its end. NoPath when none is reachable.
double PathOhms(const Bench& bench, int from, const std::vector<std::pair<int, double>>& targets,
                double atMs);

// Resistance that an isolation channel sees between two nodes: the path when they are in one
// net, else the parallel leaks joining their nets. NoPath when no current flows. The indices
// of the leaks that carried the current are added to `leaksSeen` when it is given.
double IsolationOhms(const Bench& bench, int nodeA, int nodeB, double atMs,
                     std::vector<size_t>* leaksSeen = nullptr);

// Raw 16-bit words (sums of 60 samples referred to the 5 V supply), clamped to 0..65535.
uint16_t ReferenceWord(const Bench& bench);
uint16_t NoCurrentWord(const Bench& bench, int standbyOffset);
uint16_t IsolationWord(const Bench& bench, double ohms);
uint16_t ContinuityWord(const Bench& bench, double ohms);
uint16_t Supply12Word(const Bench& bench);

} // namespace sim
