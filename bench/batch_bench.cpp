// Throughput of veltrim-batch: a folder of generated insole models converted
// with -j 1 and with -j 2, in files per second, and the ratio of the two
// measured in the same run; then the precise formats against the bmp path. VELTRIM_BENCH_SHORT=1 makes a small folder so CI
// can run it in seconds. A second program (an earlier build, say) is timed
// with -j 1 in the same run, alternating with ours, and the ratio printed.
// Then the cost of the images' records: the content digest's share of a
// conversion, and a rerun over many unchanged files (which the records
// settle by their stamps) against the baseline's rerun in the same run.
// Usage: batch_bench [path/to/veltrim-batch [path/to/baseline-veltrim-batch]]
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>

#include "platform/content_digest.h"
#include "platform/text_format.h"
#include "support/insole_model.h"
#include "support/stl_bytes.h"

namespace fs = std::filesystem;

namespace {

// Wall-clock seconds of one veltrim-batch run, its standard error kept in
// log; negative if it failed.
double timed_run(const std::string& program, const std::vector<std::string>& args,
                 const std::string& log) {
    std::vector<std::string> strings = {program};
    strings.insert(strings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& s : strings) argv.push_back(&s[0]);
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        if (!std::freopen(log.c_str(), "w", stderr)) _exit(126);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1;
}

// Seconds to digest every file of a folder, as a conversion does.
double digest_seconds(const fs::path& folder) {
    const auto start = std::chrono::steady_clock::now();
    for (const auto& e : fs::directory_iterator(folder)) {
        const int fd = open(e.path().c_str(), O_RDONLY);
        if (fd < 0 || !digest_of_descriptor(fd))
            std::fprintf(stderr, "cannot digest %s\n", e.path().c_str());
        if (fd >= 0) close(fd);
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A rerun over `count` small unchanged models, each program on its own
// output folder after a first run there: best of two, seconds.
void rerun_bench(const fs::path& root, const std::string& program, const std::string& baseline,
                 int count) {
    const fs::path in = root / "many";
    fs::create_directories(in);
    for (int i = 0; i < count; ++i) {
        std::ofstream(in / platform::format_text("scan_%04d.stl", i), std::ios::binary)
            << stl_bytes::binary(insole_model(500, static_cast<unsigned>(i)));
    }
    const std::string programs[2] = {program, baseline};
    double best[2] = {1e30, 1e30};
    const int runs = baseline.empty() ? 1 : 2;
    for (int k = 0; k < runs; ++k) {
        const std::string out = (root / ("many_out" + std::to_string(k))).string();
        if (timed_run(programs[k], {"-o", out, in.string()}, (root / "log").string()) < 0) return;
    }
    for (int r = 0; r < 2; ++r)
        for (int k = 0; k < runs; ++k) {
            const std::string out = (root / ("many_out" + std::to_string(k))).string();
            const double s =
                timed_run(programs[k], {"-o", out, in.string()}, (root / "log").string());
            if (s >= 0 && s < best[k]) best[k] = s;
        }
    std::printf("rerun of %d unchanged files: %.3f s", count, best[0]);
    if (!baseline.empty())
        std::printf("; baseline %.3f s; ours / baseline: %.2fx (goal at most 2x)", best[1],
                    best[0] / best[1]);
    std::printf("\n");
}

// Best of `repeats` seconds of one -j 1 run with extra options over a folder,
// each into a new output folder, as new scans are: replacing a file by
// rename costs ext4 a flush of its own.
double best_run(const std::string& program, const fs::path& in, const fs::path& out,
                const std::vector<std::string>& extra, const fs::path& log, int repeats) {
    double best = 1e30;
    std::vector<std::string> args = {"-j", "1", "-o", out.string()};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back(in.string());
    for (int r = 0; r < repeats; ++r) {
        fs::remove_all(out);
        const double s = timed_run(program, args, log.string());
        if (s < 0) return -1;
        best = std::min(best, s);
    }
    return best;
}

// The precise maps against the bmp path: the same models as png16 at pixel
// size 1 and tiff at 0.1, and one large model as tiff at 0.1.
void formats_bench(const fs::path& root, const std::string& program, const fs::path& in, int models,
                   std::size_t large_facets, int repeats) {
    const fs::path out = root / "formats", log = root / "log";
    const double bmp = best_run(program, in, out, {}, log, repeats);
    const double png16 = best_run(program, in, out, {"--format", "png16"}, log, repeats);
    const double tiff =
        best_run(program, in, out, {"--format", "tiff", "--pixel-size", "0.1"}, log, repeats);
    if (bmp < 0 || png16 < 0 || tiff < 0) {
        std::fprintf(stderr, "a format run failed\n");
        return;
    }
    std::printf(
        "bmp: %.1f files/s; png16 at 1: %.1f files/s, %.2fx bmp (goal at least 3x); "
        "tiff at 0.1: %.1f files/s\n",
        models / bmp, models / png16, bmp / png16, models / tiff);
    const fs::path large = root / "large";
    fs::create_directories(large);
    std::ofstream(large / "large.stl", std::ios::binary)
        << stl_bytes::binary(insole_model(large_facets, 7));
    const double large_bmp = best_run(program, large, out, {}, log, repeats);
    const double large_tiff =
        best_run(program, large, out, {"--format", "tiff", "--pixel-size", "0.1"}, log, repeats);
    std::printf("a %zu-facet model: bmp %.2f s, tiff at 0.1 %.2f s: %.2fx (goal at most 1.5x)\n",
                large_facets, large_bmp, large_tiff, large_tiff / large_bmp);
    fs::remove_all(out);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string program = argc > 1 ? argv[1] : VELTRIM_BATCH;
    const std::string baseline = argc > 2 ? argv[2] : "";
    const char* short_env = std::getenv("VELTRIM_BENCH_SHORT");
    const bool short_mode = short_env != nullptr && std::strcmp(short_env, "0") != 0;
    const int models = short_mode ? 6 : 40;
    const std::size_t facets = short_mode ? 20000 : 100000;
    const int repeats = short_mode ? 1 : 2;

    char tmpl[] = "/tmp/veltrim-batch-bench-XXXXXX";
    if (mkdtemp(tmpl) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path root(tmpl);
    const fs::path in = root / "models", out = root / "maps";
    fs::create_directories(in);
    std::size_t total_facets = 0;
    for (int i = 0; i < models; ++i) {
        const std::vector<Triangle> t = insole_model(facets, static_cast<unsigned>(i));
        total_facets += t.size();
        std::ofstream(in / platform::format_text("insole_%02d.stl", i), std::ios::binary)
            << stl_bytes::binary(t);
    }
    std::printf("%d binary STL models, %zu facets on average, %s\n", models, total_facets / models,
                program.c_str());

    // Best of `repeats` for each, alternating so both see the same machine.
    double best[3] = {1e30, 1e30, 1e30};
    const int jobs[3] = {1, 2, 1};
    const std::string programs[3] = {program, program, baseline};
    const int runs = baseline.empty() ? 2 : 3;
    bool ok = true;
    for (int r = 0; r < repeats && ok; ++r)
        for (int k = 0; k < runs && ok; ++k) {
            const double s = timed_run(
                programs[k],
                {"-j", std::to_string(jobs[k]), "--overwrite", "-o", out.string(), in.string()},
                (root / "log").string());
            if (s < 0) {
                std::ifstream log(root / "log");
                std::fprintf(stderr, "veltrim-batch -j %d failed:\n%s\n", jobs[k],
                             std::string(std::istreambuf_iterator<char>(log), {}).c_str());
                ok = false;
            } else if (s < best[k]) {
                best[k] = s;
            }
        }
    std::size_t written = 0;
    for (const auto& e : fs::directory_iterator(out)) written += e.path().extension() == ".bmp";
    double digests = 1e30;
    for (int r = 0; r < 3; ++r) digests = std::min(digests, digest_seconds(in));
    fs::remove_all(out);
    if (!ok || written != static_cast<std::size_t>(models)) {
        std::fprintf(stderr, "expected %d height maps, found %zu\n", models, written);
        fs::remove_all(root);
        return 1;
    }
    for (int k = 0; k < 2; ++k)
        std::printf("-j %d: %6.2f s  %6.1f files/s  (best of %d, process start included)\n",
                    jobs[k], best[k], models / best[k], repeats);
    std::printf("-j 2 / -j 1 throughput: %.2fx\n", best[0] / best[1]);
    std::printf(
        "content digest: %.1f ms for %d files, %.2f%% of a -j 1 conversion (goal at most "
        "5%%)\n",
        digests * 1e3, models, 100 * digests / best[0]);
    if (!baseline.empty())
        std::printf("baseline %s -j 1: %6.1f files/s; ours / baseline: %.2fx\n", baseline.c_str(),
                    models / best[2], best[2] / best[0]);
    formats_bench(root, program, in, models, short_mode ? 200000 : 1000000, repeats);
    rerun_bench(root, program, baseline, short_mode ? 200 : 2000);
    fs::remove_all(root);
    return 0;
}
