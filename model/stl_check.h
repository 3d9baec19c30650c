#pragma once

#include <cstddef>
#include <cstdint>

#include "model/stl_header.h"
#include "model/stl_report.h"
#include "platform/status.h"

// Whether a file is an STL model, from its size and its head (the first
// min(size, kSniffSize) bytes); the window and veltrim-batch word it the
// same. The reader itself refuses nothing: it reads a file whose first five
// bytes are "solid" as ASCII and any other as binary, and keeps whatever
// facets it finds. These checks say when that reading is no model at all:
//  - empty, or text that the reader takes as binary (a README renamed, an
//    ASCII STL that starts with a byte-order mark, blanks or "SOLID");
//  - read as binary: shorter than the 84-byte head, a facet count no scan
//    has, or bytes after the last facet the count allows.
// A binary file that ends before its count is cut, not refused: the
// reader keeps the facets there and its damage lines say so.
// Each failure's reason is worded for a line that also names the file.
namespace stl_check {

constexpr std::size_t kSniffSize = 512;

// A count above this is no scan but the bytes of some other file, whose
// size would only be taken for a cut: an insole scan runs to a million
// facets at most, and ten times that (500 MB) is margin enough. The lower
// the bound, the fewer such files (their count is any 32-bit number) pass.
constexpr std::uint32_t kMaxFacets = 10'000'000;

// The file is an STL model as far as its head and size tell; every failure
// begins "not an STL model".
Status check_kind(const unsigned char* head, std::size_t head_len, std::uint64_t size);

// check_kind, then a binary head that declares no facets.
Status check_before_reading(const unsigned char* head, std::size_t head_len, std::uint64_t size);

// After the reader has run and produced `facets` facets.
Status check_after_reading(const unsigned char* head, std::size_t head_len, std::uint64_t size,
                           std::size_t facets);

// The read stopped short of the end the file itself announces: a binary
// count not used up, a facet not finished, no "endsolid".
bool is_cut(const Stl_Report& report);

// The size and head of the file at `path`, for a caller that has read it
// through read_stl_file.
struct File_Head {
    std::uint64_t size = 0;
    unsigned char bytes[kSniffSize] = {};
    std::size_t len = 0;
};
Status read_file_head(const char* path, File_Head& head);

}  // namespace stl_check
