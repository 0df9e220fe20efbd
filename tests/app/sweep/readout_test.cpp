#include "app/sweep/measurement.h"
#include "app/sweep/readout.h"
#include "base/format_settings.h"

#include <gtest/gtest.h>
#include <vector>

namespace app {
namespace {

// X values of consecutive sweep points, computed as the sweep computes them.
std::vector<double> SweepXs(uint32_t start_hz, double step, size_t count) {
    std::vector<double> xs;
    uint32_t f = start_hz;
    for (size_t i = 0; i < count; ++i) {
        xs.push_back(FreqToKHz(f));
        f = AdvanceFreq(f, step);
    }
    return xs;
}

TEST(ReadoutTest, MinimumRun) {
    struct Case {
        std::vector<double> ys;
        int32_t first, length, middle;
    } cases[] = {
        {{1.5, 1.2, 1.2, 1.2, 1.4}, 1, 3, 2},
        {{1.3, 1.1, 1.1, 1.6}, 1, 2, 2},  // even run: the later middle point
        {{1.5, 1.4, 1.3}, 2, 1, 2},       // lowest at the last point
        {{1.2, 1.5, 1.2, 1.2}, 0, 1, 0},  // only the first run counts
        {{6, 6, 6, 6, 6, 6, 6}, 0, 7, 3}, // everything clamped
        {{6, 6, 6, 6}, 0, 4, 2},
        {{2.0}, 0, 1, 0},
        {{}, -1, 0, -1},
    };
    for (const auto& c : cases) {
        const MinimumRun run = FindMinimumRun(c.ys);
        EXPECT_EQ(run.First, c.first);
        EXPECT_EQ(run.Length, c.length);
        EXPECT_EQ(run.Middle, c.middle);
    }
}

TEST(ReadoutTest, SummaryLabels) {
    const std::vector<double> xs = SweepXs(7000000u, 10000.0, 5);
    const std::vector<double> ys = {1.5, 1.2, 1.2, 1.2, 1.4};
    const SweepSummary summary = SummarizeSweep(xs, ys, 7020000u);
    EXPECT_EQ(summary.SWRLabel, "MinSWR: 1.2 @7020KHz");
    EXPECT_EQ(summary.CenterSWRLabel, "CenterSWR: 1.2 @7020KHz");

    const SweepSummary whole = SummarizeSweep(xs, std::vector<double>{2, 2, 2, 3, 3}, 7040000u);
    EXPECT_EQ(whole.SWRLabel, "MinSWR: 2 @7010KHz");
    EXPECT_EQ(whole.CenterSWRLabel, "CenterSWR: 3 @7040KHz");
}

TEST(ReadoutTest, SummaryUsesTheLocaleSeparatorAndTruncatesTheFrequency) {
    base::ScopedFormatSettings comma({",", "."});
    // Step 0.5 kHz: the lowest point at 14175.5 kHz is reported as 14175.
    const std::vector<double> xs = SweepXs(14174500u, 500.0, 4);
    const SweepSummary summary =
        SummarizeSweep(xs, std::vector<double>{1.9, 1.6, 1.05, 1.7}, 14175000u);
    EXPECT_EQ(summary.SWRLabel, "MinSWR: 1,05 @14175KHz");
    EXPECT_EQ(summary.CenterSWRLabel, "CenterSWR: 1,6 @14175KHz");
}

TEST(ReadoutTest, CentreThatIsNotASweepPoint) {
    // Points 1000, 1003, ..., the centre 1010 kHz lies between 1009 and 1012.
    const std::vector<double> xs = SweepXs(1000000u, 3000.0, 6);
    const std::vector<double> ys = {3.0, 2.5, 2.0, 1.5, 1.2, 1.8};
    EXPECT_EQ(CenterSwrValue(xs, ys, 1010), 1.4);  // 1.5 + (1/3)(1.2 - 1.5), to hundredths
    EXPECT_EQ(CenterSwrValue(xs, ys, 1003), 2.5);  // exact match
    EXPECT_EQ(CenterSwrValue(xs, ys, 70000), 0.0); // beyond the sweep
    EXPECT_EQ(CenterSwrValue(xs, ys, 999), 0.0);
    EXPECT_EQ(CenterSwrValue({}, {}, 1000), 0.0);
    EXPECT_EQ(SummarizeSweep(xs, ys, 70000000u).CenterSWRLabel, "CenterSWR: 0 @70000KHz");
}

TEST(ReadoutTest, SummaryOfASweepWithoutPoints) {
    const SweepSummary summary = SummarizeSweep({}, {}, 14175000u);
    EXPECT_EQ(summary.SWRLabel, "MinSWR: 0 @0KHz");
    EXPECT_EQ(summary.CenterSWRLabel, "CenterSWR: 0 @14175KHz");
}

TEST(ReadoutTest, SnapIsAnchoredAtZeroHertz) {
    // Default band: points at 13675, 13685, ... kHz; snapped values are multiples of 10 kHz.
    const std::vector<double> band20 = SweepXs(13675000u, 10000.0, 101);
    // 40 m preset: points at 6600, 6610, ... kHz, every one reachable.
    const std::vector<double> band40 = SweepXs(6600000u, 10000.0, 101);
    for (double x = 13670.0; x < 14680.0; x += 0.7) {
        const double g = SnapToStep(x, 10000.0);
        for (double px : band20) {
            ASSERT_NE(g, px) << x;
        }
    }
    for (size_t i = 0; i < band40.size(); ++i) {
        const double x = band40[i] + 9.99; // anywhere inside the step after the point
        EXPECT_EQ(SnapToStep(x, 10000.0), band40[i]) << x;
        EXPECT_EQ(SnapToStep(band40[i], 10000.0), band40[i]);
    }
}

TEST(ReadoutTest, SnapEdgeCases) {
    EXPECT_EQ(SnapToStep(7025.0, 10000.0), 7020.0);
    EXPECT_EQ(SnapToStep(-3.0, 10000.0), 0.0); // truncation toward zero
    EXPECT_EQ(SnapToStep(-13.0, 10000.0), -10.0);
    EXPECT_EQ(SnapToStep(7025.3, 250.0), 7025.25);
    EXPECT_EQ(SnapToStep(0.0, 10000.0), 0.0);              // before the first layout
    EXPECT_EQ(SnapToStep(7025.3, 0.0), 7025.3);            // no grid without a step
    EXPECT_EQ(SnapToStep(1e300, 1.0), 2147483647 * 0.001); // saturates
}

TEST(ReadoutTest, CursorLabel) {
    EXPECT_EQ(CursorLabel(1.5, 7020.0), "SWR: 1.5@7020KHz");
    EXPECT_EQ(CursorLabel(2.0, 7025.25), "SWR: 2@7025.25KHz");
    base::ScopedFormatSettings comma({",", "."});
    EXPECT_EQ(CursorLabel(1.66, 14175.5), "SWR: 1,66@14175,5KHz");
}

} // namespace
} // namespace app
