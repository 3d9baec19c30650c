#include "tools/batch/report_path.h"

#include <algorithm>
#include <filesystem>
#include <string>

#include "platform/atomic_write.h"
#include "platform/file_names.h"
#include "tools/batch/jobs.h"
#include "tools/batch/record_keeper.h"

namespace fs = std::filesystem;

namespace {

fs::path folder_identity(const std::string& folder) {
    const fs::path id = identity_of(folder);
    return id.has_filename() ? id : id.parent_path();  // "in/" names the folder "in"
}

// Whether the file whose identity is file lies in folder, or with deep
// anywhere below it.
bool lies_in(const fs::path& file, const std::string& folder, bool deep) {
    const fs::path dir = folder_identity(folder), parent = file.parent_path();
    const auto [d, p] = std::mismatch(dir.begin(), dir.end(), parent.begin(), parent.end());
    return d == dir.end() && (deep || p == parent.end());
}

}  // namespace

Status check_report_path(const Options& options) {
    std::error_code ec;
    if (fs::is_directory(options.report, ec)) return Status::failed("it is a folder");
    // Judged by the file the report would replace: a link's target, even
    // one not written yet (an output to come), and by that target's name.
    std::string file;
    const Status resolved = resolve_written_file(options.report.c_str(), file);
    if (!resolved) return resolved;
    const fs::path report(file);
    if (!fs::is_directory(report.has_parent_path() ? report.parent_path() : ".", ec))
        return Status::failed("its folder does not exist");
    if (platform::is_stl_name(report)) return Status::failed("it is named like a scan (*.stl)");
    if (report.filename() == kRecordFileName)
        return Status::failed("it is named like a folder's record file of images");
    const std::string id = identity_of(report);
    // By resolved name, and for a file that exists by inode: a hard link too.
    auto same = [&](const std::string& other) {
        std::error_code ignored;
        return identity_of(other) == id || fs::equivalent(report, other, ignored);
    };
    const Job_List list = gather_jobs(options);
    for (const Job& job : list.jobs) {
        if (same(job.input)) return Status::failed("it is the input \"" + job.input + "\"");
        if (same(job.output)) return Status::failed("it is the output of \"" + job.input + "\"");
    }
    for (const Job_Failure& f : list.collisions)
        if (same(f.input)) return Status::failed("it is the input \"" + f.input + "\"");
    if (!options.watch || report.extension() != map_extension(options.map.format))
        return Status::ok();
    // Outputs go to -o, else beside each watched model.
    const bool into_output_dir = !options.output_dir.empty();
    const std::vector<std::string> folders =
        into_output_dir ? std::vector<std::string>{options.output_dir} : options.inputs;
    for (const std::string& folder : folders)
        if ((into_output_dir || fs::is_directory(folder, ec)) &&
            lies_in(id, folder, options.recursive && !into_output_dir))
            return Status::failed("--watch may write a height map of that name into \"" + folder +
                                  "\"");
    return Status::ok();
}
