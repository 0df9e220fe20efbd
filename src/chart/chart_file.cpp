#include "chart/chart_file.h"

#include "chart/axis.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <stdexcept>

namespace chart {

namespace {

using Json = nlohmann::json;

// --- names of the enumerations in the file ---

template <typename E> struct NamedValue {
    E Value;
    const char* Name;
};

constexpr NamedValue<TPenStyle> kPenStyles[] = {
    {psSolid, "solid"},           {psDash, "dash"},   {psDot, "dot"}, {psDashDot, "dashDot"},
    {psDashDotDot, "dashDotDot"}, {psClear, "clear"},
};
constexpr NamedValue<TGradientDirection> kDirections[] = {
    {gdTopBottom, "topBottom"},
    {gdBottomTop, "bottomTop"},
    {gdLeftRight, "leftRight"},
    {gdRightLeft, "rightLeft"},
};
constexpr NamedValue<TLegendAlignment> kLegendAlignments[] = {
    {laLeft, "left"}, {laRight, "right"}, {laTop, "top"}, {laBottom, "bottom"}};
constexpr NamedValue<TSeriesPointerStyle> kPointerStyles[] = {
    {psRectangle, "rectangle"}, {psCircle, "circle"},
    {psTriangle, "triangle"},   {psDownTriangle, "downTriangle"},
    {psCross, "cross"},         {psDiagCross, "diagCross"},
    {psStar, "star"},           {psDiamond, "diamond"},
    {psSmallDot, "smallDot"},
};
constexpr NamedValue<TVertAxis> kVertAxes[] = {{aLeftAxis, "left"}, {aRightAxis, "right"}};
constexpr NamedValue<TFontStyle> kFontStyles[] = {
    {fsBold, "bold"}, {fsItalic, "italic"}, {fsUnderline, "underline"}, {fsStrikeOut, "strikeOut"}};
constexpr const char* kAxisNames[4] = {"bottom", "top", "left", "right"};
constexpr TAxisKind kAxisKinds[4] = {akBottom, akTop, akLeft, akRight};

template <typename E, size_t N> const char* NameOf(const NamedValue<E> (&table)[N], E value) {
    for (const auto& entry : table) {
        if (entry.Value == value) {
            return entry.Name;
        }
    }
    return table[0].Name;
}

// --- writing ---

// "#RRGGBB" for a plain colour, "none" and "auto" for the two marker values, the stored
// integer as "0xHHHHHHHH" for anything else (system colours).
std::string ColorText(base::TColor color) {
    char buf[16];
    if (color == base::clNone) {
        return "none";
    }
    if (color == base::clAutoColor) {
        return "auto";
    }
    const auto bits = static_cast<uint32_t>(color);
    if ((bits >> 24) == 0) {
        std::snprintf(buf, sizeof buf, "#%02X%02X%02X", base::RedOf(color), base::GreenOf(color),
                      base::BlueOf(color));
    } else {
        std::snprintf(buf, sizeof buf, "0x%08X", bits);
    }
    return buf;
}

// Appends text as a JSON string. Bytes that are not UTF-8 become U+FFFD, so whatever a title
// holds, the file stays loadable.
void AppendString(std::string& out, std::string_view text) {
    out += '"';
    size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04X", c);
            out += buf;
            ++i;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
        } else {
            // Length and minimum of a well-formed sequence starting with c.
            size_t len = 0;
            uint32_t cp = 0;
            uint32_t min = 0;
            if ((c & 0xE0) == 0xC0) {
                len = 2, cp = c & 0x1F, min = 0x80;
            } else if ((c & 0xF0) == 0xE0) {
                len = 3, cp = c & 0x0F, min = 0x800;
            } else if ((c & 0xF8) == 0xF0) {
                len = 4, cp = c & 0x07, min = 0x10000;
            }
            bool ok = len != 0 && i + len <= text.size();
            for (size_t k = 1; ok && k < len; ++k) {
                const auto cc = static_cast<unsigned char>(text[i + k]);
                ok = (cc & 0xC0) == 0x80;
                cp = (cp << 6) | (cc & 0x3F);
            }
            ok = ok && cp >= min && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
            if (ok) {
                out.append(text.substr(i, len));
                i += len;
            } else {
                out += "\xEF\xBF\xBD";
                ++i;
            }
        }
    }
    out += '"';
}

void AppendDouble(std::string& out, double value) {
    char buf[32];
    // Only finite values reach here (the chart keeps only what it can draw, and the file
    // refuses non-finite numbers); a non-finite one is written as 0 rather than as invalid JSON.
    if (!std::isfinite(value)) {
        value = 0.0;
    }
    // JSON readers take "-0" for the integer 0: the fraction keeps the sign.
    if (value == 0.0 && std::signbit(value)) {
        out += "-0.0";
        return;
    }
    const auto result = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, result.ptr);
}

void AppendInt(std::string& out, int64_t value) {
    char buf[24];
    const auto result = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, result.ptr);
}

// Builds the document with two-space indentation, one member per line.
class Writer {
public:
    std::string Take() { return std::move(out_); }

    void BeginObject() { Open('{'); }
    void EndObject() { Close('}'); }
    void BeginArray() { Open('['); }
    void EndArray() { Close(']'); }

    void Key(std::string_view key) {
        Separate();
        AppendString(out_, key);
        out_ += ": ";
        after_key_ = true;
    }
    void String(std::string_view value) {
        Separate();
        AppendString(out_, value);
    }
    void Bool(bool value) {
        Separate();
        out_ += value ? "true" : "false";
    }
    void Int(int64_t value) {
        Separate();
        AppendInt(out_, value);
    }
    void Double(double value) {
        Separate();
        AppendDouble(out_, value);
    }
    // A whole value already formatted, on a line of its own (a point).
    void RawLine(std::string_view text) {
        Separate();
        out_ += text;
    }
    void Color(base::TColor value) { String(ColorText(value)); }

    template <typename T> void Member(std::string_view key, const T& value) {
        Key(key);
        if constexpr (std::is_same_v<T, bool>) {
            Bool(value);
        } else if constexpr (std::is_integral_v<T>) {
            Int(value);
        } else if constexpr (std::is_floating_point_v<T>) {
            Double(value);
        } else {
            String(value);
        }
    }

private:
    void Open(char bracket) {
        Separate();
        out_ += bracket;
        first_.push_back(true);
    }
    void Close(char bracket) {
        const bool empty = first_.back();
        first_.pop_back();
        if (!empty) {
            NewLine();
        }
        out_ += bracket;
    }
    void Separate() {
        if (after_key_) {
            after_key_ = false;
            return;
        }
        if (first_.empty()) {
            return;
        }
        if (!first_.back()) {
            out_ += ',';
        }
        first_.back() = false;
        NewLine();
    }
    void NewLine() {
        out_ += '\n';
        out_.append(2 * first_.size(), ' ');
    }

    std::string out_;
    std::vector<bool> first_; // per open bracket: nothing written inside yet
    bool after_key_ = false;
};

void WriteFont(Writer& w, std::string_view key, const TPlotFont& font) {
    w.Key(key);
    w.BeginObject();
    w.Member("name", font.Name);
    w.Member("size", font.PixelSize);
    w.Key("color");
    w.Color(font.Color);
    w.Key("style");
    w.BeginArray();
    for (const auto& style : kFontStyles) {
        if (font.Style.Contains(style.Value)) {
            w.String(style.Name);
        }
    }
    w.EndArray();
    w.EndObject();
}

void WritePen(Writer& w, std::string_view key, const TPlotPen& pen) {
    w.Key(key);
    w.BeginObject();
    w.Key("color");
    w.Color(pen.Color);
    w.Member("width", pen.Width);
    w.Member("style", NameOf(kPenStyles, pen.Style));
    w.Member("visible", pen.Visible);
    w.EndObject();
}

void WriteGradient(Writer& w, std::string_view key, const TPlotGradient& gradient) {
    w.Key(key);
    w.BeginObject();
    w.Member("visible", gradient.Visible);
    w.Key("startColor");
    w.Color(gradient.StartColor);
    w.Key("midColor");
    w.Color(gradient.MidColor);
    w.Key("endColor");
    w.Color(gradient.EndColor);
    w.Member("direction", NameOf(kDirections, gradient.Direction));
    w.EndObject();
}

void WriteAxis(Writer& w, std::string_view key, const ChartFileAxis& axis) {
    w.Key(key);
    w.BeginObject();
    w.Member("minimum", axis.Minimum);
    w.Member("maximum", axis.Maximum);
    w.Member("automatic", axis.Automatic);
    w.Member("automaticMinimum", axis.AutomaticMinimum);
    w.Member("automaticMaximum", axis.AutomaticMaximum);
    w.Member("visible", axis.Visible);
    w.Member("labels", axis.Labels);
    WriteFont(w, "labelsFont", axis.LabelsFont);
    WritePen(w, "line", axis.Line);
    WritePen(w, "grid", axis.Grid);
    w.EndObject();
}

void WriteSeries(Writer& w, const ChartFileSeries& series) {
    w.BeginObject();
    w.Member("name", series.Name);
    w.Member("title", series.Title);
    w.Key("color");
    w.Color(series.Color);
    w.Member("lineWidth", series.LineWidth);
    w.Member("lineStyle", NameOf(kPenStyles, series.LineStyle));
    w.Key("pointer");
    w.BeginObject();
    w.Member("visible", series.PointerVisible);
    w.Member("style", NameOf(kPointerStyles, series.PointerStyle));
    w.EndObject();
    w.Member("active", series.Active);
    w.Member("showInLegend", series.ShowInLegend);
    w.Member("verticalAxis", NameOf(kVertAxes, series.VerticalAxis));
    w.Member("pointCount", static_cast<int64_t>(series.X.size()));
    w.Key("points");
    w.BeginArray();
    std::string point;
    for (size_t i = 0; i < series.X.size(); ++i) {
        point.clear();
        point += '[';
        AppendDouble(point, series.X[i]);
        point += ',';
        AppendDouble(point, i < series.Y.size() ? series.Y[i] : 0.0);
        point += ']';
        w.RawLine(point);
    }
    w.EndArray();
    w.EndObject();
}

// --- reading ---

// A fault in the file; the message names where (a path like series[1].points[20]).
class FileFault : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string NumberText(double value) {
    std::string out;
    AppendDouble(out, value);
    return out;
}

// Reads members of one JSON object, naming the path in every complaint.
class Node {
public:
    Node(const Json& value, std::string path) : value_(value), path_(std::move(path)) {}

    const Json& Value() const { return value_; }
    const std::string& Path() const { return path_; }

    [[noreturn]] void Fail(const std::string& what) const { throw FileFault(path_ + ": " + what); }

    Node Member(const char* key) const {
        if (!value_.is_object()) {
            Fail("must be an object");
        }
        const auto it = value_.find(key);
        const std::string path = path_.empty() ? std::string(key) : path_ + "." + key;
        if (it == value_.end()) {
            throw FileFault(path + ": missing");
        }
        return Node(*it, path);
    }
    Node Element(size_t index) const {
        return Node(value_[index], path_ + "[" + std::to_string(index) + "]");
    }

    bool Bool() const {
        if (!value_.is_boolean()) {
            Fail("must be true or false");
        }
        return value_.get<bool>();
    }
    int64_t Int(int64_t min, int64_t max) const {
        if (!value_.is_number_integer()) {
            Fail("must be a whole number");
        }
        const bool too_big =
            value_.is_number_unsigned() && value_.get<uint64_t>() > static_cast<uint64_t>(max);
        const int64_t v = too_big ? max : value_.get<int64_t>();
        if (too_big || v < min || v > max) {
            Fail("must be between " + std::to_string(min) + " and " + std::to_string(max) +
                 " (is " + value_.dump() + ")");
        }
        return v;
    }
    int32_t Int32(int32_t min, int32_t max) const { return static_cast<int32_t>(Int(min, max)); }
    double Double() const {
        if (!value_.is_number()) {
            Fail("must be a number");
        }
        const double v = value_.get<double>();
        if (!std::isfinite(v)) {
            Fail("must be a finite number");
        }
        return v;
    }
    double Double(double min, double max) const {
        const double v = Double();
        if (v < min || v > max) {
            Fail("must be between " + NumberText(min) + " and " + NumberText(max) + " (is " +
                 NumberText(v) + ")");
        }
        return v;
    }
    std::string String() const {
        if (!value_.is_string()) {
            Fail("must be a text");
        }
        const auto& s = value_.get_ref<const std::string&>();
        if (s.size() > kMaxTextBytes) {
            Fail("is longer than " + std::to_string(kMaxTextBytes) + " bytes");
        }
        return s;
    }
    size_t ArraySize(size_t max) const {
        if (!value_.is_array()) {
            Fail("must be a list");
        }
        if (value_.size() > max) {
            Fail("holds " + std::to_string(value_.size()) + " entries, more than the " +
                 std::to_string(max) + " allowed");
        }
        return value_.size();
    }
    template <typename E, size_t N> E Enum(const NamedValue<E> (&table)[N]) const {
        const std::string name = String();
        std::string known;
        for (const auto& entry : table) {
            if (name == entry.Name) {
                return entry.Value;
            }
            known += known.empty() ? "" : ", ";
            known += entry.Name;
        }
        Fail("unknown value \"" + name + "\" (one of " + known + ")");
    }
    base::TColor Color() const {
        const std::string text = String();
        if (text == "none") {
            return base::clNone;
        }
        if (text == "auto") {
            return base::clAutoColor;
        }
        uint32_t value = 0;
        auto hex = [&](std::string_view digits) {
            const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
            return r.ec == std::errc() && r.ptr == digits.data() + digits.size();
        };
        if (text.size() == 7 && text[0] == '#' && hex(std::string_view(text).substr(1))) {
            return base::RGB(static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 8),
                             static_cast<uint8_t>(value));
        }
        if (text.size() == 10 && text[0] == '0' && text[1] == 'x' &&
            hex(std::string_view(text).substr(2))) {
            return static_cast<base::TColor>(value);
        }
        Fail("\"" + text + "\" is not a colour (#RRGGBB, 0xHHHHHHHH, none or auto)");
    }

private:
    const Json& value_;
    std::string path_;
};

// Sizes the chart accepts: pixels and pen widths within what any screen or page shows.
constexpr int32_t kMaxFontPixels = 1000;
constexpr int32_t kMaxPenWidth = 100;
constexpr int32_t kMaxOffset = 1'000'000;
constexpr double kMaxAxisValue = 1e300;

TPlotFont ReadFont(const Node& node) {
    TPlotFont font;
    font.Name = node.Member("name").String();
    font.PixelSize = node.Member("size").Int32(1, kMaxFontPixels);
    font.Color = node.Member("color").Color();
    const Node styles = node.Member("style");
    const size_t n = styles.ArraySize(std::size(kFontStyles));
    for (size_t i = 0; i < n; ++i) {
        font.Style.Include(styles.Element(i).Enum(kFontStyles));
    }
    return font;
}

TPlotPen ReadPen(const Node& node) {
    TPlotPen pen;
    pen.Color = node.Member("color").Color();
    pen.Width = node.Member("width").Int32(0, kMaxPenWidth);
    pen.Style = node.Member("style").Enum(kPenStyles);
    pen.Visible = node.Member("visible").Bool();
    return pen;
}

TPlotGradient ReadGradient(const Node& node) {
    TPlotGradient gradient;
    gradient.Visible = node.Member("visible").Bool();
    gradient.StartColor = node.Member("startColor").Color();
    gradient.MidColor = node.Member("midColor").Color();
    gradient.EndColor = node.Member("endColor").Color();
    gradient.Direction = node.Member("direction").Enum(kDirections);
    return gradient;
}

ChartFileAxis ReadAxis(const Node& node) {
    ChartFileAxis axis;
    axis.Minimum = node.Member("minimum").Double(-kMaxAxisValue, kMaxAxisValue);
    axis.Maximum = node.Member("maximum").Double(-kMaxAxisValue, kMaxAxisValue);
    if (axis.Minimum > axis.Maximum) {
        node.Fail("the minimum " + NumberText(axis.Minimum) + " is above the maximum " +
                  NumberText(axis.Maximum));
    }
    axis.Automatic = node.Member("automatic").Bool();
    axis.AutomaticMinimum = node.Member("automaticMinimum").Bool();
    axis.AutomaticMaximum = node.Member("automaticMaximum").Bool();
    axis.Visible = node.Member("visible").Bool();
    axis.Labels = node.Member("labels").Bool();
    axis.LabelsFont = ReadFont(node.Member("labelsFont"));
    axis.Line = ReadPen(node.Member("line"));
    axis.Grid = ReadPen(node.Member("grid"));
    return axis;
}

ChartFileSeries ReadSeries(const Node& node) {
    ChartFileSeries series;
    series.Name = node.Member("name").String();
    series.Title = node.Member("title").String();
    series.Color = node.Member("color").Color();
    series.LineWidth = node.Member("lineWidth").Int32(0, kMaxPenWidth);
    series.LineStyle = node.Member("lineStyle").Enum(kPenStyles);
    const Node pointer = node.Member("pointer");
    series.PointerVisible = pointer.Member("visible").Bool();
    series.PointerStyle = pointer.Member("style").Enum(kPointerStyles);
    series.Active = node.Member("active").Bool();
    series.ShowInLegend = node.Member("showInLegend").Bool();
    series.VerticalAxis = node.Member("verticalAxis").Enum(kVertAxes);
    const int64_t count = node.Member("pointCount").Int(0, kMaxPointsPerSeries);
    const Node points = node.Member("points");
    const size_t n = points.ArraySize(static_cast<size_t>(kMaxPointsPerSeries));
    if (static_cast<int64_t>(n) != count) {
        node.Fail("pointCount says " + std::to_string(count) + " points, the list holds " +
                  std::to_string(n));
    }
    series.X.reserve(n);
    series.Y.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        const Json& p = points.Value()[i];
        // The common case checked without building a path; any fault is then named exactly.
        if (!p.is_array() || p.size() != 2 || !p[0].is_number() || !p[1].is_number()) {
            const Node point = points.Element(i);
            if (!p.is_array() || p.size() != 2) {
                point.Fail("must be a pair [x, y]");
            }
            point.Element(0).Double();
            point.Element(1).Double();
        }
        const double x = p[0].get<double>();
        const double y = p[1].get<double>();
        if (!std::isfinite(x) || !std::isfinite(y)) {
            points.Element(i).Fail("holds a number that is not finite");
        }
        if (!series.X.empty() && x < series.X.back()) {
            points.Element(i).Fail("x " + NumberText(x) + " is below the x before it (" +
                                   NumberText(series.X.back()) +
                                   "); points must be in ascending x order");
        }
        series.X.push_back(x);
        series.Y.push_back(y);
    }
    return series;
}

ChartDescription ReadDocument(const Json& root) {
    const Node doc(root, "");
    if (!root.is_object()) {
        throw FileFault("it is not a chart file (no JSON object at the top)");
    }
    if (!root.contains("format") || !root["format"].is_string() ||
        root["format"].get_ref<const std::string&>() != kChartFileFormat) {
        throw FileFault("it is not a chart file (its \"format\" is not \"" +
                        std::string(kChartFileFormat) + "\")");
    }
    const std::string version = doc.Member("version").String();
    int32_t major = 0;
    int32_t minor = 0;
    {
        const char* begin = version.data();
        const char* end = begin + version.size();
        auto r = std::from_chars(begin, end, major);
        bool ok = r.ec == std::errc() && r.ptr != end && *r.ptr == '.';
        if (ok) {
            r = std::from_chars(r.ptr + 1, end, minor);
            ok = r.ec == std::errc() && r.ptr == end;
        }
        if (!ok) {
            throw FileFault("version: \"" + version + "\" is not a version (major.minor)");
        }
    }
    if (major != kChartFileMajor) {
        throw FileFault("it has format version " + version + "; this program reads version " +
                        std::to_string(kChartFileMajor) + ".x" +
                        (major > kChartFileMajor ? " (the file was made by a newer program)" : ""));
    }

    ChartDescription chart;
    const Node c = doc.Member("chart");
    const Node title = c.Member("title");
    const Node lines = title.Member("text");
    const size_t line_count = lines.ArraySize(kMaxTitleLines);
    for (size_t i = 0; i < line_count; ++i) {
        chart.TitleText.push_back(lines.Element(i).String());
    }
    chart.TitleFont = ReadFont(title.Member("font"));
    chart.TitleVisible = title.Member("visible").Bool();

    const Node legend = c.Member("legend");
    chart.LegendVisible = legend.Member("visible").Bool();
    chart.LegendCustomPosition = legend.Member("customPosition").Bool();
    chart.LegendLeft = legend.Member("left").Int32(-kMaxOffset, kMaxOffset);
    chart.LegendTop = legend.Member("top").Int32(-kMaxOffset, kMaxOffset);
    chart.LegendAlignment = legend.Member("alignment").Enum(kLegendAlignments);
    chart.LegendFont = ReadFont(legend.Member("font"));

    chart.PanelGradient = ReadGradient(c.Member("panel").Member("gradient"));
    const Node wall = c.Member("backWall");
    chart.BackWallTransparent = wall.Member("transparent").Bool();
    chart.BackWallColor = wall.Member("color").Color();
    chart.BackWallGradient = ReadGradient(wall.Member("gradient"));
    chart.BackWallPen = ReadPen(wall.Member("pen"));

    const Node margins = c.Member("margins");
    chart.MarginLeft = margins.Member("left").Int32(0, 100);
    chart.MarginTop = margins.Member("top").Int32(0, 100);
    chart.MarginRight = margins.Member("right").Int32(0, 100);
    chart.MarginBottom = margins.Member("bottom").Int32(0, 100);

    const Node axes = c.Member("axes");
    for (size_t i = 0; i < 4; ++i) {
        chart.Axes[i] = ReadAxis(axes.Member(kAxisNames[i]));
    }

    chart.View3D = c.Member("view3D").Bool();
    const Node view = c.Member("view3DOptions");
    TPlotView3DOptions& o = chart.View3DOptions;
    o.Rotation = view.Member("rotation").Double(0, 360);
    o.Elevation = view.Member("elevation").Double(0, 360);
    o.Tilt = view.Member("tilt").Int32(0, 360);
    o.Perspective = view.Member("perspective").Int32(0, 100);
    o.Orthogonal = view.Member("orthogonal").Bool();
    o.HorizOffset = view.Member("horizOffset").Int32(-kMaxOffset, kMaxOffset);
    o.VertOffset = view.Member("vertOffset").Int32(-kMaxOffset, kMaxOffset);
    o.Zoom = view.Member("zoom").Double(1, 100000);
    chart.Chart3DPercent = c.Member("chart3DPercent").Int32(0, 100);

    const Node series = doc.Member("series");
    const size_t n = series.ArraySize(kMaxSeries);
    int64_t total = 0;
    for (size_t i = 0; i < n; ++i) {
        chart.Series.push_back(ReadSeries(series.Element(i)));
        total += static_cast<int64_t>(chart.Series.back().X.size());
        if (total > kMaxPointsPerSeries * 4) {
            series.Fail("more than " + std::to_string(kMaxPointsPerSeries * 4) + " points in all");
        }
    }
    return chart;
}

TPlotAxis& AxisAt(TPlot& plot, size_t index) {
    return plot.Axes(kAxisKinds[index]);
}

} // namespace

ChartDescription DescribeChart(TPlot& plot) {
    ChartDescription chart;
    chart.TitleText = plot.Title().Text;
    chart.TitleFont = plot.Title().Font;
    chart.TitleVisible = plot.Title().Visible;
    const TPlotLegend& legend = plot.Legend();
    chart.LegendVisible = legend.Visible;
    chart.LegendCustomPosition = legend.CustomPosition;
    chart.LegendLeft = legend.Left;
    chart.LegendTop = legend.Top;
    chart.LegendAlignment = legend.Alignment;
    chart.LegendFont = legend.Font;
    chart.PanelGradient = plot.Gradient();
    chart.BackWallTransparent = plot.BackWall().Transparent;
    chart.BackWallColor = plot.BackWall().Color;
    chart.BackWallGradient = plot.BackWall().Gradient;
    chart.BackWallPen = plot.BackWall().Pen;
    chart.MarginLeft = plot.MarginLeft();
    chart.MarginTop = plot.MarginTop();
    chart.MarginRight = plot.MarginRight();
    chart.MarginBottom = plot.MarginBottom();
    for (size_t i = 0; i < 4; ++i) {
        const TPlotAxis& axis = AxisAt(plot, i);
        ChartFileAxis& a = chart.Axes[i];
        a.Minimum = axis.Minimum();
        a.Maximum = axis.Maximum();
        a.Automatic = axis.Automatic();
        a.AutomaticMinimum = axis.AutomaticMinimum();
        a.AutomaticMaximum = axis.AutomaticMaximum();
        a.Visible = axis.Visible();
        a.Labels = axis.Labels();
        a.LabelsFont = axis.LabelsFont();
        a.Line = axis.Axis();
        a.Grid = axis.Grid();
    }
    chart.View3D = plot.View3D();
    chart.View3DOptions = plot.View3DOptions();
    chart.Chart3DPercent = plot.Chart3DPercent();
    for (const TPlotSeries* series : plot.SeriesList()) {
        ChartFileSeries s;
        s.Name = series->Name();
        s.Title = series->Title();
        s.Color = series->SeriesColor();
        if (const auto* line = dynamic_cast<const TPlotPointSeries*>(series)) {
            s.LineWidth = line->LinePen().Width;
            s.LineStyle = line->LinePen().Style;
            s.PointerVisible = line->Pointer().Visible;
            s.PointerStyle = line->Pointer().Style;
        }
        s.Active = series->Active();
        s.ShowInLegend = series->ShowInLegend();
        s.VerticalAxis = series->GetVertAxis() == &plot.RightAxis() ? aRightAxis : aLeftAxis;
        const int32_t count = series->Count();
        s.X.resize(static_cast<size_t>(count));
        s.Y.resize(static_cast<size_t>(count));
        for (int32_t i = 0; i < count; ++i) {
            s.X[static_cast<size_t>(i)] = series->XValues().Value(i);
            s.Y[static_cast<size_t>(i)] = series->YValues().Value(i);
        }
        chart.Series.push_back(std::move(s));
    }
    return chart;
}

std::string WriteChartFile(const ChartDescription& chart) {
    Writer w;
    w.BeginObject();
    w.Member("format", kChartFileFormat);
    w.Member("version", std::to_string(kChartFileMajor) + "." + std::to_string(kChartFileMinor));
    w.Key("chart");
    w.BeginObject();
    w.Key("title");
    w.BeginObject();
    w.Key("text");
    w.BeginArray();
    for (const std::string& line : chart.TitleText) {
        w.String(line);
    }
    w.EndArray();
    WriteFont(w, "font", chart.TitleFont);
    w.Member("visible", chart.TitleVisible);
    w.EndObject();

    w.Key("legend");
    w.BeginObject();
    w.Member("visible", chart.LegendVisible);
    w.Member("customPosition", chart.LegendCustomPosition);
    w.Member("left", chart.LegendLeft);
    w.Member("top", chart.LegendTop);
    w.Member("alignment", NameOf(kLegendAlignments, chart.LegendAlignment));
    WriteFont(w, "font", chart.LegendFont);
    w.EndObject();

    w.Key("panel");
    w.BeginObject();
    WriteGradient(w, "gradient", chart.PanelGradient);
    w.EndObject();

    w.Key("backWall");
    w.BeginObject();
    w.Member("transparent", chart.BackWallTransparent);
    w.Key("color");
    w.Color(chart.BackWallColor);
    WriteGradient(w, "gradient", chart.BackWallGradient);
    WritePen(w, "pen", chart.BackWallPen);
    w.EndObject();

    w.Key("margins");
    w.BeginObject();
    w.Member("left", chart.MarginLeft);
    w.Member("top", chart.MarginTop);
    w.Member("right", chart.MarginRight);
    w.Member("bottom", chart.MarginBottom);
    w.EndObject();

    w.Key("axes");
    w.BeginObject();
    for (size_t i = 0; i < 4; ++i) {
        WriteAxis(w, kAxisNames[i], chart.Axes[i]);
    }
    w.EndObject();

    w.Member("view3D", chart.View3D);
    w.Key("view3DOptions");
    w.BeginObject();
    const TPlotView3DOptions& o = chart.View3DOptions;
    w.Member("rotation", o.Rotation);
    w.Member("elevation", o.Elevation);
    w.Member("tilt", o.Tilt);
    w.Member("perspective", o.Perspective);
    w.Member("orthogonal", o.Orthogonal);
    w.Member("horizOffset", o.HorizOffset);
    w.Member("vertOffset", o.VertOffset);
    w.Member("zoom", o.Zoom);
    w.EndObject();
    w.Member("chart3DPercent", chart.Chart3DPercent);
    w.EndObject();

    w.Key("series");
    w.BeginArray();
    for (const ChartFileSeries& series : chart.Series) {
        WriteSeries(w, series);
    }
    w.EndArray();
    w.EndObject();
    std::string out = w.Take();
    out += '\n';
    return out;
}

ChartFileReadResult ReadChartFile(std::string_view bytes) noexcept {
    ChartFileReadResult result;
    try {
        if (static_cast<int64_t>(bytes.size()) > kMaxFileBytes) {
            result.Error = "the file is larger than " + std::to_string(kMaxFileBytes >> 20) +
                           " MB; a chart file is never that large";
            return result;
        }
        Json root;
        try {
            root = Json::parse(bytes.begin(), bytes.end());
        } catch (const Json::out_of_range& e) {
            result.Error = "it holds a number beyond the range of a double (" +
                           std::string(e.what()).substr(std::string(e.what()).rfind(' ') + 1) + ")";
            return result;
        } catch (const Json::parse_error& e) {
            if (e.byte >= bytes.size()) {
                result.Error = "the file ends before the chart is complete (it is cut short "
                               "after " +
                               std::to_string(bytes.size()) + " bytes)";
            } else if (bytes.empty() || (bytes[0] != '{' && bytes[0] != ' ' && bytes[0] != '\n' &&
                                         bytes[0] != '\t' && bytes[0] != '\r')) {
                result.Error = "it is not a chart file";
            } else {
                result.Error =
                    "the file is damaged: it is not valid JSON at byte " + std::to_string(e.byte);
            }
            return result;
        }
        result.Chart = ReadDocument(root);
    } catch (const FileFault& e) {
        result.Chart.reset();
        result.Error = e.what();
    } catch (const std::bad_alloc&) {
        result.Chart.reset();
        result.Error = "there is not enough memory to read it";
    } catch (const std::exception& e) {
        result.Chart.reset();
        result.Error = std::string("it cannot be read: ") + e.what();
    } catch (...) {
        result.Chart.reset();
        result.Error = "it cannot be read";
    }
    return result;
}

void ApplyChartSettings(TPlot& plot, const ChartDescription& chart) {
    plot.Title().Text = chart.TitleText;
    plot.Title().Font = chart.TitleFont;
    plot.Title().Visible = chart.TitleVisible;
    TPlotLegend& legend = plot.Legend();
    legend.Visible = chart.LegendVisible;
    legend.CustomPosition = chart.LegendCustomPosition;
    legend.Left = chart.LegendLeft;
    legend.Top = chart.LegendTop;
    legend.Alignment = chart.LegendAlignment;
    legend.Font = chart.LegendFont;
    plot.Gradient() = chart.PanelGradient;
    plot.BackWall().Transparent = chart.BackWallTransparent;
    plot.BackWall().Color = chart.BackWallColor;
    plot.BackWall().Gradient = chart.BackWallGradient;
    plot.BackWall().Pen = chart.BackWallPen;
    plot.SetMargins(chart.MarginLeft, chart.MarginTop, chart.MarginRight, chart.MarginBottom);
    for (size_t i = 0; i < 4; ++i) {
        TPlotAxis& axis = AxisAt(plot, i);
        const ChartFileAxis& a = chart.Axes[i];
        // The ends exactly as stored (the file keeps Minimum <= Maximum, so setting them in
        // this order never passes the other end). SetAutomatic sets both ends' flags; an end
        // that differs is set after it.
        if (a.Minimum <= axis.Maximum()) {
            axis.SetMinimum(a.Minimum);
            axis.SetMaximum(a.Maximum);
        } else {
            axis.SetMaximum(a.Maximum);
            axis.SetMinimum(a.Minimum);
        }
        axis.SetAutomatic(a.Automatic);
        if (axis.AutomaticMinimum() != a.AutomaticMinimum) {
            axis.SetAutomaticMinimum(a.AutomaticMinimum);
        }
        if (axis.AutomaticMaximum() != a.AutomaticMaximum) {
            axis.SetAutomaticMaximum(a.AutomaticMaximum);
        }
        axis.SetVisible(a.Visible);
        axis.SetLabels(a.Labels);
        axis.LabelsFont() = a.LabelsFont;
        static_cast<TPlotPen&>(axis.Axis()) = a.Line;
        static_cast<TPlotPen&>(axis.Grid()) = a.Grid;
    }
    plot.SetView3DOptions(chart.View3DOptions);
    plot.SetChart3DPercent(chart.Chart3DPercent);
    plot.SetView3D(chart.View3D);

    const size_t n = std::min(chart.Series.size(), plot.SeriesList().size());
    for (size_t i = 0; i < n; ++i) {
        TPlotSeries& series = plot.Series(static_cast<int32_t>(i));
        const ChartFileSeries& s = chart.Series[i];
        series.SetTitle(s.Title);
        series.SetSeriesColor(s.Color);
        if (auto* line = dynamic_cast<TPlotPointSeries*>(&series)) {
            line->LinePen().Width = s.LineWidth;
            line->LinePen().Style = s.LineStyle;
            line->Pointer().Visible = s.PointerVisible;
            line->Pointer().Style = s.PointerStyle;
        }
        series.SetActive(s.Active);
        series.SetShowInLegend(s.ShowInLegend);
        series.SetCustomVertAxis(s.VerticalAxis == aRightAxis ? &plot.RightAxis()
                                                              : &plot.LeftAxis());
    }
    plot.Invalidate();
}

void ReplacePoints(TPlotSeries& series, const ChartFileSeries& points) {
    series.Clear();
    series.BeginUpdate();
    const size_t n = std::min(points.X.size(), points.Y.size());
    for (size_t i = 0; i < n; ++i) {
        series.AddXY(points.X[i], points.Y[i]);
    }
    series.EndUpdate();
}

std::string FitsChart(const TPlot& plot, const ChartDescription& chart) {
    const auto& mine = plot.SeriesList();
    auto names = [](auto&& get, size_t count) {
        std::string text;
        for (size_t i = 0; i < count; ++i) {
            text += i == 0 ? "" : ", ";
            text += get(i);
        }
        return text;
    };
    const std::string file_names =
        names([&](size_t i) { return chart.Series[i].Name; }, chart.Series.size());
    const std::string chart_names = names([&](size_t i) { return mine[i]->Name(); }, mine.size());
    if (file_names == chart_names && chart.Series.size() == mine.size()) {
        return {};
    }
    return "the file holds " + std::to_string(chart.Series.size()) + " series (" + file_names +
           "), this chart has " + std::to_string(mine.size()) + " (" + chart_names + ")";
}

} // namespace chart
