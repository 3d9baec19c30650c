#include "app/load_notice.h"

#include "model/stl_lines.h"
#include "platform/file_names.h"
#include "platform/text_format.h"

std::string load_notice(const char* path, const Status& opened, const Status& kind,
                        const Stl_Report& report, std::size_t facets) {
    const std::string name = platform::file_name_of(path);
    if (!opened) return "ERROR: could not open " + name + ": " + opened.reason();
    if (!kind) return "ERROR: " + name + " is " + kind.reason();
    // What was read may be a part: say so before anything it holds.
    if (report.being_written())
        return "WARNING: " + name + " is " + kStillWritten + being_written_reason(report) + "; " +
               std::to_string(facets) + " facets read so far. Load it again once it is finished.";
    const char* form = report.form == Stl_Form::Binary ? "binary" : "ASCII";
    if (facets == 0)
        return "WARNING: " + name + " holds no readable model (0 facets read as " + form + " STL).";
    std::string text =
        "Loaded " + name + ": " + std::to_string(facets) + " facets, " + form + " STL.";
    const std::vector<std::string> damage = stl_damage_lines(report, name.c_str());
    if (!damage.empty()) text = "WARNING: " + text + " " + platform::joined(damage, ";") + ".";
    return text + " Keys x, y, z turn it a quarter turn; with Shift, back.";
}

Notice_Tone load_tone(const Status& kind, const Stl_Report& report, std::size_t facets) {
    if (!kind) return Notice_Tone::Error;
    return facets == 0 || !report.sound() || report.being_written() ? Notice_Tone::Warning
                                                                    : Notice_Tone::Info;
}
