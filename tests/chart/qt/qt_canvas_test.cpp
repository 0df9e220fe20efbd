// The Qt canvas draws with the chart's pixel rules: rectangles and lines leave out their
// right and bottom edge or end point, clipping limits drawing, pens carry width and colour.
#include "chart/qt/qt_canvas.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>
#include <string>

namespace chart {
namespace {

constexpr QRgb kWhite = 0xFFFFFFFF;

class QtCanvasDrawing : public ::testing::Test {
protected:
    QtCanvasDrawing() : image_(40, 30, QImage::Format_ARGB32_Premultiplied) {
        image_.fill(Qt::white);
    }
    // Draws with a fresh painter and canvas, then ends the painter.
    template <typename F> void Draw(F&& draw) {
        QPainter painter(&image_);
        QtCanvas canvas;
        canvas.SetPainter(&painter);
        draw(canvas);
    }
    QRgb At(int x, int y) const { return image_.pixel(x, y); }
    // The painted pixels (not white) as a bounding rectangle, Right and Bottom exclusive.
    TRect Painted() const {
        TRect r{image_.width(), image_.height(), 0, 0};
        for (int y = 0; y < image_.height(); ++y) {
            for (int x = 0; x < image_.width(); ++x) {
                if (At(x, y) != kWhite) {
                    r = TRect{std::min(r.Left, x), std::min(r.Top, y), std::max(r.Right, x + 1),
                              std::max(r.Bottom, y + 1)};
                }
            }
        }
        return r;
    }

    QImage image_;
};

TEST_F(QtCanvasDrawing, FillRectLeavesOutRightAndBottomEdge) {
    Draw([](QtCanvas& c) {
        c.SetBrush(TPlotBrush{base::clRed, bsSolid});
        c.FillRect(TRect{2, 3, 10, 8});
    });
    EXPECT_EQ(Painted(), (TRect{2, 3, 10, 8}));
    EXPECT_EQ(At(2, 3), qRgb(255, 0, 0));
}

TEST_F(QtCanvasDrawing, PolygonFillsWithTheBrushAndNeedsThreePoints) {
    Draw([](QtCanvas& c) {
        c.SetPen(TPlotPen{base::clBlack, 1, psClear, false});
        c.SetBrush(TPlotBrush{base::clGreen, bsSolid});
        const TPoint quad[] = {{4, 4}, {20, 4}, {28, 16}, {12, 16}};
        c.Polygon(quad);
        const TPoint line[] = {{0, 25}, {39, 25}};
        c.Polygon(line);
    });
    EXPECT_EQ(At(16, 10), qRgb(0, 128, 0)); // inside the parallelogram
    EXPECT_EQ(At(6, 14), kWhite);           // left of its slanted side
    const TRect painted = Painted();
    EXPECT_GE(painted.Left, 4);
    EXPECT_LE(painted.Right, 29);
    EXPECT_LE(painted.Bottom, 17); // nothing from the two-point "polygon"
}

TEST_F(QtCanvasDrawing, RectangleFramesInsideWithThePen) {
    Draw([](QtCanvas& c) {
        c.SetBrush(TPlotBrush{base::clWhite, bsSolid});
        c.SetPen(TPlotPen{base::clBlack, 1, psSolid, true});
        c.Rectangle(TRect{5, 5, 15, 12});
    });
    EXPECT_EQ(Painted(), (TRect{5, 5, 15, 12}));
    EXPECT_EQ(At(14, 11), qRgb(0, 0, 0));
    EXPECT_EQ(At(10, 5), qRgb(0, 0, 0));
    EXPECT_EQ(At(10, 8), kWhite);
}

TEST_F(QtCanvasDrawing, StraightLinesLeaveOutTheirEndPoint) {
    struct Case {
        TPoint from, to;
        TRect painted;
    };
    const Case cases[] = {
        {{3, 4}, {13, 4}, {3, 4, 13, 5}}, // rightwards
        {{13, 4}, {3, 4}, {4, 4, 14, 5}}, // leftwards
        {{6, 2}, {6, 20}, {6, 2, 7, 20}}, // downwards
        {{6, 20}, {6, 2}, {6, 3, 7, 21}}, // upwards
        {{6, 2}, {7, 2}, {6, 2, 7, 3}},   // one pixel long
    };
    for (const Case& c : cases) {
        image_.fill(Qt::white);
        Draw([&](QtCanvas& canvas) {
            canvas.SetPen(TPlotPen{base::clBlue, 1, psSolid, true});
            canvas.Line(c.from, c.to);
        });
        EXPECT_EQ(Painted(), c.painted) << c.from.X << "," << c.from.Y;
    }
}

// Dots are one pen width on, one off; dashes three on, one off; the pattern starts at the
// first point whichever way the line runs, and the end point stays out. At a device pixel
// ratio of 2 every logical pixel is a 2 x 2 block.
TEST(QtCanvasPatterns, DotsAndDashesStartAtTheFirstPoint) {
    struct Case {
        TPenStyle style;
        int32_t width;
        TPoint from, to;
        const char* row; // along the line from x (or y) = 0: '#' painted
    };
    const Case cases[] = {
        {psDot, 1, {2, 5}, {13, 5}, "..#.#.#.#.#.#...."},
        {psDot, 1, {12, 5}, {2, 5}, "....#.#.#.#.#...."},
        {psDash, 1, {1, 5}, {14, 5}, ".###.###.###.#..."},
        {psDot, 1, {5, 2}, {5, 11}, "..#.#.#.#.#......"},
        {psDot, 1, {5, 11}, {5, 2}, "...#.#.#.#.#....."},
        {psDot, 2, {1, 5}, {14, 5}, ".##..##..##..#..."},
    };
    for (const int ratio : {1, 2}) {
        for (const Case& c : cases) {
            QImage image(17 * ratio, 17 * ratio, QImage::Format_ARGB32_Premultiplied);
            image.setDevicePixelRatio(ratio);
            image.fill(Qt::white);
            {
                QPainter painter(&image);
                QtCanvas canvas;
                canvas.SetPainter(&painter);
                canvas.SetPen(TPlotPen{base::clBlue, c.width, c.style, true});
                canvas.Line(c.from, c.to);
            }
            const bool horizontal = c.from.Y == c.to.Y;
            std::string row;
            for (int i = 0; i < 17; ++i) {
                // The line's own row (or column), sampled in every device pixel of it.
                bool all = true;
                bool any = false;
                for (int d = 0; d < ratio * ratio; ++d) {
                    const int along = i * ratio + d % ratio;
                    const int across = (horizontal ? c.from.Y : c.from.X) * ratio + d / ratio;
                    const bool painted = (horizontal ? image.pixel(along, across)
                                                     : image.pixel(across, along)) != kWhite;
                    all = all && painted;
                    any = any || painted;
                }
                EXPECT_EQ(all, any) << "a logical pixel only partly painted, ratio " << ratio;
                row += any ? '#' : '.';
            }
            EXPECT_EQ(row, c.row) << "ratio " << ratio << " style " << c.style << " from "
                                  << c.from.X << "," << c.from.Y;
        }
    }
}

TEST_F(QtCanvasDrawing, ZeroLengthLinesAndClearPensDrawNothing) {
    Draw([](QtCanvas& c) {
        c.SetPen(TPlotPen{base::clBlue, 2, psSolid, true});
        c.Line({5, 5}, {5, 5});
        c.SetPen(TPlotPen{base::clBlue, 1, psClear, true});
        c.Line({1, 1}, {20, 20});
        c.SetPen(TPlotPen{base::clBlue, 1, psSolid, false});
        c.Line({1, 1}, {20, 20});
    });
    EXPECT_EQ(Painted(), (TRect{40, 30, 0, 0}));
}

TEST_F(QtCanvasDrawing, ClipLimitsDrawingUntilCleared) {
    Draw([](QtCanvas& c) {
        c.SetBrush(TPlotBrush{base::clGreen, bsSolid});
        c.SetClip(TRect{10, 10, 20, 20});
        c.FillRect(TRect{0, 0, 40, 30});
        c.ClearClip();
        c.SetPixel({1, 1}, base::clRed);
    });
    EXPECT_EQ(At(10, 10), qRgb(0, 128, 0));
    EXPECT_EQ(At(19, 19), qRgb(0, 128, 0));
    EXPECT_EQ(At(20, 20), kWhite);
    EXPECT_EQ(At(9, 9), kWhite);
    EXPECT_EQ(At(1, 1), qRgb(255, 0, 0));
}

TEST_F(QtCanvasDrawing, TextIsAnchoredByItsAlignment) {
    TPlotFont font;
    font.Color = base::clRed;
    font.PixelSize = 12;
    TRect right_aligned, centred;
    Draw([&](QtCanvas& c) {
        c.SetFont(font);
        c.TextOut({30, 2}, TTextAlign{haRight, vaTop}, "WW");
    });
    right_aligned = Painted();
    image_.fill(Qt::white);
    Draw([&](QtCanvas& c) {
        c.SetFont(font);
        c.TextOut({20, 28}, TTextAlign{haCenter, vaBottom}, "WW");
    });
    centred = Painted();
    // The ink lies left of the anchor and below it, or around it and above it.
    EXPECT_LE(right_aligned.Right, 30);
    EXPECT_GE(right_aligned.Top, 2);
    EXPECT_LT(centred.Left, 20);
    EXPECT_GT(centred.Right, 20);
    EXPECT_LE(centred.Bottom, 28);
}

TEST(QtCanvas, WithoutAPainterDrawingDoesNothingAndMeasuringWorks) {
    QtCanvas canvas;
    canvas.SetBrush(TPlotBrush{});
    canvas.FillRect(TRect{0, 0, 10, 10});
    canvas.TextOut({0, 0}, TTextAlign{}, "x");
    EXPECT_GT(canvas.TextWidth("WW"), canvas.TextWidth("W"));
    EXPECT_GT(canvas.TextHeight("W"), 0);
}

// A font the machine lacks is substituted: text still measures and draws.
TEST_F(QtCanvasDrawing, AMissingFontIsSubstituted) {
    TPlotFont missing;
    missing.Name = "No Such Font Family 3000";
    missing.PixelSize = 16;
    Draw([&](QtCanvas& c) {
        c.SetFont(missing);
        EXPECT_GT(c.TextWidth("MinSWR"), 0);
        EXPECT_GT(c.TextHeight("MinSWR"), 0);
        c.TextOut({2, 2}, TTextAlign{}, "MinSWR");
    });
    const TRect painted = Painted();
    EXPECT_LT(painted.Left, painted.Right) << "nothing drawn";
}

// Widths are kept between layouts, per font: the same text in another font measures anew.
TEST(QtCanvas, KeptWidthsBelongToTheirFont) {
    QtCanvas canvas;
    TPlotFont small;
    small.PixelSize = 8;
    TPlotFont large = small;
    large.PixelSize = 24;
    canvas.SetFont(small);
    const int32_t narrow = canvas.TextWidth("14,100");
    canvas.SetFont(large);
    const int32_t wide = canvas.TextWidth("14,100");
    EXPECT_GT(wide, narrow);
    EXPECT_EQ(wide, QFontMetrics(QtCanvas::ToQFont(large)).horizontalAdvance("14,100"));
    canvas.SetFont(small);
    EXPECT_EQ(canvas.TextWidth("14,100"), narrow);
}

} // namespace
} // namespace chart
