// Damaged and hostile files through the whole Load path: each loads in
// bounded time and memory, says what is wrong, and never crashes.
#define GL_GLEXT_PROTOTYPES  // the query objects
#include <GL/gl.h>
#include <GL/glext.h>

#include "support/offscreen_view.h"

#include <chrono>
#include <cstring>
#include <fstream>
#include <sys/resource.h>

#include "app/commands.h"
#include "support/stl_bytes.h"
#include "support/temp_dir.h"

namespace {

using stl_bytes::tri;

long peak_rss_kb() {
    rusage u;
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

bool ends_with(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

class Hostile_Input : public Offscreen_View_Test {
protected:
    // Loads `path` through the command; returns {stdout, stderr}.
    std::pair<std::string, std::string> load(const std::string& path) {
        Chooser_Record record;
        answer_choosers_with({0, path.c_str(), nullptr}, record);
        return captured(load_stl);
    }
    std::string write(const std::string& name, const std::string& bytes) {
        std::ofstream(dir_.file(name), std::ios::binary) << bytes;
        return dir_.file(name);
    }
    void expect_sane_frames() {
        frame(3);
        for (double d : view().model_matrix) EXPECT_TRUE(std::isfinite(d));
        for (float f :
             {view().max_x, view().min_x, view().max_y, view().min_y, view().max_z, view().min_z})
            EXPECT_TRUE(std::isfinite(f));
    }
    // Triangles that reach GL when the model alone is drawn by `path`,
    // counted before any clipping or culling could drop them.
    GLuint primitives_sent(Model_Path path) {
        GLuint query = 0, n = 0;
        glGenQueries(1, &query);
        glBeginQuery(GL_PRIMITIVES_GENERATED, query);
        view().model_geometry.draw(view().triangles, view().model_generation, false, path);
        glEndQuery(GL_PRIMITIVES_GENERATED);
        glGetQueryObjectuiv(query, GL_QUERY_RESULT, &n);
        glDeleteQueries(1, &query);
        return n;
    }
    Temp_Dir dir_;
};

TEST_F(Hostile_Input, HugeFacetCountWithOneRecordLoadsTheOneFacet) {
    const long before = peak_rss_kb();
    const auto [out, err] = load(
        write("huge.stl", stl_bytes::binary({tri(1, 2, 3, 4, 5, 6, 7, 8, 9)}, "", 4294967295LL)));
    EXPECT_EQ(view().triangles.size(), 1u);
    EXPECT_TRUE(ends_with(out, "bin STL Size -1\nThis is a \"Binary\" File  \nREAD!\n")) << out;
    EXPECT_EQ(err, "STL file ends after 1 of 4294967295 facets; the facets read are kept\n");
    EXPECT_LT(peak_rss_kb() - before, 64 * 1024) << "nothing sized from the count";
}

TEST_F(Hostile_Input, NonFiniteFacetsAreKeptButNeverDrawnAndTheViewStaysSane) {
    const float inf = INFINITY, nan = NAN;
    const std::vector<Triangle> facets = {
        tri(inf, 0, 0, 1, 1, 1, 2, 2, 2), tri(0, 0, 0, nan, 1, 1, 2, 2, 2),
        tri(0, 0, 0, 1, 1, 1, 2, -inf, 2), tri(10, 20, 30, 11, 21, 31, 12, 22, 32)};
    const auto [out, err] = load(write("inf.stl", stl_bytes::binary(facets)));
    ASSERT_EQ(view().triangles.size(), 4u);
    EXPECT_EQ(std::memcmp(view().triangles.data(), facets.data(), sizeof(Triangle) * 4), 0);
    EXPECT_EQ(view().max_x, 10);
    EXPECT_EQ(view().min_x, 0);
    EXPECT_EQ(err, "3 facets with coordinates that are not finite are not drawn\n");
    expect_sane_frames();
    EXPECT_EQ(primitives_sent(Model_Path::Cached), 1u);
    EXPECT_EQ(primitives_sent(Model_Path::Immediate), 1u);

    load(write("inf_ascii.stl",
               "solid s vertex inf 0 0 v 1 1 1 v 2 2 2 vertex 1e39 0 0 v 0 0 0 v 0 0 0 "
               "vertex 5 5 5 v 6 6 6 v 7 7 7 endsolid"));
    ASSERT_EQ(view().triangles.size(), 3u);
    EXPECT_EQ(view().max_x, 5);
    EXPECT_EQ(view().min_y, 0);
    expect_sane_frames();
    EXPECT_EQ(primitives_sent(Model_Path::Cached), 1u);
}

TEST_F(Hostile_Input, DamagedAsciiFacetsAreLeftOutWithALineForEach) {
    const auto [out, err] =
        load(write("bad.stl",
                   "solid s vertex 1 2 3 v 4 five 6 v 7 8 9 vertex 5 5 5 v 6 6 6 v 7 7 "
                   "7 vertex 1 2 3 v 4"));
    EXPECT_EQ(view().triangles.size(), 1u);
    EXPECT_EQ(err,
              "STL file ends inside a facet; that facet was left out\n"
              "1 facets with numbers that cannot be read were left out\n");
}

TEST_F(Hostile_Input, OneHundredMegabyteTokenIsSkippedInBoundedTimeAndMemory) {
    const std::string path = dir_.file("token.stl");
    {  // written in pieces, so this test's own memory stays small
        std::ofstream f(path, std::ios::binary);
        f << "solid ";
        const std::string piece(1 << 20, 'a');
        for (int i = 0; i < 100; ++i) f << piece;
    }
    const long before = peak_rss_kb();
    const auto start = std::chrono::steady_clock::now();
    const auto [out, err] = load(path);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(view().triangles.empty());
    EXPECT_NE(err.find("longer than 499"), std::string::npos);
    EXPECT_LT(took.count(), 30.0) << "a generous bound for a shared, sanitized machine";
    EXPECT_LT(peak_rss_kb() - before, 64 * 1024) << "the file is read in blocks, never held whole";
}

TEST_F(Hostile_Input, BinaryDataBehindASolidHeaderOrNothingAtAll) {
    std::string bytes = stl_bytes::binary(
        {tri(1, 2, 3, 4, 5, 6, 7, 8, 9), tri(9, 8, 7, 6, 5, 4, 3, 2, 1)}, "solid binary");
    for (int i = 0; i < 2000; ++i) bytes += static_cast<char>((i * 37) & 0xff);
    auto [out, err] = load(write("solid_binary.stl", bytes));
    EXPECT_TRUE(ends_with(out, "This is a \"ASCII\" File  \nREAD!\n")) << out;
    expect_sane_frames();
    std::tie(out, err) = load(write("empty.stl", ""));
    EXPECT_TRUE(ends_with(out, "bin STL Size 0\nThis is a \"Binary\" File  \nREAD!\n")) << out;
    EXPECT_TRUE(view().triangles.empty());
}

TEST_F(Hostile_Input, FoldersDevicesAndOverlongNamesAreRefused) {
    for (const std::string& path :
         {dir_.path(), std::string("/dev/zero"), std::string("/dev/urandom")}) {
        const auto [out, err] = load(path);
        EXPECT_TRUE(ends_with(out, "/250_test/\nREAD!\n")) << path;
        EXPECT_NE(err.find("not a regular file"), std::string::npos) << path;
        EXPECT_TRUE(view().triangles.empty());
        EXPECT_EQ(view().max_x, -100000.0f);
    }
    const auto [out, err] = load("/tmp/" + std::string(600, 'x'));
    EXPECT_NE(err.find("file name too long (605 bytes"), std::string::npos) << err;
    EXPECT_TRUE(ends_with(out, "READ!\n"));
    // Linux names are bytes: a name that is not UTF-8 opens as it is.
    load(write("\xff\xfe\x80scan.stl", stl_bytes::binary({tri(1, 2, 3, 4, 5, 6, 7, 8, 9)})));
    EXPECT_EQ(view().triangles.size(), 1u);
}

}  // namespace
