#include "model/stl_lines.h"

#include <cstdint>
#include <cstdio>
#include <string>

#include "model/word_limit.h"

namespace {

std::string format(const char* fmt, long long value) {
    char line[128];
    std::snprintf(line, sizeof line, fmt, value);
    return line;
}

}  // namespace

std::string stl_form_lines(const Stl_Report& report) {
    // The count is printed signed, as the 32-bit field reads with "%d".
    return format("bin STL Size %lld\n", static_cast<std::int32_t>(report.declared_count)) +
           (report.form == Stl_Form::Binary ? "This is a \"Binary\" File  \n"
                                            : "This is a \"ASCII\" File  \n");
}

std::string stl_damage_lines(const Stl_Report& report, const char* path) {
    std::string lines;
    if (!report.read_error.empty())
        lines += std::string("read error in \"") + path + "\": " + report.read_error + "\n";
    if (report.ends_before_count)
        lines += format("STL file is cut: it ends after %lld", report.records_read) +
                 format(" of %lld facets; the facets read are kept\n", report.declared_count);
    if (report.ends_inside_facet)
        lines += "STL file is cut: it ends inside a facet; that facet was left out\n";
    else if (report.ends_without_endsolid)  // a facet cut short says so already
        lines += "STL file is cut: it ends without \"endsolid\"\n";
    if (report.unreadable_facets > 0)
        lines += format("%lld facets with numbers that cannot be read were left out\n",
                        static_cast<long long>(report.unreadable_facets));
    if (report.overlong_words > 0)
        lines += format("%lld words longer than ", static_cast<long long>(report.overlong_words)) +
                 std::to_string(kMaxWordLength) + " characters were skipped\n";
    if (report.non_finite_facets > 0)
        lines += format("%lld facets with coordinates that are not finite are not drawn\n",
                        static_cast<long long>(report.non_finite_facets));
    return lines;
}

std::string stl_open_failure_line(const char* path, const Status& why) {
    return std::string("cannot open \"") + path + "\": " + why.reason() + "\n";
}

const char* being_written_reason(const Stl_Report& report) {
    return report.writer == Lease_State::Busy ? kWriterHasIt : kChangedWhileRead;
}
