#pragma once

// The preset views, in degrees. A capture counts only frames drawn exactly at
// the top view, so every place that turns there uses these same values.
struct View_Pose {
    float azimuth;
    float elevation;
};

constexpr View_Pose kTopView{0.0f, 90.0f};  // looking down on the plate
constexpr View_Pose kSideView{90.0f, 0.0f};
constexpr View_Pose kFrontView{0.0f, 0.0f};
