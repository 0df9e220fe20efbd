// Number conversions and the substring rule. None of these depend on the C locale (Qt
// changes it); separators come from base::FormatSettings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace base {

// Integer conversion: optional leading blanks (spaces), optional sign, then decimal digits
// that fit a signed 32-bit integer, or a hexadecimal number introduced by "$", "x", "X",
// "0x" or "0X" with 1..8 digits (that 32-bit pattern; a "-" negates the pattern modulo
// 2^32). Nothing may follow, not even a blank.
// Throws EConvertError "''<text>'' is not a valid integer value".
[[nodiscard]] int32_t StrToInt(std::string_view text);

// Like StrToInt, reporting failure by result instead of throwing.
[[nodiscard]] bool TryStrToInt(std::string_view text, int32_t& value);

// Decimal conversion to extended precision: optional leading and trailing blanks,
// optional sign, digits with the format settings' decimal separator (at least one digit,
// on either side of it), optional exponent "e"/"E" with optional sign and digits. The
// result is correctly rounded. Infinity, NaN, hexadecimal and a value too large for a
// long double are rejected; one too small to hold becomes 0.
// Throws EConvertError "'<text>' is not a valid floating point value".
[[nodiscard]] long double StrToFloat(std::string_view text);

// General number format: shortest form with up to 15 significant digits (correctly
// rounded), the decimal separator of the format settings, no thousands separator, no
// trailing zeros. Values of 1E15 and above, or below 0.00001, use the exponent form:
// "1E15", "-2.5E20", "1.5E-6" (no "+", no leading zeros). Non-finite values give "NAN",
// "INF" and "-INF"; zero (also negative zero) gives "0".
[[nodiscard]] std::string FloatToStr(long double value);

// Decimal digits with a leading "-" for negatives.
[[nodiscard]] std::string IntToStr(int64_t value);

// The "#,##0.###" style format. In the whole part, "0" is a digit always written and "#"
// one written when needed; a "," asks for the format settings' thousands separator between
// groups of three digits (an empty separator leaves the grouping out: "1234567.5"). After
// ".", each "0" is a fraction digit always written and each "#" one dropped when it is a
// trailing zero (at most 18). Rounding is to the nearest (an exact tie to even), the
// fraction follows the settings' decimal separator, and a result that rounds to zero has
// no "-". Only the first ";" section is used; other characters are ignored.
[[nodiscard]] std::string FormatFloat(std::string_view format, long double value);

// Substring rule for 1-based positions: empty when index is beyond the length or count
// is below 1; an index below 1 is raised to 1; count is cut to what remains.
[[nodiscard]] std::string Copy(std::string_view text, int64_t index, int64_t count);

// 1-based position of the first occurrence of needle in text, 0 when absent (or empty needle).
[[nodiscard]] int64_t Pos(std::string_view needle, std::string_view text);

// Rounds half to even (the processor's default rounding), saturating to the int64 range;
// NaN gives 0.
[[nodiscard]] int64_t Round(long double value);

} // namespace base
