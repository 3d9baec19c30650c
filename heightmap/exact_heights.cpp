#include "heightmap/exact_heights.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>

#include "heightmap/sizes.h"

namespace height_map {

namespace {

using sizes::kBelowTolerance;
using sizes::kPlateLength;
using sizes::kPlateWidth;

constexpr double kSizeStep = 0.01;  // pixel sizes are whole hundredths of a unit
// Past this, products of coordinates could overflow; no model is that large.
constexpr double kFarthest = 1e100;
// Vertices snap to 1/256 of a pixel, so that the edge tests are exact in
// 64-bit integers: the clipped coordinates stay under 2^24 and the products
// under 2^50.
constexpr std::int64_t kSub = 256;

using Point = std::array<double, 2>;  // (u, w): pixel (r, c) has its centre at (r, c)

struct Fixed {
    std::int64_t u, w;
};

struct Grid {
    int rows, cols;
    float* top;
    unsigned char* under;
};

// A facet's height at pixel (r, c) is y0 + dr * r + dc * c, held within the
// facet's own heights: snapping can take a centre a hair outside the facet,
// where a steep plane runs far off.
struct Plane {
    double y0, dr, dc, lo, hi;
};

// The pixel size in hundredths, 0 where it is no whole number of them that
// divides both sides of the plate.
long hundredths(double pixel_size) {
    const long length = std::lround(kPlateLength / kSizeStep);
    const long width = std::lround(kPlateWidth / kSizeStep);
    const double h = pixel_size / kSizeStep;
    if (!(h >= 0.5 && h <= width)) return 0;
    const long n = std::lround(h);
    if (std::fabs(h - n) > 1e-6) return 0;
    return length % n == 0 && width % n == 0 ? n : 0;
}

bool placeable(const Plate_Triangle& t) {
    for (const auto& v : t.v)
        for (double x : v)
            if (!(std::fabs(x) <= kFarthest)) return false;
    return true;
}

// False for a facet seen edge-on from above.
bool plane_of(const Plate_Triangle& t, double size, Plane& p) {
    const double* a = t.v[0];
    const double ab[3] = {t.v[1][0] - a[0], t.v[1][1] - a[1], t.v[1][2] - a[2]};
    const double ac[3] = {t.v[2][0] - a[0], t.v[2][1] - a[1], t.v[2][2] - a[2]};
    const double nx = ab[1] * ac[2] - ab[2] * ac[1];
    const double ny = ab[2] * ac[0] - ab[0] * ac[2];
    const double nz = ab[0] * ac[1] - ab[1] * ac[0];
    if (ny == 0) return false;
    const double dy_dx = -nx / ny, dy_dz = -nz / ny;
    const double x0 = 0.5 * size - kPlateLength / 2, z0 = kPlateWidth / 2 - 0.5 * size;
    p.y0 = a[1] + dy_dx * (x0 - a[0]) + dy_dz * (z0 - a[2]);
    p.dr = dy_dx * size;
    p.dc = -dy_dz * size;
    p.lo = std::min({t.v[0][1], t.v[1][1], t.v[2][1]});
    p.hi = std::max({t.v[0][1], t.v[1][1], t.v[2][1]});
    return std::isfinite(p.y0) && std::isfinite(p.dr) && std::isfinite(p.dc);
}

// Most facets of a fine mesh are smaller than a pixel and cover no centre:
// their plane is worked out only once a centre is found inside.
class Lazy_Plane {
public:
    Lazy_Plane(const Plate_Triangle& t, double size) : t_(t), size_(size) {}
    // Null for a facet seen edge-on from above.
    const Plane* get() {
        if (state_ == 0) state_ = plane_of(t_, size_, plane_) ? 1 : -1;
        return state_ > 0 ? &plane_ : nullptr;
    }

private:
    const Plate_Triangle& t_;
    double size_;
    Plane plane_{};
    int state_ = 0;  // 0: not yet worked out
};

// Where segment pq meets coordinate `axis` = at, worked out from the two
// ends in a fixed order: both facets on an edge get the same point.
Point crossing(Point p, Point q, int axis, double at) {
    if (q < p) std::swap(p, q);
    const double t = (at - p[axis]) / (q[axis] - p[axis]);
    Point x;
    x[axis] = at;
    x[1 - axis] = p[1 - axis] + t * (q[1 - axis] - p[1 - axis]);
    return x;
}

// Keeps the part of a convex polygon where side * coordinate <= side * at;
// it gains at most one vertex.
int clip(const Point* in, int n, int axis, double at, double side, Point* out) {
    int m = 0;
    for (int k = 0; k < n; ++k) {
        const Point& p = in[k];
        const Point& q = in[(k + 1) % n];
        const bool p_in = side * p[axis] <= side * at, q_in = side * q[axis] <= side * at;
        if (p_in) out[m++] = p;
        if (p_in != q_in) out[m++] = crossing(p, q, axis, at);
    }
    return m;
}

std::int64_t to_fixed(double v) {
    const double s = v * static_cast<double>(kSub);
    return static_cast<std::int64_t>(s < 0 ? s - 0.5 : s + 0.5);
}

// The pixel rows (or columns) a fixed-point span covers. No coordinate is
// below -1 pixel here, so a start below 0 rounds up to 0; an end below 0
// rounds up to 0 too, a row the edge tests then find empty.
int first_pixel(std::int64_t v) { return static_cast<int>((v + kSub - 1) / kSub); }
int last_pixel(std::int64_t v, int size) {
    return static_cast<int>(std::min<std::int64_t>(size - 1, v / kSub));
}

void put(Grid& g, std::size_t i, double y) {
    if (y > g.top[i]) g.top[i] = static_cast<float>(y);
    if (y < -kBelowTolerance) g.under[i] = 1;
}

// Every pixel centre inside the triangle, by edge functions stepped one
// pixel at a time. A centre on an edge belongs to the side that a nudge
// towards +u (or +w, for an edge along u) enters: of two facets on opposite
// sides of an edge exactly one takes it, and of the facets around a vertex
// exactly one takes the vertex.
void fill(Fixed a, Fixed b, Fixed c, Lazy_Plane& lazy_plane, Grid& g) {
    const int r0 = first_pixel(std::min({a.u, b.u, c.u}));
    const int r1 = last_pixel(std::max({a.u, b.u, c.u}), g.rows);
    const int c0 = first_pixel(std::min({a.w, b.w, c.w}));
    const int c1 = last_pixel(std::max({a.w, b.w, c.w}), g.cols);
    if (r0 > r1 || c0 > c1) return;
    const std::int64_t area = (b.u - a.u) * (c.w - a.w) - (b.w - a.w) * (c.u - a.u);
    if (area == 0) return;
    if (area < 0) std::swap(b, c);
    const Fixed v[3] = {a, b, c};
    std::int64_t e[3], step_r[3], step_c[3];
    for (int k = 0; k < 3; ++k) {
        const Fixed& p = v[k];
        const Fixed& q = v[(k + 1) % 3];
        const std::int64_t du = q.u - p.u, dw = q.w - p.w;
        const bool takes_ties = dw < 0 || (dw == 0 && du > 0);
        // du * (w - p.w) - dw * (u - p.u): positive inside; one less on an
        // edge that leaves its ties to the neighbour, so ">= 0" tests both.
        e[k] = du * (c0 * kSub - p.w) - dw * (r0 * kSub - p.u) - (takes_ties ? 0 : 1);
        step_r[k] = -dw * kSub;
        step_c[k] = du * kSub;
    }
    for (int r = r0; r <= r1; ++r) {
        std::int64_t e0 = e[0], e1 = e[1], e2 = e[2];
        const std::size_t row = static_cast<std::size_t>(r) * g.cols;
        for (int col = c0; col <= c1; ++col) {
            if ((e0 | e1 | e2) >= 0) {
                const Plane* plane = lazy_plane.get();
                if (plane == nullptr) return;
                const double y = plane->y0 + plane->dr * r + plane->dc * col;
                put(g, row + col, std::min(std::max(y, plane->lo), plane->hi));
            }
            e0 += step_c[0];
            e1 += step_c[1];
            e2 += step_c[2];
        }
        for (int k = 0; k < 3; ++k) e[k] += step_r[k];
    }
}

// Whether no whole number lies within [lo, hi] widened by the snap: then
// the facet holds no pixel centre, as most facets of a fine mesh do not.
bool holds_no_centre(double lo, double hi) {
    constexpr double kSnap = 1.0 / kSub;
    return std::floor(hi + kSnap) < std::ceil(lo - kSnap);
}

void draw(const Plate_Triangle& t, double size, Grid& g) {
    const double per_unit = 1 / size;
    Point poly[2][8];
    for (int k = 0; k < 3; ++k)
        poly[0][k] = {(t.v[k][0] + kPlateLength / 2) * per_unit - 0.5,
                      (kPlateWidth / 2 - t.v[k][2]) * per_unit - 0.5};
    const auto [u_lo, u_hi] = std::minmax({poly[0][0][0], poly[0][1][0], poly[0][2][0]});
    const auto [w_lo, w_hi] = std::minmax({poly[0][0][1], poly[0][1][1], poly[0][2][1]});
    if (u_hi < 0 || u_lo > g.rows - 1 || w_hi < 0 || w_lo > g.cols - 1) return;
    if (holds_no_centre(u_lo, u_hi) || holds_no_centre(w_lo, w_hi)) return;
    Lazy_Plane plane(t, size);
    int n = 3, in = 0;
    // Facets reaching a pixel past the edge are cut there, keeping the
    // fixed-point coordinates small; no centre lies within a pixel of the cut.
    if (u_lo < -1 || u_hi > g.rows || w_lo < -1 || w_hi > g.cols) {
        const double bounds[4][3] = {
            {0, -1, -1}, {0, double(g.rows), 1}, {1, -1, -1}, {1, double(g.cols), 1}};
        for (const auto& b : bounds) {
            n = clip(poly[in], n, static_cast<int>(b[0]), b[1], b[2], poly[1 - in]);
            in = 1 - in;
        }
    }
    Fixed f[8];
    for (int k = 0; k < n; ++k) f[k] = {to_fixed(poly[in][k][0]), to_fixed(poly[in][k][1])};
    for (int k = 1; k + 1 < n; ++k) fill(f[0], f[k], f[k + 1], plane, g);
}

}  // namespace

Status check_pixel_size(double pixel_size) {
    if (hundredths(pixel_size) > 0) return Status::ok();
    return Status::failed("a pixel size must be whole hundredths of a unit dividing 360 and 150");
}

Height_Rasterizer::Height_Rasterizer(double pixel_size) {
    const long n = hundredths(pixel_size);
    assert(n > 0 && "check_pixel_size first");
    if (n == 0) return;
    map_.pixel_size = n * kSizeStep;
    map_.rows = static_cast<int>(std::lround(kPlateLength / kSizeStep) / n);
    map_.cols = static_cast<int>(std::lround(kPlateWidth / kSizeStep) / n);
    const std::size_t pixels = static_cast<std::size_t>(map_.rows) * map_.cols;
    top_.assign(pixels, -std::numeric_limits<float>::infinity());
    under_.assign(pixels, 0);
}

void Height_Rasterizer::draw(const Plate_Triangle* facets, std::size_t count) {
    if (top_.empty()) return;
    Grid g{map_.rows, map_.cols, top_.data(), under_.data()};
    for (std::size_t k = 0; k < count; ++k) {
        if (placeable(facets[k]))
            height_map::draw(facets[k], map_.pixel_size, g);
        else
            ++map_.non_finite;
    }
}

void Height_Rasterizer::merge(Height_Rasterizer&& other) {
    assert(other.top_.size() == top_.size());
    for (std::size_t i = 0; i < top_.size(); ++i) {
        top_[i] = std::max(top_[i], other.top_[i]);
        under_[i] |= other.under_[i];
    }
    map_.non_finite += other.map_.non_finite;
    other.top_ = {};
    other.under_ = {};
}

Exact_Map Height_Rasterizer::finish() {
    map_.heights.resize(top_.size());
    for (int r = 0; r < map_.rows; ++r)
        for (int c = 0; c < map_.cols; ++c) {
            const std::size_t i = static_cast<std::size_t>(r) * map_.cols + c;
            const float h = top_[i] > 0 ? top_[i] : 0.0f;  // the plate hides what is under it
            map_.heights[i] = h;
            map_.below_plate += under_[i];
            if (h <= 0) continue;
            map_.empty = false;
            if (r == 0 || c == 0 || r == map_.rows - 1 || c == map_.cols - 1) ++map_.cut;
        }
    return std::move(map_);
}

Exact_Map rasterize_heights(const std::vector<Plate_Triangle>& facets, double pixel_size) {
    Height_Rasterizer rasterizer(pixel_size);
    rasterizer.draw(facets.data(), facets.size());
    return rasterizer.finish();
}

}  // namespace height_map
