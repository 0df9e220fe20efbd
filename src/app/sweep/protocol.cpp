#include "app/sweep/protocol.h"

#include "app/sweep/measurement.h"
#include "base/conversions.h"
#include "base/exceptions.h"

namespace app {
namespace {

// The integer conversion of one field; a failure of a very long field is re-raised with
// the field cut short, keeping the conversion's wording.
int32_t FieldValue(std::string_view field) {
    try {
        return base::StrToInt(field);
    } catch (const base::EConvertError&) {
        if (field.size() <= kMaxQuotedField) {
            throw;
        }
        std::string shown(field.substr(0, kMaxQuotedField));
        shown += "...";
        throw base::EConvertError("''" + shown + "'' is not a valid integer value");
    }
}

} // namespace

bool IsStartMarker(std::string_view line) {
    const auto length = static_cast<int64_t>(line.size());
    return base::Copy(line, length - 6, 5) == "Start";
}

bool HasFieldSeparator(std::string_view line) {
    return base::Pos(",", line) > 0;
}

MeasurementFields DecodeMeasurement(std::string_view line, std::string_view line_end) {
    // The rest of the working copy; each field and its comma are consumed from the front.
    std::string_view rest = line;
    int32_t values[3] = {};
    for (int32_t& value : values) {
        const int64_t p = base::Pos(",", rest);
        value = FieldValue(base::Copy(rest, 1, p - 1));
        rest.remove_prefix(static_cast<size_t>(p));
    }
    const int64_t p = base::Pos(line_end, rest);
    const int32_t d = FieldValue(base::Copy(rest, 1, p - 1));
    return {values[0], values[1], values[2], d};
}

std::string BuildScanCommand(uint32_t cur_freq, uint32_t stop_freq, double step,
                             std::string_view line_end) {
    const long double end = static_cast<long double>(stop_freq) + static_cast<long double>(step);
    std::string command = "scanr ";
    command += base::IntToStr(static_cast<int32_t>(cur_freq));
    command += ' ';
    command += base::IntToStr(TruncToInt64(end));
    command += ' ';
    command += base::IntToStr(TruncToInt64(step));
    command += line_end;
    return command;
}

} // namespace app
