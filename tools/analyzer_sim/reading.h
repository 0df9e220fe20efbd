// One measurement as the analyzer sends it: the bridge pair a, b (sum over difference is
// the SWR) and the impedance pair c, d (50 c / d is |Z| in ohms), written as the line
// "a,b,c,d" CR LF.
#pragma once

#include <complex>
#include <cstdint>
#include <string>

namespace analyzer_sim {

struct Reading {
    int32_t a = 0;
    int32_t b = 0;
    int32_t c = 0;
    int32_t d = 0;
    bool operator==(const Reading&) const = default;
};

// Bridge level: large enough that rounding b costs well under 0.01 of SWR.
inline constexpr int32_t kBridgeLevel = 10000;
// Impedance scale: c / d is |Z| / 50 to three decimals.
inline constexpr int32_t kImpedanceScale = 1000;
// Largest c sent: |Z| far beyond what the program shows (it caps at 2000 ohms) is sent as
// this, so 50 c stays well inside 32 bits.
inline constexpr int32_t kMaxImpedanceCount = 1000000;

// a = kBridgeLevel, b = round(a |Gamma|), c = round(d |Z| / 50), d = kImpedanceScale.
[[nodiscard]] Reading ReadingFor(std::complex<double> z);

// "a,b,c,d" CR LF.
[[nodiscard]] std::string MeasurementLine(const Reading& reading);

// The same line with field c made unreadable ("<c>x"), for the bad-line fault.
[[nodiscard]] std::string BadMeasurementLine(const Reading& reading);

} // namespace analyzer_sim
