#include "base/conversions.h"

#include "base/exceptions.h"
#include "base/format_settings.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace base {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// The separator we parse and print with; an empty setting would make fractions unwritable.
std::string_view DecimalSeparator() {
    const std::string& sep = CurrentFormatSettings().DecimalSeparator;
    return sep.empty() ? std::string_view(".") : std::string_view(sep);
}

// Whether a number in the plain form "-123.45e-6" (not zero) is below one in magnitude, from
// the place of its first significant digit and its exponent. Only the sign of the decimal
// exponent counts, so the exponent's digits saturate: the sign of the exponent alone does not
// tell ("1000...0e-5" with 5000 zeros is far too large, "0.000...01" with no exponent tiny).
bool BelowOne(std::string_view plain) {
    const size_t e = plain.find('e');
    const std::string_view mantissa = plain.substr(0, e);
    const size_t point = std::min(mantissa.find('.'), mantissa.size());
    const size_t first = mantissa.find_first_of("123456789");
    if (first == std::string_view::npos) {
        return true; // zero
    }
    // The power of ten of the first significant digit.
    int64_t power = first < point ? static_cast<int64_t>(point - first) - 1
                                  : -static_cast<int64_t>(first - point);
    if (e != std::string_view::npos) {
        std::string_view exponent = plain.substr(e + 1);
        const bool negative = exponent.starts_with('-');
        if (exponent.starts_with('-') || exponent.starts_with('+')) {
            exponent.remove_prefix(1);
        }
        constexpr int64_t kCap = int64_t{1} << 40; // beyond any count of digits in the text
        int64_t magnitude = 0;
        for (char c : exponent) {
            magnitude = std::min(magnitude * 10 + (c - '0'), kCap);
        }
        power += negative ? -magnitude : magnitude;
    }
    return power < 0;
}

std::string NonFiniteText(long double value) {
    if (std::isnan(value)) {
        return "NAN";
    }
    return value < 0 ? "-INF" : "INF";
}

} // namespace

bool TryStrToInt(std::string_view text, int32_t& value) {
    const size_t n = text.size();
    size_t i = 0;
    while (i < n && text[i] == ' ') {
        ++i;
    }
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    bool hex = false;
    if (i < n && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        hex = true;
        i += 1;
    } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i >= n) {
        return false; // empty, a lone sign or a lone hex prefix
    }
    if (hex) {
        if (n - i > 8) {
            return false;
        }
        uint32_t pattern = 0;
        for (; i < n; ++i) {
            const int digit = HexValue(text[i]);
            if (digit < 0) {
                return false;
            }
            pattern = (pattern << 4) | static_cast<uint32_t>(digit);
        }
        // The sign applies to the 32-bit pattern, wrapping like the machine does.
        value = static_cast<int32_t>(negative ? 0u - pattern : pattern);
        return true;
    }
    constexpr uint64_t kLimit = uint64_t{1} << 31; // magnitude of INT32_MIN
    uint64_t magnitude = 0;
    for (; i < n; ++i) {
        if (!IsDigit(text[i])) {
            return false;
        }
        magnitude = magnitude * 10 + static_cast<uint64_t>(text[i] - '0');
        if (magnitude > kLimit) {
            return false; // stops early, so a long run of digits cannot overflow
        }
    }
    if (!negative && magnitude == kLimit) {
        return false;
    }
    value = negative ? static_cast<int32_t>(0 - static_cast<int64_t>(magnitude))
                     : static_cast<int32_t>(magnitude);
    return true;
}

int32_t StrToInt(std::string_view text) {
    int32_t value = 0;
    if (!TryStrToInt(text, value)) {
        std::string message = "''";
        message += text;
        message += "'' is not a valid integer value";
        throw EConvertError(std::move(message));
    }
    return value;
}

long double StrToFloat(std::string_view text) {
    auto fail = [&]() -> long double {
        std::string message = "'";
        message += text;
        message += "' is not a valid floating point value";
        throw EConvertError(std::move(message));
    };
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && text[begin] == ' ') {
        ++begin;
    }
    while (end > begin && text[end - 1] == ' ') {
        --end;
    }
    const std::string_view body = text.substr(begin, end - begin);
    const std::string_view separator = DecimalSeparator();

    // Rebuild the number in the fixed form from_chars reads ("-123.45e-6"), so that the
    // user's separator is honoured and nothing depends on the C locale.
    std::string plain;
    plain.reserve(body.size() + 2);
    size_t i = 0;
    if (i < body.size() && (body[i] == '+' || body[i] == '-')) {
        if (body[i] == '-') {
            plain += '-';
        }
        ++i;
    }
    size_t digits = 0;
    while (i < body.size() && IsDigit(body[i])) {
        plain += body[i++];
        ++digits;
    }
    if (body.substr(i).starts_with(separator)) {
        i += separator.size();
        plain += '.';
        while (i < body.size() && IsDigit(body[i])) {
            plain += body[i++];
            ++digits;
        }
    }
    if (digits == 0) {
        return fail();
    }
    if (i < body.size() && (body[i] == 'e' || body[i] == 'E')) {
        ++i;
        plain += 'e';
        if (i < body.size() && (body[i] == '+' || body[i] == '-')) {
            plain += body[i++];
        }
        size_t exponent_digits = 0;
        while (i < body.size() && IsDigit(body[i])) {
            plain += body[i++];
            ++exponent_digits;
        }
        if (exponent_digits == 0) {
            return fail();
        }
    }
    if (i != body.size()) {
        return fail();
    }
    long double value = 0;
    const auto [ptr, ec] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    if (ec == std::errc::result_out_of_range) {
        // Too small to hold is zero; too large to hold is an error, never an infinity.
        if (!BelowOne(plain)) {
            return fail();
        }
        return plain.front() == '-' ? -0.0L : 0.0L;
    }
    if (ec != std::errc() || ptr != plain.data() + plain.size() || !std::isfinite(value)) {
        return fail();
    }
    return value;
}

std::string FloatToStr(long double value) {
    if (!std::isfinite(value)) {
        return NonFiniteText(value);
    }
    if (value == 0) {
        return "0";
    }
    // 15 significant digits, correctly rounded: "d.dddddddddddddde+XX".
    char buf[64];
    const auto res =
        std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific, 14);
    const std::string_view sci(buf, static_cast<size_t>(res.ptr - buf));
    const size_t e_pos = sci.find('e');
    std::string digits;
    digits.reserve(15);
    for (char c : sci.substr(0, e_pos)) {
        if (c != '.') {
            digits += c;
        }
    }
    int exponent = 0;
    std::string_view exp_text = sci.substr(e_pos + 1);
    if (exp_text.front() == '+') {
        exp_text.remove_prefix(1);
    }
    std::from_chars(exp_text.data(), exp_text.data() + exp_text.size(), exponent);
    while (digits.size() > 1 && digits.back() == '0') {
        digits.pop_back();
    }

    const std::string_view separator = DecimalSeparator();
    std::string out;
    if (value < 0) {
        out += '-';
    }
    const int count = static_cast<int>(digits.size());
    if (exponent >= 15 || exponent < -5) {
        // Too many integer digits to show, or smaller than 0.00001: exponent form
        // "1.5E-6", "1E20" (no "+", no leading zeros in the exponent).
        out += digits[0];
        if (count > 1) {
            out += separator;
            out.append(digits, 1);
        }
        out += 'E';
        out += std::to_string(exponent);
    } else if (exponent < 0) {
        out += '0';
        out += separator;
        out.append(static_cast<size_t>(-exponent - 1), '0');
        out += digits;
    } else if (count <= exponent + 1) {
        out += digits;
        out.append(static_cast<size_t>(exponent + 1 - count), '0');
    } else {
        out.append(digits, 0, static_cast<size_t>(exponent + 1));
        out += separator;
        out.append(digits, static_cast<size_t>(exponent + 1));
    }
    return out;
}

std::string IntToStr(int64_t value) {
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, res.ptr);
}

std::string FormatFloat(std::string_view format, long double value) {
    // The first section of the format; '#' and '0' are digit places, ',' in the whole part
    // asks for grouping, '.' starts the fraction. Other characters are ignored.
    format = format.substr(0, format.find(';'));
    const size_t point = format.find('.');
    const std::string_view whole_format = format.substr(0, point);
    const std::string_view fraction_format =
        point == std::string_view::npos ? std::string_view() : format.substr(point + 1);
    size_t min_whole = 0;
    bool grouping = false;
    for (char c : whole_format) {
        min_whole += c == '0';
        grouping = grouping || c == ',';
    }
    size_t min_fraction = 0;
    size_t max_fraction = 0;
    for (char c : fraction_format) {
        if (c == '0') {
            ++min_fraction;
        }
        if (c == '0' || c == '#') {
            ++max_fraction;
        }
    }
    max_fraction = std::min<size_t>(max_fraction, 18);
    min_fraction = std::min(min_fraction, max_fraction);

    if (!std::isfinite(value)) {
        return NonFiniteText(value);
    }
    // Axis labels are short; only huge values need room for up to 4933 whole digits.
    std::string fixed(64, '\0');
    auto print = [&] {
        return std::to_chars(fixed.data(), fixed.data() + fixed.size(), std::fabs(value),
                             std::chars_format::fixed, static_cast<int>(max_fraction));
    };
    auto res = print();
    if (res.ec != std::errc()) {
        fixed.resize(4960);
        res = print();
    }
    fixed.resize(static_cast<size_t>(res.ptr - fixed.data()));
    const size_t dot = fixed.find('.');
    std::string whole = fixed.substr(0, dot);
    std::string fraction = dot == std::string::npos ? std::string() : fixed.substr(dot + 1);
    while (fraction.size() > min_fraction && fraction.back() == '0') {
        fraction.pop_back();
    }
    size_t first_nonzero = whole.find_first_not_of('0');
    whole.erase(0, first_nonzero == std::string::npos ? whole.size() : first_nonzero);
    if (whole.size() < min_whole) {
        whole.insert(0, min_whole - whole.size(), '0');
    }
    const bool all_zero = whole.find_first_not_of('0') == std::string::npos &&
                          fraction.find_first_not_of('0') == std::string::npos;

    const std::string& thousands = CurrentFormatSettings().ThousandSeparator;
    std::string out;
    if (value < 0 && !all_zero) {
        out += '-';
    }
    if (grouping && !thousands.empty()) {
        for (size_t k = 0; k < whole.size(); ++k) {
            if (k > 0 && (whole.size() - k) % 3 == 0) {
                out += thousands;
            }
            out += whole[k];
        }
    } else {
        out += whole;
    }
    if (!fraction.empty()) {
        out += DecimalSeparator();
        out += fraction;
    }
    return out;
}

std::string Copy(std::string_view text, int64_t index, int64_t count) {
    const auto length = static_cast<int64_t>(text.size());
    if (index > length || count < 1) {
        return {};
    }
    if (index < 1) {
        index = 1;
    }
    const int64_t remaining = length - index + 1;
    return std::string(text.substr(static_cast<size_t>(index - 1),
                                   static_cast<size_t>(std::min(count, remaining))));
}

int64_t Pos(std::string_view needle, std::string_view text) {
    if (needle.empty()) {
        return 0;
    }
    const size_t at = text.find(needle);
    return at == std::string_view::npos ? 0 : static_cast<int64_t>(at) + 1;
}

int64_t Round(long double value) {
    if (std::isnan(value)) {
        return 0;
    }
    constexpr long double kTwo63 = 9223372036854775808.0L; // exact in extended precision
    if (value >= kTwo63) {
        return std::numeric_limits<int64_t>::max();
    }
    if (value < -kTwo63) {
        return std::numeric_limits<int64_t>::min();
    }
    // Explicit half-to-even, so the result does not hang on the current rounding mode.
    const long double floor = std::floor(value);
    const long double fraction = value - floor; // exact for extended precision
    auto result = static_cast<int64_t>(floor);
    if ((fraction > 0.5L || (fraction == 0.5L && (result & 1) != 0)) &&
        result != std::numeric_limits<int64_t>::max()) {
        ++result;
    }
    return result;
}

} // namespace base
