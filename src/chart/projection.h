// The chart seen in 3D: where a point of the chart's box lands on the control.
//
// Model space: x and y are pixels of the front plane, where the axes map values exactly as
// in 2D; z is the depth in pixels behind the front plane (0 at the front, the box's depth at
// the back wall).
//
// - Orthogonal on: an oblique projection. The front plane keeps its laid-out pixels (moved,
//   zoomed and tilted only by the offsets, zoom and tilt); depth slants sideways with the
//   rotation and up with the elevation. The default 15 degrees each slant it by half the
//   depth each way; the straight front view (360, 360) shows no depth.
// - Orthogonal off: the box is turned about its centre, first about the vertical (rotation),
//   then about the horizontal (elevation), seen in perspective (none at 0 percent, strongest
//   at 100), fitted into the area it was laid out for, then tilted, zoomed and moved.
//
// Both are one 3 x 4 matrix in homogeneous coordinates. Every result is finite and limited
// to +/-kCoordLimit before it is converted to pixels, whatever the zoom and offsets.
#pragma once

#include "chart/canvas.h"
#include "chart/graphics.h"

#include <array>
#include <cstdint>
#include <optional>

namespace chart {

struct TPlotView3DOptions;

struct TPointF {
    double X = 0.0;
    double Y = 0.0;
};

class Projection {
public:
    // Far outside any control, well inside int32: coordinates saturate here.
    static constexpr double kCoordLimit = 1 << 22;

    // The identity on the front plane (z is ignored), seen from straight in front.
    Projection();

    // The oblique projection: screen = centre + zoom * tilt(x + kx z - cx, y - ky z - cy)
    // + offset, where (cx, cy) is the pivot.
    static Projection Oblique(double kx, double ky, TPointF pivot, double zoom, double tilt_deg,
                              TPointF offset);
    // The turned box: centre is the box's centre, yaw and pitch in degrees, eye_distance 0
    // for a parallel view; scale and shift place the result (before tilt, zoom, offset).
    // Tilt is in degrees too.
    struct Turn {
        double Yaw = 0.0;
        double Pitch = 0.0;
        double EyeDistance = 0.0; // 0: parallel
    };
    static Projection Turned(const Turn& turn, const std::array<double, 3>& centre, double scale,
                             TPointF shift, TPointF pivot, double zoom, double tilt_deg,
                             TPointF offset);

    [[nodiscard]] TPointF Project(double x, double y, double z) const;
    // Rounded to the nearest pixel, limited to +/-kCoordLimit first.
    [[nodiscard]] static TPoint ToPixel(TPointF p);

    // The point of the front plane (z = 0) seen at a screen point; none when the front plane
    // is seen edge-on.
    [[nodiscard]] std::optional<TPointF> FrontPlanePoint(TPointF screen) const;

    // Where the viewer is in model space, homogeneous: W = 1 for an eye point, W = 0 for a
    // view from infinitely far in the direction (X, Y, Z).
    struct Eye {
        double X = 0.0;
        double Y = 0.0;
        double Z = -1.0;
        double W = 0.0;
    };
    [[nodiscard]] const Eye& Viewer() const { return eye_; }
    // True when the viewer is on the side of the plane a x + b y + c z + d = 0 where the
    // expression is positive (so a face whose normal is (a, b, c) faces the viewer).
    [[nodiscard]] bool Sees(double a, double b, double c, double d) const;
    // Larger for points nearer the viewer: the painter draws far things first.
    [[nodiscard]] double Nearness(double x, double y, double z) const;

    // The projection restricted to one depth: a plane-to-screen map for tight loops.
    class PlaneMap {
    public:
        [[nodiscard]] TPointF Map(double x, double y) const;
        // Row r, column c of the map: screen = (row 0, row 1) / row 2 applied to (x, y, 1).
        [[nodiscard]] double H(int r, int c) const { return h_[r][c]; }
        // No division: the view is parallel (oblique or turned without perspective).
        [[nodiscard]] bool Affine() const {
            return h_[2][0] == 0 && h_[2][1] == 0 && h_[2][2] == 1;
        }

    private:
        friend class Projection;
        double h_[3][3] = {};
    };
    [[nodiscard]] PlaneMap AtDepth(double z) const;

private:
    static Projection FromMatrix(const double (&m)[3][4], const Eye& eye);

    double m_[3][4] = {};
    Eye eye_;
};

// Where the 3D chart goes: the front plane the axes map to, the depth behind it, and the
// projection that fits the box into the area the 2D layout left for the plot.
struct TView3DFrame {
    TRect Area;        // the plot area as laid out for 2D: the box is fitted into it
    TRect Front;       // the front plane (the plot area in 3D)
    int32_t Depth = 0; // pixels behind the front plane
    Projection View;
};

// Lays out the 3D box in area. Bad settings are brought into range: angles are taken modulo
// 360 (non-finite ones as their defaults), perspective to 0..100, zoom to 1..kMaxZoom percent.
[[nodiscard]] TView3DFrame LayOut3D(const TRect& area, const TPlotView3DOptions& options,
                                    int32_t depth_percent);

inline constexpr double kMaxZoom = 1e6; // percent

// The front-plane pixel under a screen pixel along one direction: for a horizontal axis the
// x of the front-plane point seen at (screen_pos, the front plane's middle row), for a
// vertical one the y seen at (its middle column, screen_pos). When the front plane is seen
// edge-on the screen position is taken as it is.
[[nodiscard]] double FrontPlanePos(const TView3DFrame& frame, bool horizontal, double screen_pos);

} // namespace chart
