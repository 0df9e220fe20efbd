#include "chart/projection.h"

#include "chart/plot.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace chart {

namespace {

constexpr double kDegree = std::numbers::pi / 180.0;
// The slant of the oblique view per sine of its angles: 15 degrees slant by half the depth.
const double kSlant = 0.5 / std::sin(15.0 * kDegree);
// Points behind the eye (never inside the box: the eye stays outside it) are held here.
constexpr double kMinW = 1e-9;

// Sine and cosine of an angle in degrees, exact at the quarter turns, so a straight view
// shows no depth at all and walls seen edge-on stay edge-on.
double SinDeg(double degrees) {
    const double a = std::fmod(degrees, 360.0);
    const double r = a < 0 ? a + 360.0 : a;
    if (r == 0.0 || r == 180.0) {
        return 0.0;
    }
    if (r == 90.0) {
        return 1.0;
    }
    if (r == 270.0) {
        return -1.0;
    }
    return std::sin(r * kDegree);
}

double CosDeg(double degrees) {
    return SinDeg(degrees + 90.0);
}

double Limit(double v) {
    if (std::isnan(v)) {
        return 0.0;
    }
    return std::clamp(v, -Projection::kCoordLimit, Projection::kCoordLimit);
}

TPointF Divide(double x, double y, double w) {
    if (!(w > kMinW)) {
        w = kMinW;
    }
    return TPointF{Limit(x / w), Limit(y / w)};
}

// The screen-space steps after projecting: scale s and shift, then tilt and zoom about the
// pivot, then the offset. A 2 x 3 affine map.
struct Affine {
    double a[2][3];
};

Affine Place(double s, TPointF shift, TPointF pivot, double zoom, double tilt, TPointF offset) {
    const double c = CosDeg(tilt) * zoom;
    const double n = SinDeg(tilt) * zoom;
    // q = pivot + offset + Z R (s u + shift - pivot)
    const double tx = shift.X - pivot.X;
    const double ty = shift.Y - pivot.Y;
    Affine out{};
    out.a[0][0] = c * s;
    out.a[0][1] = -n * s;
    out.a[0][2] = pivot.X + offset.X + c * tx - n * ty;
    out.a[1][0] = n * s;
    out.a[1][1] = c * s;
    out.a[1][2] = pivot.Y + offset.Y + n * tx + c * ty;
    return out;
}

// m = affine (as a 3 x 3 with the row 0 0 1) times b.
void Compose(const Affine& affine, const double (&b)[3][4], double (&m)[3][4]) {
    for (int j = 0; j < 4; ++j) {
        for (int i = 0; i < 2; ++i) {
            m[i][j] =
                affine.a[i][0] * b[0][j] + affine.a[i][1] * b[1][j] + affine.a[i][2] * b[2][j];
        }
        m[2][j] = b[2][j];
    }
}

double Angle(double degrees, double fallback) {
    return std::isfinite(degrees) ? std::fmod(degrees, 360.0) : fallback;
}

} // namespace

Projection::Projection() {
    m_[0][0] = 1.0;
    m_[1][1] = 1.0;
    m_[2][3] = 1.0;
}

Projection Projection::FromMatrix(const double (&m)[3][4], const Eye& eye) {
    Projection p;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 4; ++j) {
            p.m_[i][j] = std::isfinite(m[i][j]) ? m[i][j] : 0.0;
        }
    }
    p.eye_ = eye;
    return p;
}

Projection Projection::Oblique(double kx, double ky, TPointF pivot, double zoom, double tilt_deg,
                               TPointF offset) {
    const double b[3][4] = {{1, 0, kx, 0}, {0, 1, -ky, 0}, {0, 0, 0, 1}};
    double m[3][4];
    Compose(Place(1.0, {0, 0}, pivot, zoom, tilt_deg, offset), b, m);
    // Every point along (-kx, ky, 1) lands on the same pixel: the viewer is the other way.
    return FromMatrix(m, Eye{kx, -ky, -1.0, 0.0});
}

Projection Projection::Turned(const Turn& turn, const std::array<double, 3>& centre, double scale,
                              TPointF shift, TPointF pivot, double zoom, double tilt_deg,
                              TPointF offset) {
    const double cy = CosDeg(turn.Yaw);
    const double sy = SinDeg(turn.Yaw);
    const double cp = CosDeg(turn.Pitch);
    const double sp = SinDeg(turn.Pitch);
    // About the vertical first (depth turns towards +x), then about the horizontal (depth
    // turns upwards): R = Rx(pitch) Ry(yaw).
    const double r[3][3] = {
        {cy, 0, sy},
        {sp * sy, cp, -sp * cy},
        {-cp * sy, sp, cp * cy},
    };
    double b[3][4];
    for (int i = 0; i < 3; ++i) {
        const double t = -(r[i][0] * centre[0] + r[i][1] * centre[1] + r[i][2] * centre[2]);
        for (int j = 0; j < 3; ++j) {
            b[i][j] = r[i][j];
        }
        b[i][3] = t;
    }
    const double d = turn.EyeDistance;
    Eye eye;
    if (d > 0) {
        // w = 1 + depth / d: the turned centre plane keeps its size.
        for (int j = 0; j < 4; ++j) {
            b[2][j] /= d;
        }
        b[2][3] += 1.0;
        // The eye at depth -d in front of the centre, turned back into model space.
        eye = Eye{centre[0] - d * r[2][0], centre[1] - d * r[2][1], centre[2] - d * r[2][2], 1.0};
    } else {
        b[2][0] = b[2][1] = b[2][2] = 0.0;
        b[2][3] = 1.0;
        eye = Eye{-r[2][0], -r[2][1], -r[2][2], 0.0};
    }
    double m[3][4];
    Compose(Place(scale, shift, pivot, zoom, tilt_deg, offset), b, m);
    return FromMatrix(m, eye);
}

TPointF Projection::Project(double x, double y, double z) const {
    const double u = m_[0][0] * x + m_[0][1] * y + m_[0][2] * z + m_[0][3];
    const double v = m_[1][0] * x + m_[1][1] * y + m_[1][2] * z + m_[1][3];
    const double w = m_[2][0] * x + m_[2][1] * y + m_[2][2] * z + m_[2][3];
    return Divide(u, v, w);
}

TPoint Projection::ToPixel(TPointF p) {
    return TPoint{static_cast<int32_t>(std::floor(Limit(p.X) + 0.5)),
                  static_cast<int32_t>(std::floor(Limit(p.Y) + 0.5))};
}

std::optional<TPointF> Projection::FrontPlanePoint(TPointF screen) const {
    // The front plane's map: columns x, y and the constant of the matrix.
    double h[3][3];
    double largest = 0.0;
    for (int i = 0; i < 3; ++i) {
        h[i][0] = m_[i][0];
        h[i][1] = m_[i][1];
        h[i][2] = m_[i][3];
        for (int j = 0; j < 3; ++j) {
            largest = std::max(largest, std::abs(h[i][j]));
        }
    }
    if (!(largest > 0)) {
        return std::nullopt;
    }
    for (auto& row : h) {
        for (double& e : row) {
            e /= largest;
        }
    }
    // Adjugate: inverse up to the determinant's factor, which the division below cancels.
    const double a00 = h[1][1] * h[2][2] - h[1][2] * h[2][1];
    const double a01 = h[0][2] * h[2][1] - h[0][1] * h[2][2];
    const double a02 = h[0][1] * h[1][2] - h[0][2] * h[1][1];
    const double a10 = h[1][2] * h[2][0] - h[1][0] * h[2][2];
    const double a11 = h[0][0] * h[2][2] - h[0][2] * h[2][0];
    const double a12 = h[0][2] * h[1][0] - h[0][0] * h[1][2];
    const double a20 = h[1][0] * h[2][1] - h[1][1] * h[2][0];
    const double a21 = h[0][1] * h[2][0] - h[0][0] * h[2][1];
    const double a22 = h[0][0] * h[1][1] - h[0][1] * h[1][0];
    const double det = h[0][0] * a00 + h[0][1] * a10 + h[0][2] * a20;
    if (!(std::abs(det) > 1e-12)) {
        return std::nullopt;
    }
    const double x = a00 * screen.X + a01 * screen.Y + a02;
    const double y = a10 * screen.X + a11 * screen.Y + a12;
    const double w = a20 * screen.X + a21 * screen.Y + a22;
    if (!(std::abs(w) > 1e-300)) {
        return std::nullopt;
    }
    const TPointF p{x / w, y / w};
    if (!std::isfinite(p.X) || !std::isfinite(p.Y)) {
        return std::nullopt;
    }
    return p;
}

bool Projection::Sees(double a, double b, double c, double d) const {
    return a * eye_.X + b * eye_.Y + c * eye_.Z + d * eye_.W > 0;
}

double Projection::Nearness(double x, double y, double z) const {
    if (eye_.W == 0) {
        return x * eye_.X + y * eye_.Y + z * eye_.Z;
    }
    const double dx = x - eye_.X;
    const double dy = y - eye_.Y;
    const double dz = z - eye_.Z;
    return -(dx * dx + dy * dy + dz * dz);
}

Projection::PlaneMap Projection::AtDepth(double z) const {
    PlaneMap map;
    for (int i = 0; i < 3; ++i) {
        map.h_[i][0] = m_[i][0];
        map.h_[i][1] = m_[i][1];
        map.h_[i][2] = m_[i][2] * z + m_[i][3];
    }
    return map;
}

TPointF Projection::PlaneMap::Map(double x, double y) const {
    const double u = h_[0][0] * x + h_[0][1] * y + h_[0][2];
    const double v = h_[1][0] * x + h_[1][1] * y + h_[1][2];
    const double w = h_[2][0] * x + h_[2][1] * y + h_[2][2];
    return Divide(u, v, w);
}

TView3DFrame LayOut3D(const TRect& area, const TPlotView3DOptions& options, int32_t depth_percent) {
    TView3DFrame frame;
    frame.Area = area;
    frame.Front = area;
    frame.Front.Right = std::max(area.Right, area.Left + 1);
    frame.Front.Bottom = std::max(area.Bottom, area.Top + 1);
    const double width = std::max(area.Width(), 0);
    const double height = std::max(area.Height(), 0);
    const int64_t percent = std::clamp(depth_percent, 0, 100);
    frame.Depth = static_cast<int32_t>(int64_t{std::max(std::min(area.Width(), area.Height()), 0)} *
                                       percent / 100);
    const double depth = frame.Depth;

    const TPlotView3DOptions defaults;
    const double yaw = 360.0 - Angle(options.Rotation, defaults.Rotation);
    const double pitch = 360.0 - Angle(options.Elevation, defaults.Elevation);
    const double tilt = options.Tilt % 360;
    const double zoom_percent = std::isfinite(options.Zoom) ? options.Zoom : defaults.Zoom;
    const double zoom = std::clamp(zoom_percent, 1.0, kMaxZoom) / 100.0;
    const TPointF offset{static_cast<double>(options.HorizOffset),
                         static_cast<double>(options.VertOffset)};
    const TPointF pivot{(static_cast<double>(area.Left) + area.Right) / 2,
                        (static_cast<double>(area.Top) + area.Bottom) / 2};

    if (options.Orthogonal) {
        const double kx = std::clamp(SinDeg(yaw) * kSlant, -1.0, 1.0);
        const double ky = std::clamp(SinDeg(pitch) * kSlant, -1.0, 1.0);
        // The front plane gives up the room the slanted depth takes, so the box fills the
        // area as the flat chart did.
        const auto dx = static_cast<int32_t>(std::lround(kx * depth));
        const auto dy = static_cast<int32_t>(std::lround(ky * depth));
        TRect& f = frame.Front;
        (dx > 0 ? f.Right : f.Left) -= dx;
        (dy > 0 ? f.Top : f.Bottom) += dy;
        f.Right = std::max(f.Right, f.Left + 1);
        f.Bottom = std::max(f.Bottom, f.Top + 1);
        frame.View = Projection::Oblique(kx, ky, pivot, zoom, tilt, offset);
        return frame;
    }

    Projection::Turn turn{yaw, pitch, 0.0};
    const int32_t perspective = std::clamp(options.Perspective, 0, 100);
    const double half_diagonal = 0.5 * std::sqrt(width * width + height * height + depth * depth);
    if (perspective > 0) {
        // 1.5 half-diagonals at 100 percent (the near corner three times the size of the far
        // one), about 13 at the default 15.
        turn.EyeDistance =
            std::max(half_diagonal, 1.0) * (1.5 + 2.0 * (100.0 - perspective) / perspective);
    }
    const std::array<double, 3> centre{pivot.X, pivot.Y, depth / 2};
    const Projection bare =
        Projection::Turned(turn, centre, 1.0, {0, 0}, pivot, 1.0, 0.0, TPointF{0, 0});
    double x0 = Projection::kCoordLimit;
    double y0 = Projection::kCoordLimit;
    double x1 = -Projection::kCoordLimit;
    double y1 = -Projection::kCoordLimit;
    for (const int32_t x : {area.Left, area.Right}) {
        for (const int32_t y : {area.Top, area.Bottom}) {
            for (const double z : {0.0, depth}) {
                const TPointF p = bare.Project(x, y, z);
                x0 = std::min(x0, p.X);
                y0 = std::min(y0, p.Y);
                x1 = std::max(x1, p.X);
                y1 = std::max(y1, p.Y);
            }
        }
    }
    // The turned box's outline fills the area as far as the tighter direction allows.
    const double sx = x1 - x0 > 1e-9 ? width / (x1 - x0) : 1e9;
    const double sy = y1 - y0 > 1e-9 ? height / (y1 - y0) : 1e9;
    double scale = std::min(sx, sy);
    if (!(scale < 1e9)) {
        scale = 1.0;
    }
    const TPointF shift{pivot.X - scale * (x0 + x1) / 2, pivot.Y - scale * (y0 + y1) / 2};
    frame.View = Projection::Turned(turn, centre, scale, shift, pivot, zoom, tilt, offset);
    return frame;
}

double FrontPlanePos(const TView3DFrame& frame, bool horizontal, double screen_pos) {
    const TRect& f = frame.Front;
    const TPointF middle = frame.View.Project((static_cast<double>(f.Left) + f.Right) / 2,
                                              (static_cast<double>(f.Top) + f.Bottom) / 2, 0.0);
    const TPointF screen =
        horizontal ? TPointF{screen_pos, middle.Y} : TPointF{middle.X, screen_pos};
    const std::optional<TPointF> p = frame.View.FrontPlanePoint(screen);
    if (!p) {
        return screen_pos;
    }
    return horizontal ? p->X : p->Y;
}

} // namespace chart
