#pragma once

#include <string>
#include <vector>

#include "platform/status.h"

// Reads a height map back from its file, as the mill will: what the map
// window shows is the file's pixels, not the image the program meant to
// write.
namespace map_reading {

// pixels: kImageRows x kImageCols gray levels, row by row. Fails for a file
// that cannot be read or decoded and for any other size or pixel type.
Status read_height_map(const std::string& path, std::vector<unsigned char>& pixels);

}  // namespace map_reading
