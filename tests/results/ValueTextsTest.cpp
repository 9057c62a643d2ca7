// Value texts at every threshold, the pad formats, the remaining-time text and the fixed
// decimal format.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "results/ValueTexts.h"

using namespace results;

namespace {

struct IsolationCase {
    int64_t ohms;
    const char* text;
};

TEST(ValueTexts, IsolationText) {
    const IsolationCase cases[] = {
        {std::numeric_limits<int64_t>::min(), " < 40 M\u03A9"},
        {-1, " < 40 M\u03A9"},
        {0, " < 40 M\u03A9"},
        {41999999, " < 40 M\u03A9"},
        {42000000, " 42 M\u03A9"},
        {42999999, " 42 M\u03A9"},
        {999999999, " 999 M\u03A9"},
        {9999999999, " 9999 M\u03A9"},
        {10000000000, " 10 G\u03A9"},
        {31999999999, " 31 G\u03A9"},
        {32000000000, " 32 G\u03A9"},
        {32000000001, " > 32 G\u03A9"},
        {33000000000, " > 32 G\u03A9"}, // the open value of the conversion
        {std::numeric_limits<int64_t>::max(), " > 32 G\u03A9"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatIsolation(c.ohms), c.text) << c.ohms;
}

struct OhmsCase {
    int32_t ohms;
    const char* text;
};

TEST(ValueTexts, ContinuityText) {
    const OhmsCase cases[] = {
        {std::numeric_limits<int32_t>::min(), "0 \u03A9"},
        {-5, "0 \u03A9"},
        {0, "0 \u03A9"},
        {1, "1 \u03A9"},
        {999, "999 \u03A9"},
        {1000, "1 k\u03A9"},
        {1499, "1 k\u03A9"},
        {1500, "2 k\u03A9"},
        {9499, "9 k\u03A9"},
        {9500, "infinite"},
        {11000, "infinite"}, // the open value of the conversion
        {std::numeric_limits<int32_t>::max(), "infinite"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatContinuity(c.ohms), c.text) << c.ohms;
}

TEST(ValueTexts, PreciseContinuityText) {
    const OhmsCase cases[] = {
        {-1, "Invalid !"},
        {-2, "0 \u03A9"},
        {std::numeric_limits<int32_t>::min(), "0 \u03A9"},
        {0, "0 \u03A9"},
        {1, "1 \u03A9"},
        {999, "999 \u03A9"},
        {1000, "1.00 k\u03A9"},
        {1004, "1.00 k\u03A9"},
        {1005, "1.01 k\u03A9"}, // halves go up, although 1005 x 0.001 is below 1.005 in binary
        {1234, "1.23 k\u03A9"},
        {9999, "10.00 k\u03A9"},
        {10994, "10.99 k\u03A9"},
        {10995, "11.00 k\u03A9"},
        {10998, "11.00 k\u03A9"},
        {10999, "> 11 k\u03A9"},
        {11000, "> 11 k\u03A9"},
        {std::numeric_limits<int32_t>::max(), "> 11 k\u03A9"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatContinuityPrecise(c.ohms, '.'), c.text) << c.ohms;
    EXPECT_EQ(FormatContinuityPrecise(2050, ','), "2,05 k\u03A9");
}

TEST(ValueTexts, PadNumbers) {
    const struct {
        int32_t n;
        const char* right;
        const char* left;
    } cases[] = {
        {0, "0    ", "  0"}, {7, "7    ", "  7"}, {9, "9    ", "  9"}, {10, "10  ", "10"},
        {12, "12  ", "12"},  {42, "42  ", "42"},  {99, "99  ", "99"},  {100, "100", "100"},
        {123, "123", "123"}, {192, "192", "192"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PadNumberRight(c.n), c.right) << c.n;
        EXPECT_EQ(PadNumberLeft(c.n), c.left) << c.n;
    }
}

TEST(ValueTexts, RemainingTime) {
    const struct {
        uint32_t elapsedMs;
        int32_t done;
        int32_t total;
        const char* text;
    } cases[] = {
        {10000, 1, 4, "ETR: 0:00:30"},
        {124900, 1, 2, "ETR: 0:02:05"}, // 125 400 ms
        {7000, 7, 7, "ETR: 0:00:00"},   // done = total: 500 ms is under a second
        {1499, 1, 2, "ETR: 0:00:01"},   // 1999 ms
        {1500, 1, 2, "ETR: 0:00:02"},   // 2000 ms: the half second rounds up
        {1999, 2, 3, "ETR: 0:00:01"},   // elapsed / done truncates: 999 + 500
        {3599500, 1, 2, "ETR: 1:00:00"},
        {59500, 1, 2, "ETR: 0:01:00"},
        {3000, 5, 3, "ETR: 0:00:00"}, // more done than planned: nothing left
        {3000, 5, -1, "ETR: 0:00:00"},
        {86400000, 1, 2, "ETR: 24:00:00"},      // a day or more keeps counting hours
        {4000000000u, 1, 3, "ETR: 2222:13:20"}, // beyond 32 bits of milliseconds
        {0xFFFFFFFFu, 1, std::numeric_limits<int32_t>::max(), "ETR: 2562047785032:35:58"},
        {5000, 0, 4, "ETR: 0:00:20"}, // no step done yet: taken as one, never a division by 0
    };
    for (const auto& c : cases)
        EXPECT_EQ(RemainingTimeText(c.elapsedMs, c.done, c.total, ':'), c.text)
            << c.elapsedMs << " " << c.done << "/" << c.total;
    EXPECT_EQ(RemainingTimeText(10000, 1, 4, '.'), "ETR: 0.00.30");
}

TEST(ValueTexts, FixedDecimals) {
    const struct {
        double value;
        int decimals;
        const char* text;
    } cases[] = {
        {5.0, 3, "5.000"},
        {4.8f, 3, "4.800"},
        {11.93354606628418, 3, "11.934"},
        {30901 * 2.5 / 30720, 3, "2.515"},
        {2.5625, 3, "2.563"}, // exactly a half: away from zero
        {-2.5625, 3, "-2.563"},
        {0.0004, 3, "0.000"},
        {-0.0004, 3, "0.000"}, // no "-0.000"
        {0.125, 2, "0.13"},
        {153600.0, 3, "153600.000"},
        {1e20, 3, "100000000000000000000.000"},
        {std::nan(""), 3, "NAN"},
        {std::numeric_limits<double>::infinity(), 3, "INF"},
        {-std::numeric_limits<double>::infinity(), 3, "-INF"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatFixed(c.value, c.decimals, '.'), c.text) << c.value;
    EXPECT_EQ(FormatFixed(2.5, 3, ','), "2,500");
}

} // namespace
