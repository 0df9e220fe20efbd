// The measurement line decoder and the start-marker test over any bytes, checked against a
// second reading of the same line format written with plain string searches.
#include "app/sweep/protocol.h"
#include "base/conversions.h"
#include "base/exceptions.h"

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>

namespace {

// The fields a, b, c up to the first three commas, d up to the first CR LF after them.
std::optional<app::MeasurementFields> Expected(std::string_view line) {
    int32_t values[4] = {};
    std::string_view rest = line;
    for (int k = 0; k < 3; ++k) {
        const size_t comma = rest.find(',');
        if (comma == std::string_view::npos ||
            !base::TryStrToInt(rest.substr(0, comma), values[k])) {
            return std::nullopt;
        }
        rest.remove_prefix(comma + 1);
    }
    const size_t end = rest.find("\r\n");
    if (end == std::string_view::npos || !base::TryStrToInt(rest.substr(0, end), values[3])) {
        return std::nullopt;
    }
    return app::MeasurementFields{values[0], values[1], values[2], values[3]};
}

bool ExpectedStartMarker(std::string_view line) {
    if (line.size() >= 7) {
        return line.substr(line.size() - 7, 5) == "Start";
    }
    return line.size() >= 5 && line.substr(0, 5) == "Start";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    if (app::IsStartMarker(line) != ExpectedStartMarker(line)) {
        std::abort();
    }
    if (app::HasFieldSeparator(line) != (line.find(',') != std::string_view::npos)) {
        std::abort();
    }
    const std::optional<app::MeasurementFields> expected = Expected(line);
    try {
        const app::MeasurementFields fields = app::DecodeMeasurement(line);
        if (!expected || fields != *expected) {
            std::abort();
        }
    } catch (const base::EConvertError& e) {
        // Refused exactly when the plain reading refuses, with a message of bounded length.
        const std::string_view message = e.what();
        if (expected || !message.starts_with("''") || message.size() > app::kMaxQuotedField + 64) {
            std::abort();
        }
    }
    return 0;
}
