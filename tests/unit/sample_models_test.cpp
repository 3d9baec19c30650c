#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "model/stl_file.h"
#include "model/stl_parser.h"
#include "support/strtof_vertices.h"

// The sample models in 250_test/ (written by tools/make_samples.cpp) must
// load cleanly and sit on the base plate once the view centres them.

namespace {

struct Loaded {
    std::vector<Triangle> triangles;
    Model_Bounds bounds;
    Stl_Report report;
};

std::string sample_path(const char* name) { return std::string(VELTRIM_SAMPLES_DIR) + "/" + name; }

Loaded load(const char* name) {
    Loaded m;
    const std::string path = sample_path(name);
    const Status opened = read_stl_file(path.c_str(), m.triangles, m.bounds, m.report);
    EXPECT_TRUE(opened) << path << ": " << opened.reason();
    return m;
}

struct Sample {
    const char* name;
    bool binary;
    std::size_t min_facets, max_facets;
};

const Sample kSamples[] = {
    {"insole_left_binary.stl", true, 30000, 60000},
    {"insole_right_binary.stl", true, 30000, 60000},
    {"insole_ascii.stl", false, 8000, 20000},
};

TEST(SampleModels, LoadCleanlyAndFitThePlateWhenCentred) {
    for (const Sample& s : kSamples) {
        SCOPED_TRACE(s.name);
        const Loaded m = load(s.name);
        const Stl_Report& r = m.report;
        EXPECT_EQ(r.form, s.binary ? Stl_Form::Binary : Stl_Form::Ascii);
        EXPECT_TRUE(r.sound());
        EXPECT_GE(m.triangles.size(), s.min_facets);
        EXPECT_LE(m.triangles.size(), s.max_facets);
        if (s.binary) {
            EXPECT_EQ(r.declared_count, m.triangles.size());
        }

        // A foot-sized outline (240-260 by 90-110) with a raised rim and
        // arch over a thin base; centred on the middle of the first-vertex
        // bounds, every vertex lies over the plate and none below it.
        const Model_Bounds& b = m.bounds;
        const float size[3] = {b.max_x - b.min_x, b.max_y - b.min_y, b.max_z - b.min_z};
        const float centre[3] = {(b.max_x + b.min_x) / 2, (b.max_y + b.min_y) / 2,
                                 (b.max_z + b.min_z) / 2};
        const float least[3] = {240, 8, 90}, most[3] = {260, 45, 110}, half[3] = {180, 22.5f, 75};
        for (int a = 0; a < 3; ++a) {
            EXPECT_GT(size[a], least[a]) << "axis " << a;
            EXPECT_LT(size[a], most[a]) << "axis " << a;
            for (const Triangle& t : m.triangles)
                for (const auto& v : t.v)
                    if (std::fabs(v[a] - centre[a]) >= half[a]) {
                        ADD_FAILURE() << "a vertex beyond the plate on axis " << a;
                        return;
                    }
        }
    }
}

// The ASCII sample is written the way common exporters write ("%e"),
// which the reader takes on its quick path: every coordinate must still be
// exactly what strtof makes of its word, however the bytes are fed.
TEST(SampleModels, AsciiCoordinatesEqualStrtofWhateverTheBlockSize) {
    std::ifstream in(sample_path("insole_ascii.stl"), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(text.empty());

    const std::vector<Triangle> expected = strtof_vertices(text);
    ASSERT_GT(expected.size(), 8000u);

    for (std::size_t block :
         {std::size_t(1) << 20, std::size_t(4099), std::size_t(97), std::size_t(13)}) {
        SCOPED_TRACE(block);
        std::vector<Triangle> got;
        Stl_Parser parser(got, text.size());
        const auto* data = reinterpret_cast<const unsigned char*>(text.data());
        for (std::size_t from = 0; from < text.size(); from += block)
            if (!parser.feed(data + from, std::min(block, text.size() - from))) break;
        parser.finish();
        EXPECT_EQ(parser.report().unreadable_facets, 0u);
        ASSERT_EQ(got.size(), expected.size());
        EXPECT_EQ(std::memcmp(got.data(), expected.data(), got.size() * sizeof(Triangle)), 0);
    }
}

}  // namespace
