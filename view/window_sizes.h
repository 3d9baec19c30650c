#pragma once

// The main window and the 3D view's place in it. The batch converter and the
// benchmarks draw at the view's size too, so their captures match the
// window's.
namespace sizes {

constexpr int kWindowWidth = 931;  // the main window
constexpr int kWindowHeight = 676;
constexpr int kViewLeft = 52;  // the 3D view's place in the window
constexpr int kViewTop = 92;
constexpr int kViewWidth = 800;  // the 3D view as the window first shows it
constexpr int kViewHeight = 560;

}  // namespace sizes
