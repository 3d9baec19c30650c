#include "model/stl_binary.h"

#include <algorithm>
#include <cstring>

#include "model/simd.h"

namespace {

constexpr std::size_t kRecord = stl_header::kRecordSize;
constexpr std::size_t kVertices = 12;  // offset of vertex 1 in a record

}  // namespace

bool Stl_Binary_Reader::start(std::uint32_t count, std::size_t size_hint) {
    count_ = count;
    const std::size_t head = stl_header::kHeadSize;
    const std::size_t fit = size_hint > head ? (size_hint - head) / kRecord : 0;
    triangles_.reserve(triangles_.size() + std::min<std::size_t>(count, fit));
    return count > 0;
}

void Stl_Binary_Reader::add_record(const unsigned char* record) {
    Triangle t;
    std::memcpy(t.v, record + kVertices, sizeof t.v);  // STL is little-endian, as are our targets
    if (!is_finite_facet(t)) ++report_.non_finite_facets;
    widen_bounds(bounds_, t.v[0]);
    triangles_.push_back(t);
}

bool Stl_Binary_Reader::feed(const unsigned char* data, std::size_t n) {
    if (records_read_ == count_) return false;
    if (record_len_ > 0) {  // complete the record split by the last feed
        const std::size_t take = std::min(n, kRecord - record_len_);
        std::memcpy(record_ + record_len_, data, take);
        record_len_ += take;
        data += take;
        n -= take;
        if (record_len_ < kRecord) return true;
        add_record(record_);
        record_len_ = 0;
        if (++records_read_ == count_) return false;
    }
    const std::size_t records = std::min<std::size_t>(n / kRecord, count_ - records_read_);
    // add_record's work, with the bounds in locals: stores to the
    // triangles cannot then be taken for stores to them.
    Model_Bounds b = bounds_;
    std::size_t non_finite = 0;
#ifdef VELTRIM_USE_SSE2
    // Lanes x, y, z of the first vertex (the fourth is unused).
    // maxps(v, m) is v > m ? v : m, the same strict test as widen_bounds;
    // a NaN in v leaves m.
    __m128 high = _mm_setr_ps(b.max_x, b.max_y, b.max_z, 0.0f);
    __m128 low = _mm_setr_ps(b.min_x, b.min_y, b.min_z, 0.0f);
    const __m128i exponent = _mm_set1_epi32(0x7f800000);
    for (std::size_t r = 0; r < records; ++r, data += kRecord) {
        const unsigned char* v = data + kVertices;
        const __m128i head = _mm_loadu_si128(reinterpret_cast<const __m128i*>(v));
        const __m128i middle = _mm_loadu_si128(reinterpret_cast<const __m128i*>(v + 16));
        std::uint32_t last;
        std::memcpy(&last, v + 32, 4);
        __m128 first = _mm_castsi128_ps(head);
        // Exponent bits all ones: infinity or NaN.
        const __m128i e1 = _mm_and_si128(head, exponent), e2 = _mm_and_si128(middle, exponent);
        const __m128i bad =
            _mm_or_si128(_mm_cmpeq_epi32(e1, exponent), _mm_cmpeq_epi32(e2, exponent));
        if (_mm_movemask_epi8(bad) != 0 || (last & 0x7f800000u) == 0x7f800000u) {
            ++non_finite;
            // Infinite lanes of vertex 1 become NaN, which leaves the bounds.
            const __m128 inf_or_nan = _mm_castsi128_ps(_mm_cmpeq_epi32(e1, exponent));
            first = _mm_or_ps(first, inf_or_nan);
        }
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
    for (std::size_t r = 0; r < records; ++r, data += kRecord) {
        Triangle t;
        std::memcpy(t.v, data + kVertices, sizeof t.v);  // STL is little-endian, as are our targets
        non_finite += !is_finite_facet(t);
        widen_bounds(b, t.v[0]);
        triangles_.push_back(t);
    }
#endif
    bounds_ = b;
    report_.non_finite_facets += non_finite;
    n -= records * kRecord;
    records_read_ += static_cast<std::uint32_t>(records);
    if (records_read_ == count_) return false;
    if (n > 0) {
        std::memcpy(record_, data, n);
        record_len_ = n;
    }
    return true;
}

void Stl_Binary_Reader::finish() {
    report_.records_read = records_read_;
    report_.ends_before_count = records_read_ < count_;
}
