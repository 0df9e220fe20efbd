// The formats the chart's Save dialog offers, in the dialog's order, and how a typed file
// name and the chosen filter decide the file and its format.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace chart {

enum class SaveFormat { ChartFile, Png, Jpeg, Bmp, Svg, Pdf, Csv };

struct SaveFormatInfo {
    SaveFormat Format;
    const char* Description;   // the filter's text before the patterns
    const char* Extensions[2]; // without the dot; the first is appended; second may be null
};

// Chart file first, then the pictures, then the table.
[[nodiscard]] std::span<const SaveFormatInfo> SaveFormats();
[[nodiscard]] const SaveFormatInfo& SaveFormatOf(SaveFormat format);
// The dialog's filter text: "PNG picture (*.png)".
[[nodiscard]] std::string FilterText(const SaveFormatInfo& info);

struct SaveTarget {
    std::string Path;
    SaveFormat Format;
};

// An extension of the typed name that names a format (any letter case) decides it;
// otherwise the chosen format's extension is appended.
[[nodiscard]] SaveTarget ResolveSaveTarget(std::string_view typed_path, SaveFormat chosen);

} // namespace chart
