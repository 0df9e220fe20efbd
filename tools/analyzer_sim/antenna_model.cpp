#include "analyzer_sim/antenna_model.h"

#include <array>
#include <cmath>
#include <limits>

namespace analyzer_sim {

namespace {

// Band centres in Hz: 160, 80, 40, 30, 20, 17, 15, 12, 10 and 6 m (the program's presets
// for the bands it offers, the band middle for 160 m).
constexpr std::array<double, 10> kBandCentres = {1900000.0,  3650000.0,  7100000.0,  10125000.0,
                                                 14175000.0, 18118000.0, 21225000.0, 24940000.0,
                                                 28850000.0, 50110000.0};

} // namespace

std::complex<double> AntennaModel::Impedance(double hz) const {
    const double detuning = hz / resonance_hz - resonance_hz / hz;
    return {radiation_ohms, q * radiation_ohms * detuning};
}

std::complex<double> Reflection(std::complex<double> z) {
    return (z - kReferenceOhms) / (z + kReferenceOhms);
}

double SwrOf(std::complex<double> z) {
    const double gamma = std::abs(Reflection(z));
    if (gamma >= 1.0) {
        return std::numeric_limits<double>::infinity();
    }
    return (1.0 + gamma) / (1.0 - gamma);
}

double NearestBandCentre(double hz) {
    double best = kBandCentres.front();
    for (const double centre : kBandCentres) {
        if (std::abs(centre - hz) < std::abs(best - hz)) {
            best = centre;
        }
    }
    return best;
}

AntennaModel ModelForSweep(int64_t start_hz, int64_t end_hz) {
    const double middle = (static_cast<double>(start_hz) + static_cast<double>(end_hz)) / 2.0;
    AntennaModel model;
    model.resonance_hz = NearestBandCentre(middle);
    return model;
}

} // namespace analyzer_sim
