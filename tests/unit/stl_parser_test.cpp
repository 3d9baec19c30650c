#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>

#include "model/stl_float.h"
#include "model/stl_parser.h"
#include "support/stl_bytes.h"
#include "support/stl_parse.h"

namespace {

using stl_bytes::tri;

const Triangle kA = tri(1, 2, 3, 40, -50, 60, -7, 8, -90);
const Triangle kB = tri(-4, 5, -6, 0, 0, 0, 1, 1, 1);
const Triangle kC = tri(1, 2, 3, 4, 5, 6, 7, 8, 9);

bool same(const std::vector<Triangle>& got, const std::vector<Triangle>& want) {
    // Bit for bit; memcmp may not be handed an empty vector's null data.
    return got.size() == want.size() &&
           (got.empty() ||
            std::memcmp(got.data(), want.data(), got.size() * sizeof(Triangle)) == 0);
}

// max_x, min_x, max_y, min_y, max_z, min_z
std::vector<float> box(const Model_Bounds& b) {
    return {b.max_x, b.min_x, b.max_y, b.min_y, b.max_z, b.min_z};
}

TEST(StlForm, OnlyExactLowerCaseSolidAtTheStartMeansAscii) {
    const std::pair<std::string, Stl_Form> cases[] = {
        {stl_bytes::binary({kA}, "solid whatever"), Stl_Form::Ascii},
        {stl_bytes::binary({kA}, "solidity"), Stl_Form::Ascii},
        {stl_bytes::binary({kA}, "SOLID x"), Stl_Form::Binary},
        {stl_bytes::binary({kA}, " solid x"), Stl_Form::Binary},
        {std::string("sol\0d", 5) + std::string(200, 'x'), Stl_Form::Binary},
        {std::string("solix") + std::string(200, 'x'), Stl_Form::Binary},
        {"solid", Stl_Form::Ascii},
        {"soli", Stl_Form::Binary}};
    for (const auto& [bytes, form] : cases) EXPECT_EQ(parse(bytes).form, form) << bytes;
}

TEST(StlBinary, CountAndEndOfFileBoundTheRecordsRead) {
    const struct {
        std::string bytes;
        std::vector<Triangle> facets;
        std::uint32_t declared;
        bool short_file;
    } cases[] = {
        {stl_bytes::binary({kA, kB}), {kA, kB}, 2, false},
        {stl_bytes::binary({kA, kB}, "", 1), {kA}, 1, false},
        {stl_bytes::binary({kA}, "", 0), {}, 0, false},
        {stl_bytes::binary({kA, kB}, "", 4294967295u) + "partial", {kA, kB}, 4294967295u, true},
        {std::string(30, 'x'), {}, 0, false}};  // shorter than the head: count 0
    for (const auto& c : cases) {
        const Parsed p = parse(c.bytes);
        EXPECT_EQ(p.form, Stl_Form::Binary);
        EXPECT_TRUE(same(p.triangles, c.facets)) << c.declared;
        EXPECT_EQ(p.report.declared_count, c.declared);
        EXPECT_EQ(p.report.records_read, c.facets.size());
        EXPECT_EQ(p.report.ends_before_count, c.short_file) << c.declared;
    }
    EXPECT_EQ(box(parse(stl_bytes::binary({}, "")).bounds),
              (std::vector<float>{-1e5f, 1e5f, -1e5f, 1e5f, -1e5f, 1e5f}));
}

// Only first vertices widen the bounds, strictly, from the start values
// +-100000; vertices 2 and 3 of kA lie far outside.
TEST(StlBounds, FirstVerticesOnlyAndOnlyFiniteCoordinates) {
    EXPECT_EQ(box(parse(stl_bytes::binary({kA})).bounds), (std::vector<float>{1, 1, 2, 2, 3, 3}));
    EXPECT_EQ(box(parse(stl_bytes::binary({kA, kB})).bounds),
              (std::vector<float>{1, -4, 5, 2, 3, -6}));
    EXPECT_EQ(box(parse(stl_bytes::binary({tri(2e5f, -3e5f, 0, 0, 0, 0, 0, 0, 0)})).bounds),
              (std::vector<float>{2e5f, 1e5f, -1e5f, -3e5f, 0, 0}));
    const float inf = INFINITY, nan = std::nanf("");
    const std::vector<Triangle> facets = {
        tri(inf, -inf, 5, 0, 0, 0, 0, 0, 0),  // x and y stay out, z counts
        tri(-inf, 2, nan, 0, 0, 0, 0, 0, 0),  // y counts
        tri(1, 1, 1, nan, 0, 0, 0, inf, 0),   // a finite first vertex counts whole
        kA};
    // Binary whole, binary split inside records, ASCII (which prints inf and nan).
    for (const auto& [bytes, block] : {std::pair{stl_bytes::binary(facets), std::size_t(1) << 20},
                                       std::pair{stl_bytes::binary(facets), std::size_t(7)},
                                       std::pair{stl_bytes::ascii(facets), std::size_t(1) << 20}}) {
        const Parsed p = parse(bytes, block);
        EXPECT_TRUE(same(p.triangles, facets)) << block;
        EXPECT_EQ(p.report.non_finite_facets, 3u);
        EXPECT_EQ(box(p.bounds), (std::vector<float>{1, 1, 2, 1, 5, 1})) << block;
    }
}

TEST(StlAscii, FacetsAndHeadCountWhateverTheBlockSize) {
    const std::string file = stl_bytes::ascii({kA, kB, kA});
    for (std::size_t block : {1u << 20, 1u, 2u, 3u, 7u, 64u}) {
        const Parsed p = parse(file, block);
        EXPECT_TRUE(same(p.triangles, {kA, kB, kA})) << block;
        EXPECT_TRUE(p.report.sound()) << block;
        EXPECT_EQ(p.report.declared_count, parse(file.substr(0, 84), 84).report.declared_count);
    }
}

TEST(StlAscii, WordRules) {
    const std::string h = "solid x\nfacet normal 0 0 0 outer loop\n";
    const std::pair<std::string, std::vector<Triangle>> cases[] = {
        {h + "Vertex 1 2 3 vertex 4 5 6 vertex 7 8 9\nendsolid\n", {}},
        {h + "VERTEX 1 2 3 vertex 4 5 6 vertex 7 8 9\nendsolid\n", {}},
        {h + "vertexx 1 2 3 x 4 5 6 x 7 8 9\nendsolid\n", {}},
        // Normals never reach the model; the words between groups are unread.
        {"solid s facet normal 5 5 5 outer loop vertex 1 2 3 any 4 5 6 x 7 8 9 endsolid s", {kC}},
        {stl_bytes::ascii({kA}, "one") + stl_bytes::ascii({kB}, "two"), {kA}},  // first endsolid
        {"solid s vertex 1 2 3 v 4 5 6 v 7 8 9", {kC}},  // last number at the end of the file
    };
    for (const auto& [text, facets] : cases)
        EXPECT_TRUE(same(parse(text).triangles, facets)) << text;
    const Parsed cut = parse("solid s vertex 1 2 3 v 4 5 6 v 7 8 9 vertex 1 2 3 vertex 4");
    EXPECT_TRUE(same(cut.triangles, {kC}));
    EXPECT_TRUE(cut.report.ends_inside_facet);
    // 600 characters ending in "vertex": a 499-character buffer would split it.
    const Parsed p =
        parse("solid s " + std::string(594, 'a') + "vertex 1 2 3 v 4 5 6 v 7 8 9 endsolid", 64);
    EXPECT_TRUE(p.triangles.empty());
    EXPECT_EQ(p.report.overlong_words, 1u);
}

// A facet with a number that is not wholly a number is left out and counted,
// on the whole-facet quick path (one block) as on the word path (byte by byte).
TEST(StlAscii, UnreadableNumbersDropTheFacet) {
    // Each bad facet is eleven words as the word path counts them; endloop
    // is a twelfth, which a quick path splitting "1..2" or "3vertex" would skip.
    // The 84-byte head is fed apart: the facets start after it.
    const std::string good = "vertex 1 2 3 vertex 4 5 6 vertex 7 8 9\n";
    for (const char* bad :
         {"vertex 1..2 3 vertex 4 5 6 vertex 7 8 9\n", "vertex 1 2 3vertex 4 5 6 vertex 7 8 9\n",
          "vertex 1 2 3x vertex 4 5 6 vertex 7 8 9\n",
          "vertex 1 2 3 vertex 4 five 6 vertex 7 8 9\n",
          "vertex 1 2 3 vertex 4 5 6 vertex 7 8 9e\n"})
        for (std::size_t block : {std::size_t(1) << 20, std::size_t(1)}) {
            const Parsed p = parse("solid s" + std::string(90, ' ') + good + bad + "endloop\n" +
                                       good + "endsolid" + std::string(80, ' '),
                                   block);
            EXPECT_TRUE(same(p.triangles, {kC, kC})) << bad << block;
            EXPECT_EQ(p.report.unreadable_facets, 1u) << bad << block;
        }
}

TEST(StlFloat, EqualsStrtofBitForBit) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> mag(-40, 40);
    std::vector<std::string> texts;
    for (const char* t :
         {"0", "-0", "+5", "1e5", ".5", "5.", "1e-45", "3.4028236e38", "inf", "-nan", "0x1p3",
          "16777217", "1.00000005960464477539062", "000000000000000000000001"})
        texts.push_back(t);
    char text[64];
    const char* formats[] = {"%.6e", "%.9g", "%f", "%.3f", "%.17g", "%E"};
    for (int i = 0; i < 200000; ++i) {
        std::snprintf(text, sizeof text, formats[i % 6],
                      std::pow(10.0, mag(rng)) * (i % 2 ? -1 : 1));
        texts.push_back(text);
    }
    float v;
    for (const std::string& t : texts) {
        ASSERT_TRUE(parse_stl_float(t.c_str(), t.size(), v)) << t;
        const float theirs = std::strtof(t.c_str(), nullptr);
        ASSERT_EQ(std::memcmp(&v, &theirs, 4), 0) << t;
    }
    for (const char* t : {"", "-", "e5", "1.5abc", "vertex", "1e", "1..2"})
        EXPECT_FALSE(parse_stl_float(t, std::strlen(t), v)) << t;
}

// Decimals whose nearest double is exactly halfway between two floats, but
// which themselves lie to one side: rounding the double to float would go
// to the even neighbour, strtof goes to the side the decimal lies on.
TEST(StlFloat, NearMidpointsTheAsciiReaderRoundsAsStrtof) {
    std::vector<std::string> words = {"1.000000536441803",
                                      "1.0000005364418030",
                                      "-1.000000536441803",
                                      "1000000.536441803e-6",
                                      "0.1000000014901161193847656250",
                                      "1.000000178813934",
                                      "3.0000001788139343",
                                      "1.00000017881393432617187499"};
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> mag(-30, 30);
    char text[64];
    for (int i = 0; words.size() < 900; ++i) {  // 16 and 17 digits next to random midpoints
        const float f = std::pow(10.0f, mag(rng));
        const double mid = (double(f) + double(std::nextafter(f, INFINITY))) / 2;
        std::snprintf(text, sizeof text, i % 2 ? "%.16g" : "%.16e", mid);
        words.push_back(text);
    }
    std::vector<Triangle> want;
    std::string file = "solid m\n";
    for (std::size_t k = 0; k + 9 <= words.size(); k += 9) {
        Triangle t;
        file += "facet normal 0 0 0\nouter loop\n";
        for (int j = 0; j < 9; ++j) {
            t.v[j / 3][j % 3] = std::strtof(words[k + j].c_str(), nullptr);
            file += (j % 3 ? " " : "vertex ") + words[k + j] + (j % 3 == 2 ? "\n" : "");
        }
        file += "endloop\nendfacet\n";
        want.push_back(t);
    }
    file += "endsolid m\n";
    for (std::size_t block : {std::size_t(1) << 20, std::size_t(5)})
        EXPECT_TRUE(same(parse(file, block).triangles, want)) << block;
}

}  // namespace
