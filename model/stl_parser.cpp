#include "model/stl_parser.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <locale.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

constexpr std::size_t kHeaderSize = 80;
constexpr std::size_t kHeadSize = 84;
constexpr std::size_t kRecordSize = 50;
constexpr std::size_t kMaxToken = 499;
// Bytes of a typical exporter's ASCII facet, to size the first allocation.
constexpr std::size_t kAsciiFacetBytes = 256;

inline bool is_space(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Bit k set where p[k] is a space, for 16 bytes at once: far fewer
// mispredicted branches than a byte loop on short words and short gaps.
#ifdef __SSE2__
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
#ifdef __SSE2__
    for (; end - p >= 16; p += 16)
        if (const unsigned m = space_mask16(p)) return p + __builtin_ctz(m);
#endif
    while (p < end && !is_space(*p)) ++p;
    return p;
}

// First byte at or after p that is not a space, or end.
inline const unsigned char* skip_space(const unsigned char* p, const unsigned char* end) {
#ifdef __SSE2__
    for (; end - p >= 16; p += 16)
        if (const unsigned m = ~space_mask16(p) & 0xffffu) return p + __builtin_ctz(m);
#endif
    while (p < end && is_space(*p)) ++p;
    return p;
}

inline bool is_digit(unsigned char c) { return static_cast<unsigned char>(c - '0') < 10; }

const double kPow10[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                           1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

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

const std::uint64_t kScale[9] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

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

// The usual number word, [+-]digits[.digits][(e|E)[+-]digits] with at
// most 18 digits before the exponent and 4 in it, read in one pass over
// its bytes. Returns the byte after the number, or nullptr where the word
// needs parse_stl_float (which gives the same value, the long way). Reads
// at most 48 bytes from p: the caller makes sure they are there.
inline const unsigned char* quick_number(const unsigned char* p, float& value) {
    const bool negative = *p == '-';
    p += negative | (*p == '+');
#ifdef __SSE2__
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

inline bool is_vertex_word(const unsigned char* p) {
    return std::memcmp(p, "vertex", 6) == 0 && is_space(p[6]);
}

// The rest of a facet in the usual layout, from just after its first
// "vertex": three numbers, "vertex", three numbers, "vertex", three
// numbers. Stores the numbers in v and returns how many of the eleven
// words were read (11: all), p left after the last of them. Words must
// start before roomy, which leaves 64 bytes for each.
inline int quick_facet(const unsigned char*& p, const unsigned char* roomy, float* v) {
    // Words are mostly one space apart; testing for that first keeps the
    // scan for the next word off the critical path.
    auto next_word = [&](const unsigned char* from) {
        return is_space(from[0]) && !is_space(from[1]) ? from + 1 : skip_space(from, roomy);
    };
    const unsigned char* w = next_word(p);
    int field = 0;
    for (int k = 0; k < 9; ++k) {
        if (k == 3 || k == 6) {
            if (w >= roomy || !is_vertex_word(w)) return field;
            p = w + 6;
            w = next_word(p);
            ++field;
        }
        if (w >= roomy) return field;
        const unsigned char* q = quick_number(w, v[k]);
        if (!q || !is_space(*q)) return field;
        p = q;
        w = next_word(q);
        ++field;
    }
    return field;
}

inline float load_float(const unsigned char* p) {
    float f;
    std::memcpy(&f, p, 4);  // STL is little-endian, as are our targets
    return f;
}

std::string format(const char* fmt, long long value) {
    char line[128];
    std::snprintf(line, sizeof line, fmt, value);
    return line;
}

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
        if (exact_float(mantissa, exponent, negative, value)) return true;
    }
    if (len > kMaxToken) return false;
    char buf[kMaxToken + 1];
    std::memcpy(buf, text, len);
    buf[len] = '\0';
    char* stop = nullptr;
    value = strtof_l(buf, &stop, c_locale());
    return len > 0 && stop == buf + len;
}

Stl_Parser::Stl_Parser(std::vector<Triangle>& triangles, std::size_t size_hint)
    : triangles_(triangles), size_hint_(size_hint) {}

bool Stl_Parser::feed(const unsigned char* data, std::size_t n) {
    if (stopped_) return false;
    if (!form_known_) {
        const std::size_t take = std::min(n, kHeadSize - head_len_);
        std::memcpy(head_ + head_len_, data, take);
        head_len_ += take;
        data += take;
        n -= take;
        if (head_len_ < kHeadSize) return true;
        choose_form();
        if (form_ == Stl_Form::Ascii) feed_ascii(head_, kHeadSize);
    }
    if (form_ == Stl_Form::Binary)
        feed_binary(data, n);
    else if (!stopped_)
        feed_ascii(data, n);
    return !stopped_;
}

void Stl_Parser::choose_form() {
    form_known_ = true;
    std::memcpy(&declared_count_, head_ + kHeaderSize, 4);
    out += format("bin STL Size %lld\n", static_cast<std::int32_t>(declared_count_));
    // The first five header bytes as a zero-terminated text equal "solid".
    form_ = std::memcmp(head_, "solid", 5) == 0 ? Stl_Form::Ascii : Stl_Form::Binary;
    if (form_ == Stl_Form::Binary) {
        out += "This is a \"Binary\" File  \n";
        // Size the array from what the file can hold, never from the count
        // alone: a damaged count may claim four billion facets.
        std::size_t fit = size_hint_ > kHeadSize ? (size_hint_ - kHeadSize) / kRecordSize : 0;
        triangles_.reserve(triangles_.size() + std::min<std::size_t>(declared_count_, fit));
        if (declared_count_ == 0) stopped_ = true;
    } else {
        out += "This is a \"ASCII\" File  \n";
        triangles_.reserve(triangles_.size() + size_hint_ / kAsciiFacetBytes);
    }
}

void Stl_Parser::add_facet(const float* v) {
    // An infinite coordinate would throw the centring and with it the whole
    // model out of sight; such facets (and those with NaN) are left out.
    for (int k = 0; k < 9; ++k)
        if (!std::isfinite(v[k])) {
            ++non_finite_;
            return;
        }
    append_facet(v);
}

void Stl_Parser::append_facet(const float* v) {
    widen_bounds(bounds_, v);
    Triangle t;
    std::memcpy(t.v, v, sizeof t.v);
    triangles_.push_back(t);
}

void Stl_Parser::feed_binary(const unsigned char* data, std::size_t n) {
    float v[9];
    if (record_len_ > 0) {  // complete the record split by the last feed
        const std::size_t take = std::min(n, kRecordSize - record_len_);
        std::memcpy(record_ + record_len_, data, take);
        record_len_ += take;
        data += take;
        n -= take;
        if (record_len_ < kRecordSize) return;
        for (int k = 0; k < 9; ++k) v[k] = load_float(record_ + 12 + 4 * k);
        add_facet(v);
        record_len_ = 0;
        if (++records_read_ == declared_count_) stopped_ = true;
    }
    if (!stopped_ && n >= kRecordSize) {
        const std::size_t records =
            std::min<std::size_t>(n / kRecordSize, declared_count_ - records_read_);
        // add_facet's work, with the bounds in locals: stores to the
        // triangles cannot then be taken for stores to them.
        Model_Bounds b = bounds_;
        std::size_t non_finite = 0;
#ifdef __SSE2__
        // Lanes x, y, z of the first vertex (the fourth is unused).
        // maxps(v, m) is v > m ? v : m, the same strict test as add_facet's.
        __m128 high = _mm_setr_ps(b.max_x, b.max_y, b.max_z, 0.0f);
        __m128 low = _mm_setr_ps(b.min_x, b.min_y, b.min_z, 0.0f);
        const __m128i exponent = _mm_set1_epi32(0x7f800000);
        for (std::size_t r = 0; r < records; ++r, data += kRecordSize) {
            const unsigned char* v = data + 12;
            const __m128i head = _mm_loadu_si128(reinterpret_cast<const __m128i*>(v));
            const __m128i middle = _mm_loadu_si128(reinterpret_cast<const __m128i*>(v + 16));
            std::uint32_t last;
            std::memcpy(&last, v + 32, 4);
            // Exponent bits all ones: infinity or NaN.
            const __m128i e1 = _mm_and_si128(head, exponent), e2 = _mm_and_si128(middle, exponent);
            const __m128i bad =
                _mm_or_si128(_mm_cmpeq_epi32(e1, exponent), _mm_cmpeq_epi32(e2, exponent));
            if (_mm_movemask_epi8(bad) != 0 || (last & 0x7f800000u) == 0x7f800000u) {
                ++non_finite;
                continue;
            }
            const __m128 first = _mm_castsi128_ps(head);
            high = _mm_max_ps(first, high);
            low = _mm_min_ps(first, low);
            Triangle t;
            std::memcpy(t.v, v, sizeof t.v);  // STL is little-endian, as are our targets
            triangles_.push_back(t);
        }
        float h[4], l[4];
        _mm_storeu_ps(h, high);
        _mm_storeu_ps(l, low);
        b.max_x = h[0], b.max_y = h[1], b.max_z = h[2];
        b.min_x = l[0], b.min_y = l[1], b.min_z = l[2];
#else
        for (std::size_t r = 0; r < records; ++r, data += kRecordSize) {
            Triangle t;
            std::memcpy(t.v, data + 12, sizeof t.v);  // STL is little-endian, as are our targets
            std::uint32_t w[9], all_ones = 0;         // exponent bits all ones carry into bit 31
            std::memcpy(w, t.v, sizeof w);
            for (int k = 0; k < 9; ++k)
                all_ones |= ((w[k] & 0x7f800000u) + 0x00800000u) & 0x80000000u;
            if (all_ones) {
                ++non_finite;
                continue;
            }
            widen_bounds(b, t.v[0]);
            triangles_.push_back(t);
        }
#endif
        bounds_ = b;
        non_finite_ += non_finite;
        n -= records * kRecordSize;
        records_read_ += static_cast<std::uint32_t>(records);
        if (records_read_ == declared_count_) stopped_ = true;
    }
    if (!stopped_ && n > 0) {
        std::memcpy(record_, data, n);
        record_len_ = n;
    }
}

void Stl_Parser::feed_ascii(const unsigned char* data, std::size_t n) {
    const unsigned char* p = data;
    const unsigned char* const end = data + n;
    if (token_len_ > 0 || token_overlong_) {  // a word begun in the last feed
        const unsigned char* start = p;
        p = find_space(p, end);
        const std::size_t len = static_cast<std::size_t>(p - start);
        if (token_len_ + len > kMaxToken) token_overlong_ = true;
        if (!token_overlong_) std::memcpy(token_ + token_len_, start, len);
        if (p == end) {  // and it goes on still
            if (!token_overlong_) token_len_ += len;
            return;
        }
        on_token(token_, token_overlong_ ? kMaxToken + 1 : token_len_ + len);
        token_len_ = 0;
        token_overlong_ = false;
    }
    // Words that start before `roomy` have 64 bytes after their start in
    // this feed: the usual ones ("vertex", short numbers) are then read in
    // place, without bounds checks. Everything else goes through on_token.
    const unsigned char* const roomy = n > 64 ? end - 64 : data;
    while (!stopped_) {
        p = skip_space(p, end);
        if (p == end) return;
        if (p < roomy) {
            const int field = facet_field_;
            if (field < 0) {
                if (is_vertex_word(p)) {
                    p += 6;
                    facet_readable_ = true;
                    const int done = quick_facet(p, roomy, facet_);
                    if (done == 11) {
                        // add_facet's work less its test for infinity and
                        // NaN: the quick reading gives finite numbers only.
                        facet_field_ = -1;
                        append_facet(facet_);
                    } else {
                        facet_field_ = done;  // the word loop takes over there
                    }
                    continue;
                }
                // Between facets only "vertex", "endsolid" and overlong
                // words matter. When the next 'v' starts a whole "vertex"
                // less than 500 bytes on, with no 's' before it, nothing in
                // between can be either of the others: jump there.
                const std::size_t ahead = std::min<std::size_t>(roomy - p, kMaxToken);
                if (const void* v = std::memchr(p, 'v', ahead)) {
                    const unsigned char* w = static_cast<const unsigned char*>(v);
                    if (w > p && is_space(w[-1]) && is_vertex_word(w) &&
                        !std::memchr(p, 's', w - p)) {
                        p = w;
                        continue;
                    }
                }
                if (!(std::memcmp(p, "endsolid", 8) == 0 && is_space(p[8]))) {
                    const unsigned char* q = find_space(p, end);
                    if (q != end && q - p <= static_cast<std::ptrdiff_t>(kMaxToken)) {
                        p = q;
                        continue;
                    }
                }
            } else if (field == 3 || field == 7) {
                if (is_vertex_word(p)) {
                    facet_field_ = field + 1;
                    p += 6;
                    continue;
                }
            } else {
                float value;
                const unsigned char* q = quick_number(p, value);
                if (q && is_space(*q)) {
                    facet_[field < 3 ? field : field < 7 ? field - 1 : field - 2] = value;
                    facet_field_ = field + 1;
                    p = q;
                    if (field == 10) {  // as on_token ends a facet
                        facet_field_ = -1;
                        if (facet_readable_)
                            add_facet(facet_);
                        else
                            ++dropped_;
                    }
                    continue;
                }
            }
        }
        const unsigned char* start = p;
        p = find_space(p, end);
        const std::size_t len = static_cast<std::size_t>(p - start);
        if (p == end) {  // the word may go on in the next feed
            if (len > kMaxToken) {
                token_overlong_ = true;
            } else {
                std::memcpy(token_, start, len);
                token_len_ = len;
            }
            return;
        }
        on_token(reinterpret_cast<const char*>(start), len);
    }
}

void Stl_Parser::on_token(const char* text, std::size_t len) {
    if (len > kMaxToken) ++overlong_tokens_;
    if (facet_field_ < 0) {
        if (len == 6 && std::memcmp(text, "vertex", 6) == 0) {
            facet_field_ = 0;
            facet_readable_ = true;
        } else if (len == 8 && std::memcmp(text, "endsolid", 8) == 0) {
            stopped_ = true;
        }
        return;
    }
    // Nine numbers in three groups; the token between two groups (the next
    // "vertex" keyword in a well-formed file) is consumed unread.
    const int field = facet_field_++;
    if (field != 3 && field != 7) {
        const int slot = field < 3 ? field : field < 7 ? field - 1 : field - 2;
        if (len > kMaxToken || !parse_stl_float(text, len, facet_[slot])) facet_readable_ = false;
    }
    if (field == 10) {
        facet_field_ = -1;
        if (facet_readable_)
            add_facet(facet_);
        else
            ++dropped_;
    }
}

void Stl_Parser::finish() {
    if (!form_known_) {  // shorter than a header: the missing bytes count as zero
        choose_form();
        if (form_ == Stl_Form::Ascii) feed_ascii(head_, head_len_);
    }
    if (form_ == Stl_Form::Binary) {
        if (!stopped_ && records_read_ < declared_count_)
            err += format("STL file ends after %lld", records_read_) +
                   format(" of %lld facets; the facets read are kept\n", declared_count_);
        report_non_finite();
        return;
    }
    if (!stopped_ && (token_len_ > 0 || token_overlong_)) {  // the last token ran to the end
        on_token(token_, token_overlong_ ? kMaxToken + 1 : token_len_);
        token_len_ = 0;
        token_overlong_ = false;
    }
    if (facet_field_ >= 0) {
        facet_field_ = -1;
        err += "STL file ends inside a facet; that facet was left out\n";
    }
    if (dropped_ > 0)
        err += format("%lld facets with numbers that cannot be read were left out\n",
                      static_cast<long long>(dropped_));
    if (overlong_tokens_ > 0)
        err += format("%lld words longer than 499 characters were skipped\n",
                      static_cast<long long>(overlong_tokens_));
    report_non_finite();
}

void Stl_Parser::report_non_finite() {
    if (non_finite_ > 0)
        err += format("%lld facets with coordinates that are not finite were left out\n",
                      static_cast<long long>(non_finite_));
}
