#include "model/stl_parser.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <locale.h>

namespace {

constexpr std::size_t kHeaderSize = 80;
constexpr std::size_t kHeadSize = 84;
constexpr std::size_t kRecordSize = 50;
constexpr std::size_t kMaxToken = 499;
// Bytes of a typical exporter's ASCII facet, to size the first allocation.
constexpr std::size_t kAsciiFacetBytes = 256;

inline bool is_space(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

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
    static const double kPow10[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                      1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                      1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
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
        if (mantissa < (1ull << 53) && exponent >= -22 && exponent <= 22) {
            const double d = exponent < 0 ? static_cast<double>(mantissa) / kPow10[-exponent]
                                          : static_cast<double>(mantissa) * kPow10[exponent];
            std::uint64_t bits;
            std::memcpy(&bits, &d, 8);
            const bool midpoint = (bits & ((1ull << 29) - 1)) == (1ull << 28);
            if (!midpoint && d >= FLT_MIN && d <= FLT_MAX) {
                value = static_cast<float>(negative ? -d : d);
                return true;
            }
        }
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
    Model_Bounds& b = bounds_;
    // Strict tests, each on its own: a coordinate that is not a number
    // changes nothing.
    if (v[0] > b.max_x) b.max_x = v[0];
    if (v[0] < b.min_x) b.min_x = v[0];
    if (v[1] > b.max_y) b.max_y = v[1];
    if (v[1] < b.min_y) b.min_y = v[1];
    if (v[2] > b.max_z) b.max_z = v[2];
    if (v[2] < b.min_z) b.min_z = v[2];
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
    while (!stopped_ && n >= kRecordSize) {
        for (int k = 0; k < 9; ++k) v[k] = load_float(data + 12 + 4 * k);
        add_facet(v);
        data += kRecordSize;
        n -= kRecordSize;
        if (++records_read_ == declared_count_) stopped_ = true;
    }
    if (!stopped_ && n > 0) {
        std::memcpy(record_, data, n);
        record_len_ = n;
    }
}

void Stl_Parser::feed_ascii(const unsigned char* data, std::size_t n) {
    const unsigned char* p = data;
    const unsigned char* end = data + n;
    while (p < end && !stopped_) {
        if (token_len_ == 0 && !token_overlong_) {
            while (p < end && is_space(*p)) ++p;
            if (p == end) break;
        }
        const unsigned char* start = p;
        while (p < end && !is_space(*p)) ++p;
        const std::size_t len = static_cast<std::size_t>(p - start);
        if (p == end) {  // the token may go on in the next feed
            if (token_len_ + len > kMaxToken) {
                token_overlong_ = true;
            } else {
                std::memcpy(token_ + token_len_, start, len);
                token_len_ += len;
            }
            break;
        }
        if (token_len_ == 0 && !token_overlong_) {
            on_token(reinterpret_cast<const char*>(start), len);
        } else {
            if (token_len_ + len > kMaxToken) token_overlong_ = true;
            if (!token_overlong_) std::memcpy(token_ + token_len_, start, len);
            on_token(token_, token_overlong_ ? kMaxToken + 1 : token_len_ + len);
            token_len_ = 0;
            token_overlong_ = false;
        }
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
