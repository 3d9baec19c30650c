#include "tools/batch/stl_check.h"

namespace stl_check {

namespace {

using stl_header::binary_size;

bool read_as_ascii(const unsigned char* head, std::size_t head_len) {
    return stl_header::form(head, head_len) == Stl_Form::Ascii;
}

}  // namespace

Status check_before_reading(const unsigned char* head, std::size_t head_len, std::uint64_t size) {
    if (size == 0) return Status::failed("not an STL file: it is empty");
    if (read_as_ascii(head, head_len)) return Status::ok();
    if (size < kHeadSize || head_len < kHeadSize)
        return Status::failed("not an STL file: " + std::to_string(size) +
                              " bytes, shorter than the 84-byte header of a binary STL");
    const std::uint32_t count = stl_header::declared_count(head, head_len);
    const std::uint64_t expected = binary_size(count);
    if (size != expected)
        return Status::failed("not an STL file (truncated or damaged): " + std::to_string(size) +
                              " bytes, but a binary STL of " + std::to_string(count) +
                              " facets has " + std::to_string(expected));
    if (count == 0) return Status::failed("no facets: the binary STL declares 0");
    return Status::ok();
}

Status check_after_reading(const unsigned char* head, std::size_t head_len, std::uint64_t size,
                           std::size_t facets) {
    if (facets > 0) return Status::ok();
    if (!read_as_ascii(head, head_len)) return Status::failed("no facets");
    // A binary file whose 80-byte header happens to begin with "solid": the
    // reader takes it as ASCII, as the window does, and finds nothing.
    const std::uint32_t count = stl_header::declared_count(head, head_len);
    if (head_len >= kHeadSize && count > 0 && size == binary_size(count))
        return Status::failed(
            "no facets: it begins with \"solid\", so it is read as ASCII, but it holds binary "
            "facets");
    return Status::failed("no facets: an ASCII STL without a readable facet");
}

}  // namespace stl_check
