#include "analyzer_sim/reading.h"

#include "analyzer_sim/antenna_model.h"
#include "base/conversions.h"

#include <algorithm>
#include <cmath>

namespace analyzer_sim {

namespace {

std::string Fields(const Reading& r, std::string_view c_suffix) {
    std::string line = base::IntToStr(r.a);
    line += ',';
    line += base::IntToStr(r.b);
    line += ',';
    line += base::IntToStr(r.c);
    line += c_suffix;
    line += ',';
    line += base::IntToStr(r.d);
    line += "\r\n";
    return line;
}

} // namespace

Reading ReadingFor(std::complex<double> z) {
    const double gamma = std::min(std::abs(Reflection(z)), 1.0);
    const double magnitude = std::abs(z) * kImpedanceScale / kReferenceOhms;
    Reading r;
    r.a = kBridgeLevel;
    r.b = static_cast<int32_t>(std::lround(kBridgeLevel * gamma));
    r.c = static_cast<int32_t>(std::lround(std::min(magnitude, double{kMaxImpedanceCount})));
    r.d = kImpedanceScale;
    return r;
}

std::string MeasurementLine(const Reading& reading) {
    return Fields(reading, "");
}

std::string BadMeasurementLine(const Reading& reading) {
    return Fields(reading, "x");
}

} // namespace analyzer_sim
