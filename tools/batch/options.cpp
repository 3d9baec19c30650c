#include "tools/batch/options.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <thread>

#include "platform/text_format.h"
#include "tools/batch/folder_walk.h"

std::optional<int> parse_command_line(int argc, char** argv, Options& options) {
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
    app.add_flag("-L,--follow-links", options.follow_links,
                 "Follow links to folders under -r (each folder once: a link that leads back "
                 "into a folder being walked is named and not followed)");
    app.add_option("-j,--jobs", options.jobs,
                   "Convert N files at once (default: the number of cores)")
        ->type_name("N")
        ->check(CLI::Range(1u, 1024u));
    app.add_flag("--overwrite", options.overwrite,
                 "Convert every file, also when its image is up to date (its record names this "
                 "scan's content and these options), and replace an image made from another "
                 "scan");
    app.add_flag("-v,--verbose", options.verbose,
                 "Print the reader's and the conversion's console lines for every file");
    app.add_option("--rotate", rotate,
                   "Turn every model before the capture, as the window's trackball does: "
                   "degrees about the model's own axes through the middle of its bounds, in the "
                   "given order (a Z-up scan takes x:-90); DEG is a decimal number such as -90, "
                   "2.5 or 1e3, whole turns drop out; at most " +
                       std::to_string(kMaxRotationSteps) + " steps")
        ->type_name("AXIS:DEG[,AXIS:DEG...]");
    app.add_flag("--strict", options.strict,
                 "Count a file with any warning (clipped, cut, below the plate, an empty "
                 "capture, a damaged file) as failed and write no image for it");
    app.add_option("--report", options.report,
                   "Write a CSV report, one row per input, when the run ends. Refused "
                   "before any work if its folder is missing or it would replace an input or "
                   "output, or be taken as a scan (*.stl)")
        ->type_name("FILE");
    app.add_flag("--watch", options.watch,
                 "Keep running and convert every *.stl that arrives in the given folders "
                 "(with -r, also new subfolders), however it arrives, once no process writes "
                 "it; a folder not there yet is watched when it appears, a failure that can "
                 "pass (a full disk) is tried again. Until SIGINT, SIGTERM or SIGHUP: the "
                 "conversions in hand finish, every other scan in hand is reported as "
                 "interrupted");
    app.add_option("--settle", options.settle_seconds,
                   "Where no lease can tell whether a file is still being written (a file "
                   "another user owns, a network share), take it only once its size and times "
                   "have stayed the same this long (default 2)")
        ->type_name("SECONDS")
        ->check(CLI::Range(0.0, 3600.0));
    app.add_option("--rescan", options.rescan_seconds,
                   "With --watch, also list the folders again every SECONDS and convert what "
                   "changed (by the images' records); 0 never. Default: every 10 s for a folder "
                   "on a network file system (NFS, SMB/CIFS, FUSE), where files written by other "
                   "machines raise no event here, never elsewhere")
        ->type_name("SECONDS")
        ->check(CLI::Range(0.0, 86400.0));
    add_map_options(app, options.map);
    app.set_version_flag("--version", std::string("veltrim-batch ") + VELTRIM_VERSION);
    app.footer(
        "A folder gives its *.stl files (any case) except names beginning with \".\". Each "
        "image records the scan it was made from (getfattr -n user.veltrim.source IMAGE, or "
        "the folder's .veltrim-records); an image whose record matches the scan's content "
        "and the options is skipped, one with no record is judged by time. Without --watch, a file "
        "still open for writing fails (\"still being "
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
    if (const Status map = check_map_options(app, options.map); !map) {
        std::fprintf(stderr, "%s\n", map.reason().c_str());
        return 2;
    }
    if (options.watch) {
        bool folder = false;
        for (const std::string& input : options.inputs) {
            std::error_code ec;
            folder = folder || std::filesystem::is_directory(input, ec) || is_folder_to_come(input);
        }
        if (!folder) {
            std::fprintf(stderr, "--watch: no folder among the inputs\n");
            return 2;
        }
    }
    return std::nullopt;
}

std::string pixel_options_text(const Options& options) {
    std::string text = "rotate=";
    for (std::size_t i = 0; i < options.rotations.size(); ++i) {
        text += (i > 0 ? "," : "") + std::string(1, options.rotations[i].axis) + ":" +
                platform::number_text(options.rotations[i].degrees);
    }
    return text + map_options_text(options.map);
}

Run_Columns report_columns(const Options& options) {
    return {format_name(options.map.format), pixel_size_text(options.map)};
}
