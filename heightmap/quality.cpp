#include "heightmap/quality.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "heightmap/sizes.h"

namespace height_map {

namespace {

using sizes::kCaptureHeight;
using sizes::kCaptureWidth;

constexpr double kPlateY = -22.5;
// Float rounding of the model transform must not put a model that stands on
// the plate under it: a twentieth of a gray level is still on the plate.
constexpr double kBelowTolerance = 0.01;

struct Point {
    double x, y, z;
};

Point transform(const double* m, const float* v) {
    return {m[0] * v[0] + m[4] * v[1] + m[8] * v[2] + m[12],
            m[1] * v[0] + m[5] * v[1] + m[9] * v[2] + m[13],
            m[2] * v[0] + m[6] * v[1] + m[10] * v[2] + m[14]};
}

// Marks the capture pixels whose centre lies inside the facet (seen from
// above, edges included) where the facet is under the plate there.
void mark_below(const Point& a, const Point& b, const Point& c, std::vector<bool>& marked) {
    const double limit = kPlateY - kBelowTolerance;
    if (a.y >= limit && b.y >= limit && c.y >= limit) return;
    // Pixel (i, j) has its centre over plate x = i - 179.5, z = 74.5 - j.
    auto column = [](double x) { return x + 179.5; };
    auto row = [](double z) { return 74.5 - z; };
    const double ia = column(a.x), ib = column(b.x), ic = column(c.x);
    const double ja = row(a.z), jb = row(b.z), jc = row(c.z);
    const int i0 = std::max(0, static_cast<int>(std::ceil(std::min({ia, ib, ic}))));
    const int i1 =
        std::min(kCaptureWidth - 1, static_cast<int>(std::floor(std::max({ia, ib, ic}))));
    const int j0 = std::max(0, static_cast<int>(std::ceil(std::min({ja, jb, jc}))));
    const int j1 =
        std::min(kCaptureHeight - 1, static_cast<int>(std::floor(std::max({ja, jb, jc}))));
    const double area = (ib - ia) * (jc - ja) - (ic - ia) * (jb - ja);
    if (area == 0.0) return;  // seen edge-on from above: covers no pixel centre
    for (int j = j0; j <= j1; ++j)
        for (int i = i0; i <= i1; ++i) {
            const double wa = ((ib - i) * (jc - j) - (ic - i) * (jb - j)) / area;
            const double wb = ((ic - i) * (ja - j) - (ia - i) * (jc - j)) / area;
            const double wc = 1.0 - wa - wb;
            if (wa < 0 || wb < 0 || wc < 0) continue;
            if (wa * a.y + wb * b.y + wc * c.y < limit)
                marked[static_cast<std::size_t>(j) * kCaptureWidth + i] = true;
        }
}

}  // namespace

void count_gray_problems(const unsigned char* gray, Quality& quality) {
    quality.clipped = 0;
    quality.cut = 0;
    for (int j = 0; j < kCaptureHeight; ++j)
        for (int i = 0; i < kCaptureWidth; ++i) {
            const unsigned char v = gray[j * kCaptureWidth + i];
            if (v == 255) ++quality.clipped;
            const bool border =
                i == 0 || j == 0 || i == kCaptureWidth - 1 || j == kCaptureHeight - 1;
            if (border && v > 0) ++quality.cut;
        }
}

int count_below_plate(const float* facets, std::size_t count, const double* to_plate) {
    std::vector<bool> marked(static_cast<std::size_t>(kCaptureWidth) * kCaptureHeight);
    for (std::size_t k = 0; k < count; ++k) {
        const float* f = facets + 9 * k;
        mark_below(transform(to_plate, f), transform(to_plate, f + 3), transform(to_plate, f + 6),
                   marked);
    }
    return static_cast<int>(std::count(marked.begin(), marked.end(), true));
}

std::string describe(const Quality& q) {
    std::string text;
    auto add = [&text](int n, const char* what) {
        if (n == 0) return;
        if (!text.empty()) text += "; ";
        text += std::to_string(n) + what;
    };
    add(q.clipped, " pixels clipped at 255 (51 units or more above the plate)");
    add(q.cut, " pixels of the model on the capture border (cut off)");
    add(q.below_plate, " pixels with part of the model below the plate (hidden)");
    return text;
}

}  // namespace height_map
