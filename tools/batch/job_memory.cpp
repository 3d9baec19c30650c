#include "tools/batch/job_memory.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>

namespace {

std::optional<std::uint64_t> meminfo_available() {
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    std::uint64_t kib = 0;
    std::string unit;
    while (meminfo >> key >> kib >> unit)
        if (key == "MemAvailable:") return kib * 1024;
    return std::nullopt;
}

// cgroup v2: the limit less what is in use, where a limit is set.
std::optional<std::uint64_t> cgroup_available() {
    std::ifstream self("/proc/self/cgroup");
    std::string line, group;
    while (std::getline(self, line))
        if (line.rfind("0::", 0) == 0) group = line.substr(3);
    if (group.empty()) return std::nullopt;
    const std::string dir = "/sys/fs/cgroup" + (group == "/" ? std::string() : group);
    std::string limit;
    std::uint64_t used = 0;
    if (!(std::ifstream(dir + "/memory.max") >> limit) || limit == "max") return std::nullopt;
    if (!(std::ifstream(dir + "/memory.current") >> used)) return std::nullopt;
    const std::uint64_t most = std::stoull(limit);
    return most > used ? most - used : 0;
}

}  // namespace

std::optional<std::uint64_t> available_memory() {
    const std::optional<std::uint64_t> system = meminfo_available(), group = cgroup_available();
    if (system && group) return std::min(*system, *group);
    return system ? system : group;
}

unsigned jobs_memory_allows(unsigned asked, std::uint64_t available, std::uint64_t per_job) {
    const std::uint64_t fit = per_job == 0 ? asked : available / per_job;
    return static_cast<unsigned>(std::clamp<std::uint64_t>(fit, 1, std::max(asked, 1u)));
}
