#include "app/chooser_folders.h"

#include <climits>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_names.h"

namespace {

std::string last_loaded_folder, last_saved_folder;

bool is_folder(const std::string& path) {
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string folder_of_absolute(const std::string& path) {
    std::string folder = platform::folder_of(path);
    if (!folder.empty() && folder[0] == '/') return folder;
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd) == nullptr) return folder;
    return folder.empty() || folder == "." ? cwd : std::string(cwd) + "/" + folder;
}

}  // namespace

void remember_loaded_model(const std::string& path) {
    last_loaded_folder = folder_of_absolute(path);
}

void remember_saved_map(const std::string& path) { last_saved_folder = folder_of_absolute(path); }

std::string first_folder(const std::vector<std::string>& candidates) {
    for (const std::string& c : candidates)
        if (is_folder(c)) return c;
    return "";
}

std::string save_start_folder(const char* asked, const std::string& startup_dir) {
    return first_folder({asked ? asked : "", last_saved_folder, last_loaded_folder, startup_dir});
}

std::string load_start_folder(const char* asked) {
    return first_folder({asked ? asked : "", last_loaded_folder, sample_folder()});
}

std::string sample_folder() {
    char exe[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return "";
    const std::string bin = platform::folder_of(std::string(exe, static_cast<std::size_t>(n)));
    return first_folder({bin + "/../share/veltrim/250_test", bin + "/../../250_test"});
}
