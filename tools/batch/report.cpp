#include "tools/batch/report.h"

#include <iterator>

#include "platform/atomic_write.h"

std::string csv_field(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

namespace {

// A spreadsheet runs a cell that starts with one of these as a formula.
bool starts_like_formula(const std::string& cell) {
    return !cell.empty() && std::string("=+-@\t\r").find(cell[0]) != std::string::npos;
}

}  // namespace

std::string csv_text(const std::vector<Report_Row>& rows, const Run_Columns& run) {
    std::string text =
        "input,output,status,facets,form,real length,clipped pixels,cut,below "
        "plate,message,digest,reason,format,pixel size\r\n";
    for (const Report_Row& r : rows) {
        const std::string* cells[] = {&r.input,       &r.output,      &r.status,  &r.facets,
                                      &r.form,        &r.real_length, &r.clipped, &r.cut,
                                      &r.below_plate, &r.message,     &r.digest,  &r.reason,
                                      &run.format,    &run.pixel_size};
        for (std::size_t i = 0; i < std::size(cells); ++i) {
            if (i > 0) text += ',';
            // A path (the first two) keeps naming its file; other cells turn to text.
            const char* guard = !starts_like_formula(*cells[i]) ? "" : i < 2 ? "./" : "'";
            text += csv_field(guard + *cells[i]);
        }
        text += "\r\n";
    }
    return text;
}

Status write_report(const std::string& path, const std::vector<Report_Row>& rows,
                    const Run_Columns& run) {
    return write_file_atomically(path.c_str(), csv_text(rows, run));
}
