// veltrim-batch: the window's "Save BMP" for many STL files at once, with no
// display. Each model is drawn in its loaded pose at the top view by the
// window's own frame code in an offscreen EGL context and written as the
// same height map, byte for byte.
#include <CLI/CLI.hpp>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "heightmap/sizes.h"
#include "tools/batch/convert.h"
#include "tools/batch/jobs.h"
#include "tools/batch/progress.h"
#include "view/offscreen_context.h"

namespace {

// Lock-free, so the handler may store to it and the workers read it.
std::atomic<int> g_signal{0};
static_assert(ATOMIC_INT_LOCK_FREE == 2, "the signal flag must be lock-free");

// Ctrl-C lets the files in hand finish, so no temporary file is left behind;
// a second one ends the program at once.
extern "C" void on_signal(int sig) { g_signal = sig; }

void catch_signals() {
    struct sigaction sa {};
    sa.sa_handler = on_signal;
    sa.sa_flags = SA_RESETHAND;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

struct Options {
    std::vector<std::string> inputs;
    std::string output_dir;
    bool recursive = false;
    bool overwrite = false;
    bool verbose = false;
    unsigned jobs = 0;
};

struct Run {
    Run(const std::vector<Job>& j, const Options& o, Progress& p)
        : jobs(j), options(o), progress(p) {}

    const std::vector<Job>& jobs;
    const Options& options;
    Progress& progress;
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> converted{0};
    std::atomic<std::size_t> failed{0};
    std::mutex egl_mutex;  // EGL display set-up and tear-down, one thread at a time
    std::mutex error_mutex;
    std::string context_error;
};

std::string prefixed(const std::string& name, const std::string& text) {
    std::string out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        out += name + ": " + text.substr(start, end - start) + "\n";
        start = end + 1;
    }
    return out;
}

void work(Run& run) {
    // EGL contexts are current per thread, so every worker has its own.
    std::unique_ptr<Offscreen_Context> context;
    {
        std::lock_guard<std::mutex> lock(run.egl_mutex);
        context = std::make_unique<Offscreen_Context>(sizes::kViewWidth, sizes::kViewHeight);
    }
    if (!context->ok()) {
        std::lock_guard<std::mutex> lock(run.error_mutex);
        run.context_error = context->error();
    } else {
        for (;;) {
            if (g_signal != 0) break;
            const std::size_t k = run.next++;
            if (k >= run.jobs.size()) break;
            const Job& job = run.jobs[k];
            run.progress.started(job.input);
            Conversion c;
            try {
                c = convert_model(job.input, job.output);
            } catch (const std::exception& e) {  // a model too large for memory, say
                c.ok = false;
                c.reason = std::string("cannot convert: ") + e.what();
            }
            if (run.options.verbose) {
                run.progress.print(stdout, job.input + ":\n" + c.console);
                if (!c.warnings.empty())
                    run.progress.print(stderr, prefixed(job.input, c.warnings));
            } else if (c.ok && !c.warnings.empty()) {
                run.progress.print(stderr, prefixed(job.input + ": warning", c.warnings));
            }
            if (!c.ok) run.progress.print(stderr, job.input + ": " + c.reason + "\n");
            ++(c.ok ? run.converted : run.failed);
            run.progress.finished(job.input, job.output, c.ok);
        }
    }
    std::lock_guard<std::mutex> lock(run.egl_mutex);
    context.reset();
}

int convert_all(const Options& options) {
    const auto start = std::chrono::steady_clock::now();
    if (!options.output_dir.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(options.output_dir, ec);
        if (ec || !std::filesystem::is_directory(options.output_dir)) {
            std::fprintf(stderr, "veltrim-batch: cannot create the output folder \"%s\": %s\n",
                         options.output_dir.c_str(), ec ? ec.message().c_str() : "not a folder");
            return 1;
        }
    }

    const Job_List list = gather_jobs(options.inputs, options.recursive, options.output_dir);
    std::size_t failed = list.failures.size() + list.collisions.size();
    for (const std::string& line : list.failures) std::fprintf(stderr, "%s\n", line.c_str());
    for (const std::string& line : list.collisions) std::fprintf(stderr, "%s\n", line.c_str());

    std::vector<Job> todo;
    std::size_t skipped = 0;
    for (const Job& job : list.jobs) {
        std::error_code ec;
        if (!options.overwrite && std::filesystem::exists(job.output, ec)) {
            std::fprintf(stderr, "%s: skipped: \"%s\" exists (--overwrite replaces it)\n",
                         job.input.c_str(), job.output.c_str());
            ++skipped;
        } else {
            todo.push_back(job);
        }
    }

    Progress progress(todo.size(), isatty(STDERR_FILENO) == 1);
    Run run{todo, options, progress};
    const std::size_t workers = std::min<std::size_t>(options.jobs, todo.size());
    catch_signals();
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < workers; ++i) threads.emplace_back(work, std::ref(run));
    for (std::thread& t : threads) t.join();
    progress.close();

    const std::size_t taken = std::min(run.next.load(), todo.size());
    failed += run.failed;
    if (g_signal == 0 && taken < todo.size()) {
        // No worker could draw: every model left fails for that reason.
        for (std::size_t k = taken; k < todo.size(); ++k)
            std::fprintf(stderr, "%s: no offscreen OpenGL context: %s\n", todo[k].input.c_str(),
                         run.context_error.c_str());
        failed += todo.size() - taken;
    } else if (!run.context_error.empty()) {
        std::fprintf(stderr, "veltrim-batch: note: a worker had no OpenGL context (%s)\n",
                     run.context_error.c_str());
    }

    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::fprintf(stderr, "converted %zu, skipped %zu, failed %zu in %.2f s", run.converted.load(),
                 skipped, failed, seconds);
    if (run.converted > 0) std::fprintf(stderr, " (%.1f files/s)", run.converted / seconds);
    std::fprintf(stderr, "\n");
    if (const int sig = g_signal.load(); sig != 0) {
        std::fprintf(stderr, "interrupted: %zu not converted\n", todo.size() - taken);
        std::signal(sig, SIG_DFL);
        std::raise(sig);
    }
    return failed == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "Turns STL models into the height maps (BMP) that Veltrim's \"Save BMP\" writes, with no "
        "display: each model in its loaded pose, seen from the top.",
        "veltrim-batch"};
    Options options;
    const unsigned cores = std::thread::hardware_concurrency();
    options.jobs = cores > 0 ? cores : 1;
    app.add_option("INPUT", options.inputs,
                   "STL files, or folders whose *.stl files (any case) are converted")
        ->required();
    app.add_option("-o,--output-dir", options.output_dir,
                   "Write NAME.bmp into DIR (created if missing) instead of beside each input")
        ->type_name("DIR");
    app.add_flag("-r,--recursive", options.recursive, "Also take the *.stl files of subfolders");
    app.add_option("-j,--jobs", options.jobs,
                   "Convert N files at once (default: the number of cores)")
        ->type_name("N")
        ->check(CLI::Range(1u, 1024u));
    app.add_flag("--overwrite", options.overwrite,
                 "Replace existing BMP files instead of skipping them");
    app.add_flag("-v,--verbose", options.verbose,
                 "Print the reader's and the conversion's console lines for every file");
    app.set_version_flag("--version", std::string("veltrim-batch ") + VELTRIM_VERSION);
    app.footer(
        "Exit status: 0 when every file was converted or skipped, 1 when any failed, 2 for a "
        "usage error.");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int status = app.exit(e);  // prints the help, the version or the error
        return status == 0 ? 0 : 2;
    }
    return convert_all(options);
}
