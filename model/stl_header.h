#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// The first 84 bytes of an STL file: an 80-byte header, then the binary
// facet count (unsigned 32-bit, little-endian). A file whose first five
// bytes are "solid" is read as ASCII, any other as binary. Bytes that a
// short file lacks count as zero.
enum class Stl_Form { Binary, Ascii };

namespace stl_header {

constexpr std::size_t kHeaderSize = 80;
constexpr std::size_t kHeadSize = 84;    // header and facet count
constexpr std::size_t kRecordSize = 50;  // one binary facet

inline Stl_Form form(const unsigned char* head, std::size_t len) {
    return len >= 5 && std::memcmp(head, "solid", 5) == 0 ? Stl_Form::Ascii : Stl_Form::Binary;
}

inline std::uint32_t declared_count(const unsigned char* head, std::size_t len) {
    unsigned char bytes[4] = {};
    if (len > kHeaderSize)
        std::memcpy(bytes, head + kHeaderSize, len < kHeadSize ? len - kHeaderSize : 4);
    std::uint32_t n;
    std::memcpy(&n, bytes, 4);  // little-endian, as are our targets
    return n;
}

// The size of a binary file that holds exactly `count` facets.
inline std::uint64_t binary_size(std::uint32_t count) {
    return kHeadSize + std::uint64_t(kRecordSize) * count;
}

}  // namespace stl_header
