#include "model/stl_ascii.h"

#include <algorithm>
#include <cstring>

#include "model/stl_float.h"
#include "model/stl_scan.h"

namespace {

using stl_float::quick_number;
using stl_scan::find_space;
using stl_scan::is_space;
using stl_scan::is_vertex_word;
using stl_scan::skip_space;

// Bytes of a typical exporter's ASCII facet, to size the first allocation.
constexpr std::size_t kFacetBytes = 256;
// Bytes a word read in place has after its start in the same feed: what
// quick_number may read, then the two bytes after a number that quick_facet
// looks at for the next word.
constexpr std::size_t kWordRoom = 64;
static_assert(kWordRoom >= stl_float::kQuickNumberReach + 2,
              "a word read in place must leave quick_number its reach");

// Where the number of a facet's word `field` goes: fields 3 and 7 are the
// words between the groups.
inline int slot(int field) { return field < 3 ? field : field < 7 ? field - 1 : field - 2; }

// The rest of a facet in the usual layout, from just after its first
// "vertex": three numbers, "vertex", three numbers, "vertex", three
// numbers. Stores the numbers in v and returns how many of the eleven
// words were read (11: all), p left after the last of them. Words must
// start before roomy, which leaves kWordRoom bytes for each.
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

}  // namespace

void Stl_Ascii_Reader::start(std::size_t size_hint) {
    triangles_.reserve(triangles_.size() + size_hint / kFacetBytes);
}

void Stl_Ascii_Reader::begin_facet() {
    field_ = 0;
    readable_ = true;
}

// The one place a facet ends, whichever way its words were read.
void Stl_Ascii_Reader::end_facet() {
    field_ = -1;
    if (!readable_) {
        ++report_.unreadable_facets;
        return;
    }
    if (!is_finite_facet(facet_)) ++report_.non_finite_facets;
    widen_bounds(bounds_, facet_);
    Triangle t;
    std::memcpy(t.v, facet_, sizeof t.v);
    triangles_.push_back(t);
}

bool Stl_Ascii_Reader::feed(const unsigned char* data, std::size_t n) {
    if (stopped_) return false;
    const unsigned char* p = data;
    const unsigned char* const end = data + n;
    if (word_len_ > 0 || word_overlong_) {  // a word begun in the last feed
        const unsigned char* start = p;
        p = find_space(p, end);
        const std::size_t len = static_cast<std::size_t>(p - start);
        if (word_len_ + len > kMaxWordLength) word_overlong_ = true;
        if (!word_overlong_) std::memcpy(word_ + word_len_, start, len);
        if (p == end) {  // and it goes on still
            if (!word_overlong_) word_len_ += len;
            return true;
        }
        on_word(word_, word_overlong_ ? kMaxWordLength + 1 : word_len_ + len);
        word_len_ = 0;
        word_overlong_ = false;
    }
    // Words that start before `roomy` have kWordRoom bytes after their
    // start in this feed: the usual ones ("vertex", short numbers) are then
    // read in place, without bounds checks. Everything else goes through
    // on_word.
    const unsigned char* const roomy = n > kWordRoom ? end - kWordRoom : data;
    while (!stopped_) {
        p = skip_space(p, end);
        if (p == end) return true;
        if (p < roomy) {
            const int field = field_;
            if (field < 0) {
                if (is_vertex_word(p)) {
                    p += 6;
                    begin_facet();
                    field_ = quick_facet(p, roomy, facet_);  // the word loop goes on from there
                    if (field_ == 11) end_facet();
                    continue;
                }
                // Between facets only "vertex", "endsolid" and overlong
                // words matter. When the next 'v' starts a whole "vertex"
                // fewer than kMaxWordLength bytes on, with no 's' before
                // it, nothing in between can be either of the others: jump
                // there.
                const std::size_t ahead = std::min<std::size_t>(roomy - p, kMaxWordLength);
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
                    if (q != end && q - p <= static_cast<std::ptrdiff_t>(kMaxWordLength)) {
                        p = q;
                        continue;
                    }
                }
            } else if (field == 3 || field == 7) {
                if (is_vertex_word(p)) {
                    field_ = field + 1;
                    p += 6;
                    continue;
                }
            } else {
                float value;
                const unsigned char* q = quick_number(p, value);
                if (q && is_space(*q)) {
                    facet_[slot(field)] = value;
                    p = q;
                    if (++field_ == 11) end_facet();
                    continue;
                }
            }
        }
        const unsigned char* start = p;
        p = find_space(p, end);
        const std::size_t len = static_cast<std::size_t>(p - start);
        if (p == end) {  // the word may go on in the next feed
            if (len > kMaxWordLength) {
                word_overlong_ = true;
            } else {
                std::memcpy(word_, start, len);
                word_len_ = len;
            }
            return true;
        }
        on_word(reinterpret_cast<const char*>(start), len);
    }
    return false;
}

void Stl_Ascii_Reader::on_word(const char* text, std::size_t len) {
    if (len > kMaxWordLength) ++report_.overlong_words;
    if (field_ < 0) {
        if (len == 6 && std::memcmp(text, "vertex", 6) == 0)
            begin_facet();
        else if (len == 8 && std::memcmp(text, "endsolid", 8) == 0)
            stopped_ = true;
        return;
    }
    const int field = field_;
    if (field != 3 && field != 7 &&
        (len > kMaxWordLength || !parse_stl_float(text, len, facet_[slot(field)])))
        readable_ = false;
    if (++field_ == 11) end_facet();
}

void Stl_Ascii_Reader::finish() {
    if (!stopped_ && (word_len_ > 0 || word_overlong_)) {  // the last word ran to the end
        on_word(word_, word_overlong_ ? kMaxWordLength + 1 : word_len_);
        word_len_ = 0;
        word_overlong_ = false;
    }
    if (field_ >= 0) {
        field_ = -1;
        report_.ends_inside_facet = true;
    }
    if (!stopped_) report_.ends_without_endsolid = true;
}
