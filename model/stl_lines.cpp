#include "model/stl_lines.h"

#include <cstdint>
#include <string>

#include "model/word_limit.h"
#include "platform/text_format.h"

using platform::format_text;

std::vector<std::string> stl_form_lines(const Stl_Report& report) {
    // The count is printed signed, as the 32-bit field reads with "%d".
    return {format_text("bin STL Size %d", static_cast<std::int32_t>(report.declared_count)),
            report.form == Stl_Form::Binary ? "This is a \"Binary\" File  "
                                            : "This is a \"ASCII\" File  "};
}

std::vector<std::string> stl_damage_lines(const Stl_Report& report, const char* path) {
    std::vector<std::string> lines;
    if (!report.read_error.empty())
        lines.push_back(std::string("read error in \"") + path + "\": " + report.read_error);
    if (report.ends_before_count)
        lines.push_back(
            format_text("STL file is cut: it ends after %u of %u facets; the facets read are kept",
                        report.records_read, report.declared_count));
    if (report.ends_inside_facet)
        lines.push_back("STL file is cut: it ends inside a facet; that facet was left out");
    else if (report.ends_without_endsolid)  // a facet cut short says so already
        lines.push_back("STL file is cut: it ends without \"endsolid\"");
    if (report.unreadable_facets > 0)
        lines.push_back(format_text("%zu facets with numbers that cannot be read were left out",
                                    report.unreadable_facets));
    if (report.overlong_words > 0)
        lines.push_back(format_text("%zu words longer than %zu characters were skipped",
                                    report.overlong_words, kMaxWordLength));
    if (report.non_finite_facets > 0)
        lines.push_back(format_text("%zu facets with coordinates that are not finite are not drawn",
                                    report.non_finite_facets));
    return lines;
}

std::string stl_open_failure_line(const char* path, const Status& why) {
    return std::string("cannot open \"") + path + "\": " + why.reason();
}

const char* being_written_reason(const Stl_Report& report) {
    return report.writer == Lease_State::Busy ? kWriterHasIt : kChangedWhileRead;
}
