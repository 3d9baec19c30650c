#pragma once

#include <cstddef>
#include <cstdint>

#include "model/stl_header.h"
#include "platform/status.h"

// Whether a file is an STL model worth converting, from the head that
// model/stl_header.h decodes for the reader too. The reader itself refuses
// nothing: it reads a file whose first five bytes are "solid" as ASCII and
// any other as binary, and keeps whatever facets it finds. The converter is
// stricter, so that a damaged file is reported instead of drawn in part:
//  - empty (0 bytes): not STL;
//  - read as binary: the size must be exactly 84 + 50 x count, count being
//    the facet count in bytes 80..83; any other size (a truncated file, a
//    wrong count, or something that is not STL at all) is not STL, and a
//    matching size with count 0 has no facets;
//  - read as ASCII: at least one facet must come out; none is "no facets".
// Each function fails with the reason, worded for a line that also names
// the file.
namespace stl_check {

constexpr std::size_t kHeadSize = stl_header::kHeadSize;

// Before reading, from the first bytes (at most kHeadSize) and the size.
Status check_before_reading(const unsigned char* head, std::size_t head_len, std::uint64_t size);

// After the reader has run and produced `facets` facets.
Status check_after_reading(const unsigned char* head, std::size_t head_len, std::uint64_t size,
                           std::size_t facets);

}  // namespace stl_check
