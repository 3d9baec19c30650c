// The sample models in 250_test/ (written by tools/make_samples.cpp) load
// cleanly and sit on the base plate once centred.
#include <gtest/gtest.h>

#include <cmath>

#include "model/stl_file.h"

namespace {

TEST(SampleModels, LoadCleanlyAndFitThePlateWhenCentred) {
    const struct {
        const char* name;
        bool binary;
        std::size_t min_facets, max_facets;
    } samples[] = {{"insole_left_binary.stl", true, 30000, 60000},
                   {"insole_right_binary.stl", true, 30000, 60000},
                   {"insole_ascii.stl", false, 8000, 20000}};
    for (const auto& s : samples) {
        SCOPED_TRACE(s.name);
        std::vector<Triangle> t;
        Model_Bounds b;
        Stl_Report r;
        const std::string path = std::string(VELTRIM_SAMPLES_DIR) + "/" + s.name;
        ASSERT_TRUE(read_stl_file(path.c_str(), t, b, r));
        EXPECT_EQ(r.form, s.binary ? Stl_Form::Binary : Stl_Form::Ascii);
        EXPECT_TRUE(r.sound());
        EXPECT_TRUE(t.size() >= s.min_facets && t.size() <= s.max_facets) << t.size();
        EXPECT_TRUE(!s.binary || r.declared_count == t.size()) << r.declared_count;
        // A foot-sized outline (240-260 by 90-110), raised rim and arch over
        // a thin base: centred on its first-vertex bounds, every vertex lies
        // over the plate and none below it.
        const float lo[3] = {b.min_x, b.min_y, b.min_z}, hi[3] = {b.max_x, b.max_y, b.max_z};
        const float least[3] = {240, 8, 90}, most[3] = {260, 45, 110}, half[3] = {180, 22.5f, 75};
        for (int a = 0; a < 3; ++a) {
            EXPECT_TRUE(hi[a] - lo[a] > least[a] && hi[a] - lo[a] < most[a]) << a;
            int beyond = 0;
            for (const Triangle& f : t)
                for (const auto& v : f.v)
                    beyond += std::fabs(v[a] - (hi[a] + lo[a]) / 2) >= half[a];
            EXPECT_EQ(beyond, 0) << "vertices beyond the plate on axis " << a;
        }
    }
}

}  // namespace
