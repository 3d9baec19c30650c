#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/rotation_steps.h"

namespace {

TEST(RotationSteps, StepsKeepTheirOrderAxisAndAngle) {
    std::vector<Rotation> steps;
    ASSERT_TRUE(parse_rotations("x:-90,z:2.5,y:+1e1,x:359.9", steps));
    ASSERT_EQ(steps.size(), 4u);
    const std::vector<std::pair<char, float>> want = {
        {'x', -90.0f}, {'z', 2.5f}, {'y', 10.0f}, {'x', 359.9f}};
    for (std::size_t k = 0; k < want.size(); ++k) {
        EXPECT_EQ(steps[k].axis, want[k].first) << k;
        EXPECT_EQ(steps[k].degrees, want[k].second) << k;
    }
}

// A float angle of 360000 turns GL's matrix off by its rounding.
TEST(RotationSteps, WholeTurnsDropOutExactly) {
    for (const char* turn : {"x:360000", "x:3.6e8", "z:720", "y:-360", "y:-360.0"}) {
        std::vector<Rotation> steps;
        ASSERT_TRUE(parse_rotations(turn, steps)) << turn;
        EXPECT_EQ(steps.at(0).degrees, 0.0f) << turn;
    }
    std::vector<Rotation> steps;
    ASSERT_TRUE(parse_rotations("x:370", steps));
    EXPECT_EQ(steps.at(0).degrees, 10.0f);
}

TEST(RotationSteps, RefusedTextNamesTheStepAndWhy) {
    const std::string decimal = "\": the angle must be a decimal number of degrees, such as -90 or 2.5";
    std::vector<std::pair<std::string, std::string>> wrong = {
        {"", "--rotate: expected AXIS:DEG[,AXIS:DEG...]"},
        {"x", "--rotate: \"x\": expected AXIS:DEG, such as x:-90"},
        {"x:-90,w:5", "--rotate: \"w:5\": the axis must be x, y or z"},
        {"xy:5", "--rotate: \"xy:5\": the axis must be x, y or z"}};
    for (const std::string angle : {"0x5A", "inf", "nan", " 90", "90 ", "1e999", ".5", "5.", "1e", ""})
        wrong.push_back({"y:" + angle, "--rotate: \"y:" + angle + decimal});
    for (const auto& [text, reason] : wrong) {
        std::vector<Rotation> steps;
        const Status parsed = parse_rotations(text, steps);
        EXPECT_FALSE(parsed) << text;
        EXPECT_EQ(parsed.reason(), reason) << text;
    }
}

TEST(RotationSteps, AtMostSixtyFourSteps) {
    std::string text = "x:1";
    for (std::size_t k = 1; k < kMaxRotationSteps; ++k) text += ",z:2";
    std::vector<Rotation> steps;
    ASSERT_TRUE(parse_rotations(text, steps));
    EXPECT_EQ(steps.size(), kMaxRotationSteps);
    const Status parsed = parse_rotations(text + ",y:3", steps);
    EXPECT_EQ(parsed.reason(), "--rotate: 65 steps; at most 64");
}

}  // namespace
