#pragma once

#include <cstddef>

// The longest word of an ASCII STL file that is read. Longer ones are skipped
// whole and counted, so a cut word can never pass for a keyword or a number.
constexpr std::size_t kMaxWordLength = 499;
