#pragma once
// The operator at a simulated bench: what a person does on the bench when the program asks for
// it and the question is answered with OK. Every simulated bench has an operator who plugs the
// take-out wire in or pulls it out. The default bench's operator is also careful and has the
// right equipment: a hand that probes each end the take-out test selects, the cable of the
// chosen test on the plugs (taken off when the box self-test asks for bare plugs), and the unit
// a relays test names, connected and in remote mode when the program asks for it.
//
// A bench file says what its operator has: this one adds only the take-out wire to it.

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "simulator/Bench.h"
#include "simulator/SimulatedFtdi.h"

namespace sim {

// The default bench's hand: it reaches each selected end half a second after the box selects
// it and holds it until the program selects the next one.
Hand CarefulHand();

class BenchOperator {
public:
    enum class Kind {
        TakeOutWireOnly, // the operator of a bench file
        Careful,         // the operator of the default bench
    };

    // What the selected test names: the unit of a relays test, or none.
    using UnitOfTest = std::function<std::optional<UnitSpec>()>;

    // A careful operator puts its hand on the bench at once.
    BenchOperator(SimulatedFtdi& driver, Kind kind);

    // Where the careful operator reads which unit the selected test names.
    void SetUnitOfTest(UnitOfTest unitOfTest) { unitOfTest_ = std::move(unitOfTest); }

    // The operator read a prompt and answered it with OK (or Retry): what it asks is done
    // before the program goes on. Prompts that ask for nothing on the bench change nothing.
    void Confirmed(const std::string& prompt);

    // The careful operator chose a test in the program. For any test but the box self-test the
    // cable the test describes (its pairs of nodes, each a sound conductor) goes on the plugs in
    // place of whatever the last test had there; the self-test keeps what is there until it
    // asks for bare plugs.
    void TestChosen(bool selfTest, const std::vector<std::pair<int, int>>& cable);

    Kind GetKind() const { return kind_; }

private:
    SimulatedFtdi& driver_;
    Kind kind_;
    UnitOfTest unitOfTest_;
};

} // namespace sim
