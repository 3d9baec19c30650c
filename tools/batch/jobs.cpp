#include "tools/batch/jobs.h"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>

#include "platform/file_names.h"

namespace fs = std::filesystem;

std::string identity_of(const fs::path& p) {
    std::error_code ec;
    const fs::path c = fs::weakly_canonical(p, ec);
    return ec ? fs::absolute(p).lexically_normal().string() : c.string();
}

namespace {

void list_folder(const fs::path& dir, bool recursive, std::vector<std::string>& found,
                 std::vector<Job_Failure>& failures) {
    const std::error_code ec = for_each_entry(dir, recursive, [&](const fs::directory_entry& e) {
        std::error_code type_ec;
        if (is_scan_name(e.path().filename().string()) && e.is_regular_file(type_ec))
            found.push_back(e.path().string());
    });
    if (ec) failures.push_back({dir.string(), "", "cannot read the folder: " + ec.message(), ""});
}

}  // namespace

std::error_code for_each_entry(const fs::path& dir, bool recursive,
                               const std::function<void(const fs::directory_entry&)>& visit) {
    std::error_code ec;
    const auto options = fs::directory_options::skip_permission_denied;
    if (recursive) {
        fs::recursive_directory_iterator it(dir, options, ec), end;
        for (; !ec && it != end; it.increment(ec)) visit(*it);
    } else {
        fs::directory_iterator it(dir, options, ec), end;
        for (; !ec && it != end; it.increment(ec)) visit(*it);
    }
    return ec;
}

bool is_folder_to_come(const std::string& input) {
    struct stat st;
    return lstat(input.c_str(), &st) != 0 && errno == ENOENT && !platform::is_stl_name(input);
}

bool is_scan_name(const std::string& name) { return name[0] != '.' && platform::is_stl_name(name); }

std::string output_path_for(const std::string& input, const std::string& output_dir) {
    const fs::path in(input);
    std::string name = in.filename().string();
    if (platform::is_stl_name(name)) name.resize(name.size() - 4);
    name += ".bmp";
    const fs::path dir = output_dir.empty() ? in.parent_path() : fs::path(output_dir);
    return (dir / name).string();
}

Job_List gather_jobs(const std::vector<std::string>& inputs, bool recursive,
                     const std::string& output_dir) {
    Job_List list;
    std::vector<std::pair<std::string, bool>> models;  // path, named outright
    for (const std::string& input : inputs) {
        std::error_code ec;
        if (fs::is_directory(input, ec)) {
            std::vector<std::string> found;
            list_folder(input, recursive, found, list.failures);
            std::sort(found.begin(), found.end());
            for (std::string& f : found) models.emplace_back(std::move(f), false);
        } else {
            // A file named outright, whatever its name; the reader judges it.
            models.emplace_back(input, true);
        }
    }
    std::set<std::string> seen_inputs;
    std::map<std::string, std::string> claimed;  // output identity -> the model that claimed it
    for (const auto& [model, named] : models) {
        if (!seen_inputs.insert(identity_of(model)).second) continue;
        Job job{model, output_path_for(model, output_dir), named, {}, {}, false};
        const auto claim = claimed.emplace(identity_of(job.output), model);
        if (!claim.second) {
            list.collisions.push_back({model, job.output, "", claim.first->second});
            continue;
        }
        list.jobs.push_back(std::move(job));
    }
    return list;
}
