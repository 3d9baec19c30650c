#include "model/stl_float.h"

#include <clocale>
#include <cstdlib>
#include <locale.h>

#include "model/word_limit.h"

namespace {

locale_t c_locale() {
    static const locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return loc;
}

}  // namespace

bool parse_stl_float(const char* text, std::size_t len, float& value) {
    const char* p = text;
    const char* end = text + len;
    bool negative = false;
    if (p < end && (*p == '-' || *p == '+')) negative = *p++ == '-';
    std::uint64_t mantissa = 0;
    int digits = 0, exponent = 0;
    bool any_digit = false;
    for (; p < end && *p >= '0' && *p <= '9'; ++p) {
        any_digit = true;
        if (mantissa == 0 && *p == '0') continue;
        if (++digits > 19) break;
        mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
    }
    if (digits <= 19 && p < end && *p == '.') {
        for (++p; p < end && *p >= '0' && *p <= '9'; ++p) {
            any_digit = true;
            if (mantissa == 0 && *p == '0') {
                --exponent;
                continue;
            }
            if (++digits > 19) break;
            mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
            --exponent;
        }
    }
    if (digits <= 19 && any_digit && p < end && (*p == 'e' || *p == 'E')) {
        const char* q = p + 1;
        bool exp_negative = false;
        if (q < end && (*q == '-' || *q == '+')) exp_negative = *q++ == '-';
        int e = 0;
        const char* first = q;
        for (; q < end && *q >= '0' && *q <= '9' && e < 100000; ++q) e = e * 10 + (*q - '0');
        if (q > first) {
            exponent += exp_negative ? -e : e;
            p = q;
        }
    }
    // Fast path: the whole token read, a mantissa and a power of ten that
    // are both exact in double, so one division or product is correctly
    // rounded; the later rounding to float is exact too unless the double
    // lies precisely on a float midpoint or outside the normal float range.
    if (any_digit && digits <= 19 && p == end) {
        if (mantissa == 0) {
            value = negative ? -0.0f : 0.0f;
            return true;
        }
        if (stl_float::exact_float(mantissa, exponent, negative, value)) return true;
    }
    if (len > kMaxWordLength) return false;
    char buf[kMaxWordLength + 1];
    std::memcpy(buf, text, len);
    buf[len] = '\0';
    char* stop = nullptr;
    value = strtof_l(buf, &stop, c_locale());
    return len > 0 && stop == buf + len;
}
