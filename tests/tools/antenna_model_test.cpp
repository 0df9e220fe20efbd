// The antenna model and the lines made from it, read back through the program's own
// arithmetic: what the window plots must be the model's SWR, |Z| and R within rounding.
#include "analyzer_sim/antenna_model.h"
#include "analyzer_sim/reading.h"
#include "app/sweep/measurement.h"
#include "app/sweep/protocol.h"

#include <cmath>
#include <gtest/gtest.h>

namespace analyzer_sim {
namespace {

TEST(AntennaModelTest, TwentyMetresDipsToSwr12AndRisesAboveSixHalfAMegahertzAway) {
    const AntennaModel model = ModelForSweep(13675000, 14685000);
    EXPECT_EQ(model.resonance_hz, 14175000.0);
    EXPECT_NEAR(SwrOf(model.Impedance(14175000.0)), 1.2, 1e-9);
    EXPECT_GT(SwrOf(model.Impedance(13675000.0)), 6.0);
    EXPECT_GT(SwrOf(model.Impedance(14675000.0)), 6.0);
    // Resistive at resonance, and the reactance changes sign across it.
    EXPECT_NEAR(model.Impedance(14175000.0).imag(), 0.0, 1e-9);
    EXPECT_LT(model.Impedance(14000000.0).imag(), 0.0);
    EXPECT_GT(model.Impedance(14300000.0).imag(), 0.0);
}

TEST(AntennaModelTest, EveryPresetBandHasItsDipInsideItsSweep) {
    // The program's band presets: centre in kHz, 1000 kHz wide.
    for (const int64_t centre_khz : {3650, 7100, 10125, 14175, 18118, 21225, 24940, 28850, 50110}) {
        SCOPED_TRACE(centre_khz);
        const int64_t centre = centre_khz * 1000;
        const AntennaModel model = ModelForSweep(centre - 500000, centre + 510000);
        EXPECT_EQ(model.resonance_hz, static_cast<double>(centre));
        const double at_centre = SwrOf(model.Impedance(static_cast<double>(centre)));
        EXPECT_NEAR(at_centre, 1.2, 1e-9);
        EXPECT_GT(SwrOf(model.Impedance(static_cast<double>(centre - 500000))), at_centre + 0.5);
        EXPECT_GT(SwrOf(model.Impedance(static_cast<double>(centre + 500000))), at_centre + 0.5);
    }
}

TEST(AntennaModelTest, NearestBandCentreTable) {
    struct Case {
        double hz;
        double centre;
    };
    const Case cases[] = {
        {1000000, 1900000},   {2700000, 1900000},   {2800000, 3650000},   {5000000, 3650000},
        {7000000, 7100000},   {12000000, 10125000}, {12200000, 14175000}, {30000000, 28850000},
        {45000000, 50110000}, {60000000, 50110000},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NearestBandCentre(c.hz), c.centre) << c.hz;
    }
}

TEST(ReadingTest, LinesDecodeAsTheProgramReadsThem) {
    const Reading r{10000, 909, 1200, 1000};
    EXPECT_EQ(MeasurementLine(r), "10000,909,1200,1000\r\n");
    const app::MeasurementFields fields = app::DecodeMeasurement(MeasurementLine(r));
    EXPECT_EQ(fields, (app::MeasurementFields{10000, 909, 1200, 1000}));
    EXPECT_EQ(BadMeasurementLine(r), "10000,909,1200x,1000\r\n");
    EXPECT_THROW((void)app::DecodeMeasurement(BadMeasurementLine(r)), std::exception);
}

// The model's values against what the program computes from the sent integers, over the
// default 20 m sweep and a wide 80 m one (|Z| far beyond the program's cap there).
TEST(ReadingTest, ProgramArithmeticRecoversTheModelWithinRounding) {
    struct Sweep {
        int64_t start;
        int64_t end;
        int64_t step;
    };
    for (const Sweep& sweep : {Sweep{13675000, 14685000, 10000}, Sweep{3150000, 4160000, 10000},
                               Sweep{49610000, 50620000, 10000}}) {
        const AntennaModel model = ModelForSweep(sweep.start, sweep.end);
        for (int64_t hz = sweep.start; hz <= sweep.end; hz += sweep.step) {
            SCOPED_TRACE(hz);
            const std::complex<double> z = model.Impedance(static_cast<double>(hz));
            const Reading r = ReadingFor(z);
            ASSERT_GE(r.a, 5000);
            ASSERT_EQ(r.d, 1000);
            const app::MeasurementFields f = app::DecodeMeasurement(MeasurementLine(r));
            const uint16_t s = app::CalcSWR(static_cast<uint32_t>(f.a), static_cast<uint32_t>(f.b));
            const uint32_t zi = app::CalcZ(static_cast<uint32_t>(f.c), static_cast<uint32_t>(f.d));
            const uint16_t ri = app::CalcR(static_cast<uint16_t>(zi), s);

            const double swr = SwrOf(z);
            if (swr < 9.99) {
                // Truncation to 0.01 plus the rounding of b.
                EXPECT_NEAR(s / 100.0, swr, 0.015);
            } else {
                EXPECT_EQ(s, 999);
            }
            if (std::abs(z) < 2000.0) {
                EXPECT_NEAR(static_cast<double>(zi), std::abs(z), 1.0);
            } else {
                EXPECT_EQ(zi, 2000u);
            }
            if (swr < 6.0) {
                // R from the truncated SWR and |Z|: a few per cent at most where the dip is.
                EXPECT_NEAR(static_cast<double>(ri), z.real(), 2.0 + 0.03 * z.real());
            }
        }
    }
}

TEST(ReadingTest, AShortAndAnOpenStayInsideTheProgramsRange) {
    const Reading shorted = ReadingFor({0.0, 0.0});
    EXPECT_EQ(shorted.b, shorted.a);
    EXPECT_EQ(shorted.c, 0);
    const Reading open = ReadingFor({1e12, 1e12});
    EXPECT_EQ(open.c, kMaxImpedanceCount);
    EXPECT_EQ(app::CalcZ(static_cast<uint32_t>(open.c), static_cast<uint32_t>(open.d)), 2000u);
}

} // namespace
} // namespace analyzer_sim
