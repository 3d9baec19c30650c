#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>

#include "model/stl_float.h"
#include "model/stl_parser.h"
#include "support/stl_bytes.h"

namespace {

using stl_bytes::tri;

struct Parsed {
    std::vector<Triangle> triangles;
    Model_Bounds bounds;
    Stl_Form form;
    Stl_Report report;
};

Parsed parse(const std::string& bytes, std::size_t block = 1 << 20) {
    Parsed p;
    Stl_Parser parser(p.triangles, bytes.size());
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    for (std::size_t at = 0; at < bytes.size(); at += block)
        if (!parser.feed(data + at, std::min(block, bytes.size() - at))) break;
    parser.finish();
    p.bounds = parser.bounds();
    p.form = parser.form();
    p.report = parser.report();
    return p;
}

const Triangle kA = tri(1, 2, 3, 40, -50, 60, -7, 8, -90);
const Triangle kB = tri(-4, 5, -6, 0, 0, 0, 1, 1, 1);

bool same(const Triangle& a, const Triangle& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(StlForm, OnlyExactLowerCaseSolidAtTheStartMeansAscii) {
    EXPECT_EQ(parse(stl_bytes::binary({kA}, "solid whatever")).form, Stl_Form::Ascii);
    EXPECT_EQ(parse(stl_bytes::binary({kA}, "solidity")).form, Stl_Form::Ascii);
    EXPECT_EQ(parse(stl_bytes::binary({kA}, "SOLID x")).form, Stl_Form::Binary);
    EXPECT_EQ(parse(stl_bytes::binary({kA}, "Solid x")).form, Stl_Form::Binary);
    EXPECT_EQ(parse(stl_bytes::binary({kA}, " solid x")).form, Stl_Form::Binary);
    EXPECT_EQ(parse(std::string("sol\0d", 5) + std::string(200, 'x')).form, Stl_Form::Binary);
    EXPECT_EQ(parse("solid").form, Stl_Form::Ascii);
    EXPECT_EQ(parse("soli").form, Stl_Form::Binary);
}

TEST(StlBinary, ReadsFacetsInOrderWithoutNormals) {
    const Parsed p = parse(stl_bytes::binary({kA, kB}));
    ASSERT_EQ(p.triangles.size(), 2u);
    EXPECT_TRUE(same(p.triangles[0], kA));
    EXPECT_TRUE(same(p.triangles[1], kB));
    EXPECT_EQ(p.report.declared_count, 2u);
    EXPECT_EQ(p.report.records_read, 2u);
    EXPECT_TRUE(p.report.sound());
}

TEST(StlBinary, CountZeroGivesEmptyModelWithStartBounds) {
    const Parsed p = parse(stl_bytes::binary({kA}, "", 0));
    EXPECT_TRUE(p.triangles.empty());
    EXPECT_EQ(p.bounds.max_x, -100000.0f);
    EXPECT_EQ(p.bounds.min_z, 100000.0f);
    EXPECT_EQ(p.form, Stl_Form::Binary);
    EXPECT_TRUE(p.report.sound());
}

TEST(StlBinary, StopsAtTheEndOfFileWhateverTheCountSays) {
    const Parsed p = parse(stl_bytes::binary({kA, kB}, "", 4294967295u) + "partial record");
    EXPECT_EQ(p.triangles.size(), 2u);
    EXPECT_EQ(p.report.declared_count, 4294967295u);
    EXPECT_EQ(p.report.records_read, 2u);
    EXPECT_TRUE(p.report.ends_before_count);
}

TEST(StlBinary, ReadsNoFurtherThanTheCount) {
    const Parsed p = parse(stl_bytes::binary({kA, kB}, "", 1));
    ASSERT_EQ(p.triangles.size(), 1u);
    EXPECT_TRUE(same(p.triangles[0], kA));
}

TEST(StlBinary, FileShorterThanHeaderCountsMissingBytesAsZero) {
    const Parsed p = parse(std::string(30, 'x'));
    EXPECT_EQ(p.form, Stl_Form::Binary);
    EXPECT_EQ(p.report.declared_count, 0u);
    EXPECT_TRUE(p.triangles.empty());
}

TEST(StlBounds, OnlyFirstVertexFeedsBoundsStrictly) {
    const Parsed one = parse(stl_bytes::binary({kA}));
    EXPECT_EQ(one.bounds.max_x, 1);
    EXPECT_EQ(one.bounds.min_x, 1);
    EXPECT_EQ(one.bounds.max_y, 2);
    EXPECT_EQ(one.bounds.min_y, 2);
    EXPECT_EQ(one.bounds.max_z, 3);
    EXPECT_EQ(one.bounds.min_z, 3);
    // Vertices 2 and 3 lie far outside; they never widen the bounds.
    const Parsed two = parse(stl_bytes::binary({kA, kB}));
    EXPECT_EQ(two.bounds.max_x, 1);
    EXPECT_EQ(two.bounds.min_x, -4);
    EXPECT_EQ(two.bounds.max_y, 5);
    EXPECT_EQ(two.bounds.min_y, 2);
    EXPECT_EQ(two.bounds.max_z, 3);
    EXPECT_EQ(two.bounds.min_z, -6);
}

TEST(StlBounds, ModelsBeyondTheStartValuesKeepThem) {
    const Parsed high = parse(stl_bytes::binary({tri(2e5f, 3e5f, 4e5f, 0, 0, 0, 0, 0, 0)}));
    EXPECT_EQ(high.bounds.max_x, 2e5f);
    EXPECT_EQ(high.bounds.min_x, 100000.0f);
    const Parsed low = parse(stl_bytes::binary({tri(-2e5f, -3e5f, -4e5f, 0, 0, 0, 0, 0, 0)}));
    EXPECT_EQ(low.bounds.min_y, -3e5f);
    EXPECT_EQ(low.bounds.max_y, -100000.0f);
}

TEST(StlBounds, NonFiniteFacetsAreKeptAsReadAndOnlyFiniteCoordinatesBound) {
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
        SCOPED_TRACE(block);
        ASSERT_EQ(p.triangles.size(), facets.size());
        for (std::size_t k = 0; k < facets.size(); ++k)
            EXPECT_TRUE(same(p.triangles[k], facets[k])) << k;
        EXPECT_EQ(p.report.non_finite_facets, 3u);
        EXPECT_EQ(p.bounds.max_x, 1);
        EXPECT_EQ(p.bounds.min_x, 1);
        EXPECT_EQ(p.bounds.max_y, 2);
        EXPECT_EQ(p.bounds.min_y, 1);
        EXPECT_EQ(p.bounds.max_z, 5);
        EXPECT_EQ(p.bounds.min_z, 1);
    }
}

TEST(StlAscii, ReadsVerticesAndTheCountInItsHead) {
    const std::string file = stl_bytes::ascii({kA, kB});
    const Parsed p = parse(file);
    ASSERT_EQ(p.triangles.size(), 2u);
    EXPECT_TRUE(same(p.triangles[0], kA));
    EXPECT_TRUE(same(p.triangles[1], kB));
    int32_t count;
    std::memcpy(&count, file.data() + 80, 4);
    EXPECT_EQ(p.report.declared_count, static_cast<std::uint32_t>(count));
    EXPECT_TRUE(p.report.sound());
}

TEST(StlAscii, SameResultWhateverTheBlockSize) {
    const std::string file = stl_bytes::ascii({kA, kB, kA});
    const Parsed whole = parse(file);
    for (std::size_t block : {1u, 2u, 3u, 7u, 64u}) {
        const Parsed p = parse(file, block);
        ASSERT_EQ(p.triangles.size(), 3u) << block;
        for (int k = 0; k < 3; ++k) EXPECT_TRUE(same(p.triangles[k], whole.triangles[k])) << block;
    }
}

TEST(StlAscii, KeywordsAreCaseSensitiveWholeTokens) {
    const std::string p = "solid x\nfacet normal 0 0 0 outer loop\n";
    EXPECT_TRUE(parse(p + "Vertex 1 2 3 vertex 4 5 6 vertex 7 8 9\nendsolid\n").triangles.empty());
    EXPECT_TRUE(parse(p + "VERTEX 1 2 3 vertex 4 5 6 vertex 7 8 9\nendsolid\n").triangles.empty());
    EXPECT_TRUE(parse(p + "vertexx 1 2 3 x 4 5 6 x 7 8 9\nendsolid\n").triangles.empty());
}

TEST(StlAscii, NormalsNeverReachTheModelAndTheTokensBetweenGroupsAreUnread) {
    const Parsed p = parse(
        "solid s facet normal 5 5 5 outer loop vertex 1 2 3 anything 4 5 6 x 7 8 9 "
        "endloop endfacet endsolid s");
    ASSERT_EQ(p.triangles.size(), 1u);
    EXPECT_TRUE(same(p.triangles[0], tri(1, 2, 3, 4, 5, 6, 7, 8, 9)));
}

TEST(StlAscii, ReadingStopsAtTheFirstEndsolid) {
    const Parsed p = parse(stl_bytes::ascii({kA}, "one") + stl_bytes::ascii({kB}, "two"));
    ASSERT_EQ(p.triangles.size(), 1u);
    EXPECT_TRUE(same(p.triangles[0], kA));
}

TEST(StlAscii, UnreadableNumbersDropTheFacetAndSayHow) {
    const Parsed p = parse(
        "solid s vertex 1 2 3 vertex 4 five 6 vertex 7 8 9 "
        "vertex 1 2 3 vertex 4 5 6 vertex 7 8 9 endsolid");
    ASSERT_EQ(p.triangles.size(), 1u);
    EXPECT_TRUE(same(p.triangles[0], tri(1, 2, 3, 4, 5, 6, 7, 8, 9)));
    EXPECT_EQ(p.report.unreadable_facets, 1u);
}

TEST(StlAscii, FileEndingInsideAFacetDropsIt) {
    const Parsed p = parse("solid s vertex 1 2 3 vertex 4 5 6 vertex 7 8 9 vertex 1 2 3 vertex 4");
    EXPECT_EQ(p.triangles.size(), 1u);
    EXPECT_TRUE(p.report.ends_inside_facet);
}

TEST(StlAscii, LastNumberAtEndOfFileWithoutNewlineCounts) {
    EXPECT_EQ(parse("solid s vertex 1 2 3 v 4 5 6 v 7 8 9").triangles.size(), 1u);
}

TEST(StlAscii, OverlongTokensAreSkippedWholeNeverSplitIntoKeywords) {
    // 600 characters ending in "vertex": a 499-character buffer would split it.
    const std::string junk = std::string(594, 'a') + "vertex";
    const Parsed p = parse("solid s " + junk + " 1 2 3 v 4 5 6 v 7 8 9 endsolid", 64);
    EXPECT_TRUE(p.triangles.empty());
    EXPECT_EQ(p.report.overlong_words, 1u);
}

TEST(StlFloat, EqualsStrtofBitForBit) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> mag(-40, 40);
    char text[64];
    const char* formats[] = {"%.6e", "%.9g", "%f", "%.3f", "%.17g", "%E"};
    for (int i = 0; i < 200000; ++i) {
        const double x = std::pow(10.0, mag(rng)) * (i % 2 ? -1 : 1);
        std::snprintf(text, sizeof text, formats[i % 6], x);
        float ours;
        ASSERT_TRUE(parse_stl_float(text, std::strlen(text), ours)) << text;
        const float theirs = std::strtof(text, nullptr);
        ASSERT_EQ(std::memcmp(&ours, &theirs, 4), 0) << text;
    }
    for (const char* t :
         {"0", "-0", "+5", "1e5", ".5", "5.", "1e-45", "3.4028236e38", "inf", "-nan", "0x1p3",
          "16777217", "1.00000005960464477539062", "000000000000000000000001"}) {
        float ours;
        ASSERT_TRUE(parse_stl_float(t, std::strlen(t), ours)) << t;
        const float theirs = std::strtof(t, nullptr);
        EXPECT_EQ(std::memcmp(&ours, &theirs, 4), 0) << t;
    }
}

TEST(StlFloat, RejectsTokensThatAreNotWhollyNumbers) {
    float v;
    for (const char* t : {"", "-", "e5", "1.5abc", "vertex", "1e", "1..2"})
        EXPECT_FALSE(parse_stl_float(t, std::strlen(t), v)) << t;
}

TEST(StlTruncation, EveryPrefixOfABinaryAndAnAsciiFileLoadsSafely) {
    for (const std::string& file :
         {stl_bytes::binary({kA, kB, kA}), stl_bytes::ascii({kA, kB, kA})}) {
        const std::size_t full = parse(file).triangles.size();
        for (std::size_t n = 0; n <= file.size(); ++n) {
            const Parsed p = parse(file.substr(0, n), 5);
            ASSERT_LE(p.triangles.size(), full);
            // Whole facets of the file only; in ASCII the very last number may
            // run into the end of the file and be read as far as it goes.
            const std::size_t exact =
                p.triangles.size() - (p.form == Stl_Form::Ascii && !p.triangles.empty());
            for (std::size_t k = 0; k < exact; ++k)
                ASSERT_TRUE(same(p.triangles[k], kA) || same(p.triangles[k], kB)) << n;
        }
    }
}

}  // namespace
