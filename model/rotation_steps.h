#pragma once

#include <string>
#include <vector>

#include "platform/status.h"

// One trackball step: degrees about the model's own x, y or z axis through
// the middle of its bounds, the turn a left drag makes. Both programs take
// a list of them (--rotate) to stand a model up before it is shown or
// captured, and the window's x, y and z keys make one each.
struct Rotation {
    char axis = 'x';
    float degrees = 0.0f;
};

// One frame each, so a list stays a moment's work.
constexpr std::size_t kMaxRotationSteps = 64;

// "x:-90,y:30": the steps in the given order. Each angle is a decimal
// number ([+-]digits[.digits][e[+-]digits]); whole turns drop out exactly.
// On failure the reason is the whole line to print, beginning "--rotate: ".
Status parse_rotations(const std::string& text, std::vector<Rotation>& rotations);
