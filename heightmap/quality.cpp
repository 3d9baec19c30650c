#include "heightmap/quality.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "heightmap/sizes.h"
#include "platform/buffer_size.h"

namespace height_map {

namespace {

using sizes::kBelowTolerance;
using sizes::kCaptureHeight;
using sizes::kCaptureWidth;
using sizes::kMidColumn;
using sizes::kMidRow;
using sizes::kPlateY;

struct Point {
    double x, y, z;
};

Point transform(const double* m, const float* v) {
    return {m[0] * v[0] + m[4] * v[1] + m[8] * v[2] + m[12],
            m[1] * v[0] + m[5] * v[1] + m[9] * v[2] + m[13],
            m[2] * v[0] + m[6] * v[1] + m[10] * v[2] + m[14]};
}

// The per-pixel rule: pixel (i, j) is marked when its centre lies inside
// the facet (seen from above, edges included) and the facet is under the
// plate there. The spans below find the same pixels a row at a time.
struct Facet {
    double ia, ib, ic, ja, jb, jc, ya, yb, yc, area;

    bool marks(int i, int j, double limit) const {
        const double wa = ((ib - i) * (jc - j) - (ic - i) * (jb - j)) / area;
        const double wb = ((ic - i) * (ja - j) - (ia - i) * (jc - j)) / area;
        const double wc = 1.0 - wa - wb;
        if (wa < 0 || wb < 0 || wc < 0) return false;
        return wa * ya + wb * yb + wc * yc < limit;
    }
};

// Narrows the columns [lo, hi] to where g0 + g1 * i >= t. A certain span
// is moved a column inwards and a possible one a column outwards, so that
// rounding of the bound cannot drop a pixel from the wrong side.
void narrow(double g0, double g1, double t, bool certain, double& lo, double& hi) {
    if (!std::isfinite(g0) || !std::isfinite(g1) || !std::isfinite(t)) {
        if (certain) hi = lo - 1;
        return;
    }
    if (g1 == 0) {
        if (g0 < t) hi = lo - 1;
        return;
    }
    const double x = (t - g0) / g1;
    if (g1 > 0)
        lo = std::max(lo, certain ? std::ceil(x) + 1 : std::floor(x) - 1);
    else
        hi = std::min(hi, certain ? std::floor(x) - 1 : std::ceil(x) + 1);
}

// Pixel index of a plate coordinate, kept within one past the capture's
// edges, so that far-off facets convert safely.
int pixel_index(double v, int size) {
    return static_cast<int>(std::min<double>(size, std::max(-1.0, v)));
}

// Marks the pixels the per-pixel rule marks, at a cost per row rather than
// per pixel. Along a row the three weights and the height are linear in the
// column, so the columns where all four conditions hold by more than either
// computation's rounding form one span, filled whole; only the columns near
// its ends, where that margin leaves the outcome open, take the rule itself.
void mark_below(const Point& a, const Point& b, const Point& c, unsigned char* marked) {
    const double limit = kPlateY - kBelowTolerance;
    if (a.y >= limit && b.y >= limit && c.y >= limit) return;
    // Pixel (i, j) has its centre over plate x = i - kMidColumn, z = kMidRow - j.
    Facet g{a.x + kMidColumn,
            b.x + kMidColumn,
            c.x + kMidColumn,
            kMidRow - a.z,
            kMidRow - b.z,
            kMidRow - c.z,
            a.y,
            b.y,
            c.y,
            0};
    g.area = (g.ib - g.ia) * (g.jc - g.ja) - (g.ic - g.ia) * (g.jb - g.ja);
    // Not finite: never drawn, so nothing of it is hidden. Edge-on from
    // above: it covers no pixel centre.
    if (!std::isfinite(g.area) || !std::isfinite(a.y + b.y + c.y) || g.area == 0.0) return;
    const double area = g.area;
    const double i_min = std::min({g.ia, g.ib, g.ic}), i_max = std::max({g.ia, g.ib, g.ic});
    const double j_min = std::min({g.ja, g.jb, g.jc}), j_max = std::max({g.ja, g.jb, g.jc});
    const int i0 = std::max(0, pixel_index(std::ceil(i_min), kCaptureWidth));
    const int i1 = std::min(kCaptureWidth - 1, pixel_index(std::floor(i_max), kCaptureWidth));
    const int j0 = std::max(0, pixel_index(std::ceil(j_min), kCaptureHeight));
    const int j1 = std::min(kCaptureHeight - 1, pixel_index(std::floor(j_max), kCaptureHeight));
    // Either computation of a weight is off by a few units in the last
    // place of its largest product, (coordinate x row) / area; the margins
    // are a thousand times that.
    const double r = std::max(std::fabs(i_min), std::fabs(i_max)) + kCaptureWidth + 1;
    const double s = std::max(std::fabs(j_min), std::fabs(j_max)) + kCaptureHeight + 1;
    const double e = 1e-12 * r * s / std::fabs(area);
    const double y = std::max({std::fabs(a.y), std::fabs(b.y), std::fabs(c.y), -limit});
    const double m_w = 4 * e, m_h = y * (8 * e + 1e-12);
    for (int j = j0; j <= j1; ++j) {
        const double da = g.ja - j, db = g.jb - j, dc = g.jc - j;
        const double wa0 = (g.ib * dc - g.ic * db) / area, wa1 = -(dc - db) / area;
        const double wb0 = (g.ic * da - g.ia * dc) / area, wb1 = -(da - dc) / area;
        const double h0 = limit - g.yc - wa0 * (g.ya - g.yc) - wb0 * (g.yb - g.yc);
        const double h1 = -wa1 * (g.ya - g.yc) - wb1 * (g.yb - g.yc);
        double span[2][2] = {{double(i0), double(i1)}, {double(i0), double(i1)}};
        for (int k = 0; k < 2; ++k) {  // 0: possible, 1: certain
            const double sign = k == 1 ? 1 : -1;
            double& lo = span[k][0];
            double& hi = span[k][1];
            narrow(wa0, wa1, sign * m_w, k == 1, lo, hi);
            narrow(wb0, wb1, sign * m_w, k == 1, lo, hi);
            narrow(1 - wa0 - wb0, -wa1 - wb1, sign * m_w, k == 1, lo, hi);
            narrow(h0, h1, sign * m_h, k == 1, lo, hi);
        }
        if (span[0][0] > span[0][1]) continue;
        const int p0 = static_cast<int>(span[0][0]), p1 = static_cast<int>(span[0][1]);
        int c0 = p1 + 1, c1 = p1;
        if (span[1][0] <= span[1][1])
            c0 = static_cast<int>(span[1][0]), c1 = static_cast<int>(span[1][1]);
        unsigned char* line = marked + static_cast<std::size_t>(j) * kCaptureWidth;
        for (int i = p0; i <= p1; ++i) {
            if (i == c0) i = c1 + 1;
            if (i <= p1 && g.marks(i, j, limit)) line[i] = 1;
        }
        if (c0 <= c1) std::memset(line + c0, 1, static_cast<std::size_t>(c1 - c0 + 1));
    }
}
}  // namespace

void count_gray_problems(const unsigned char* gray, std::size_t gray_count, Quality& quality) {
    platform::require_size(gray_count, sizes::kSamples, "the gray samples");
    quality.clipped = 0;
    quality.cut = 0;
    quality.empty = true;
    for (int j = 0; j < kCaptureHeight; ++j)
        for (int i = 0; i < kCaptureWidth; ++i) {
            const unsigned char v = gray[j * kCaptureWidth + i];
            if (v > 0) quality.empty = false;
            if (v == sizes::kMaxGray) ++quality.clipped;
            const bool border =
                i == 0 || j == 0 || i == kCaptureWidth - 1 || j == kCaptureHeight - 1;
            if (border && v > 0) ++quality.cut;
        }
}

int count_below_plate(const float* facets, std::size_t count, const double (&to_plate)[16]) {
    std::vector<unsigned char> marked(static_cast<std::size_t>(kCaptureWidth) * kCaptureHeight);
    for (std::size_t k = 0; k < count; ++k) {
        const float* f = facets + 9 * k;
        mark_below(transform(to_plate, f), transform(to_plate, f + 3), transform(to_plate, f + 6),
                   marked.data());
    }
    return static_cast<int>(std::count(marked.begin(), marked.end(), 1));
}

std::string describe(const Quality& q) {
    std::string text;
    auto add = [&text](int n, const std::string& what) {
        if (n == 0) return;
        if (!text.empty()) text += "; ";
        text += std::to_string(n) + what;
    };
    add(q.clipped, " pixels clipped at " + std::to_string(sizes::kMaxGray) + " (" +
                       std::to_string(sizes::kMaxGray / sizes::kLevelsPerUnit) +
                       " units or more above the plate)");
    add(q.cut, " pixels of the model on the capture border (cut off)");
    add(q.below_plate, " pixels with part of the model below the plate (hidden)");
    if (q.empty)
        text += std::string(text.empty() ? "" : "; ") +
                "the capture holds no model pixel (the model lies outside the capture window)";
    return text;
}

}  // namespace height_map
