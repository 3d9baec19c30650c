#pragma once

// The sizes the capture and the height map agree on. The capture window sits
// in the middle of the view, one model unit to a pixel, and the height map is
// that window turned a quarter turn.
namespace sizes {

constexpr int kCaptureWidth = 360;   // capture window columns
constexpr int kCaptureHeight = 150;  // capture window rows
constexpr int kSamples = kCaptureWidth * kCaptureHeight;
constexpr int kImageRows = kCaptureWidth;   // the height map: 360 rows of
constexpr int kImageCols = kCaptureHeight;  // 150 bytes
// The capture window is centred on the view's axis, one unit a pixel, so the
// axis runs between its middle two columns and rows: half a unit off a pixel.
constexpr double kMidColumn = (kCaptureWidth - 1) / 2.0;  // 179.5
constexpr double kMidRow = (kCaptureHeight - 1) / 2.0;    // 74.5
// Gray levels: this many a model unit above the plate, truncated, up to the
// ceiling that everything higher is clipped to.
constexpr int kLevelsPerUnit = 5;
constexpr int kMaxGray = 255;
// The base plate's top, in model units: gray level 0, and the level below
// which a model's parts are hidden.
constexpr double kPlateY = -22.5;
// The plate's top in model units: x along its length, z across, both
// centred on the view's axis. The capture window covers it at one unit a
// pixel (view/frame.cpp); precise maps sample it at other pixel sizes.
constexpr double kPlateLength = 360;
constexpr double kPlateWidth = 150;
// Float rounding of the model transform must not put a model that stands on
// the plate under it: a twentieth of a gray level is still on the plate.
constexpr double kBelowTolerance = 0.01;

}  // namespace sizes
