#include "app/sweep/measurement.h"

#include <cmath>
#include <limits>

namespace app {

uint16_t CalcSWR(uint32_t a, uint32_t b) {
    const uint32_t divisor = a > b ? a - b : 1u;
    const uint32_t numerator = 100u * (a + b);
    const uint32_t q = numerator / divisor;
    return static_cast<uint16_t>(q > 999u ? 999u : q);
}

uint32_t CalcZ(uint32_t c, uint32_t d) {
    const uint32_t divisor = d == 0 ? 1u : d;
    const uint32_t numerator = 50u * c;
    const uint32_t q = numerator / divisor;
    return q > 2000u ? 2000u : q;
}

uint16_t CalcR(uint16_t z, uint16_t s) {
    const uint32_t zz = z;
    const uint32_t ss = s;
    const uint32_t numerator = ss * (zz * zz + 2500u);
    const uint32_t denominator = (ss * ss) / 2u + 5000u;
    return static_cast<uint16_t>(numerator / denominator);
}

PlottedPoint ComputePoint(int32_t a, int32_t b, int32_t c, int32_t d) {
    const uint16_t s = CalcSWR(static_cast<uint32_t>(a), static_cast<uint32_t>(b));
    const uint32_t z = CalcZ(static_cast<uint32_t>(c), static_cast<uint32_t>(d));
    const uint16_t r = CalcR(static_cast<uint16_t>(z), s);
    double sv = s;
    double zv = z;
    double rv = r;
    if (sv > kSwrClamp) {
        sv = kSwrClamp;
    }
    if (zv > kOhmClamp) {
        zv = kOhmClamp;
    }
    if (rv > kOhmClamp) {
        rv = kOhmClamp;
    }
    return {static_cast<double>(static_cast<long double>(sv) * 0.01L), zv, rv};
}

double FreqToKHz(uint32_t hz) {
    return static_cast<double>(static_cast<long double>(hz) * 0.001L);
}

int64_t TruncToInt64(long double value) {
    if (std::isnan(value)) {
        return 0;
    }
    // 2^63 is exact in long double; anything at or beyond it does not fit.
    constexpr long double limit = 9223372036854775808.0L;
    if (value >= limit) {
        return std::numeric_limits<int64_t>::max();
    }
    if (value < -limit) {
        return std::numeric_limits<int64_t>::min();
    }
    return static_cast<int64_t>(value);
}

uint32_t AdvanceFreq(uint32_t hz, double step) {
    const long double sum = static_cast<long double>(hz) + static_cast<long double>(step);
    return static_cast<uint32_t>(static_cast<uint64_t>(TruncToInt64(sum)));
}

bool AdvanceWraps(uint32_t hz, double step) {
    return static_cast<long double>(hz) + static_cast<long double>(step) >
           static_cast<long double>(UINT32_MAX);
}

} // namespace app
