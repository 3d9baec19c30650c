#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// A 128-bit digest of a file's bytes (XXH3-128): fast enough to take over
// every byte a conversion reads, and wide enough that two different scans
// never share one by chance. Not cryptographic: it tells changed content
// apart, it does not stand against someone forging a file.
struct Content_Digest {
    std::uint64_t high = 0, low = 0;

    // 32 lower-case hex digits, high half first.
    std::string hex() const;
    static std::optional<Content_Digest> from_hex(std::string_view text);

    bool operator==(const Content_Digest& o) const { return high == o.high && low == o.low; }
    bool operator!=(const Content_Digest& o) const { return !(*this == o); }
};

// Takes bytes in pieces, as a file is read block by block.
class Digest_Stream {
public:
    Digest_Stream();
    ~Digest_Stream();
    Digest_Stream(const Digest_Stream&) = delete;
    Digest_Stream& operator=(const Digest_Stream&) = delete;

    void add(const void* bytes, std::size_t size);
    Content_Digest digest() const;

private:
    void* state_;  // the hash library's state, kept out of this header
};

// The digest of a whole open file, read from its start in large blocks
// without moving its offset; nothing when a read fails.
std::optional<Content_Digest> digest_of_descriptor(int fd);
