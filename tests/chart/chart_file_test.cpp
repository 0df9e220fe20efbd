// The chart file: what is written reads back to the same settings and the same bits, and a
// file that is cut short, of another kind, of a newer version or wrong in any field is
// refused with a message naming what is wrong, never half read.
#include "chart/chart_file.h"
#include "stored_chart.h"

#include <bit>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <string>

namespace chart::test {
namespace {

// The window's chart with a few awkward points on the curves.
class ChartFile : public ::testing::Test {
protected:
    ChartFile() {
        chart_.R().SetName("Series1");
        const double xs[] = {13675.010000000002, 13675.02, 0.1 + 0.2, 1e15, 2e15};
        const double ys[] = {0.1, 1.0 / 3.0, 5e-324, -0.0, 1.7976931348623157e308};
        // X ascending as a series keeps it: sort the awkward values first.
        double sorted[5];
        std::copy(std::begin(xs), std::end(xs), sorted);
        std::sort(std::begin(sorted), std::end(sorted));
        for (int i = 0; i < 5; ++i) {
            chart_.R().AddXY(sorted[i], ys[i]);
            chart_.Z().AddXY(sorted[i], ys[4 - i]);
            chart_.Swr().AddXY(sorted[i], 1.0 + i * 0.01);
        }
        chart_.plot.SetView3DOptions({12.5, 300, 7, 20, false, -4, 9, 150});
        chart_.plot.SetChart3DPercent(42);
        chart_.plot.Title().Text = {"Line \"one\"\\", "zwei \xC3\xBC \t tab"};
    }

    std::string Written() { return WriteChartFile(DescribeChart(chart_.plot)); }

    StoredChart chart_;
};

TEST_F(ChartFile, ReadsBackToTheSameSettingsAndBits) {
    const ChartDescription original = DescribeChart(chart_.plot);
    const std::string bytes = WriteChartFile(original);
    const ChartFileReadResult read = ReadChartFile(bytes);
    ASSERT_TRUE(read.Chart) << read.Error;
    EXPECT_EQ(*read.Chart, original);
    // Doubles compare bit for bit (-0.0 == 0.0 would hide a lost sign).
    for (size_t s = 0; s < original.Series.size(); ++s) {
        for (size_t i = 0; i < original.Series[s].Y.size(); ++i) {
            EXPECT_EQ(std::bit_cast<uint64_t>(read.Chart->Series[s].Y[i]),
                      std::bit_cast<uint64_t>(original.Series[s].Y[i]));
        }
    }
}

TEST_F(ChartFile, LoadsIntoAFreshChartWithEqualSettingsAndPoints) {
    const ChartDescription original = DescribeChart(chart_.plot);
    const ChartFileReadResult read = ReadChartFile(WriteChartFile(original));
    ASSERT_TRUE(read.Chart) << read.Error;

    StoredChart fresh;
    fresh.R().SetName("Series1");
    // Differences everywhere, so nothing passes by coincidence.
    fresh.plot.Title().Text = {"other"};
    fresh.plot.Legend().Left = 1;
    fresh.plot.Gradient().Visible = false;
    fresh.plot.SetMargins(9, 9, 9, 9);
    fresh.plot.LeftAxis().SetMinMax(-5, 5);
    fresh.plot.RightAxis().Grid().Visible = true;
    fresh.plot.SetView3D(true);
    fresh.Z().SetSeriesColor(base::clYellow);
    fresh.Swr().Pointer().Visible = false;
    fresh.R().SetCustomVertAxis(&fresh.plot.LeftAxis());

    ApplyChartSettings(fresh.plot, *read.Chart);
    for (size_t i = 0; i < fresh.series.size(); ++i) {
        ReplacePoints(*fresh.series[i], read.Chart->Series[i]);
    }
    const ChartDescription loaded = DescribeChart(fresh.plot);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(loaded.Axes[i], original.Axes[i]) << i;
    }
    for (size_t i = 0; i < original.Series.size(); ++i) {
        EXPECT_EQ(loaded.Series[i], original.Series[i]) << i;
    }
    EXPECT_EQ(loaded, original);
}

TEST_F(ChartFile, IsReadableJsonWithFormatAndVersionFirst) {
    const std::string text = Written();
    EXPECT_EQ(text.rfind("{\n  \"format\": \"tarnel-chart\",\n  \"version\": \"1.0\",\n", 0), 0u)
        << text.substr(0, 80);
    // Shortest forms: 1.01 rather than 1.0100000000000000088817841970012523, whole numbers
    // without a fraction.
    EXPECT_NE(text.find("[13675.010000000002,0.3333333333333333]"), std::string::npos);
    EXPECT_NE(text.find("[13675.02,5e-324]"), std::string::npos);
    EXPECT_NE(text.find("[1e+15,-0.0]"), std::string::npos);
    EXPECT_NE(text.find(",1.01]"), std::string::npos);
    EXPECT_NE(text.find("\"lineWidth\": 2,"), std::string::npos);
    EXPECT_NE(text.find("\"color\": \"#0080FF\""), std::string::npos); // Z, stored 16744448
    EXPECT_NE(text.find("\"midColor\": \"none\""), std::string::npos);
    EXPECT_EQ(text.find('\r'), std::string::npos);
}

TEST_F(ChartFile, TitlesThatAreNotUtf8StillGiveALoadableFile) {
    chart_.plot.Title().Text = {std::string("caf\xE9 \xFF\xC3", 7)};
    const ChartFileReadResult read = ReadChartFile(Written());
    ASSERT_TRUE(read.Chart) << read.Error;
    EXPECT_EQ(read.Chart->TitleText.front(), "caf\xEF\xBF\xBD \xEF\xBF\xBD\xEF\xBF\xBD");
}

// Replaces the first occurrence of from in text by to.
std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) {
        text.replace(at, from.size(), to);
    }
    return text;
}

TEST_F(ChartFile, RefusesBadFilesNamingWhatIsWrong) {
    const std::string good = Written();
    const std::string kPoint1 = "[13675.010000000002,0.3333333333333333]";
    const struct {
        const char* what;
        std::string bytes;
        const char* message; // a part of the error
    } cases[] = {
        {"empty", "", "ends before the chart is complete"},
        {"cut short", good.substr(0, good.size() / 2), "ends before the chart is complete"},
        {"a picture", "\x89PNG\r\n\x1a\n", "not a chart file"},
        {"other JSON", "{\"format\": \"something\", \"version\": \"1.0\"}", "not a chart file"},
        {"no object", "[1, 2]", "not a chart file"},
        {"newer major", Replaced(good, "\"version\": \"1.0\"", "\"version\": \"2.0\""),
         "made by a newer program"},
        {"bad version", Replaced(good, "\"version\": \"1.0\"", "\"version\": \"one\""),
         "is not a version"},
        {"wrong type", Replaced(good, "\"lineWidth\": 2", "\"lineWidth\": \"2\""),
         "series[0].lineWidth: must be a whole number"},
        {"fraction for a whole number", Replaced(good, "\"lineWidth\": 2", "\"lineWidth\": 2.5"),
         "series[0].lineWidth: must be a whole number"},
        {"missing field", Replaced(good, "\"showInLegend\": true,", ""),
         "series[0].showInLegend: missing"},
        {"missing section", Replaced(good, "\"axes\"", "\"axis\""), "chart.axes: missing"},
        {"huge count", Replaced(good, "\"pointCount\": 5", "\"pointCount\": 99999999999"),
         "series[0].pointCount: must be between 0 and 20000000"},
        {"count differs", Replaced(good, "\"pointCount\": 5", "\"pointCount\": 4"),
         "pointCount says 4 points, the list holds 5"},
        {"infinite point", Replaced(good, kPoint1, "[1e999,0.1]"),
         "a number beyond the range of a double ('1e999')"},
        {"out of order", Replaced(good, kPoint1, "[0.2,0.1]"),
         "points[1]: x 0.2 is below the x before it (0.30000000000000004)"},
        {"not a pair", Replaced(good, kPoint1, "[13675.010000000002]"),
         "series[0].points[1]: must be a pair"},
        {"bad colour", Replaced(good, "\"#0080FF\"", "\"blue\""),
         "series[1].color: \"blue\" is not a colour"},
        {"unknown style", Replaced(good, "\"style\": \"dot\"", "\"style\": \"wavy\""),
         "unknown value \"wavy\""},
        {"axis range reversed", Replaced(good, "\"minimum\": 1,", "\"minimum\": 7,"),
         "chart.axes.left: the minimum 7 is above the maximum 6"},
        {"absurd font size", Replaced(good, "\"size\": 16", "\"size\": 100000"),
         "chart.title.font.size: must be between 1 and 1000"},
        {"long text",
         Replaced(good, "\"title\": \"Z\"", "\"title\": \"" + std::string(5000, 'z') + "\""),
         "series[1].title: is longer than 4096 bytes"},
        {"garbage inside", Replaced(good, "\"view3D\": false", "\"view3D\": fals"),
         "not valid JSON at byte"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ChartFileReadResult read = ReadChartFile(c.bytes);
        EXPECT_FALSE(read.Chart);
        EXPECT_NE(read.Error.find(c.message), std::string::npos) << read.Error;
    }
}

TEST_F(ChartFile, EveryCutOfAFileIsRefusedAndUnknownMembersAreSkipped) {
    chart_.R().Clear();
    chart_.Z().Clear();
    const std::string good = Written();
    // Every prefix but the whole file (a missing final line end is still whole).
    const size_t whole = good.find_last_not_of('\n') + 1;
    for (size_t n = 0; n < whole; ++n) {
        const ChartFileReadResult read = ReadChartFile(std::string_view(good).substr(0, n));
        ASSERT_FALSE(read.Chart) << n;
        ASSERT_FALSE(read.Error.empty()) << n;
    }
    // A later minor version may add members; this one reads past them.
    const std::string later = Replaced(
        Replaced(good, "\"version\": \"1.0\"", "\"version\": \"1.7\", \"extra\": {\"a\": [1]}"),
        "\"view3D\": false", "\"view3D\": false, \"glow\": 3");
    const ChartFileReadResult read = ReadChartFile(later);
    ASSERT_TRUE(read.Chart) << read.Error;
    EXPECT_EQ(*read.Chart, DescribeChart(chart_.plot));
}

TEST_F(ChartFile, DamagedBytesGiveAChartOrAnErrorNeverACrash) {
    const std::string good = Written();
    // Deterministic damage: bytes overwritten, deleted and duplicated at spread positions.
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    const char kBytes[] = "[]{}\",:0123456789.eE+-truefalsnul \n\x00\xFF";
    for (int round = 0; round < 3000; ++round) {
        std::string bytes = good;
        for (int k = 0, n = 1 + static_cast<int>(next() % 4); k < n; ++k) {
            const size_t at = next() % bytes.size();
            switch (next() % 3) {
            case 0:
                bytes[at] = kBytes[next() % (sizeof kBytes - 1)];
                break;
            case 1:
                bytes.erase(at, 1 + next() % 8);
                break;
            default:
                bytes.insert(at, bytes.substr(at, 1 + next() % 16));
                break;
            }
        }
        const ChartFileReadResult read = ReadChartFile(bytes);
        ASSERT_NE(read.Chart.has_value(), !read.Error.empty()) << round;
    }
    // Deep nesting and a huge array of nothing useful stay bounded.
    EXPECT_FALSE(ReadChartFile(std::string(200000, '[')).Chart);
    EXPECT_FALSE(ReadChartFile(std::string(100000, '[') + std::string(100000, ']')).Chart);
}

TEST_F(ChartFile, NamesTheSeriesThatDoNotFit) {
    ChartDescription file = DescribeChart(chart_.plot);
    EXPECT_EQ(FitsChart(chart_.plot, file), "");
    file.Series.pop_back();
    EXPECT_EQ(FitsChart(chart_.plot, file),
              "the file holds 5 series (Series1, , , , ), this chart has 6 (Series1, , , , , )");
    file = DescribeChart(chart_.plot);
    file.Series[0].Name = "Other";
    EXPECT_NE(FitsChart(chart_.plot, file).find("(Other, , , , , )"), std::string::npos);
}

} // namespace
} // namespace chart::test
