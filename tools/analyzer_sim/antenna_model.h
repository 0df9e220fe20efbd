// The antenna the simulator measures: a loaded vertical, a series resonant circuit
// Z = R0 + j Q R0 (f/f0 - f0/f), with its resonance at the centre of the amateur band
// nearest the sweep, so every band the program offers shows a dip.
#pragma once

#include <complex>
#include <cstdint>

namespace analyzer_sim {

// The reference impedance of the analyzer's bridge, in ohms.
inline constexpr double kReferenceOhms = 50.0;

struct AntennaModel {
    double resonance_hz = 14175000.0; // f0
    double radiation_ohms = 60.0;     // R0: SWR 1.2 at resonance
    double q = 27.0;                  // SWR above 6 at 500 kHz either side on 20 m

    // Impedance at f (f > 0).
    [[nodiscard]] std::complex<double> Impedance(double hz) const;
};

// Reflection coefficient against the reference: (Z - 50) / (Z + 50).
[[nodiscard]] std::complex<double> Reflection(std::complex<double> z);

// SWR from the reflection coefficient's magnitude (infinite for a total reflection).
[[nodiscard]] double SwrOf(std::complex<double> z);

// The centre of the amateur band (160 m to 6 m) nearest to hz.
[[nodiscard]] double NearestBandCentre(double hz);

// The antenna for a sweep from start to end: resonant at the band centre nearest the
// sweep's middle.
[[nodiscard]] AntennaModel ModelForSweep(int64_t start_hz, int64_t end_hz);

} // namespace analyzer_sim
