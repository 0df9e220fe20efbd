// A sweep over an antenna resonant at 14,175 kHz, for tests and benchmarks: SWR dips to 1 at
// the centre, R rises through 50 ohms, |Z| is lowest at the centre. With wobble, every point
// gets a small repeatable offset, so a dense sweep's pixel columns hold a spread of values.
#pragma once

#include <cmath>

namespace chart::test {

struct ResonancePoint {
    double Frequency; // kHz
    double Swr;
    double R;
    double Z;
};

// Point i of count, evenly spaced from first to last kHz.
inline ResonancePoint Resonance(int i, int count, double first = 13675, double last = 14675,
                                bool wobble = false) {
    const double f = count > 1 ? first + (last - first) * i / (count - 1) : first;
    const double d = (f - 14175) / 200;
    const double w = wobble ? 0.02 * std::sin(i * 12.9898) : 0.0;
    return ResonancePoint{f, 1 + 4 * d * d / (1 + d * d) + w, 50 + 40 * d + 10 * w,
                          std::hypot(50 + 40 * d, 80 * d) + 10 * w};
}

// Adds count points of the sweep to the three measured series (anything with AddXY).
template <typename Series>
void AddResonance(Series& swr, Series& r, Series& z, int count, bool wobble = false) {
    for (int i = 0; i < count; ++i) {
        const ResonancePoint p = Resonance(i, count, 13675, 14675, wobble);
        swr.AddXY(p.Frequency, p.Swr);
        r.AddXY(p.Frequency, p.R);
        z.AddXY(p.Frequency, p.Z);
    }
}

} // namespace chart::test
