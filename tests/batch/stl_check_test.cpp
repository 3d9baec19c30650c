// The rule that tells a convertible STL file from a damaged or foreign one.
#include <gtest/gtest.h>

#include <cstring>

#include "support/stl_bytes.h"
#include "tools/batch/stl_check.h"

namespace {

using namespace stl_check;

std::string before(const std::string& bytes) {
    return problem_before_reading(reinterpret_cast<const unsigned char*>(bytes.data()),
                                  std::min<std::size_t>(bytes.size(), kHeadSize), bytes.size());
}

std::string after(const std::string& bytes, std::size_t facets) {
    return problem_after_reading(reinterpret_cast<const unsigned char*>(bytes.data()),
                                 std::min<std::size_t>(bytes.size(), kHeadSize), bytes.size(),
                                 facets);
}

const std::vector<Triangle> kTwo = {stl_bytes::tri(0, 0, 0, 1, 0, 0, 0, 1, 0),
                                    stl_bytes::tri(0, 0, 1, 1, 0, 1, 0, 1, 1)};

TEST(StlCheck, BinaryMustHaveExactlyTheSizeItsCountGives) {
    const std::string good = stl_bytes::binary(kTwo);
    EXPECT_EQ(before(good), "");
    EXPECT_EQ(after(good, 2), "");

    EXPECT_NE(before(good.substr(0, good.size() - 1)).find("not an STL file"), std::string::npos);
    EXPECT_NE(before(good + "x").find("not an STL file"), std::string::npos) << "trailing bytes";
    EXPECT_NE(before(stl_bytes::binary(kTwo, "", 3)).find("of 3 facets has 234"),
              std::string::npos);
    EXPECT_NE(before(stl_bytes::binary(kTwo, "", 1u << 31)).find("not an STL file"),
              std::string::npos)
        << "a huge count must not wrap around to the file's size";
    EXPECT_NE(before(good.substr(0, 83)).find("shorter than the 84-byte header"),
              std::string::npos);
    EXPECT_NE(before("").find("empty"), std::string::npos);
    EXPECT_NE(before("sol").find("not an STL file"), std::string::npos) << "no \"solid\": binary";
    EXPECT_EQ(before(stl_bytes::binary({})), "no facets: the binary STL declares 0");
}

TEST(StlCheck, SolidHeaderIsReadAsAsciiAndMustYieldAFacet) {
    const std::string ascii = stl_bytes::ascii(kTwo);
    EXPECT_EQ(before(ascii), "") << "the size rule is for binary files only";
    EXPECT_EQ(after(ascii, 2), "");
    EXPECT_EQ(after("solid x\nendsolid x\n", 0),
              "no facets: an ASCII STL without a readable facet");
    EXPECT_EQ(before("solid"), "") << "short, but ASCII: the reader decides";
    // Binary with a header that begins with "solid": the reader, like the
    // window, takes it as ASCII and finds nothing; the reason says why.
    const std::string binary_solid = stl_bytes::binary(kTwo, "solid by some exporter");
    EXPECT_EQ(before(binary_solid), "");
    EXPECT_NE(after(binary_solid, 0).find("holds binary facets"), std::string::npos);
}

}  // namespace
