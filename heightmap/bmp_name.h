#pragma once

#include <cstddef>

// Appends ".bmp" to the zero-terminated name in buf (capacity cap bytes)
// unless its last four bytes are exactly ".bmp" (case-sensitive). Returns
// false, leaving buf untouched, when the suffix would not fit.
bool apply_bmp_suffix(char* buf, std::size_t cap);
