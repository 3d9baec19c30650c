// Writes the sample insole models of 250_test/: a closed mesh of a left
// foot insole (flat bottom, side wall, shaped top with a raised heel cup rim,
// a medial arch bump and a metatarsal pad), in binary and ASCII STL, and its
// mirror image for the right foot. The output is the same on every run.
//
//   veltrim-make-samples <folder>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "model/stl_writer.h"
#include "model/triangle.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kLength = 250.0;  // heel (x = 0) to toe (x = kLength)

struct Vec {
    double x, y, z;
};

double smoothstep(double edge0, double edge1, double x) {
    const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

// Catmull-Rom through (xs[k], ys[k]); xs evenly spaced is not required.
double profile(const std::vector<double>& xs, const std::vector<double>& ys, double x) {
    const std::size_t n = xs.size();
    if (x <= xs.front()) return ys.front();
    if (x >= xs.back()) return ys.back();
    std::size_t k = 0;
    while (x > xs[k + 1]) ++k;
    const double h = xs[k + 1] - xs[k];
    const double t = (x - xs[k]) / h;
    auto slope = [&](std::size_t i) {
        const std::size_t a = i == 0 ? 0 : i - 1;
        const std::size_t b = std::min(i + 1, n - 1);
        return (ys[b] - ys[a]) / (xs[b] - xs[a]);
    };
    const double m0 = slope(k) * h, m1 = slope(k + 1) * h;
    const double t2 = t * t, t3 = t2 * t;
    return (2 * t3 - 3 * t2 + 1) * ys[k] + (t3 - 2 * t2 + t) * m0 + (-2 * t3 + 3 * t2) * ys[k + 1] +
           (t3 - t2) * m1;
}

// The foot outline: at length x, the lateral edge (z < 0) and the medial
// edge (z > 0) of a left foot. Round heel and toe caps close both ends.
void outline(double x, double& z_lateral, double& z_medial) {
    static const std::vector<double> xs = {0, 35, 70, 100, 130, 165, 190, 220, 250};
    static const std::vector<double> medial = {31, 32, 27, 22, 28, 46, 52, 48, 40};
    static const std::vector<double> lateral = {31, 32, 35, 37, 40, 45, 47, 40, 26};
    constexpr double kHeelRadius = 34.0, kToeRadius = 55.0;
    double cap = 1.0;
    if (x < kHeelRadius) {
        const double s = (kHeelRadius - x) / kHeelRadius;
        cap = std::sqrt(std::max(0.0, 1.0 - s * s));
    } else if (x > kLength - kToeRadius) {
        const double s = (x - (kLength - kToeRadius)) / kToeRadius;
        cap = std::sqrt(std::max(0.0, 1.0 - s * s));
    }
    // The toe tip sits toward the big toe, on the medial side.
    const double centre = 12.0 * smoothstep(180.0, kLength, x);
    z_medial = centre + profile(xs, medial, x) * cap;
    z_lateral = centre - profile(xs, lateral, x) * cap;
}

// Top surface height above the flat bottom (y = 0) at length x, across
// position t (0 lateral edge, 1 medial edge), z between the edges.
double top_height(double x, double t, double z, double z_lateral, double z_medial) {
    const double base = 4.0 - 1.5 * smoothstep(190.0, kLength, x);
    // Heel cup: a rim rising toward the outline around the heel.
    const double edge = std::min({z - z_lateral, z_medial - z, x});
    const double rim_width = 14.0;
    const double rim_fall = std::max(0.0, 1.0 - edge / rim_width);
    const double rim = 10.0 * (1.0 - smoothstep(60.0, 120.0, x)) * rim_fall * rim_fall;
    const double ax = (x - 110.0) / 30.0, at = (t - 0.82) / 0.22;
    const double arch = 9.0 * std::exp(-ax * ax) * std::exp(-at * at);
    const double px = (x - 165.0) / 14.0, pt = (t - 0.5) / 0.15;
    const double pad = 2.5 * std::exp(-px * px) * std::exp(-pt * pt);
    return base + rim + arch + pad;
}

class Insole {
public:
    // rows: stations from heel to toe; columns: steps across the foot.
    Insole(int rows, int columns) : rows_(rows), columns_(columns) {}

    std::vector<Triangle> facets(bool right_foot) const {
        std::vector<Triangle> out;
        const int nu = rows_, nv = columns_;
        // Top: rows 0 and nu are the heel and toe tips, where a quad
        // collapses to one triangle.
        for (int i = 0; i < nu; ++i)
            for (int j = 0; j < nv; ++j) {
                const Vec a = top(i, j), b = top(i, j + 1), c = top(i + 1, j + 1),
                          d = top(i + 1, j);
                if (i != 0) add(out, a, b, c, right_foot);
                if (i != nu - 1) add(out, a, c, d, right_foot);
            }
        // Side wall, facing outward; every top edge point starts a facet
        // so that the first-vertex bounds cover the whole outline.
        for (int i = 0; i < nu; ++i) {
            const Vec p0 = top(i, 0), p1 = top(i + 1, 0), b0 = bottom(i, 0), b1 = bottom(i + 1, 0);
            add(out, p1, b1, p0, right_foot);
            add(out, b0, p0, b1, right_foot);
            const Vec q0 = top(i, nv), q1 = top(i + 1, nv), c0 = bottom(i, nv),
                      c1 = bottom(i + 1, nv);
            add(out, q0, c1, q1, right_foot);
            add(out, q0, c0, c1, right_foot);
        }
        // Flat bottom, facing down.
        for (int i = 0; i < nu; ++i) {
            const Vec l0 = bottom(i, 0), l1 = bottom(i + 1, 0), m0 = bottom(i, nv),
                      m1 = bottom(i + 1, nv);
            if (i != nu - 1) add(out, l0, l1, m1, right_foot);
            if (i != 0) add(out, l0, m1, m0, right_foot);
        }
        return out;
    }

private:
    // Stations closer together at the round heel and toe.
    double station(int i) const {
        if (i == 0) return 0.0;
        if (i == rows_) return kLength;
        const double u = static_cast<double>(i) / rows_;
        return kLength * (u - 0.6 * std::sin(2.0 * kPi * u) / (2.0 * kPi));
    }

    Vec top(int i, int j) const {
        const double x = station(i);
        double zl, zm;
        outline(x, zl, zm);
        // At the tips the row is a single point: use one t for all of it.
        const double t = (i == 0 || i == rows_) ? 0.5 : static_cast<double>(j) / columns_;
        const double z = zl + t * (zm - zl);
        return {x, top_height(x, t, z, zl, zm), z};
    }

    Vec bottom(int i, int j) const {
        const Vec p = top(i, j);
        return {p.x, 0.0, p.z};
    }

    static void add(std::vector<Triangle>& out, const Vec& a, const Vec& b, const Vec& c,
                    bool right_foot) {
        Triangle f;
        // The right foot is the left one mirrored in z; the vertex order
        // is swapped so that the facets still face outward.
        const Vec* order[3] = {&a, right_foot ? &c : &b, right_foot ? &b : &c};
        const double s = right_foot ? -1.0 : 1.0;
        for (int k = 0; k < 3; ++k) {
            f.v[k][0] = static_cast<float>(order[k]->x);
            f.v[k][1] = static_cast<float>(order[k]->y);
            f.v[k][2] = static_cast<float>(s * order[k]->z);
        }
        out.push_back(f);
    }

    int rows_, columns_;
};

bool write_file(const std::string& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::perror(path.c_str());
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed) {
        std::fprintf(stderr, "%s: write failed\n", path.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/";
    const Insole fine(200, 100), coarse(110, 56);
    const std::vector<Triangle> left = fine.facets(false), right = fine.facets(true),
                                small = coarse.facets(false);
    // Binary headers must not start with "solid", or readers take them for ASCII.
    bool ok = write_file(dir + "insole_left_binary.stl",
                         stl_binary(left, "Veltrim sample insole, left foot"));
    ok = write_file(dir + "insole_right_binary.stl",
                    stl_binary(right, "Veltrim sample insole, right foot")) &&
         ok;
    ok = write_file(dir + "insole_ascii.stl", stl_ascii(small, "insole_ascii")) && ok;
    if (!ok) return 1;
    std::printf("insole_left_binary.stl  %zu facets\n", left.size());
    std::printf("insole_right_binary.stl %zu facets\n", right.size());
    std::printf("insole_ascii.stl        %zu facets\n", small.size());
    return 0;
}
