#pragma once

// Reading ASCII STL numbers exactly as strtof does in the C locale, fast
// for the usual number words.
#include <cfloat>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "model/simd.h"

// Exactly what strtof gives for a whole token in the C locale; false if the
// token is not entirely a number.
bool parse_stl_float(const char* text, std::size_t len, float& value);

namespace stl_float {

inline bool is_digit(unsigned char c) { return static_cast<unsigned char>(c - '0') < 10; }

inline constexpr double kPow10[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                      1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                      1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
// x, negated when negative, without a branch on the sign (which follows
// the data, so is hard to predict).
inline float with_sign(float x, bool negative) {
    std::uint32_t bits;
    std::memcpy(&bits, &x, 4);
    bits |= static_cast<std::uint32_t>(negative) << 31;
    std::memcpy(&x, &bits, 4);
    return x;
}

// mantissa x 10^exponent as strtof rounds it, where one correctly rounded
// double operation followed by the rounding to float is sure to agree;
// false where it is not.
inline bool exact_float(std::uint64_t mantissa, int exponent, bool negative, float& value) {
    if (mantissa >= (1ull << 53) || exponent < -22 || exponent > 22) return false;
    const double d = exponent < 0 ? static_cast<double>(mantissa) / kPow10[-exponent]
                                  : static_cast<double>(mantissa) * kPow10[exponent];
    std::uint64_t bits;
    std::memcpy(&bits, &d, 8);
    const bool midpoint = (bits & ((1ull << 29) - 1)) == (1ull << 28);
    if (midpoint || !(d >= FLT_MIN && d <= FLT_MAX)) return false;
    value = with_sign(static_cast<float>(d), negative);  // rounding is symmetric about zero
    return true;
}

inline constexpr std::uint64_t kScale[9] = {1,      10,      100,      1000,     10000,
                                            100000, 1000000, 10000000, 100000000};

// The value of the first count (1 to 8) bytes of w, which are digits (w
// loaded little-endian: the first byte is the lowest).
inline std::uint64_t digits_value(std::uint64_t w, int count) {
    // The digits moved up to the top, zero digits before them; then the
    // usual three multiply steps of eight digits.
    std::uint64_t v = (w - 0x3030303030303030ull) << (8 * (8 - count));
    v = v * 10 + (v >> 8);
    return (((v & 0x000000ff000000ffull) * (100 + (1000000ull << 32))) +
            (((v >> 16) & 0x000000ff000000ffull) * (1 + (10000ull << 32)))) >>
           32;
}

// Counts the digits that start the 8 bytes at p (0 to 8) and adds their
// value to mantissa, shifted in: mantissa x 10^count + value.
inline int digit_run8(const unsigned char* p, std::uint64_t& mantissa) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);  // little-endian: the first byte is the lowest
    // High bit of a byte set where it is above '9' or below '0'. Carries
    // and borrows only move toward later bytes, so the first non-digit is
    // always found exactly.
    const std::uint64_t odd =
        ((w + 0x4646464646464646ull) | (w - 0x3030303030303030ull)) & 0x8080808080808080ull;
    const int count = odd ? __builtin_ctzll(odd) >> 3 : 8;
    if (count == 0) return 0;
    mantissa = mantissa * kScale[count] + digits_value(w, count);
    return count;
}

// How many bytes from its start quick_number may read: it looks ahead
// without bounds checks, so the caller must have that many there.
inline constexpr std::size_t kQuickNumberReach = 48;

// The usual number word, [+-]digits[.digits][(e|E)[+-]digits] with at
// most 18 digits before the exponent and 4 in it, read in one pass over
// its bytes. Returns the byte after the number (less than
// kQuickNumberReach bytes on), or nullptr where the word needs
// parse_stl_float (which gives the same value, the long way).
// Precondition: p[0] to p[kQuickNumberReach - 1] are readable.
inline const unsigned char* quick_number(const unsigned char* p, float& value) {
    const bool negative = *p == '-';
    p += negative | (*p == '+');
#ifdef VELTRIM_USE_SSE2
    {
        // What "%.<n>e" writes: one digit, '.', n digits (1 to 8), e or E,
        // a sign, two or three digits. Where one digit mask of 16 bytes
        // shows that shape, every length is known at once.
        const __m128i x =
            _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), _mm_set1_epi8('0'));
        const unsigned digit = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(x, _mm_set1_epi8(9)), x)));
        if ((digit & 3) == 1 && p[1] == '.') {
            const int n = __builtin_ctz(~digit >> 2);
            const unsigned char* e = p + 2 + n;
            if (n >= 1 && n <= 8 && (*e == 'e' || *e == 'E') && (e[1] == '-' || e[1] == '+')) {
                const int m = __builtin_ctz(~digit >> (4 + n));
                if (m == 2 || m == 3) {
                    std::uint64_t w;
                    std::memcpy(&w, p + 2, 8);
                    const std::uint64_t mantissa = (p[0] - '0') * kScale[n] + digits_value(w, n);
                    int e10 = (e[2] - '0') * 10 + (e[3] - '0');
                    if (m == 3) e10 = e10 * 10 + (e[4] - '0');
                    const int exponent = (e[1] == '-' ? -e10 : e10) - n;
                    if (mantissa == 0) {
                        value = with_sign(0.0f, negative);
                        return e + 2 + m;
                    }
                    return exact_float(mantissa, exponent, negative, value) ? e + 2 + m : nullptr;
                }
            }
        }
    }
#endif
    std::uint64_t mantissa = 0;
    int digits = 0;
    if (is_digit(p[0]) && !is_digit(p[1])) {  // one digit, as "%e" writes
        mantissa = p[0] - '0';
        digits = 1;
        ++p;
    } else {
        for (int n = 8; n == 8 && digits <= 18;) {
            n = digit_run8(p, mantissa);
            p += n;
            digits += n;
        }
        if (digits > 18) return nullptr;  // the mantissa may have overflowed
    }
    int exponent = 0;
    if (*p == '.') {
        ++p;
        for (int n = 8; n == 8 && digits <= 18;) {
            n = digit_run8(p, mantissa);
            p += n;
            digits += n;
            exponent -= n;
        }
        if (digits > 18) return nullptr;
    }
    if (digits == 0) return nullptr;
    if (*p == 'e' || *p == 'E') {
        const unsigned char* q = p + 1;
        bool exp_negative = false;
        if (*q == '-' || *q == '+') exp_negative = *q++ == '-';
        int e = 0;
        if (is_digit(q[0]) && is_digit(q[1]) && !is_digit(q[2])) {  // two digits, as "%e" writes
            e = (q[0] - '0') * 10 + (q[1] - '0');
            q += 2;
        } else {
            const unsigned char* const exp_first = q;
            for (; is_digit(*q); ++q) {
                if (q - exp_first == 4) return nullptr;
                e = e * 10 + (*q - '0');
            }
            if (q == exp_first) return nullptr;
        }
        exponent += exp_negative ? -e : e;
        p = q;
    }
    if (mantissa == 0) {
        value = with_sign(0.0f, negative);
        return p;
    }
    return exact_float(mantissa, exponent, negative, value) ? p : nullptr;
}

}  // namespace stl_float
