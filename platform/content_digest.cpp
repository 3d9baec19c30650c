#include "platform/content_digest.h"

#include <cerrno>
#include <memory>
#include <unistd.h>

#define XXH_INLINE_ALL
#include <xxhash.h>

#include "platform/text_format.h"

namespace {

XXH3_state_t* state_of(void* p) { return static_cast<XXH3_state_t*>(p); }

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

std::string Content_Digest::hex() const {
    return platform::format_text("%016llx%016llx", static_cast<unsigned long long>(high),
                                 static_cast<unsigned long long>(low));
}

std::optional<Content_Digest> Content_Digest::from_hex(std::string_view text) {
    if (text.size() != 32) return std::nullopt;
    Content_Digest d;
    for (std::size_t i = 0; i < 32; ++i) {
        const int v = hex_value(text[i]);
        if (v < 0) return std::nullopt;
        std::uint64_t& half = i < 16 ? d.high : d.low;
        half = half << 4 | static_cast<std::uint64_t>(v);
    }
    return d;
}

Digest_Stream::Digest_Stream() : state_(XXH3_createState()) {
    XXH3_128bits_reset(state_of(state_));
}

Digest_Stream::~Digest_Stream() { XXH3_freeState(state_of(state_)); }

void Digest_Stream::add(const void* bytes, std::size_t size) {
    XXH3_128bits_update(state_of(state_), bytes, size);
}

Content_Digest Digest_Stream::digest() const {
    const XXH128_hash_t h = XXH3_128bits_digest(state_of(state_));
    return {h.high64, h.low64};
}

std::optional<Content_Digest> digest_of_descriptor(int fd) {
    constexpr std::size_t kBlock = 1 << 20;
    const std::unique_ptr<unsigned char[]> block(new unsigned char[kBlock]);
    Digest_Stream stream;
    for (off_t at = 0;;) {
        const ssize_t n = pread(fd, block.get(), kBlock, at);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) return stream.digest();
        stream.add(block.get(), static_cast<std::size_t>(n));
        at += n;
    }
}
