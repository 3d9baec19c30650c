#pragma once

// Finding the words of an ASCII STL file: whitespace as "%s" sees it in the
// C locale (blank, \t, \n, \v, \f, \r).
#include <cstring>

#include "model/simd.h"

namespace stl_scan {

inline bool is_space(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

#ifdef VELTRIM_USE_SSE2
// Bit k set where p[k] is a space, for 16 bytes at once: far fewer
// mispredicted branches than a byte loop on short words and short gaps.
inline unsigned space_mask16(const unsigned char* p) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i blank = _mm_cmpeq_epi8(x, _mm_set1_epi8(' '));
    const __m128i t = _mm_sub_epi8(x, _mm_set1_epi8('\t'));  // '\t'..'\r' become 0..4
    const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(t, _mm_set1_epi8(4)), t);
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(blank, control)));
}
#endif

// First space at or after p, or end.
inline const unsigned char* find_space(const unsigned char* p, const unsigned char* end) {
#ifdef VELTRIM_USE_SSE2
    for (; end - p >= 16; p += 16)
        if (const unsigned m = space_mask16(p)) return p + __builtin_ctz(m);
#endif
    while (p < end && !is_space(*p)) ++p;
    return p;
}

// First byte at or after p that is not a space, or end.
inline const unsigned char* skip_space(const unsigned char* p, const unsigned char* end) {
#ifdef VELTRIM_USE_SSE2
    for (; end - p >= 16; p += 16)
        if (const unsigned m = ~space_mask16(p) & 0xffffu) return p + __builtin_ctz(m);
#endif
    while (p < end && is_space(*p)) ++p;
    return p;
}

// Whether p starts the whole word "vertex" (p has 7 bytes).
inline bool is_vertex_word(const unsigned char* p) {
    return std::memcmp(p, "vertex", 6) == 0 && is_space(p[6]);
}

}  // namespace stl_scan
