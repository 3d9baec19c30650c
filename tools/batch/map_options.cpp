#include "tools/batch/map_options.h"

#include <CLI/CLI.hpp>

#include <map>

#include "heightmap/exact_heights.h"
#include "platform/text_format.h"

namespace {

const std::map<std::string, Map_Format> kFormats = {{"bmp", Map_Format::Bmp},
                                                    {"png", Map_Format::Png},
                                                    {"png16", Map_Format::Png16},
                                                    {"tiff", Map_Format::Tiff}};

}  // namespace

std::string format_name(Map_Format format) {
    for (const auto& [name, f] : kFormats)
        if (f == format) return name;
    return "";
}

std::string pixel_size_text(const Map_Options& options) {
    return platform::number_text(options.precise() ? options.pixel_size : 1.0);
}

const char* map_extension(Map_Format format) {
    switch (format) {
    case Map_Format::Bmp: return ".bmp";
    case Map_Format::Png:
    case Map_Format::Png16: return ".png";
    case Map_Format::Tiff: return ".tif";
    }
    return ".bmp";
}

void add_map_options(CLI::App& app, Map_Options& options) {
    // A name check of its own: a mapping transform would also take the
    // formats' numbers and name them in its error.
    app.add_option_function<std::string>(
           "--format", [&options](const std::string& name) { options.format = kFormats.at(name); },
           "bmp: the window's image (default); png: the same pixels as PNG for CAM "
           "tools; png16: 16-bit heights from the facets themselves, value / "
           "--levels-per-unit units above the plate; tiff: 32-bit float heights in "
           "units. NAME.bmp, NAME.png or NAME.tif")
        ->type_name("bmp|png|png16|tiff")
        ->transform(CLI::IsMember(kFormats, CLI::ignore_case));
    app.add_option("--pixel-size", options.pixel_size,
                   "png16 and tiff: sample the plate every S units (default 1); S must divide "
                   "360 and 150 into whole pixels at 0.01-unit steps: 1, 0.5, 0.25, 0.2, 0.1, ...")
        ->type_name("S");
    app.add_option("--levels-per-unit", options.levels_per_unit,
                   "png16: levels a unit (1 to 1000, default 100: a level is 0.01 units, "
                   "65535 is 655.35 units)")
        ->type_name("N")
        ->check(CLI::Range(1, 1000));
}

Status check_map_options(const CLI::App& app, const Map_Options& options) {
    const bool sized = app.count("--pixel-size") > 0, leveled = app.count("--levels-per-unit") > 0;
    if (!options.precise() && (sized || leveled))
        return Status::failed(std::string(sized ? "--pixel-size" : "--levels-per-unit") +
                              " applies to --format png16 or tiff, not " +
                              format_name(options.format));
    if (options.format == Map_Format::Tiff && leveled)
        return Status::failed("--levels-per-unit applies to --format png16: tiff holds units");
    if (!height_map::check_pixel_size(options.pixel_size)) {
        return Status::failed(platform::format_text(
            "--pixel-size %g: it must divide 360 and 150 units into whole pixels at 0.01-unit "
            "steps (1, 0.5, 0.25, 0.2, 0.1, ...)",
            options.pixel_size));
    }
    return Status::ok();
}

std::string map_options_text(const Map_Options& options) {
    if (options.format == Map_Format::Bmp) return "";
    std::string text = ";format=" + format_name(options.format);
    if (!options.precise()) return text;
    text += ";pixel-size=" + pixel_size_text(options);
    if (options.format == Map_Format::Png16)
        text += ";levels-per-unit=" + std::to_string(options.levels_per_unit);
    return text;
}
