// Throughput of veltrim-batch --watch: many small generated insole models
// moved at once into a watched folder, in files per second from the first
// move until the last height map is there, against a plain -j 2 run over the
// same files in the same run; then the same watch with --report, which keeps
// its report up to date as it goes. VELTRIM_BENCH_SHORT=1 uses fewer files so
// CI can run it in seconds. Every watch's images must match the plain run's
// byte for byte, so a watch that is fast by writing the wrong thing fails.
// Usage: watch_bench [path/to/veltrim-batch]
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>

#include "platform/text_format.h"
#include "support/insole_model.h"
#include "support/stl_bytes.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// Fine enough against runs of a second or more, light on the machine.
constexpr auto kPoll = std::chrono::milliseconds(20);
// A file the watch missed fails the run this soon, not at the time limit.
constexpr double kStall = 20;

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// veltrim-batch started with `args`, its standard error going to log; -1 if
// it could not be.
pid_t start_run(const std::string& program, const std::vector<std::string>& args,
                const fs::path& log) {
    std::vector<std::string> strings = {program};
    strings.insert(strings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& s : strings) argv.push_back(&s[0]);
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || dup2(fd, STDERR_FILENO) < 0) _exit(126);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

// Its exit status once it ends; -1 if it did not exit normally.
int wait_for(pid_t pid) {
    int status = 0;
    if (pid <= 0 || waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Whether it has ended, leaving it to wait_for to collect.
bool has_ended(pid_t pid) {
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0 ||
           info.si_pid == pid;
}

// Polls until `done`, `seconds` pass or the program ends first.
bool wait_on(pid_t pid, double seconds, const std::function<bool()>& done) {
    const auto start = Clock::now();
    while (!done()) {
        if (seconds_since(start) > seconds || has_ended(pid)) return false;
        std::this_thread::sleep_for(kPoll);
    }
    return true;
}

// Wall-clock seconds of one run, process start included; negative if it
// failed.
double timed_run(const std::string& program, const std::vector<std::string>& args,
                 const fs::path& log) {
    const auto start = Clock::now();
    return wait_for(start_run(program, args, log)) == 0 ? seconds_since(start) : -1;
}

// Height maps in a folder. The writer's temporaries end in .tmp until their
// rename, so each .bmp is a finished image.
std::size_t count_maps(const fs::path& folder) {
    std::size_t n = 0;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        n += it->path().extension() == ".bmp";
    return n;
}

bool has_line_starting(const std::string& text, const std::string& start) {
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.compare(0, start.size(), start) == 0) return true;
    return false;
}

int count_lines_with(const std::string& text, const std::string& what) {
    int n = 0;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) n += line.find(what) != std::string::npos;
    return n;
}

// The names whose image in `out` differs from the plain run's in `reference`
// or is missing, at most a few of them.
std::string unlike_reference(const fs::path& out, const fs::path& reference,
                             const std::vector<std::string>& names) {
    std::string differ;
    int shown = 0;
    for (const std::string& name : names) {
        const std::string map = fs::path(name).replace_extension(".bmp").string();
        if (slurp(out / map) == slurp(reference / map)) continue;
        if (++shown <= 3) differ += " " + map;
    }
    if (shown > 3) differ += " and " + std::to_string(shown - 3) + " more";
    return differ;
}

struct Watch_Setup {
    std::string program;
    fs::path root, models, reference;  // the plain run's images in reference
    std::vector<std::string> names;
    double limit = 0;  // seconds to wait for all images
};

struct Watch_Result {
    double seconds = -1;  // from the first move until every height map is there; < 0: failed
    int overflows = 0;    // times the watch's event queue overflowed and it listed the folder
};

// One watch started on an empty folder, the models moved in at once; why it
// failed is printed. `tag` names its folders, `extra` adds options.
Watch_Result watch_run(const Watch_Setup& s, const std::string& what, const std::string& tag,
                       const std::vector<std::string>& extra) {
    const fs::path stage = s.root / (tag + "_stage"), watched = s.root / (tag + "_in");
    const fs::path out = s.root / (tag + "_out"), log = s.root / (tag + ".log");
    fs::create_directories(stage);
    fs::create_directories(watched);
    std::vector<std::pair<std::string, std::string>> moves;
    for (const std::string& name : s.names) {
        fs::copy_file(s.models / name, stage / name);
        moves.emplace_back((stage / name).string(), (watched / name).string());
    }
    std::vector<std::string> args = {"--watch", "-j", "2"};
    args.insert(args.end(), extra.begin(), extra.end());
    args.insert(args.end(), {"-o", out.string(), watched.string()});
    const pid_t pid = start_run(s.program, args, log);
    auto fail = [&](const std::string& why) {
        const bool ended = pid > 0 && has_ended(pid);
        if (pid > 0 && !ended) kill(pid, SIGKILL);
        const int status = wait_for(pid);
        std::fprintf(stderr, "%s: %s%s; its log:\n%s\n", what.c_str(), why.c_str(),
                     ended ? (" (it ended, status " + std::to_string(status) + ")").c_str() : "",
                     slurp(log).c_str());
        return Watch_Result{};
    };
    if (pid < 0) return fail("cannot start it");
    if (!wait_on(pid, 60, [&] { return has_line_starting(slurp(log), "watching "); }))
        return fail("no \"watching \" line within 60 s");

    const auto start = Clock::now();
    for (const auto& m : moves)
        if (std::rename(m.first.c_str(), m.second.c_str()) != 0)
            return fail("cannot move " + m.first + ": " + std::strerror(errno));
    const std::size_t all = s.names.size();
    std::size_t seen = 0;
    auto grew = start;
    bool stalled = false;
    const bool done = wait_on(pid, s.limit, [&] {
        const std::size_t n = count_maps(out);
        if (n > seen) {
            seen = n;
            grew = Clock::now();
        }
        stalled = seconds_since(grew) > kStall;
        return n >= all || stalled;
    });
    const double seconds = seconds_since(start);
    if (!done || stalled) {
        return fail(platform::format_text("%zu of %zu height maps after %.1f s", count_maps(out),
                                          all, seconds));
    }

    kill(pid, SIGTERM);
    if (!wait_on(pid, 30, [&] { return has_ended(pid); }))
        return fail("still running 30 s after SIGTERM");
    const int status = wait_for(pid);
    if (status != 0) {
        std::fprintf(stderr, "%s: exit status %d after SIGTERM; its log:\n%s\n", what.c_str(),
                     status, slurp(log).c_str());
        return Watch_Result{};
    }
    const std::string differ = unlike_reference(out, s.reference, s.names);
    if (!differ.empty()) {
        std::fprintf(stderr, "%s: images unlike the plain run's:%s\n", what.c_str(),
                     differ.c_str());
        return Watch_Result{};
    }
    // A full event queue sends the watch down another path: say so beside its speed.
    return Watch_Result{seconds, count_lines_with(slurp(log), "too many events at once")};
}

void print_result(const char* label, int models, double plain, const Watch_Result& r,
                  const char* goal) {
    if (r.seconds < 0) return;
    std::printf("%s: %6.1f files/s, %.2fx plain -j 2 (goal >= %s)\n", label, models / r.seconds,
                plain / r.seconds, goal);
    if (r.overflows > 0)
        std::printf("  its event queue overflowed %d time%s; it listed the folder again\n",
                    r.overflows, r.overflows == 1 ? "" : "s");
}

}  // namespace

int main(int argc, char** argv) {
    const std::string program = argc > 1 ? argv[1] : VELTRIM_BATCH;
    const char* short_env = std::getenv("VELTRIM_BENCH_SHORT");
    const bool short_mode = short_env != nullptr && std::strcmp(short_env, "0") != 0;
    setvbuf(stdout, nullptr, _IOLBF, 0);  // in order with the failures on stderr
    const int models = short_mode ? 200 : 1000;
    const std::size_t facets = 500;

    const char* tmpdir = std::getenv("TMPDIR");
    std::string tmpl =
        std::string(tmpdir != nullptr && *tmpdir ? tmpdir : "/tmp") + "/veltrim-watch-bench-XXXXXX";
    if (mkdtemp(&tmpl[0]) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    Watch_Setup s;
    s.program = program;
    s.root = tmpl;
    s.models = s.root / "models";
    s.reference = s.root / "plain_out";
    fs::create_directories(s.models);
    for (int i = 0; i < models; ++i) {
        const std::string name = platform::format_text("scan_%04d.stl", i);
        s.names.push_back(name);
        std::ofstream(s.models / name, std::ios::binary)
            << stl_bytes::binary(insole_model(facets, static_cast<unsigned>(i)));
    }
    std::printf("%d binary STL models of about %zu facets, %s\n", models, facets, program.c_str());

    const double plain = timed_run(
        program, {"-j", "2", "-o", s.reference.string(), s.models.string()}, s.root / "plain.log");
    const std::size_t written = count_maps(s.reference);
    if (plain < 0 || written != static_cast<std::size_t>(models)) {
        std::fprintf(stderr, "veltrim-batch -j 2 failed or wrote %zu of %d height maps:\n%s\n",
                     written, models, slurp(s.root / "plain.log").c_str());
        fs::remove_all(s.root);
        return 1;
    }
    std::printf("plain -j 2: %6.2f s  %6.1f files/s  (process start included)\n", plain,
                models / plain);

    // Generous: the watch may still convert one file at a time.
    s.limit = 60 + 30 * plain;
    const Watch_Result watch = watch_run(s, "veltrim-batch --watch -j 2", "watch", {});
    const fs::path report = s.root / "report.csv";
    Watch_Result reported;
    if (watch.seconds >= 0)
        reported = watch_run(s, "veltrim-batch --watch -j 2 --report", "report",
                             {"--report", report.string()});
    const int converted = count_lines_with(slurp(report), ",converted,");
    bool ok = watch.seconds >= 0 && reported.seconds >= 0;
    if (ok && converted != models) {
        std::fprintf(stderr, "--report: %d rows say converted, expected %d\n", converted, models);
        ok = false;
    }
    print_result("watch -j 2", models, plain, watch, "0.8x");
    print_result("watch -j 2 --report", models, plain, reported, "0.7x");
    fs::remove_all(s.root);
    return ok ? 0 : 1;
}
