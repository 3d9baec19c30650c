#pragma once

#include <cstddef>

#include "platform/status.h"

// Stand-ins for the Windows current-directory calls. Linux keeps file names
// as UTF-8 bytes, so the "wide" and "ANSI" forms are one and the same text.
namespace platform {

// Writes the working directory into buf; fails (buf emptied) when it does
// not fit in cap bytes with its terminator, or cannot be read.
Status current_directory(char* buf, std::size_t cap);

// Changes the working directory.
Status set_current_directory(const char* dir);

}  // namespace platform
