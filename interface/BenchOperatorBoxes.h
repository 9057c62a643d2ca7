#pragma once
// The window on a simulated bench, with the bench's operator beside it: every message box is
// shown as usual, and what the operator confirmed is done on the bench before the program goes
// on; the operator also sees which test is chosen in the window.

#include <optional>
#include <utility>
#include <vector>

#include "platform/MessageBoxes.h"
#include "simulator/BenchOperator.h"

class TMainFrm;

class BenchOperatorBoxes final : public platform::MessageBoxes {
public:
    BenchOperatorBoxes(platform::MessageBoxes& boxes, sim::BenchOperator& op)
        : boxes_(boxes), operator_(op) {}

    platform::MsgResult Show(const platform::MessageBoxRequest& request) override;

private:
    platform::MessageBoxes& boxes_;
    sim::BenchOperator& operator_;
};

// The unit that the selected test of the window names, wired as its definition says: the
// family and channels of the name, its boards, the node window chosen and the plug order.
// None when the name names no unit.
std::optional<sim::UnitSpec> UnitOfSelectedTest(const TMainFrm& window);

// The cable the loaded test describes: each pair of nodes it joins, once, lower node first.
std::vector<std::pair<int, int>> CableOfLoadedTest(const TMainFrm& window);

// The operator follows the window from now on: the tests chosen in its list, and the unit of
// the selected test.
void FollowWindow(sim::BenchOperator& op, TMainFrm& window);
