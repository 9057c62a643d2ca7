// Pin letters and the box self-test definition.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "definitions/ContactNames.h"
#include "definitions/TestDefinition.h"

using definitions::ContactNames;
using definitions::TakeOutMark;

namespace {

TEST(ContactNames, LettersAtTheirPins) {
    const std::pair<int, const char*> listed[] = {
        {0, "-"},  {1, "A"},   {8, "H"},   {9, "J"},   {13, "N"},  {14, "P"}, {15, "R"},
        {23, "Z"}, {24, "a"},  {32, "i"},  {34, "k"},  {35, "m"},  {37, "p"}, {38, "q"},
        {47, "z"}, {48, "AA"}, {55, "HH"}, {56, "JJ"}, {60, "NN"}, {61, "-"}, {96, "-"}};
    for (const auto& [pin, name] : listed) EXPECT_EQ(ContactNames[pin], name) << "pin " << pin;
}

TEST(ContactNames, LeaveOutLettersThatReadAlike) {
    std::set<std::string_view> seen;
    for (int pin = 1; pin <= 60; ++pin) {
        const auto name = ContactNames[pin];
        EXPECT_TRUE(seen.insert(name).second) << "pin " << pin << " repeats " << name;
        for (const char* left : {"I", "O", "Q", "l", "o", "II"}) EXPECT_NE(name, left);
    }
    for (int pin = 61; pin <= 96; ++pin) EXPECT_EQ(ContactNames[pin], "-") << "pin " << pin;
}

struct SelfTestCase {
    int boxNodeCount, socketLimit, markedPins;
};

TEST(SelfTestDefinition, MarksServedPinsOfBothPlugsAsTakeOuts) {
    const SelfTestCase cases[] = {
        {48, 48, 48}, {0, 96, 0}, {96, 48, 48},   {48, 96, 48},
        {96, 96, 96}, {72, 0, 0}, {200, 200, 96}, // more than a plug holds: never past pin 96
        {-5, 96, 0},
    };
    for (const auto& c : cases) {
        const auto wiring = definitions::SelfTestWiring(c.boxNodeCount, c.socketLimit);
        SCOPED_TRACE(testing::Message()
                     << c.boxNodeCount << " box nodes, socket " << c.socketLimit);
        EXPECT_EQ(wiring[0], 0);
        for (int pin = 1; pin <= 96; ++pin) {
            const int expected = pin <= c.markedPins ? TakeOutMark : -1;
            EXPECT_EQ(wiring[pin], expected) << "A" << pin;
            EXPECT_EQ(wiring[96 + pin], expected) << "B" << pin;
        }
    }
}

} // namespace
