#include "link/BoxProtocol.h"

int VoltageCode(int volts) {
    if (volts <= 400) return 0;
    if (volts >= 1060) return 63;
    return (63 * volts - 25200) / 660;
}

namespace {
std::string FailureText(char command, int attempts, Answerer silent) {
    const std::string what = " not responding to command '" + std::string(1, command) + "' (" +
                             std::to_string(attempts) +
                             (attempts == 1 ? " attempt)" : " attempts)");
    if (silent == Answerer::Box) return "Calbrix box" + what;
    // The unit never got to its 'D': the operator has to take it out of remote mode.
    return "Tolvex/Zelph unit" + what +
           "\nThe Calbrix box answered, the unit did not: it may still be in remote mode.";
}
} // namespace

BoxCommandFailed::BoxCommandFailed(char command, int attempts, Answerer silent)
    : std::runtime_error(FailureText(command, attempts, silent)), command_(command),
      attempts_(attempts), silent_(silent) {}

BoxCommandFailed::BoxCommandFailed(char command, DeviceFault fault)
    : std::runtime_error("Calbrix box " + LinkLostText(fault)), command_(command), attempts_(0),
      silent_(Answerer::Box), fault_(fault) {}
