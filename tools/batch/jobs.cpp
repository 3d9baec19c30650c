#include "tools/batch/jobs.h"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <filesystem>
#include <map>
#include <system_error>

#include "platform/file_names.h"
#include "tools/batch/folder_walk.h"

namespace fs = std::filesystem;

std::string identity_of(const fs::path& p) {
    std::error_code ec;
    const fs::path c = fs::weakly_canonical(p, ec);
    return ec ? fs::absolute(p).lexically_normal().string() : c.string();
}

std::string output_path_for(const std::string& input, const Options& options) {
    const std::string& output_dir = options.output_dir;
    const fs::path in(input);
    std::string name = in.filename().string();
    if (platform::is_stl_name(name)) name.resize(name.size() - 4);
    name += map_extension(options.map.format);
    const fs::path dir = output_dir.empty() ? in.parent_path() : fs::path(output_dir);
    return (dir / name).string();
}

Job_List gather_jobs(const Options& options) {
    Job_List list;
    std::vector<std::pair<std::string, bool>> models;  // path, named outright
    const Walk_Rules rules{options.recursive, options.follow_links};
    for (const std::string& input : options.inputs) {
        std::error_code ec;
        if (fs::is_directory(input, ec)) {
            std::vector<std::string> found;
            auto take_scans = [&](const std::string& path, Walk_Find what) {
                if (what == Walk_Find::Scan) found.push_back(path);
            };
            if (const std::error_code walk_ec = walk_folder(input, rules, take_scans, list.notes))
                list.failures.push_back(
                    {input, "", "cannot read the folder: " + walk_ec.message(), ""});
            std::sort(found.begin(), found.end());
            for (std::string& f : found) models.emplace_back(std::move(f), false);
        } else {
            // A file named outright, whatever its name; the reader judges it.
            models.emplace_back(input, true);
        }
    }
    std::map<std::string, std::string> seen_inputs;  // input identity -> the first name of it
    std::map<std::string, std::string> claimed;      // output identity -> the model that claimed it
    for (const auto& [model, named] : models) {
        const auto seen = seen_inputs.emplace(identity_of(model), model);
        if (!seen.second) {  // a link to a scan, say, or a file named twice over
            if (seen.first->second != model)
                list.notes.push_back(model + " is the same file as " + seen.first->second +
                                     "; converted once");
            continue;
        }
        Job job{model, output_path_for(model, options), named, {}, {}, false};
        const auto claim = claimed.emplace(identity_of(job.output), model);
        if (!claim.second) {
            list.collisions.push_back({model, job.output, "", claim.first->second});
            continue;
        }
        list.jobs.push_back(std::move(job));
    }
    return list;
}
