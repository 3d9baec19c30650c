#include "tools/batch/options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace {

Status bad(const std::string& step, const std::string& why) {
    return Status::failed("--rotate: \"" + step + "\": " + why);
}

constexpr std::size_t kMaxSteps = 64;  // one frame each, before every model

// [+-]digits[.digits][e[+-]digits] and nothing else: strtod alone would also
// take hex, inf, nan and leading blanks.
bool is_decimal(const std::string& s) {
    std::size_t k = 0;
    auto digits = [&] {
        const std::size_t from = k;
        while (k < s.size() && s[k] >= '0' && s[k] <= '9') ++k;
        return k > from;
    };
    if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
    if (!digits()) return false;
    if (k < s.size() && s[k] == '.' && (++k, !digits())) return false;
    if (k < s.size() && s[k] == 'e') {
        ++k;
        if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
        if (!digits()) return false;
    }
    return k == s.size();
}

// Whole turns drop out exactly: a float angle of 360000 degrees turns GL's
// matrix off by its rounding. Under one turn the float parse is kept as it
// was, with no second rounding through double.
bool parse_degrees(const std::string& number, float& degrees) {
    if (!is_decimal(number)) return false;
    const double d = std::strtod(number.c_str(), nullptr);
    if (!std::isfinite(d)) return false;
    degrees = std::fabs(d) < 360 ? std::strtof(number.c_str(), nullptr)
                                 : static_cast<float>(std::fmod(d, 360.0));
    return true;
}

}  // namespace

Status parse_rotations(const std::string& text, std::vector<Rotation>& rotations) {
    rotations.clear();
    if (text.empty()) return Status::failed("--rotate: expected AXIS:DEG[,AXIS:DEG...]");
    const std::size_t steps =
        1 + static_cast<std::size_t>(std::count(text.begin(), text.end(), ','));
    if (steps > kMaxSteps)
        return Status::failed("--rotate: " + std::to_string(steps) + " steps; at most " +
                              std::to_string(kMaxSteps));
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        const std::string step =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        const std::size_t colon = step.find(':');
        if (colon == std::string::npos) return bad(step, "expected AXIS:DEG, such as x:-90");
        const std::string axis = step.substr(0, colon), number = step.substr(colon + 1);
        if (axis.size() != 1 || (axis[0] != 'x' && axis[0] != 'y' && axis[0] != 'z'))
            return bad(step, "the axis must be x, y or z");
        float degrees = 0.0f;
        if (!parse_degrees(number, degrees))
            return bad(step, "the angle must be a decimal number of degrees, such as -90 or 2.5");
        rotations.push_back(Rotation{axis[0], degrees});
        if (comma == std::string::npos) return Status::ok();
        start = comma + 1;
    }
}

int parse_command_line(int argc, char** argv, Options& options) {
    CLI::App app{
        "Turns STL models into the height maps (BMP) that Veltrim's \"Save BMP\" writes, with no "
        "display: each model in its loaded pose (or turned by --rotate), seen from the top.",
        "veltrim-batch"};
    const unsigned cores = std::thread::hardware_concurrency();
    options.jobs = cores > 0 ? cores : 1;
    std::string rotate;
    app.add_option("INPUT", options.inputs,
                   "STL files, or folders whose *.stl files (any case) are converted")
        ->required();
    app.add_option("-o,--output-dir", options.output_dir,
                   "Write NAME.bmp into DIR (created if missing) instead of beside each input")
        ->type_name("DIR");
    app.add_flag("-r,--recursive", options.recursive, "Also take the *.stl files of subfolders");
    app.add_option("-j,--jobs", options.jobs,
                   "Convert N files at once (default: the number of cores)")
        ->type_name("N")
        ->check(CLI::Range(1u, 1024u));
    app.add_flag("--overwrite", options.overwrite,
                 "Convert every file, also when its BMP is up to date (at least as new as the "
                 "input); needed to redo images after changing --rotate");
    app.add_flag("-v,--verbose", options.verbose,
                 "Print the reader's and the conversion's console lines for every file");
    app.add_option("--rotate", rotate,
                   "Turn every model before the capture, as the window's trackball does: "
                   "degrees about the model's own axes through the middle of its bounds, in the "
                   "given order (a Z-up scan takes x:-90); DEG is a decimal number such as -90, "
                   "2.5 or 1e3, whole turns drop out; at most " +
                       std::to_string(kMaxSteps) + " steps")
        ->type_name("AXIS:DEG[,AXIS:DEG...]");
    app.add_flag("--strict", options.strict,
                 "Count a file with any warning (clipped, cut, below the plate, an empty "
                 "capture, a damaged file) as failed and write no image for it");
    app.add_option("--report", options.report,
                   "Write a CSV report, one row per input, when the run ends")
        ->type_name("FILE");
    app.add_flag("--watch", options.watch,
                 "Keep running and convert every *.stl that is closed after writing, moved, "
                 "linked or copied into the given folders (with -r, also new subfolders), once "
                 "no process writes it, until SIGINT, SIGTERM or SIGHUP; files still being "
                 "written at the start wait for their writer");
    app.set_version_flag("--version", std::string("veltrim-batch ") + VELTRIM_VERSION);
    app.footer(
        "A folder gives its *.stl files (any case) except names beginning with \".\". An "
        "existing BMP at least as new as its input is skipped; an older one is converted "
        "again. Without --watch, a file still open for writing fails (\"still being "
        "written\").\n\nExit status: 0 when every file's latest outcome was converted or "
        "skipped, 1 when any failed, 2 for a usage error.");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int status = app.exit(e);  // prints the help, the version or the error
        return status == 0 ? 0 : 2;
    }
    if (!rotate.empty() || app.count("--rotate") > 0) {
        const Status parsed = parse_rotations(rotate, options.rotations);
        if (!parsed) {
            std::fprintf(stderr, "%s\n", parsed.reason().c_str());
            return 2;
        }
    }
    if (options.watch) {
        bool folder = false;
        for (const std::string& input : options.inputs) {
            std::error_code ec;
            folder = folder || std::filesystem::is_directory(input, ec);
        }
        if (!folder) {
            std::fprintf(stderr, "--watch: no folder among the inputs\n");
            return 2;
        }
    }
    return -1;
}
