// The number conversions over any text: the integer conversion (decimal and hexadecimal)
// and the decimal one against readings written independently here (std::from_chars on the
// checked digits, strtold in the C locale), the general number format read back, and the
// "#,##0.###" format with any format text. The first byte picks the separators.
#include "base/conversions.h"
#include "base/exceptions.h"
#include "base/format_settings.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace {

bool AllOf(std::string_view s, bool (*pred)(char)) {
    return !s.empty() && std::all_of(s.begin(), s.end(), pred);
}
bool Digit(char c) {
    return c >= '0' && c <= '9';
}
bool HexDigit(char c) {
    return Digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

std::optional<int32_t> ExpectedInt(std::string_view text) {
    text.remove_prefix(std::min(text.find_first_not_of(' '), text.size()));
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.starts_with("0x") || text.starts_with("0X")) {
        text.remove_prefix(2);
    } else if (text.starts_with('$') || text.starts_with('x') || text.starts_with('X')) {
        text.remove_prefix(1);
    } else {
        if (!AllOf(text, Digit)) {
            return std::nullopt;
        }
        text.remove_prefix(std::min(text.find_first_not_of('0'), text.size() - 1));
        if (text.size() > 10) {
            return std::nullopt;
        }
        int64_t magnitude = 0;
        std::from_chars(text.data(), text.data() + text.size(), magnitude);
        const int64_t value = negative ? -magnitude : magnitude;
        if (value < INT32_MIN || value > INT32_MAX) {
            return std::nullopt;
        }
        return static_cast<int32_t>(value);
    }
    if (!AllOf(text, HexDigit) || text.size() > 8) {
        return std::nullopt;
    }
    uint32_t pattern = 0;
    std::from_chars(text.data(), text.data() + text.size(), pattern, 16);
    return static_cast<int32_t>(negative ? 0u - pattern : pattern);
}

void CheckInt(std::string_view text) {
    const std::optional<int32_t> expected = ExpectedInt(text);
    int32_t value = 0;
    if (base::TryStrToInt(text, value) != expected.has_value() ||
        (expected && value != *expected)) {
        std::abort();
    }
    try {
        if (base::StrToInt(text) != expected.value()) {
            std::abort();
        }
    } catch (const base::EConvertError& e) {
        if (expected ||
            e.Message() != "''" + std::string(text) + "'' is not a valid integer value") {
            std::abort();
        }
    } catch (const std::bad_optional_access&) {
        std::abort(); // accepted what the plain reading refuses
    }
}

// The text in the form strtold reads in the C locale, or nothing when it is not a plain
// decimal number (the converter must refuse those).
std::optional<std::string> PlainDecimal(std::string_view text, std::string_view separator) {
    const size_t begin = std::min(text.find_first_not_of(' '), text.size());
    const size_t end = text.find_last_not_of(' ');
    text = end == std::string_view::npos ? std::string_view() : text.substr(begin, end + 1 - begin);
    std::string plain;
    size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        plain += text[i++];
    }
    size_t digits = 0;
    for (; i < text.size() && Digit(text[i]); ++i, ++digits) {
        plain += text[i];
    }
    if (text.substr(i).starts_with(separator)) {
        plain += '.';
        for (i += separator.size(); i < text.size() && Digit(text[i]); ++i, ++digits) {
            plain += text[i];
        }
    }
    if (digits == 0) {
        return std::nullopt;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        plain += text[i++];
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            plain += text[i++];
        }
        if (i == text.size() || !Digit(text[i])) {
            return std::nullopt;
        }
        for (; i < text.size() && Digit(text[i]); ++i) {
            plain += text[i];
        }
    }
    if (i != text.size()) {
        return std::nullopt;
    }
    return plain;
}

void CheckFloat(std::string_view text, std::string_view separator) {
    std::optional<long double> expected;
    if (const std::optional<std::string> plain = PlainDecimal(text, separator)) {
        errno = 0;
        const long double v = std::strtold(plain->c_str(), nullptr);
        if (std::isfinite(v)) {
            // Too small to hold is zero (strtold may give a subnormal or 0 with ERANGE).
            expected = errno == ERANGE ? 0.0L : v;
        }
    }
    try {
        const long double value = base::StrToFloat(text);
        if (!expected || !(value == *expected || (errno == ERANGE && value == 0.0L) ||
                           (value == 0.0L && std::fabs(*expected) < 1e-4930L))) {
            std::abort();
        }
    } catch (const base::EConvertError& e) {
        if (expected ||
            e.Message() != "'" + std::string(text) + "' is not a valid floating point value") {
            std::abort();
        }
    }
}

// What FloatToStr writes, StrToFloat reads back to within its 15 digits.
void CheckRoundTrip(long double value) {
    if (!std::isfinite(value)) {
        return;
    }
    const std::string text = base::FloatToStr(value);
    const long double back = base::StrToFloat(text); // a refusal is a finding
    if (value == 0.0L ? back != 0.0L : !(std::fabs(back / value - 1.0L) <= 1e-14L)) {
        if (std::fabs(value) > 1e-4900L) { // subnormals keep fewer digits
            std::abort();
        }
    }
}

constexpr std::string_view kDecimal[] = {".", ",", "\xd9\xab"};
constexpr std::string_view kThousands[] = {",", ".", "", " ", "\xc2\xa0"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view decimal = kDecimal[data[0] % 3];
    const std::string_view thousands = kThousands[(data[0] / 3) % 5];
    base::ScopedFormatSettings settings({std::string(decimal), std::string(thousands)});
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    CheckInt(text);
    CheckFloat(text, decimal);

    // The last ten bytes as an extended value, the text before them as a format.
    if (text.size() >= 10) {
        long double value = 0;
        unsigned char bits[sizeof value] = {};
        std::memcpy(bits, text.data() + text.size() - 10, 10);
        // Only the encodings the processor itself produces: the explicit integer bit set
        // exactly when the exponent is not zero (no unnormals or pseudo-denormals).
        const bool normal = (bits[8] | (bits[9] & 0x7f)) != 0;
        bits[7] = static_cast<unsigned char>(normal ? bits[7] | 0x80 : bits[7] & 0x7f);
        std::memcpy(&value, bits, sizeof value);
        CheckRoundTrip(value);
        (void)base::FormatFloat(text.substr(0, text.size() - 10), value);
        (void)base::Round(value);
    }
    return 0;
}
