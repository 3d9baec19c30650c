#include "tools/batch/stl_check.h"

#include <cstring>

namespace stl_check {

namespace {

std::uint32_t declared_count(const unsigned char* head) {
    std::uint32_t n;
    std::memcpy(&n, head + 80, 4);  // little-endian, as are our targets
    return n;
}

std::uint64_t binary_size(std::uint32_t count) { return kHeadSize + 50ull * count; }

}  // namespace

bool read_as_ascii(const unsigned char* head, std::size_t head_len) {
    return head_len >= 5 && std::memcmp(head, "solid", 5) == 0;
}

std::string problem_before_reading(const unsigned char* head, std::size_t head_len,
                                   std::uint64_t size) {
    if (size == 0) return "not an STL file: it is empty";
    if (read_as_ascii(head, head_len)) return "";
    if (size < kHeadSize || head_len < kHeadSize)
        return "not an STL file: " + std::to_string(size) +
               " bytes, shorter than the 84-byte header of a binary STL";
    const std::uint32_t count = declared_count(head);
    const std::uint64_t expected = binary_size(count);
    if (size != expected)
        return "not an STL file (truncated or damaged): " + std::to_string(size) +
               " bytes, but a binary STL of " + std::to_string(count) + " facets has " +
               std::to_string(expected);
    if (count == 0) return "no facets: the binary STL declares 0";
    return "";
}

std::string problem_after_reading(const unsigned char* head, std::size_t head_len,
                                  std::uint64_t size, std::size_t facets) {
    if (facets > 0) return "";
    if (!read_as_ascii(head, head_len)) return "no facets";
    // A binary file whose 80-byte header happens to begin with "solid": the
    // reader takes it as ASCII, as the window does, and finds nothing.
    if (head_len >= kHeadSize && declared_count(head) > 0 &&
        size == binary_size(declared_count(head)))
        return "no facets: it begins with \"solid\", so it is read as ASCII, but it holds binary "
               "facets";
    return "no facets: an ASCII STL without a readable facet";
}

}  // namespace stl_check
