// libFuzzer entry for the definition parser: any bytes must parse without undefined behaviour
// and leave a sound wiring table.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "definitions/TestDefinition.h"
#include "fuzz/WiringInvariants.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    definitions::DefinitionState start;
    start.Wiring[0] = 12345; // any write to entry 0 shows
    const auto result = definitions::ParseDefinition(
        std::string_view(reinterpret_cast<const char*>(data), size), start);
    const std::string violation = definitions::WiringInvariantViolation(result, 12345);
    if (!violation.empty()) {
        std::fprintf(stderr, "wiring invariant broken: %s\n", violation.c_str());
        std::abort();
    }
    return 0;
}
