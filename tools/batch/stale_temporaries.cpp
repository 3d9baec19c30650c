#include "tools/batch/stale_temporaries.h"

#include <filesystem>
#include <set>
#include <string>
#include <system_error>

#include "platform/temporaries.h"

namespace fs = std::filesystem;

std::size_t remove_stale_temporaries_of_run(const Options& options, const std::vector<Job>& jobs) {
    std::vector<std::string> folders;
    if (!options.output_dir.empty()) folders.push_back(options.output_dir);
    for (const std::string& input : options.inputs) {
        std::error_code ec;
        // A watched folder with no model yet still receives images later.
        if (options.output_dir.empty() && fs::is_directory(input, ec)) folders.push_back(input);
    }
    for (const Job& job : jobs) {
        const fs::path folder = fs::path(job.output).parent_path();
        folders.push_back(folder.empty() ? "." : folder.string());
    }
    std::set<std::string> cleared;  // by identity: "in" and "./in/" are one folder
    std::size_t removed = 0;
    for (const std::string& folder : folders) {
        std::error_code ec;
        if (fs::is_directory(folder, ec) && cleared.insert(identity_of(folder)).second)
            removed += remove_stale_temporaries(folder);
    }
    return removed;
}
