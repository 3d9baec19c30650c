// libFuzzer target for the STL parser. Beyond "no crash", it checks that
// the result never depends on how the bytes are split into blocks, that no
// more facets come out than the bytes can hold, and that the number reader
// agrees with strtof bit for bit.
#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <vector>

#include "model/stl_float.h"
#include "model/stl_parser.h"

namespace {

struct Result {
    std::vector<Triangle> triangles;
    Model_Bounds bounds;
    Stl_Report report;
};

Result parse(const unsigned char* data, std::size_t size, std::size_t block) {
    Result r;
    Stl_Parser p(r.triangles, size);
    for (std::size_t at = 0; at < size; at += block)
        if (!p.feed(data + at, std::min(block, size - at))) break;
    p.finish();
    r.bounds = p.bounds();
    r.report = p.report();
    return r;
}

void check(bool ok) {
    if (!ok) std::abort();
}

void check_float(const unsigned char* data, std::size_t size) {
    if (size == 0 || size > 60) return;
    for (std::size_t i = 0; i < size; ++i)
        if (data[i] == 0 || data[i] <= ' ') return;
    const char* text = reinterpret_cast<const char*>(data);
    float ours;
    if (!parse_stl_float(text, size, ours)) return;
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    char buf[64];
    std::memcpy(buf, text, size);
    buf[size] = '\0';
    char* end;
    const float theirs = strtof_l(buf, &end, c);
    check(end == buf + size);
    check(std::memcmp(&ours, &theirs, 4) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    check_float(data, size);
    const Result whole = parse(data, size, size ? size : 1);
    const std::size_t block = size ? 1 + data[0] % 97 : 1;
    const Result split = parse(data, size, block);
    check(whole.triangles.size() == split.triangles.size());
    check(whole.triangles.empty() || std::memcmp(whole.triangles.data(), split.triangles.data(),
                                                 whole.triangles.size() * sizeof(Triangle)) == 0);
    check(std::memcmp(&whole.bounds, &split.bounds, sizeof whole.bounds) == 0);
    const Stl_Report &a = whole.report, &b = split.report;
    check(a.form == b.form && a.declared_count == b.declared_count &&
          a.records_read == b.records_read && a.ends_before_count == b.ends_before_count &&
          a.ends_without_endsolid == b.ends_without_endsolid &&
          a.ends_inside_facet == b.ends_inside_facet &&
          a.unreadable_facets == b.unreadable_facets && a.overlong_words == b.overlong_words &&
          a.non_finite_facets == b.non_finite_facets);
    // Binary records take 50 bytes, the shortest ASCII facet 24.
    check(whole.triangles.size() <= size / 24);
    return 0;
}
