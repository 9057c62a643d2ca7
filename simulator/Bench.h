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

// The operator's hand on the take-out probe: it follows the end that the box selects for the
// take-out channel ('O', slot 0), touches it delayMs after the selection and holds it for
// holdReadings take-out readings; with a slip it lets go after slipAfter readings in contact
// and comes back slipFor readings later. Readings count from the touch, on the plugged wire.
struct Hand {
    bool present = false;
    double delayMs = 0;
    int holdReadings = 0;
    int slipAfter = 0; // 0: no slip
    int slipFor = 0;
    double ohms = 0.1;
};

// One of the seven relays of a unit's channel. The path from a channel's electrode to a line
// runs through relays 1 up to the line's own relay (2 for A and B ... 7 for v3 and v1).
struct UnitRelay {
    enum class State { Good, Open, Stuck, Late };
    State state = State::Good;
    double ohms = 0;   // Stuck: the resistance its contact adds
    int lateTries = 0; // Late: the switchings it stays open for before it closes
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
    // The unit's measuring lines by the switch word that selects them (word 3 selects none).
    std::array<bool, 13> lineWired{true, true, true, false, true, true, true,
                                   true, true, true, true,  true, true};
    int unansweredRemote = 0; // the next N 'C' go unanswered (the unit not yet in remote mode)
    std::map<std::pair<int, int>, UnitRelay> relays; // (electrode, relay 1..7) that are not good
    std::map<std::pair<int, int>, int> switchings;   // state: times each relay was switched
};

// What a unit on the bench is: its family, meter channels, boards of 24 channels, the node
// window of a switching unit, and the plug order of the cable from its channels to the box.
struct UnitSpec {
    enum class Family { Tolvex, Zelph, Brevant };
    Family family = Family::Tolvex;
    int meterChannels = 10; // Tolvex: 2, 4, 6, 8 or 10
    int boards = 1;         // 1..8
    int window = 0;         // channel R is the unit's electrode R + 24 x window
    bool aMirrored = true;  // the order a test definition has unless it says otherwise
    bool bMirrored = false;
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
    Hand hand;
    // The referenceZeroIn-th measuring reply ('T', 'U', 'M') from now carries a reference word
    // of 0 (0 = none coming).
    int referenceZeroIn = 0;
    // The same for the supplyReferenceZeroIn-th supply reading ('2') from now.
    int supplyReferenceZeroIn = 0;

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

// Puts a unit behind the box in place of any meter: present, answering, its lines, and each
// channel's electrode wired to the box pin the plug order gives; relay faults are kept.
void WireUnit(Meter& meter, const UnitSpec& unit);

// The resistance from an electrode through the unit's relays to the line of a switch word, as it
// is now; NoPath when the line is missing or a relay on the way is open.
double MeterPathOhms(const Meter& meter, int electrode, int switchWord);

// The unit carries out switch words: every relay on the way to a selected line is switched once
// more (a late relay closes after its tries).
void CountSwitchings(Meter& meter, const std::array<uint16_t, 13>& words);

// Raw 16-bit words (sums of 60 samples referred to the 5 V supply), clamped to 0..65535.
uint16_t ReferenceWord(const Bench& bench);
uint16_t NoCurrentWord(const Bench& bench, int standbyOffset);
uint16_t IsolationWord(const Bench& bench, double ohms);
uint16_t ContinuityWord(const Bench& bench, double ohms);
uint16_t Supply12Word(const Bench& bench);

} // namespace sim
