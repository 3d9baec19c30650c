// What the window costs while nobody touches it: the real program under a
// private Xvfb, with no model, 100,000 and 1,000,000 facets, its CPU time
// (all threads, /proc/PID/stat) over some seconds, in cores.
//
//   idle_bench [VELTRIM [OLD_VELTRIM]]
//
// OLD_VELTRIM, an earlier build, is measured in the same run, model by model
// after VELTRIM, and the ratio printed. VELTRIM_BENCH_SHORT=1 measures 2 s
// instead of 10 s. Needs Xvfb on the PATH; the caller's DISPLAY is not used.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "stl_bench_files.h"

namespace {

using clock_type = std::chrono::steady_clock;

bool short_mode() {
    const char* s = std::getenv("VELTRIM_BENCH_SHORT");
    return s != nullptr && *s != '\0' && std::strcmp(s, "0") != 0;
}

void pause_s(double s) { std::this_thread::sleep_for(std::chrono::duration<double>(s)); }

// argv[0] run with standard output into out (when given).
pid_t spawn(const std::vector<std::string>& args, const std::string& out, int keep_fd = -1) {
    const pid_t pid = fork();
    if (pid != 0) return pid;
    const int fd =
        open(out.empty() ? "/dev/null" : out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(fd, 1);
    dup2(open("/dev/null", O_WRONLY), 2);
    for (int f = 3; f < 256; ++f)
        if (f != keep_fd) close(f);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
}

void stop(pid_t pid) {
    if (pid <= 0) return;  // fork failed: there is nothing to stop
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

// Whether a mapped top-level window is titled "Veltrim" (no window manager).
bool window_up(Display* d) {
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    bool up = false;
    if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &n)) return false;
    for (unsigned i = 0; i < n && !up; ++i) {
        char* name = nullptr;
        XWindowAttributes a;
        if (XFetchName(d, children[i], &name) && name != nullptr) {
            up = std::strcmp(name, "Veltrim") == 0 && XGetWindowAttributes(d, children[i], &a) &&
                 a.map_state == IsViewable;
            XFree(name);
        }
    }
    if (children) XFree(children);
    return up;
}

bool file_holds(const std::string& path, const char* text) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str().find(text) != std::string::npos;
}

// User plus system time of the process, all its threads, in seconds.
double cpu_seconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));  // the name may hold blanks
    std::string f;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> f; ++i) {
        if (i == 14) utime = std::stoull(f);
        if (i == 15) stime = std::stoull(f);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Cores the idle window takes, or a negative value when it did not come up.
double idle_cores(Display* d, const std::string& display, const std::string& program,
                  const std::string& model, const std::string& log, double measure_s) {
    std::vector<std::string> args = {"env", "DISPLAY=" + display, program};
    if (!model.empty()) args.push_back(model);
    const pid_t pid = spawn(args, log);
    const auto deadline = clock_type::now() + std::chrono::seconds(60);
    while (!window_up(d) || (!model.empty() && !file_holds(log, "READ!"))) {
        if (clock_type::now() > deadline || waitpid(pid, nullptr, WNOHANG) != 0) {
            stop(pid);
            return -1;
        }
        pause_s(0.05);
    }
    pause_s(1.0);  // the first frames, the upload and llvmpipe's shader compiles
    const double c0 = cpu_seconds(pid);
    const auto t0 = clock_type::now();
    pause_s(measure_s);
    const double c1 = cpu_seconds(pid);
    const double wall = std::chrono::duration<double>(clock_type::now() - t0).count();
    stop(pid);
    return (c1 - c0) / wall;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string program = argc > 1 ? argv[1] : VELTRIM_PROGRAM;
    const std::string old_program = argc > 2 ? argv[2] : "";
    const double measure_s = short_mode() ? 2.0 : 10.0;

    const char* tmp = std::getenv("TMPDIR");
    std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/veltrim_idle_bench.XXXXXX";
    if (!mkdtemp(&dir[0])) return std::perror("mkdtemp"), 1;
    struct Case {
        const char* name;
        int cells_x, cells_z;
        std::string path;
    } cases[] = {{"no model", 0, 0, ""}, {"100000", 250, 200, ""}, {"1000000", 1000, 500, ""}};
    for (Case& c : cases) {
        if (c.cells_x == 0) continue;
        c.path = dir + "/" + c.name + ".stl";
        if (!bench_files::write_binary(c.path, bench_files::make_surface(c.cells_x, c.cells_z)))
            return std::fprintf(stderr, "cannot write %s\n", c.path.c_str()), 1;
    }

    int fds[2];
    if (pipe(fds) != 0) return std::perror("pipe"), 1;
    const pid_t xvfb = spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                              "1280x1024x24", "-nolisten", "tcp", "-noreset"},
                             "", fds[1]);
    close(fds[1]);
    std::string number;  // Xvfb writes it, then a line feed, once it accepts clients
    char c = 0;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    const std::string display = ":" + number;
    Display* d = nullptr;
    for (int i = 0; i < 50 && !number.empty(); ++i) {
        if ((d = XOpenDisplay(display.c_str())) != nullptr) break;
        pause_s(0.1);
    }
    if (d == nullptr) {
        std::fprintf(stderr, "Xvfb did not start (display \"%s\")\n", display.c_str());
        stop(xvfb);
        return 1;
    }

    std::printf("Idle window, CPU time over %.0f s in cores (1.0 = one core busy):\n", measure_s);
    std::printf("%10s | %8s%s\n", "facets", "this",
                old_program.empty() ? "" : " |      old |  old/this");
    int failures = 0;
    for (const Case& c : cases) {
        const std::string log = dir + "/stdout.txt";
        const double now = idle_cores(d, display, program, c.path, log, measure_s);
        std::printf("%10s | %8.3f", c.name, now);
        if (!old_program.empty()) {
            const double old = idle_cores(d, display, old_program, c.path, log, measure_s);
            std::printf(" | %8.3f | %8.1fx", old, old / std::max(now, 1e-3));
            failures += old < 0;
        }
        std::printf("\n");
        std::fflush(stdout);
        failures += now < 0;
    }
    XCloseDisplay(d);
    stop(xvfb);
    for (const Case& c : cases)
        if (!c.path.empty()) std::remove(c.path.c_str());
    std::remove((dir + "/stdout.txt").c_str());
    rmdir(dir.c_str());
    if (failures) std::fprintf(stderr, "a window did not come up (negative figures)\n");
    return failures ? 1 : 0;
}
