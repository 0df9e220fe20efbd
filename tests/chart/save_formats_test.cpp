// The Save dialog's name rule: a typed extension that names a format decides it, otherwise
// the chosen filter's extension is appended.
#include "chart/save_formats.h"

#include <gtest/gtest.h>

namespace chart {
namespace {

TEST(SaveFormats, TypedExtensionDecidesElseTheFilterAppendsItsOwn) {
    const struct {
        const char* typed;
        SaveFormat chosen;
        const char* path;
        SaveFormat format;
    } cases[] = {
        {"/d/sweep.csv", SaveFormat::ChartFile, "/d/sweep.csv", SaveFormat::Csv},
        {"/d/Sweep.PNG", SaveFormat::Csv, "/d/Sweep.PNG", SaveFormat::Png},
        {"/d/a.jpeg", SaveFormat::Png, "/d/a.jpeg", SaveFormat::Jpeg},
        {"/d/a.JPG", SaveFormat::Png, "/d/a.JPG", SaveFormat::Jpeg},
        {"/d/no extension", SaveFormat::Pdf, "/d/no extension.pdf", SaveFormat::Pdf},
        {"/d/grün 14 MHz", SaveFormat::ChartFile, "/d/grün 14 MHz.tchart", SaveFormat::ChartFile},
        {"/d/v1.2", SaveFormat::Svg, "/d/v1.2.svg", SaveFormat::Svg},
        {"/d/.bmp", SaveFormat::Bmp, "/d/.bmp.bmp", SaveFormat::Bmp}, // a hidden file's name
        {"/d.png/chart", SaveFormat::Csv, "/d.png/chart.csv", SaveFormat::Csv},
        {"/d/x.tchart", SaveFormat::Csv, "/d/x.tchart", SaveFormat::ChartFile},
        {"/d/x.", SaveFormat::Bmp, "/d/x..bmp", SaveFormat::Bmp},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        const SaveTarget target = ResolveSaveTarget(c.typed, c.chosen);
        EXPECT_EQ(target.Path, c.path);
        EXPECT_EQ(target.Format, c.format);
    }
}

TEST(SaveFormats, ChartFileIsTheFirstFilter) {
    ASSERT_EQ(SaveFormats().size(), 7u);
    EXPECT_EQ(FilterText(SaveFormats()[0]), "Chart file (*.tchart)");
    EXPECT_EQ(FilterText(SaveFormatOf(SaveFormat::Jpeg)), "JPEG picture (*.jpg *.jpeg)");
}

} // namespace
} // namespace chart
