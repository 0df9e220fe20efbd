#include "app/sweep/sweep_range.h"

#include <gtest/gtest.h>
#include <limits>

namespace app {
namespace {

TEST(SweepRangeTest, BandForIndex) {
    struct Case {
        int index;
        std::string_view centre;
    } cases[] = {{0, "3650"},  {1, "7100"},   {2, "10125"}, {3, "14175"}, {4, "18118"},
                 {5, "21225"}, {6, "24940"},  {7, "28850"}, {8, "50110"}, {-1, "7050"},
                 {9, "7050"},  {100, "7050"}, {-7, "7050"}};
    for (const auto& c : cases) {
        const BandPreset band = BandForIndex(c.index);
        EXPECT_EQ(band.Centre, c.centre) << c.index;
        EXPECT_EQ(band.Width, "1000");
        EXPECT_EQ(band.Step, "10");
    }
    EXPECT_EQ(kBandPresets[1].Caption, "40 Meter (  7 MHz)");
    EXPECT_EQ(kBandPresets[8].Caption, " 6 Meter  (50 MHz)");
    EXPECT_EQ(kBandPresets[kDefaultBandIndex].Centre, "14175");
}

TEST(SweepRangeTest, KHzToHzWrapsModulo2To32) {
    EXPECT_EQ(KHzToHz(14175), 14175000u);
    EXPECT_EQ(KHzToHz(4294968), 704u);   // 4294968000 - 2^32
    EXPECT_EQ(KHzToHz(-1), 4294966296u); // -1000 as unsigned
    EXPECT_EQ(KHzToHz(0), 0u);
}

TEST(SweepRangeTest, LimitedRange) {
    struct Case {
        int32_t centre_khz, width_khz;
        uint32_t start, stop;
    } cases[] = {
        {14175, 1000, 13675000u, 14675000u},
        {1000, 1000, 1000000u, 1500000u}, // 500 kHz raised to 1 MHz
        {100, 1000, 1000000u, 600000u},   // negative start raised; stop below it
        {70000, 1000, 69500000u, 60000000u},
        {1500, 1000, 1000000u, 2000000u}, // exactly at the limit
        {1499, 1000, 1000000u, 1999000u},
        {3000000, 1000, 1000000u, 60000000u}, // start 2.9995 GHz is negative as signed
        {14175, 0, 14175000u, 14175000u},
        {7000, 1001, 6499500u, 7500500u}, // odd width in Hz halves exactly
    };
    for (const auto& c : cases) {
        const uint32_t centre = KHzToHz(c.centre_khz);
        const uint32_t width = KHzToHz(c.width_khz);
        EXPECT_EQ(LimitedSweepStart(centre, width), c.start) << c.centre_khz;
        EXPECT_EQ(LimitedSweepStop(centre, width), c.stop) << c.centre_khz;
    }
    // Without limits the start wraps below zero.
    EXPECT_EQ(RawSweepStart(100000u, 1000000u), 4294567296u);
    EXPECT_EQ(RawSweepStop(4294967000u, 1000u), 204u); // wraps past 2^32
}

TEST(SweepRangeTest, UsableScanStep) {
    EXPECT_TRUE(IsUsableScanStep(1.0));
    EXPECT_TRUE(IsUsableScanStep(1.5));
    EXPECT_TRUE(IsUsableScanStep(10000.0));
    EXPECT_TRUE(IsUsableScanStep(4294967295.0));
    EXPECT_FALSE(IsUsableScanStep(0.999));
    EXPECT_FALSE(IsUsableScanStep(0.0));
    EXPECT_FALSE(IsUsableScanStep(-10000.0));
    EXPECT_FALSE(IsUsableScanStep(4294967296.0));
    EXPECT_FALSE(IsUsableScanStep(std::numeric_limits<double>::infinity()));
    EXPECT_FALSE(IsUsableScanStep(std::numeric_limits<double>::quiet_NaN()));
}

} // namespace
} // namespace app
