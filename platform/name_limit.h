#pragma once

#include <cstddef>

// The longest file name, in bytes, that the Load and Save commands take: their
// buffers hold it and its terminating zero. A longer one is refused, never
// cut, since a cut name names another file.
constexpr std::size_t kMaxNameBytes = 499;
