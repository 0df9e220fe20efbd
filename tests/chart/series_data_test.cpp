#include "base/exceptions.h"
#include "chart/ansi_text.h"
#include "chart/plot.h"
#include "chart/series.h"
#include "chart/series_data.h"

#include <bit>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace chart {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes FromHex(std::string_view hex) {
    Bytes out;
    std::string digits;
    for (char c : hex) {
        if (c != ' ') {
            digits += c;
        }
    }
    for (size_t i = 0; i + 1 < digits.size(); i += 2) {
        out.push_back(static_cast<uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    }
    return out;
}

// Builds blobs field by field, little-endian.
struct Blob {
    Bytes bytes;
    Blob& U8(uint8_t v) {
        bytes.push_back(v);
        return *this;
    }
    Blob& I32(int32_t v) {
        for (int i = 0; i < 4; ++i) {
            bytes.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
        }
        return *this;
    }
    Blob& F64(double v) {
        const auto bits = std::bit_cast<uint64_t>(v);
        for (int i = 0; i < 8; ++i) {
            bytes.push_back(static_cast<uint8_t>(bits >> (8 * i)));
        }
        return *this;
    }
    Blob& Text(std::string_view s) {
        bytes.insert(bytes.end(), s.begin(), s.end());
        return *this;
    }
};

std::vector<std::pair<double, double>> Points(const TPlotSeries& s) {
    std::vector<std::pair<double, double>> out;
    for (int32_t i = 0; i < s.Count(); ++i) {
        out.emplace_back(s.GetxValue(i), s.GetyValue(i));
    }
    return out;
}

TEST(StoredPoints, TheWindowsMarkerLinesLoad) {
    TPlotLineSeries ref_line;
    TPlotLineSeries y_line;
    ReadSeriesData(ref_line, FromHex("01 02000000 0000000000001440 000000000000F03F "
                                     "0000000000001440 0000000000001840"));
    ReadSeriesData(y_line, FromHex("01 02000000 000000000000F03F 0000000000001840 "
                                   "0000000000000840 0000000000001840"));
    using P = std::vector<std::pair<double, double>>;
    EXPECT_EQ(Points(ref_line), (P{{5, 1}, {5, 6}}));
    EXPECT_EQ(Points(y_line), (P{{1, 6}, {3, 6}}));
    EXPECT_TRUE(ref_line.ManualData());
    EXPECT_FALSE(ref_line.HasLabels());
    EXPECT_FALSE(ref_line.HasColors());
}

TEST(StoredPoints, LoadingReplacesPointsInXOrderWithoutPerPointRepaints) {
    TPlot chart;
    TPlotLineSeries series;
    chart.AddSeries(series);
    series.AddXY(100, 100);
    int repaints = 0;
    chart.OnInvalidate = [&] { ++repaints; };
    // No X values: X is the ordinal. Colours and labels present, mark positions skipped.
    Blob blob;
    blob.U8(1 | 2 | 4 | 8).I32(3);
    const double xs[] = {2, 0, 1};
    const char* labels[] = {"\x80 5", "caf\xE9", ""};
    for (int i = 0; i < 3; ++i) {
        blob.F64(xs[i]).F64(10 * i).I32(i == 1 ? base::clRed : base::clAutoColor);
        blob.U8(static_cast<uint8_t>(std::strlen(labels[i]))).Text(labels[i]);
        blob.bytes.insert(blob.bytes.end(), 34, 0xAB);
    }
    ReadSeriesData(series, blob.bytes);
    using P = std::vector<std::pair<double, double>>;
    EXPECT_EQ(Points(series), (P{{0, 10}, {1, 20}, {2, 0}}));
    EXPECT_EQ(series.Label(0), "caf\xC3\xA9");    // é
    EXPECT_EQ(series.Label(2), "\xE2\x82\xAC 5"); // € 5
    EXPECT_EQ(series.PointColor(0), base::clRed);
    EXPECT_EQ(series.PointColor(1), base::clAutoColor);
    EXPECT_EQ(repaints, 2); // the clear and the end of the batch, none per point

    Blob ordinal;
    ordinal.U8(4).I32(2).F64(7).U8(255).I32(3).Text("abc").F64(8).U8(0);
    ReadSeriesData(series, ordinal.bytes);
    EXPECT_EQ(Points(series), (P{{0, 7}, {1, 8}}));
    EXPECT_EQ(series.Label(0), "abc");
}

TEST(StoredPoints, MalformedBlobsLeaveTheSeriesEmptyAndRaiseAReadError) {
    const Bytes good = Blob{}.U8(1).I32(1).F64(1).F64(2).bytes;
    struct Case {
        const char* what;
        Bytes blob;
    };
    const Case cases[] = {
        {"empty", {}},
        {"flags only", {1}},
        {"count cut short", {1, 1, 0}},
        {"point cut short", Bytes(good.begin(), good.end() - 1)},
        {"trailing bytes", Blob{good}.U8(0).bytes},
        {"negative count", Blob{}.U8(1).I32(-1).bytes},
        {"count beyond the blob", Blob{}.U8(0).I32(0x7FFFFFFF).F64(1).bytes},
        {"label past the end", Blob{}.U8(4).I32(1).F64(1).U8(10).Text("abc").bytes},
        {"long label past the end", Blob{}.U8(4).I32(1).F64(1).U8(255).I32(1000).bytes},
        {"negative long label", Blob{}.U8(4).I32(1).F64(1).U8(255).I32(-5).bytes},
        {"mark position cut short", Blob{}.U8(8).I32(1).F64(1).Text("short").bytes},
    };
    for (const auto& c : cases) {
        TPlotLineSeries series;
        series.AddXY(1, 1);
        EXPECT_THROW(ReadSeriesData(series, c.blob), base::EReadError) << c.what;
        EXPECT_EQ(series.Count(), 0) << c.what;
        EXPECT_FALSE(series.ManualData()) << c.what;
        EXPECT_EQ(series.UpdateCount(), 0) << c.what;
    }
    TPlotLineSeries series;
    ReadSeriesData(series, good);
    EXPECT_EQ(series.Count(), 1);
}

TEST(StoredPoints, EightBitLabelsDecodeAsWindows1252) {
    const std::pair<std::string, std::string> cases[] = {
        {"A~", "A~"},
        {"\x80", "\xE2\x82\xAC"},                                             // euro sign
        {"\x81\x8D\x8F\x90\x9D", "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"}, // undefined
        {"\x99", "\xE2\x84\xA2"},                                             // trade mark
        {"\x9F", "\xC5\xB8"},                                                 // Y with diaeresis
        {"\xA0\xB0\xFF", "\xC2\xA0\xC2\xB0\xC3\xBF"},
        {std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(Windows1252ToUtf8(in), out);
    }
}

} // namespace
} // namespace chart
