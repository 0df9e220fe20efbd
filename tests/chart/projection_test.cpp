// The 3D projection: a table of box points and the pixels they land on, the front plane
// read back from the screen, which walls face the viewer, and settings far out of range.
#include "chart/plot.h"
#include "chart/projection.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <string>

namespace chart::test {
namespace {

// 400 x 300 pixels with its centre at (300, 200); 20 percent depth is 60 pixels.
constexpr TRect kArea{100, 50, 500, 350};
constexpr int32_t kDepthPercent = 20;

TPlotView3DOptions Options(double rotation, double elevation, bool orthogonal,
                           int32_t perspective = 15) {
    TPlotView3DOptions o;
    o.Rotation = rotation;
    o.Elevation = elevation;
    o.Orthogonal = orthogonal;
    o.Perspective = perspective;
    return o;
}

TEST(Projection, TableOfBoxPointsAndTheirPixels) {
    TPlotView3DOptions zoomed = Options(345, 345, true);
    zoomed.Zoom = 200;
    TPlotView3DOptions moved = Options(345, 345, true);
    moved.HorizOffset = 10;
    moved.VertOffset = -20;
    TPlotView3DOptions tilted = Options(360, 360, true);
    tilted.Tilt = 90;
    TPlotView3DOptions floor = zoomed;
    floor.Zoom = 1; // the toolbar's floor: a hundredth of the size about the centre
    const struct Case {
        std::string name;
        TPlotView3DOptions options;
        double x, y, z;
        TPoint pixel;
    } cases[] = {
        // Oblique at the defaults: depth slants by half its length right and up.
        {"default front corner", Options(345, 345, true), 100, 350, 0, {100, 350}},
        {"default back corner", Options(345, 345, true), 470, 80, 60, {500, 50}},
        {"default middle", Options(345, 345, true), 300, 200, 30, {315, 185}},
        {"turned the other way", Options(15, 345, true), 130, 80, 60, {100, 50}},
        {"seen from below", Options(345, 15, true), 470, 320, 60, {500, 350}},
        {"straight from above", Options(360, 270, true), 300, 200, 60, {300, 140}},
        {"straight front view", Options(360, 360, true), 123, 234, 60, {123, 234}},
        {"zoom 200", zoomed, 100, 350, 0, {-100, 500}},
        {"zoom 200 back", zoomed, 470, 80, 60, {700, -100}},
        {"zoom 1", floor, 100, 350, 0, {298, 202}},
        {"offsets", moved, 470, 80, 60, {510, 30}},
        {"tilt 90", tilted, 100, 350, 0, {150, 0}},
        // Turned, parallel: the straight view is the flat chart, the side view shows depth
        // across and the top view depth upwards.
        {"parallel front view", Options(360, 360, false, 0), 123, 234, 60, {123, 234}},
        {"parallel from the side", Options(270, 360, false, 0), 100, 80, 0, {270, 80}},
        {"parallel from the side, back", Options(270, 360, false, 0), 470, 350, 60, {330, 350}},
        {"parallel from above", Options(360, 270, false, 0), 250, 123, 60, {250, 170}},
        // Full perspective, straight on: the front plane fills the area, the back wall
        // shrinks towards the centre by (d - 30) / (d + 30), d = 1.5 half-diagonals.
        {"perspective front plane", Options(360, 360, false, 100), 100, 50, 0, {100, 50}},
        {"perspective back corner", Options(360, 360, false, 100), 100, 50, 60, {129, 72}},
        {"perspective back corner 2", Options(360, 360, false, 100), 500, 350, 60, {471, 328}},
        {"perspective back inside", Options(360, 360, false, 100), 400, 100, 60, {385, 115}},
    };
    for (const Case& c : cases) {
        const TView3DFrame frame = LayOut3D(kArea, c.options, kDepthPercent);
        ASSERT_EQ(frame.Depth, 60) << c.name;
        const TPoint p = Projection::ToPixel(frame.View.Project(c.x, c.y, c.z));
        EXPECT_EQ(p, c.pixel) << c.name << ": " << p.X << ", " << p.Y;
    }
}

TEST(Projection, ObliqueFrontPlaneGivesUpTheRoomTheDepthTakes) {
    const struct Case {
        double rotation, elevation;
        TRect front;
    } cases[] = {
        {345, 345, {100, 80, 470, 350}}, // depth right and up
        {15, 345, {130, 80, 500, 350}},  // left and up
        {345, 15, {100, 50, 470, 320}},  // right and down
        {360, 360, kArea},               // none
    };
    for (const Case& c : cases) {
        const TView3DFrame frame = LayOut3D(kArea, Options(c.rotation, c.elevation, true), 20);
        EXPECT_EQ(frame.Front, c.front) << c.rotation << " " << c.elevation;
        EXPECT_EQ(frame.Area, kArea);
    }
    // Turned views keep the whole area as the front plane and fit the box by scaling.
    EXPECT_EQ(LayOut3D(kArea, Options(330, 330, false), 20).Front, kArea);
}

TEST(Projection, FrontPlaneIsReadBackFromTheScreen) {
    TPlotView3DOptions busy = Options(330, 300, false, 60);
    busy.Zoom = 170;
    busy.Tilt = 20;
    busy.HorizOffset = -40;
    busy.VertOffset = 25;
    for (const TPlotView3DOptions& options :
         {Options(345, 345, true), Options(330, 300, false), Options(300, 350, false, 0), busy}) {
        const TView3DFrame frame = LayOut3D(kArea, options, kDepthPercent);
        for (const TPointF p : {TPointF{100, 50}, TPointF{321.5, 77.25}, TPointF{500, 350}}) {
            const auto back = frame.View.FrontPlanePoint(frame.View.Project(p.X, p.Y, 0));
            ASSERT_TRUE(back.has_value());
            EXPECT_NEAR(back->X, p.X, 1e-6);
            EXPECT_NEAR(back->Y, p.Y, 1e-6);
        }
    }
    // Straight from above in a turned view the front plane is a line: nothing to read.
    const TView3DFrame edge_on = LayOut3D(kArea, Options(360, 270, false, 0), kDepthPercent);
    EXPECT_FALSE(edge_on.View.FrontPlanePoint(TPointF{300, 200}).has_value());
    EXPECT_EQ(FrontPlanePos(edge_on, true, 321), 321.0);
}

TEST(Projection, WallsFaceTheViewerOnTheirInnerSide) {
    const struct Case {
        std::string name;
        TPlotView3DOptions options;
        bool left, right, floor, back;
    } cases[] = {
        {"default", Options(345, 345, true), true, false, true, true},
        {"turned the other way", Options(15, 345, true), false, true, true, true},
        {"from below", Options(345, 15, true), true, false, false, true},
        {"front view", Options(360, 360, true), false, false, false, true},
        // An eye point in front of the middle sees into the box on all sides but the top.
        {"perspective front view", Options(360, 360, false, 50), true, true, true, true},
        // From behind and above the back wall turns away; the rest is seen through it.
        {"from behind", Options(180, 345, false), true, true, true, false},
    };
    for (const Case& c : cases) {
        const TView3DFrame frame = LayOut3D(kArea, c.options, kDepthPercent);
        const Projection& v = frame.View;
        const TRect& f = frame.Front;
        EXPECT_EQ(v.Sees(1, 0, 0, -f.Left), c.left) << c.name;
        EXPECT_EQ(v.Sees(-1, 0, 0, f.Right), c.right) << c.name;
        EXPECT_EQ(v.Sees(0, -1, 0, f.Bottom), c.floor) << c.name;
        EXPECT_EQ(v.Sees(0, 0, -1, frame.Depth), c.back) << c.name;
    }
    // Nearer points are nearer: the front plane before the back wall, in either kind of view.
    for (const TPlotView3DOptions& o : {Options(345, 345, true), Options(330, 330, false)}) {
        const Projection& v = LayOut3D(kArea, o, kDepthPercent).View;
        EXPECT_GT(v.Nearness(300, 200, 0), v.Nearness(300, 200, 60));
    }
}

TEST(Projection, SettingsOutOfRangeGiveFinitePixelsNearTheLimit) {
    constexpr double kLimit = Projection::kCoordLimit;
    constexpr double inf = std::numeric_limits<double>::infinity();
    const double nan = std::nan("");
    // Conversion saturates before it converts: no value is out of the integer range.
    EXPECT_EQ(Projection::ToPixel({1e300, -1e300}), (TPoint{1 << 22, -(1 << 22)}));
    EXPECT_EQ(Projection::ToPixel({inf, -inf}), (TPoint{1 << 22, -(1 << 22)}));
    EXPECT_EQ(Projection::ToPixel({nan, 2.5}), (TPoint{0, 3}));

    std::vector<TPlotView3DOptions> bad;
    for (const double zoom : {1.0, 0.0, -50.0, 1e6, 1e300, nan, inf}) {
        TPlotView3DOptions o = Options(345, 345, true);
        o.Zoom = zoom;
        bad.push_back(o);
        o.Orthogonal = false;
        bad.push_back(o);
    }
    for (const int32_t offset :
         {std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min()}) {
        TPlotView3DOptions o = Options(345, 345, false);
        o.HorizOffset = offset;
        o.VertOffset = -offset / 3;
        o.Zoom = 1e6;
        bad.push_back(o);
    }
    for (const double angle : {0.0, 90.0, 180.0, 270.0, 360.0, -720.0, 1e300, nan, inf}) {
        for (const int32_t perspective : {0, 100, -5, 1000}) {
            bad.push_back(Options(angle, angle, false, perspective));
            bad.push_back(Options(angle, 360 - angle, true, perspective));
        }
    }
    for (const TRect area : {kArea, TRect{0, 0, 1, 1}, TRect{5, 5, 5, 5}}) {
        for (const TPlotView3DOptions& o : bad) {
            const TView3DFrame frame = LayOut3D(area, o, 100);
            EXPECT_GE(frame.Front.Width(), 1);
            EXPECT_GE(frame.Front.Height(), 1);
            for (const double z : {0.0, static_cast<double>(frame.Depth), 1e9}) {
                const TPointF p = frame.View.Project(area.Left, area.Bottom, z);
                EXPECT_TRUE(std::isfinite(p.X) && std::isfinite(p.Y));
                EXPECT_LE(std::abs(p.X), kLimit);
                EXPECT_LE(std::abs(p.Y), kLimit);
            }
            EXPECT_TRUE(std::isfinite(FrontPlanePos(frame, true, 400)));
        }
    }
}

} // namespace
} // namespace chart::test
