#include "platform/temporaries.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::string_view kPrefix = ".veltrim-", kSuffix = ".tmp";

bool all_digits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

// The writer's process of a name of this host's, or 0 for any other name.
pid_t pid_of_ours(std::string_view name) {
    if (name.size() <= kPrefix.size() + kSuffix.size() ||
        name.substr(0, kPrefix.size()) != kPrefix ||
        name.substr(name.size() - kSuffix.size()) != kSuffix)
        return 0;
    std::string_view rest =
        name.substr(kPrefix.size(), name.size() - kPrefix.size() - kSuffix.size());
    // From the right, since a host name may hold '-': HOST-PID-N.
    const std::size_t n_dash = rest.rfind('-');
    if (n_dash == std::string_view::npos || !all_digits(rest.substr(n_dash + 1))) return 0;
    rest = rest.substr(0, n_dash);
    const std::size_t pid_dash = rest.rfind('-');
    if (pid_dash == std::string_view::npos) return 0;  // the older PID-N: no host to go by
    const std::string_view pid = rest.substr(pid_dash + 1);
    if (rest.substr(0, pid_dash) != host_name_for_files() || !all_digits(pid) || pid.size() > 9)
        return 0;
    return static_cast<pid_t>(std::strtol(std::string(pid).c_str(), nullptr, 10));
}

bool ended(pid_t pid) { return pid > 0 && kill(pid, 0) != 0 && errno == ESRCH; }

}  // namespace

const std::string& host_name_for_files() {
    static const std::string name = [] {
        char host[HOST_NAME_MAX + 1] = {};
        if (gethostname(host, sizeof host - 1) != 0 || host[0] == '\0')
            return std::string("unknown-host");
        std::string safe = host;
        for (char& c : safe)
            if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                  c == '.' || c == '-'))
                c = '_';
        return safe;
    }();
    return name;
}

std::string temporary_name(const std::string& folder, pid_t pid, unsigned n) {
    return folder + "/" + std::string(kPrefix) + host_name_for_files() + "-" + std::to_string(pid) +
           "-" + std::to_string(n) + std::string(kSuffix);
}

std::size_t remove_stale_temporaries(const std::string& folder) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return 0;
    std::size_t removed = 0;
    while (const dirent* e = readdir(dir)) {
        if (!ended(pid_of_ours(e->d_name))) continue;
        const std::string path = folder + "/" + e->d_name;
        struct stat st;
        // Only what the writer makes: a file, never a folder or a link's target.
        if (lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && unlink(path.c_str()) == 0)
            ++removed;
    }
    closedir(dir);
    return removed;
}
