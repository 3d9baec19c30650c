#pragma once

#include <string>
#include <vector>

#include "model/stl_parser.h"

enum class Stl_Open { Ok, Cannot_Open };

// Reads the STL file at path in large blocks, appending its facets to
// triangles and its first-vertex bounds to bounds. `out` receives the
// reader's console lines, `err` its diagnostics. Folders, devices and pipes
// are refused like a file that cannot be opened: they have no end to trust.
Stl_Open read_stl_file(const char* path, std::vector<Triangle>& triangles, Model_Bounds& bounds,
                       std::string& out, std::string& err);
