#include "tools/batch/watch.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <poll.h>
#include <string>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include "heightmap/sizes.h"
#include "tools/batch/jobs.h"
#include "view/offscreen_context.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// Events for one file often come in a burst (a copy tool's close, then its
// rename): it is taken once it has been quiet this long.
constexpr auto kSettle = std::chrono::milliseconds(150);

bool is_stl_name(const std::string& name) {
    if (name.size() < 4) return false;
    std::string ext = name.substr(name.size() - 4);
    for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return ext == ".stl";
}

struct Pending {
    Clock::time_point due;
    struct stat seen {};  // size and time at the last event, for the fallback test
    bool stat_ok = false;
};

enum class Writer { None, Busy, Unknown };

// Whether some process still has the file open for writing. A read lease
// is refused exactly then; it is released at once, before reading. Where
// leases are not to be had (another owner's file, a network file system)
// the answer is Unknown and the caller compares size and time instead.
Writer open_for_writing(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return Writer::None;  // gone: the conversion reports it
    Writer w = Writer::None;
    if (fcntl(fd, F_SETLEASE, F_RDLCK) == 0)
        fcntl(fd, F_SETLEASE, F_UNLCK);
    else
        w = errno == EAGAIN ? Writer::Busy : Writer::Unknown;
    close(fd);
    return w;
}

bool same_stat(const struct stat& a, const struct stat& b) {
    return a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
           a.st_mtim.tv_nsec == b.st_mtim.tv_nsec && a.st_ino == b.st_ino;
}

void add_watches(int fd, const Options& options, std::map<int, std::string>& folders) {
    auto add = [&](const std::string& dir) {
        const int wd = inotify_add_watch(fd, dir.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO);
        if (wd < 0)
            std::fprintf(stderr, "%s: cannot watch the folder: %s\n", dir.c_str(),
                         std::strerror(errno));
        else
            folders[wd] = dir;
    };
    for (const std::string& input : options.inputs) {
        std::error_code ec;
        if (!fs::is_directory(input, ec)) continue;
        add(input);
        if (!options.recursive) continue;
        fs::recursive_directory_iterator it(input, fs::directory_options::skip_permission_denied,
                                            ec),
            end;
        for (; !ec && it != end; it.increment(ec)) {
            std::error_code type_ec;
            if (it->is_directory(type_ec)) add(it->path().string());
        }
    }
}

void read_events(int fd, const std::map<int, std::string>& folders,
                 std::map<std::string, Pending>& pending) {
    alignas(inotify_event) char buffer[16384];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) return;  // EAGAIN: drained
        for (ssize_t at = 0; at < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            if (e->mask & IN_Q_OVERFLOW)
                std::fprintf(stderr,
                             "veltrim-batch: note: too many events at once; some files "
                             "may need to be copied again\n");
            const auto folder = folders.find(e->wd);
            if (e->len == 0 || (e->mask & IN_ISDIR) || folder == folders.end()) continue;
            const std::string name = e->name;
            if (!is_stl_name(name)) continue;
            const std::string path = folder->second + "/" + name;
            Pending& p = pending[path];
            p.due = Clock::now() + kSettle;
            p.stat_ok = stat(path.c_str(), &p.seen) == 0;
        }
    }
}

}  // namespace

void watch_folders(const Options& options, std::vector<Report_Row>& rows, Tally& tally) {
    const int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "veltrim-batch: cannot watch: %s\n", std::strerror(errno));
        ++tally.failed;
        return;
    }
    std::map<int, std::string> folders;
    add_watches(fd, options, folders);
    Offscreen_Context context(sizes::kViewWidth, sizes::kViewHeight);
    if (!context.ok() || folders.empty()) {
        if (!context.ok())
            std::fprintf(stderr, "veltrim-batch: cannot watch: no offscreen OpenGL context: %s\n",
                         context.error().c_str());
        ++tally.failed;
        close(fd);
        return;
    }
    // A lease broken while it is held would raise SIGIO, which ends a
    // process by default; the lease is dropped at once anyway.
    std::signal(SIGIO, SIG_IGN);
    std::fprintf(stderr, "watching %zu folder%s for *.stl files (SIGINT or SIGTERM stops)\n",
                 folders.size(), folders.size() == 1 ? "" : "s");
    std::map<std::string, Pending> pending;
    Model_Converter converter;
    while (stop_signal() == 0) {
        int timeout_ms = 250;  // bounds the wait for a signal that lands before poll
        const auto now = Clock::now();
        for (const auto& p : pending) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(p.second.due - now).count();
            timeout_ms = std::max(0, std::min<int>(timeout_ms, static_cast<int>(left) + 1));
        }
        pollfd pfd{fd, POLLIN, 0};
        if (poll(&pfd, 1, timeout_ms) > 0) read_events(fd, folders, pending);
        for (auto it = pending.begin(); it != pending.end() && stop_signal() == 0;) {
            if (it->second.due > Clock::now()) {
                ++it;
                continue;
            }
            const std::string path = it->first;
            const Writer writer = open_for_writing(path);
            struct stat now_stat {};
            const bool changed = writer == Writer::Unknown &&
                                 (!it->second.stat_ok || stat(path.c_str(), &now_stat) != 0 ||
                                  !same_stat(now_stat, it->second.seen));
            if (changed) {  // not settled yet: look again later
                it->second.due = Clock::now() + kSettle;
                it->second.stat_ok = stat(path.c_str(), &it->second.seen) == 0;
                ++it;
                continue;
            }
            it = pending.erase(it);
            if (writer == Writer::Busy) continue;  // its writer's close brings a new event
            Progress progress(1, isatty(STDERR_FILENO) == 1);
            const Job job{path, output_path_for(path, options.output_dir)};
            rows.push_back(convert_job(converter, job, options, progress, tally));
            progress.close();
            if (!options.report.empty()) {
                const Status written = write_report(options.report, rows);
                if (!written)
                    std::fprintf(stderr, "%s: %s\n", options.report.c_str(),
                                 written.reason().c_str());
            }
        }
    }
    close(fd);
}
