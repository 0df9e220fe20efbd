// The analyzer's wire format: the scan command the program sends, the start marker and the
// measurement lines it receives. Plain functions over 8-bit text (std::string of bytes).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace app {

// The line terminator in both directions.
inline constexpr std::string_view kLineEnd = "\r\n";

// True when the five characters just before the line's last two are "Start" (exact case).
// Lines of 5 or 6 characters compare their first five; shorter lines never match.
[[nodiscard]] bool IsStartMarker(std::string_view line);

// True when the line holds a "," and so is a measurement line to decode.
[[nodiscard]] bool HasFieldSeparator(std::string_view line);

// The four integers of a measurement line a "," b "," c "," d line_end, in field order.
struct MeasurementFields {
    int32_t a = 0;
    int32_t b = 0;
    int32_t c = 0;
    int32_t d = 0;
    bool operator==(const MeasurementFields&) const = default;
};

// Decodes a measurement line. Each field is read with the integer conversion; field d is
// what lies between the third "," and the first line_end after it. Throws
// base::EConvertError with the integer message of the first field that fails (an empty,
// non-numeric or out-of-range field, a missing separator, a fifth field inside d).
// Very long failing fields are quoted in shortened form, so a runaway line cannot flood
// the error box.
[[nodiscard]] MeasurementFields DecodeMeasurement(std::string_view line,
                                                  std::string_view line_end = kLineEnd);

// Longest field text quoted in full in a decoding error message.
inline constexpr size_t kMaxQuotedField = 64;

// "scanr <start> <stop + step> <step>" + line_end: start and the truncated sum and step as
// signed decimal integers.
[[nodiscard]] std::string BuildScanCommand(uint32_t cur_freq, uint32_t stop_freq, double step,
                                           std::string_view line_end = kLineEnd);

} // namespace app
