#include "link/BoxProtocol.h"

int VoltageCode(int volts) {
    if (volts <= 400) return 0;
    if (volts >= 1060) return 63;
    return (63 * volts - 25200) / 660;
}

BoxCommandFailed::BoxCommandFailed(char command, int attempts)
    : std::runtime_error("Calbrix box not responding to command '" + std::string(1, command) +
                         "' (" + std::to_string(attempts) + " attempts)"),
      command_(command), attempts_(attempts) {}
