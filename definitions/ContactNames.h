#pragma once
// The letter designation printed beside a pin number, indexed by pin within its plug (0..96):
// capitals without I, O and Q, then small letters without l and o, then doubled capitals
// without II; "-" for 0 and for the pins past the letters. Built at compile time, so it is
// ready before the program entry runs.

#include <array>
#include <string_view>

namespace definitions {

inline constexpr std::array<std::string_view, 97> ContactNames = [] {
    // Letters that read like digits or like each other are left out.
    constexpr std::string_view capitals = "ABCDEFGHJKLMNPRSTUVWXYZ";
    constexpr std::string_view smalls = "abcdefghijkmnpqrstuvwxyz";
    constexpr std::string_view doubles = "AABBCCDDEEFFGGHHJJKKLLMMNN";
    std::array<std::string_view, 97> names{};
    names.fill("-");
    size_t pin = 1;
    for (size_t i = 0; i < capitals.size(); ++i) names[pin++] = capitals.substr(i, 1);
    for (size_t i = 0; i < smalls.size(); ++i) names[pin++] = smalls.substr(i, 1);
    for (size_t i = 0; i < doubles.size(); i += 2) names[pin++] = doubles.substr(i, 2);
    return names;
}();

static_assert(ContactNames[23] == "Z" && ContactNames[47] == "z" && ContactNames[60] == "NN" &&
              ContactNames[61] == "-");

} // namespace definitions
