#include "tools/batch/options.h"

#include <CLI/CLI.hpp>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace {

Status bad(const std::string& step, const std::string& why) {
    return Status::failed("--rotate: \"" + step + "\": " + why);
}

}  // namespace

Status parse_rotations(const std::string& text, std::vector<Rotation>& rotations) {
    rotations.clear();
    if (text.empty()) return Status::failed("--rotate: expected AXIS:DEG[,AXIS:DEG...]");
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
        char* end = nullptr;
        const float degrees = number.empty() ? 0.0f : std::strtof(number.c_str(), &end);
        if (number.empty() || *end != '\0' || !std::isfinite(degrees))
            return bad(step, "the angle must be a number of degrees");
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
                 "Replace existing BMP files instead of skipping them");
    app.add_flag("-v,--verbose", options.verbose,
                 "Print the reader's and the conversion's console lines for every file");
    app.add_option("--rotate", rotate,
                   "Turn every model before the capture, as the window's trackball does: "
                   "degrees about the model's own axes through the middle of its bounds, in the "
                   "given order (a Z-up scan takes x:-90)")
        ->type_name("AXIS:DEG[,AXIS:DEG...]");
    app.add_option("--report", options.report,
                   "Write a CSV report, one row per input, when the run ends. Refused "
                   "before any work if its folder is missing or it would replace an input or "
                   "output, or be taken as a scan (*.stl)")
        ->type_name("FILE");
    app.add_flag("--watch", options.watch,
                 "After the first pass, keep converting every *.stl that is closed after "
                 "writing or moved into the given folders, until SIGINT, SIGTERM or SIGHUP");
    app.set_version_flag("--version", std::string("veltrim-batch ") + VELTRIM_VERSION);
    app.footer(
        "Exit status: 0 when every file was converted or skipped, 1 when any failed, 2 for a "
        "usage error.");
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
