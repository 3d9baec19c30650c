#include "model/rotation_steps.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

Status bad(const std::string& step, const std::string& why) {
    return Status::failed("--rotate: \"" + step + "\": " + why);
}

// [+-]digits[.digits][e[+-]digits] and nothing else: strtod alone would also
// take hex, inf, nan and leading blanks.
bool is_decimal(const std::string& s) {
    std::size_t k = 0;
    auto digits = [&] {
        const std::size_t from = k;
        while (k < s.size() && s[k] >= '0' && s[k] <= '9') ++k;
        return k > from;
    };
    if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
    if (!digits()) return false;
    if (k < s.size() && s[k] == '.' && (++k, !digits())) return false;
    if (k < s.size() && s[k] == 'e') {
        ++k;
        if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
        if (!digits()) return false;
    }
    return k == s.size();
}

// Whole turns drop out exactly: a float angle of 360000 degrees turns GL's
// matrix off by its rounding. Under one turn the float parse is kept as it
// was, with no second rounding through double.
bool parse_degrees(const std::string& number, float& degrees) {
    if (!is_decimal(number)) return false;
    const double d = std::strtod(number.c_str(), nullptr);
    if (!std::isfinite(d)) return false;
    degrees = std::fabs(d) < 360 ? std::strtof(number.c_str(), nullptr)
                                 : static_cast<float>(std::fmod(d, 360.0));
    return true;
}

}  // namespace

Status parse_rotations(const std::string& text, std::vector<Rotation>& rotations) {
    rotations.clear();
    if (text.empty()) return Status::failed("--rotate: expected AXIS:DEG[,AXIS:DEG...]");
    const std::size_t steps =
        1 + static_cast<std::size_t>(std::count(text.begin(), text.end(), ','));
    if (steps > kMaxRotationSteps)
        return Status::failed("--rotate: " + std::to_string(steps) + " steps; at most " +
                              std::to_string(kMaxRotationSteps));
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        const std::string step =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        const std::size_t colon = step.find(':');
        if (colon == std::string::npos) return bad(step, "expected AXIS:DEG, such as x:-90");
        const std::string axis = step.substr(0, colon), number = step.substr(colon + 1);
        if (axis.size() != 1 || (axis[0] != 'x' && axis[0] != 'y' && axis[0] != 'z'))
            return bad(step, "the axis must be x, y or z");
        float degrees = 0.0f;
        if (!parse_degrees(number, degrees))
            return bad(step, "the angle must be a decimal number of degrees, such as -90 or 2.5");
        rotations.push_back(Rotation{axis[0], degrees});
        if (comma == std::string::npos) return Status::ok();
        start = comma + 1;
    }
}
