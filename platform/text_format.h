#pragma once

#include <string>
#include <vector>

// The one way text is made from numbers, and lines joined into text. The
// console lines are printf formats kept byte for byte, so they stay printf
// formats; the attribute has -Wformat check every one of them.
namespace platform {

// std::snprintf's text, whole whatever its length.
std::string format_text(const char* format, ...) __attribute__((format(printf, 1, 2)));

// "%.9g": nine significant digits, so a float reads back bit for bit. The
// map files, the options and the image records write numbers this way.
std::string number_text(double value);

// Each line after `prefix` and ended by '\n': lines printed at the edge.
std::string as_lines(const std::vector<std::string>& lines, const std::string& prefix = "");

// The lines one after another, `separator` between them: lines shown on one line.
std::string joined(const std::vector<std::string>& lines, const char* separator);

}  // namespace platform
