#include "chart/save_formats.h"

#include "chart/chart_file.h"

#include <algorithm>
#include <cctype>

namespace chart {

namespace {

const SaveFormatInfo kFormats[] = {
    {SaveFormat::ChartFile, "Chart file", {kChartFileExtension.data(), nullptr}},
    {SaveFormat::Png, "PNG picture", {"png", nullptr}},
    {SaveFormat::Jpeg, "JPEG picture", {"jpg", "jpeg"}},
    {SaveFormat::Bmp, "BMP picture", {"bmp", nullptr}},
    {SaveFormat::Svg, "SVG drawing", {"svg", nullptr}},
    {SaveFormat::Pdf, "PDF document", {"pdf", nullptr}},
    {SaveFormat::Csv, "CSV table of the sweep", {"csv", nullptr}},
};

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

} // namespace

std::span<const SaveFormatInfo> SaveFormats() {
    return kFormats;
}

const SaveFormatInfo& SaveFormatOf(SaveFormat format) {
    for (const SaveFormatInfo& info : kFormats) {
        if (info.Format == format) {
            return info;
        }
    }
    return kFormats[0];
}

std::string FilterText(const SaveFormatInfo& info) {
    std::string text = std::string(info.Description) + " (";
    for (const char* ext : info.Extensions) {
        if (ext != nullptr) {
            text += text.back() == '(' ? "*." : " *.";
            text += ext;
        }
    }
    return text + ")";
}

SaveTarget ResolveSaveTarget(std::string_view typed_path, SaveFormat chosen) {
    const size_t slash = typed_path.rfind('/');
    const std::string_view name =
        slash == std::string_view::npos ? typed_path : typed_path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    // A leading dot starts a hidden file's name, not an extension.
    if (dot != std::string_view::npos && dot > 0) {
        const std::string_view ext = name.substr(dot + 1);
        for (const SaveFormatInfo& info : kFormats) {
            for (const char* known : info.Extensions) {
                if (known != nullptr && SameIgnoringCase(ext, known)) {
                    return {std::string(typed_path), info.Format};
                }
            }
        }
    }
    std::string path(typed_path);
    path += '.';
    path += SaveFormatOf(chosen).Extensions[0];
    return {path, chosen};
}

} // namespace chart
