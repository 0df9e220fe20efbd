// Number conversions and the substring rule. None of these depend on the C locale (Qt
// changes it); separators come from base::FormatSettings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace base {

// Integer conversion: optional leading blanks, optional sign, then decimal digits that
// fit a signed 32-bit integer, or a hexadecimal number introduced by "$", "x", "X", "0x"
// or "0X" with 1..8 digits (that 32-bit pattern). Nothing may follow.
// Throws EConvertError "''<text>'' is not a valid integer value".
[[nodiscard]] int32_t StrToInt(std::string_view text);

// Like StrToInt, reporting failure by result instead of throwing.
[[nodiscard]] bool TryStrToInt(std::string_view text, int32_t& value);

// Decimal conversion to extended precision: optional leading and trailing blanks,
// optional sign, digits with the format settings' decimal separator, optional exponent.
// Throws EConvertError "'<text>' is not a valid floating point value".
[[nodiscard]] long double StrToFloat(std::string_view text);

// General number format: shortest form with up to 15 significant digits, the decimal
// separator of the format settings, no thousands separator, no trailing zeros.
[[nodiscard]] std::string FloatToStr(long double value);

// Decimal digits with a leading "-" for negatives.
[[nodiscard]] std::string IntToStr(int64_t value);

// The "#,##0.###" style format: thousands separators between groups of three digits of
// the whole part, up to `decimals` fraction digits without trailing zeros.
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
