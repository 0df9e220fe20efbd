#include "app/sweep/measurement.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <string>

namespace app {
namespace {

struct WorkedExample {
    int32_t a, b, c, d;
    uint16_t s;
    uint32_t z;
    uint16_t r;
    double swr, zp, rp;
};

// The analyzer's raw integers to the values before and after the clamps.
constexpr WorkedExample kWorkedExamples[] = {
    {300, 100, 250, 250, 200, 50, 40, 2, 50, 40},
    {500, 0, 100, 100, 100, 50, 50, 1, 50, 50},
    {400, 100, 75, 100, 166, 37, 34, 1.66, 37, 34},
    {255, 45, 300, 150, 142, 100, 117, 1.42, 100, 117},
    {150, 50, 120, 200, 200, 30, 27, 2, 30, 27},
    {100, 100, 1000, 100, 999, 500, 500, 6, 300, 300},
    {600, 200, 100, 0, 200, 2000, 32020, 2, 300, 300},
    {1000, 999, 20, 400, 999, 2, 4, 6, 2, 4},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
};

TEST(MeasurementTest, WorkedExamples) {
    for (const auto& e : kWorkedExamples) {
        SCOPED_TRACE(std::to_string(e.a) + "," + std::to_string(e.b) + "," + std::to_string(e.c) +
                     "," + std::to_string(e.d));
        const uint16_t s = CalcSWR(static_cast<uint32_t>(e.a), static_cast<uint32_t>(e.b));
        const uint32_t z = CalcZ(static_cast<uint32_t>(e.c), static_cast<uint32_t>(e.d));
        EXPECT_EQ(s, e.s);
        EXPECT_EQ(z, e.z);
        EXPECT_EQ(CalcR(static_cast<uint16_t>(z), s), e.r);
        const PlottedPoint p = ComputePoint(e.a, e.b, e.c, e.d);
        EXPECT_EQ(p.Swr, e.swr); // exact: the summary finds values by equality
        EXPECT_EQ(p.Z, e.zp);
        EXPECT_EQ(p.R, e.rp);
    }
}

// The same formulas written out in 64-bit arithmetic with explicit reduction modulo 2^32.
uint64_t Mod32(uint64_t v) {
    return v & 0xFFFFFFFFull;
}

uint64_t RefSWR(uint64_t a, uint64_t b) {
    const uint64_t divisor = a > b ? a - b : 1;
    const uint64_t q = Mod32(100 * Mod32(a + b)) / divisor;
    return q > 999 ? 999 : q;
}

uint64_t RefZ(uint64_t c, uint64_t d) {
    const uint64_t q = Mod32(50 * c) / (d == 0 ? 1 : d);
    return q > 2000 ? 2000 : q;
}

uint64_t RefR(uint64_t z, uint64_t s) {
    return Mod32(s * Mod32(z * z + 2500)) / (Mod32(s * s) / 2 + 5000);
}

TEST(MeasurementTest, MatchesWideRecomputationIncludingWrapAround) {
    const uint32_t samples[] = {0u,          1u,          2u,          45u,         99u,
                                100u,        101u,        999u,        1000u,       42949672u,
                                42949673u,   85899346u,   0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFEu,
                                0xFFFFFFFFu, 1234567890u, 3000000000u};
    for (uint32_t x : samples) {
        for (uint32_t y : samples) {
            SCOPED_TRACE(std::to_string(x) + " " + std::to_string(y));
            const uint16_t s = CalcSWR(x, y);
            const uint32_t z = CalcZ(x, y);
            EXPECT_EQ(s, RefSWR(x, y));
            EXPECT_EQ(z, RefZ(x, y));
            EXPECT_EQ(CalcR(static_cast<uint16_t>(z), s), RefR(z, s));
        }
    }
    // 100 * (a + b) wraps to 0 here, so the quotient is 0, not the cap.
    EXPECT_EQ(CalcSWR(0x80000000u, 0u), 0);
    // 50 * c wraps: 50 * 85899346 = 4294967300 = 2^32 + 4.
    EXPECT_EQ(CalcZ(85899346u, 1u), 4u);
}

TEST(MeasurementTest, NegativeFieldsAreTakenAsUnsigned) {
    // a = -1 is 4294967295: 100 * (2^32 - 1 + 1) wraps to 0.
    EXPECT_EQ(ComputePoint(-1, 1, 0, 0).Swr, 0.0);
    // c = -1: 50 * (2^32 - 1) mod 2^32 = 2^32 - 50, capped to 2000 then clamped to 300.
    EXPECT_EQ(ComputePoint(0, 0, -1, 1).Z, 300.0);
}

TEST(MeasurementTest, RDoesNotWrapAtTheLargestInputs) {
    // The numerator peaks at 999 x 4002500 = 3998497500, below 2^32.
    EXPECT_EQ(CalcR(2000, 999), 7933);
    // The largest R of all: SWR 1.00 against |Z| 2000.
    EXPECT_EQ(CalcR(2000, 100), 40025);
}

TEST(MeasurementTest, PlottedSwrIsTheNearestDoubleOfEveryHundredth) {
    for (int s = 0; s <= 600; ++s) {
        const std::string text =
            std::to_string(s / 100) + "." + (s % 100 < 10 ? "0" : "") + std::to_string(s % 100);
        EXPECT_EQ(static_cast<double>(static_cast<long double>(s) * 0.01L), std::stod(text)) << s;
    }
}

TEST(MeasurementTest, FrequencyToKHzIsExactForWholeKHz) {
    for (uint32_t khz : {0u, 1000u, 6600u, 13675u, 14175u, 60000u, 4294967u}) {
        EXPECT_EQ(FreqToKHz(khz * 1000u), static_cast<double>(khz)) << khz;
    }
    EXPECT_EQ(FreqToKHz(14175500u), 14175.5);
}

TEST(MeasurementTest, AdvanceFreq) {
    struct Case {
        uint32_t hz;
        double step;
        uint32_t next;
    } cases[] = {
        {13675000u, 10000.0, 13685000u},
        {1000000u, 333.3, 1000333u}, // the fraction is lost at every point
        {1000333u, 333.3, 1000666u},
        {1000000u, 250.0, 1000250u},
        {0xFFFFFFFFu, 1.0, 0u}, // low 32 bits kept
        {4294000000u, 10000000.0, 9032704u},
        {5u, -10.0, 0xFFFFFFFBu}, // a negative sum keeps its low 32 bits
        {1000000u, 0.0, 1000000u},
        {1000000u, std::numeric_limits<double>::quiet_NaN(), 0u},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AdvanceFreq(c.hz, c.step), c.next) << c.hz << " + " << c.step;
    }
}

TEST(MeasurementTest, TruncToInt64SaturatesInsteadOfOverflowing) {
    EXPECT_EQ(TruncToInt64(-2.9L), -2);
    EXPECT_EQ(TruncToInt64(2.9L), 2);
    EXPECT_EQ(TruncToInt64(1e30L), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(TruncToInt64(-1e30L), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(TruncToInt64(std::numeric_limits<long double>::infinity()),
              std::numeric_limits<int64_t>::max());
    EXPECT_EQ(TruncToInt64(std::numeric_limits<long double>::quiet_NaN()), 0);
}

} // namespace
} // namespace app
