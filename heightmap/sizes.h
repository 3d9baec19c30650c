#pragma once

// The sizes the window, the 3D view and the capture agree on. The capture
// window sits in the middle of the view, one model unit to a pixel, and the
// height map is that window turned a quarter turn.
namespace sizes {

constexpr int kWindowWidth = 931;  // the main window
constexpr int kWindowHeight = 676;
constexpr int kViewLeft = 52;  // the 3D view's place in the window
constexpr int kViewTop = 92;
constexpr int kViewWidth = 800;  // the 3D view as the window first shows it
constexpr int kViewHeight = 560;
constexpr int kCaptureWidth = 360;   // capture window columns
constexpr int kCaptureHeight = 150;  // capture window rows
constexpr int kSamples = kCaptureWidth * kCaptureHeight;
constexpr int kImageRows = kCaptureWidth;   // the height map: 360 rows of
constexpr int kImageCols = kCaptureHeight;  // 150 bytes

}  // namespace sizes
