// The sweep as CSV: a fixed header, one row per point, numbers that read back to the same
// double with "." whatever the user's separators.
#include "app/sweep/sweep_csv.h"
#include "base/format_settings.h"
#include "chart/series.h"

#include <bit>
#include <charconv>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace app {
namespace {

std::vector<std::string> Split(const std::string& text, char at) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, at)) {
        parts.push_back(part);
    }
    if (!text.empty() && text.back() == at) {
        parts.emplace_back();
    }
    return parts;
}

double Parse(const std::string& text) {
    double value = 0.0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
    EXPECT_TRUE(r.ec == std::errc() && r.ptr == text.data() + text.size()) << text;
    return value;
}

TEST(SweepCsv, RowsReadBackToTheSameBitsWithAPointAsSeparator) {
    // The user's separators are a comma and a point: the file keeps its own.
    base::ScopedFormatSettings separators({",", "."});
    chart::TPlotLineSeries r, z, swr;
    const double xs[] = {13675.010000000002, 13675.02, 14000, 1e15 + 0.125};
    const double ys[] = {0.1, 1.0 / 3.0, 5e-324, 1234567.891};
    for (size_t i = 0; i < 4; ++i) {
        r.AddXY(xs[i], ys[i]);
        z.AddXY(xs[i], ys[3 - i] * 3);
        swr.AddXY(xs[i], 1.0 + static_cast<double>(i) / 100);
    }
    const std::string csv = SweepCsv(r, z, swr);
    EXPECT_EQ(csv.find('\r'), std::string::npos);
    const std::vector<std::string> lines = Split(csv, '\n');
    ASSERT_EQ(lines.size(), 6u); // header, four rows, the empty rest after the last LF
    EXPECT_EQ(lines[0], "Frequency (kHz),R,Z,SWR");
    EXPECT_EQ(lines[1].rfind("13675.010000000002,0.1,", 0), 0u) << lines[1];
    EXPECT_EQ(lines[4].substr(lines[4].rfind(',')), ",1.03");
    EXPECT_EQ(lines[5], "");
    for (int32_t i = 0; i < 4; ++i) {
        const std::vector<std::string> fields = Split(lines[static_cast<size_t>(i) + 1], ',');
        ASSERT_EQ(fields.size(), 4u);
        EXPECT_EQ(std::bit_cast<uint64_t>(Parse(fields[0])),
                  std::bit_cast<uint64_t>(r.GetxValue(i)));
        EXPECT_EQ(std::bit_cast<uint64_t>(Parse(fields[1])),
                  std::bit_cast<uint64_t>(r.GetyValue(i)));
        EXPECT_EQ(std::bit_cast<uint64_t>(Parse(fields[2])),
                  std::bit_cast<uint64_t>(z.GetyValue(i)));
        EXPECT_EQ(std::bit_cast<uint64_t>(Parse(fields[3])),
                  std::bit_cast<uint64_t>(swr.GetyValue(i)));
    }
}

TEST(SweepCsv, ShorterCurvesLeaveTheirFieldsEmpty) {
    chart::TPlotLineSeries r, z, swr;
    r.AddXY(7000, 50);
    swr.AddXY(7000, 1.5);
    swr.AddXY(7010, 1.25);
    EXPECT_EQ(SweepCsv(r, z, swr), "Frequency (kHz),R,Z,SWR\n7000,50,,1.5\n7010,,,1.25\n");
    EXPECT_EQ(SweepCsv(z, z, z), "Frequency (kHz),R,Z,SWR\n");
}

} // namespace
} // namespace app
