#include <gtest/gtest.h>

#include <cstring>

#include "model/stl_parser.h"
#include "model/stl_writer.h"
#include "support/stl_bytes.h"

namespace {

using stl_bytes::tri;

// Magnitudes "%e" would round, a subnormal, and a facet in z = 0 wound
// counterclockwise seen from +z.
const std::vector<Triangle> kModel = {
    tri(1.0f / 3, -2.5e-30f, 3.4e38f, -125.0f, 0, 7.1e-3f, 16777215.0f, 1e-45f, 0.1f),
    tri(0, 0, 0, 2, 0, 0, 0, 2, 0)};

bool reads_back(const std::string& bytes) {
    std::vector<Triangle> got;
    Stl_Parser parser(got, bytes.size());
    parser.feed(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    parser.finish();
    return got.size() == kModel.size() &&
           std::memcmp(got.data(), kModel.data(), got.size() * sizeof(Triangle)) == 0;
}

TEST(StlWriter, TrianglesReadBackBitForBit) {
    Stl_Write_Options exact;
    exact.numbers = Stl_Numbers::Exact;
    EXPECT_TRUE(reads_back(stl_binary(kModel, "model")));
    EXPECT_TRUE(reads_back(stl_ascii(kModel, "model", exact)));
}

TEST(StlWriter, BinaryHeaderNormalAndAttribute) {
    const std::string bytes = stl_binary(kModel, std::string(90, 'h'));
    ASSERT_EQ(bytes.size(), 84u + 2 * 50);
    EXPECT_EQ(bytes.substr(0, 80), std::string(80, 'h'));
    float normal[3];
    std::memcpy(normal, &bytes[84 + 50], 12);
    EXPECT_EQ(std::vector<float>(normal, normal + 3), (std::vector<float>{0, 0, 1}));
    EXPECT_EQ(bytes.substr(84 + 48, 2), std::string(2, '\0'));
}

TEST(StlWriter, StopsAtTheFirstPieceRefused) {
    const std::vector<Triangle> many(100000, kModel[1]);  // 5 MB, more than one piece
    int pieces = 0;
    EXPECT_FALSE(
        write_stl_binary(many, "", [&pieces](const std::string&) { return ++pieces > 1; }));
    EXPECT_EQ(pieces, 1);
}

}  // namespace
