#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "model/rotation_steps.h"

namespace {

std::vector<Rotation> parsed(const std::string& text) {
    std::vector<Rotation> steps;
    EXPECT_TRUE(parse_rotations(text, steps)) << text;
    return steps;
}

TEST(RotationSteps, StepsKeepTheirOrderAxisAndAngle) {
    const std::vector<Rotation> steps = parsed("x:-90,z:2.5,y:+1e1,x:370");
    const Rotation want[] = {{'x', -90.0f}, {'z', 2.5f}, {'y', 10.0f}, {'x', 10.0f}};
    ASSERT_EQ(steps.size(), 4u);
    for (std::size_t k = 0; k < steps.size(); ++k)
        EXPECT_TRUE(steps[k].axis == want[k].axis && steps[k].degrees == want[k].degrees) << k;
}

// A float angle of 360000 would turn GL's matrix off by its rounding.
TEST(RotationSteps, WholeTurnsDropOutExactly) {
    for (const char* turn : {"x:360000", "x:3.6e8", "z:720", "y:-360"})
        EXPECT_EQ(parsed(turn).at(0).degrees, 0.0f) << turn;
}

TEST(RotationSteps, RefusedTextNamesTheStepAndWhy) {
    std::string too_many = "x:1";
    for (std::size_t k = 0; k < kMaxRotationSteps; ++k) too_many += ",z:2";
    std::vector<std::pair<std::string, std::string>> wrong = {
        {"", "expected AXIS:DEG[,AXIS:DEG...]"},
        {"x", "\"x\": expected AXIS:DEG, such as x:-90"},
        {"x:-90,w:5", "\"w:5\": the axis must be x, y or z"},
        {"xy:5", "\"xy:5\": the axis must be x, y or z"},
        {too_many, "65 steps; at most 64"}};
    for (const std::string angle :
         {"0x5A", "inf", "nan", " 90", "90 ", "1e999", ".5", "5.", "1e", ""})
        wrong.push_back({"y:" + angle, "\"y:" + angle +
                                           "\": the angle must be a decimal number of degrees, "
                                           "such as -90 or 2.5"});
    for (const auto& [text, reason] : wrong) {
        std::vector<Rotation> steps;
        EXPECT_EQ(parse_rotations(text, steps).reason(), "--rotate: " + reason) << text;
    }
    EXPECT_EQ(parsed(too_many.substr(4)).size(), kMaxRotationSteps);
}

}  // namespace
