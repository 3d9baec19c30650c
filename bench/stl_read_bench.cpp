// STL read speed: our reader (read_stl_file) against a straightforward
// stdio reader and against assimp, on generated binary and ASCII files of
// 1,000,000 facets (50,000 with VELTRIM_BENCH_SHORT=1). Before timing it
// checks that every ASCII number our reader yields is what strtof gives for
// that word, and measures each reader's peak memory in a forked child.
//
//   stl_read_bench [google benchmark flags]

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "model/stl_file.h"
#include "stl_baseline_readers.h"
#include "stl_bench_files.h"
#include "strtof_vertices.h"

namespace {

using namespace bench_files;
using namespace bench_readers;

// ---------------------------------------------------------------- readers

// Ours, as the Load command calls it; a file it reports damaged fails.
bool read_ours(const std::string& path, std::vector<Triangle>& tris) {
    Model_Bounds b;
    Stl_Report r;
    return read_stl_file(path.c_str(), tris, b, r) && r.sound();
}

enum class Reader { Ours, Straightforward, Assimp };
const char* const kReaderName[] = {"ours", "straightforward", "assimp"};

// Loads path with reader; returns the facets it got (0 on failure).
std::size_t load(Reader reader, bool binary, const std::string& path) {
    if (reader == Reader::Assimp) {
        Assimp::Importer importer;
        return read_assimp(path, importer);
    }
    std::vector<Triangle> tris;
    bool ok = reader == Reader::Ours ? read_ours(path, tris)
              : binary               ? read_straightforward_binary(path, tris)
                                     : read_straightforward_ascii(path, tris);
    return ok ? tris.size() : 0;
}

// ---------------------------------------------------------------- checks

bool same_floats(const std::vector<Triangle>& a, const std::vector<Triangle>& b,
                 std::size_t& first_bad) {
    if (a.size() != b.size()) {
        first_bad = std::min(a.size(), b.size());
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::memcmp(&a[i], &b[i], sizeof(Triangle)) != 0) {
            first_bad = i;
            return false;
        }
    return true;
}

// The ASCII file's vertices as strtof reads each word.
std::vector<Triangle> strtof_file_vertices(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return {};
    std::string text(file_size(path), '\0');
    text.resize(std::fread(&text[0], 1, text.size(), f));
    std::fclose(f);
    return strtof_vertices(text);
}

bool check_agreement(const Bench_Files& files) {
    bool ok = true;
    std::size_t bad = 0;
    {
        std::vector<Triangle> ours, expected = strtof_file_vertices(files.ascii);
        read_ours(files.ascii, ours);
        const bool same = expected.size() == files.facets && same_floats(ours, expected, bad);
        std::printf("ASCII: our reader's %zu facets %s strtof of every number\n", ours.size(),
                    same ? "equal" : "DIFFER FROM");
        if (!same) std::printf("  first difference at facet %zu\n", bad);
        ok = ok && same;
        std::vector<Triangle> plain;
        read_straightforward_ascii(files.ascii, plain);
        const bool plain_same = same_floats(plain, expected, bad);
        std::printf("ASCII: straightforward reader's facets %s\n",
                    plain_same ? "equal too" : "differ (fscanf)");
    }
    {
        std::vector<Triangle> ours, plain;
        read_ours(files.binary, ours);
        read_straightforward_binary(files.binary, plain);
        const bool same = ours.size() == files.facets && same_floats(ours, plain, bad);
        std::printf("binary: our reader's %zu facets %s the straightforward reader's\n",
                    ours.size(), same ? "equal" : "DIFFER FROM");
        ok = ok && same;
    }
    for (const std::string* path : {&files.binary, &files.ascii}) {
        const std::size_t faces = load(Reader::Assimp, path == &files.binary, *path);
        std::printf("assimp: %zu faces from %s\n", faces,
                    path == &files.binary ? "binary" : "ASCII");
        ok = ok && faces == files.facets;
    }
    return ok;
}

// ---------------------------------------------------------------- memory

long status_kib(const char* field) {
    std::FILE* f = std::fopen("/proc/self/status", "r");
    if (!f) return -1;
    char line[256];
    long value = -1;
    const std::size_t n = std::strlen(field);
    while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, field, n) == 0 && line[n] == ':') value = std::atol(line + n + 1);
    std::fclose(f);
    return value;
}

struct Peak {
    long start_kib = -1, peak_kib = -1;
    bool ok = false;
};

// Loads the file in a forked child and returns the child's resident size
// before the load and its high-water mark after it.
Peak measure_peak(Reader reader, bool binary, const std::string& path, std::size_t facets) {
    malloc_trim(0);  // so the child cannot reuse pages the parent freed
    int fds[2];
    Peak result;
    if (pipe(fds) != 0) return result;
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        Peak p;
        p.start_kib = status_kib("VmRSS");
        // Resets VmHWM to the present size, where the kernel allows it.
        if (std::FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
            std::fputs("5", f);
            std::fclose(f);
        }
        p.ok = load(reader, binary, path) == facets;
        p.peak_kib = status_kib("VmHWM");
        const ssize_t w = write(fds[1], &p, sizeof p);
        _exit(w == static_cast<ssize_t>(sizeof p) ? 0 : 1);
    }
    close(fds[1]);
    if (pid > 0) {
        if (read(fds[0], &result, sizeof result) != static_cast<ssize_t>(sizeof result))
            result = Peak{};
        int status = 0;
        waitpid(pid, &status, 0);
    }
    close(fds[0]);
    return result;
}

void report_memory(const Bench_Files& files) {
    const double array_mib = files.facets * sizeof(Triangle) / 1048576.0;
    std::printf(
        "\nPeak memory of one load in a forked child (triangle array: %zu x 36 B = %.1f MiB)\n",
        files.facets, array_mib);
    std::printf("%-7s %-16s %12s %14s\n", "form", "reader", "peak MiB", "x array size");
    for (bool binary : {true, false})
        for (Reader r : {Reader::Ours, Reader::Straightforward, Reader::Assimp}) {
            const Peak p =
                measure_peak(r, binary, binary ? files.binary : files.ascii, files.facets);
            const double mib = (p.peak_kib - p.start_kib) / 1024.0;
            if (!p.ok || p.peak_kib < 0 || p.start_kib < 0)
                std::printf("%-7s %-16s %12s\n", binary ? "binary" : "ASCII", kReaderName[int(r)],
                            "failed");
            else
                std::printf("%-7s %-16s %12.1f %14.2f\n", binary ? "binary" : "ASCII",
                            kReaderName[int(r)], mib, mib / array_mib);
        }
    std::printf("(peak = VmHWM after the load minus VmRSS before it)\n\n");
}

// ---------------------------------------------------------------- timing

void bench_load(benchmark::State& state, Reader reader, bool binary, const std::string& path,
                std::size_t facets) {
    std::size_t got = 0;
    for (auto _ : state) {
        // Only the read itself is timed: set-up and freeing are not.
        state.PauseTiming();
        auto tris = std::make_unique<std::vector<Triangle>>();
        auto importer = reader == Reader::Assimp ? std::make_unique<Assimp::Importer>() : nullptr;
        state.ResumeTiming();
        bool ok;
        if (reader == Reader::Ours) {
            ok = read_ours(path, *tris);
            got = tris->size();
        } else if (reader == Reader::Straightforward) {
            ok = binary ? read_straightforward_binary(path, *tris)
                        : read_straightforward_ascii(path, *tris);
            got = tris->size();
        } else {
            got = read_assimp(path, *importer);
            ok = got > 0;
        }
        benchmark::DoNotOptimize(got);
        state.PauseTiming();
        tris.reset();
        importer.reset();
        state.ResumeTiming();
        if (!ok || got != facets) {
            state.SkipWithError("wrong facet count");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file_size(path)));
    state.counters["facets/s"] = benchmark::Counter(
        static_cast<double>(state.iterations() * facets), benchmark::Counter::kIsRate);
}

struct Best {
    double real = -1, cpu = -1;  // seconds per load
};

// Keeps the best seconds per load of every benchmark for the summary: the
// "min" statistic over repetitions where there is one, else the fastest run.
class Summary_Reporter : public benchmark::ConsoleReporter {
public:
    Summary_Reporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            if (r.error_occurred || r.iterations == 0) continue;
            const bool minimum = r.run_type == Run::RT_Aggregate && r.aggregate_name == "min";
            if (r.run_type != Run::RT_Iteration && !minimum) continue;
            const double n = static_cast<double>(r.iterations);
            Best& b = best[r.run_name.function_name];
            if (minimum || b.real < 0 || r.real_accumulated_time / n < b.real) {
                b.real = r.real_accumulated_time / n;
                b.cpu = r.cpu_accumulated_time / n;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, Best> best;
};

std::string bench_name(bool binary, Reader r) {
    return std::string(binary ? "binary/" : "ascii/") + kReaderName[int(r)];
}

void print_summary(const Summary_Reporter& rep, const Bench_Files& files) {
    auto best_of = [&](bool binary, Reader r) {
        const auto it = rep.best.find(bench_name(binary, r));
        return it == rep.best.end() ? Best{} : it->second;
    };
    std::printf("\nSummary (%zu facets; best time per load, wall clock and CPU)\n", files.facets);
    std::printf("%-7s %-16s %9s %9s %11s %9s\n", "form", "reader", "wall ms", "CPU ms", "Mfacets/s",
                "MB/s");
    for (bool binary : {true, false}) {
        const double mb = file_size(binary ? files.binary : files.ascii) / 1e6;
        for (Reader r : {Reader::Ours, Reader::Straightforward, Reader::Assimp}) {
            const Best b = best_of(binary, r);
            if (b.real <= 0) continue;
            std::printf("%-7s %-16s %9.1f %9.1f %11.2f %9.1f\n", binary ? "binary" : "ASCII",
                        kReaderName[int(r)], b.real * 1e3, b.cpu * 1e3, files.facets / b.real / 1e6,
                        mb / b.real);
        }
    }
    auto ratio = [&](bool binary, Reader other, double target) {
        const Best ours = best_of(binary, Reader::Ours), them = best_of(binary, other);
        if (ours.real <= 0 || them.real <= 0) return;
        const double x = them.real / ours.real;
        std::printf("%-7s ours vs %-16s %6.2fx faster (CPU time: %.2fx)",
                    binary ? "binary" : "ASCII", kReaderName[int(other)], x,
                    ours.cpu > 0 ? them.cpu / ours.cpu : 0.0);
        if (target > 0)
            std::printf("  target >= %.1fx: %s", target, x >= target ? "met" : "MISSED");
        std::printf("\n");
    };
    std::printf("\n");
    ratio(true, Reader::Straightforward, 4.5);
    ratio(true, Reader::Assimp, 2.5);
    ratio(false, Reader::Straightforward, 0);
    ratio(false, Reader::Assimp, 2.5);
}

}  // namespace

int main(int argc, char** argv) {
    const char* short_env = std::getenv("VELTRIM_BENCH_SHORT");
    const bool short_run = short_env && std::strcmp(short_env, "1") == 0;
    // 1000 x 500 cells: 1,000,000 facets; 250 x 100: 50,000.
    const int cells_x = short_run ? 250 : 1000, cells_z = short_run ? 100 : 500;

    char tmpl[] = "/tmp/veltrim-bench-XXXXXX";
    if (!mkdtemp(tmpl)) {
        std::perror("mkdtemp");
        return 1;
    }
    Bench_Files files;
    files.dir = tmpl;
    files.binary = files.dir + "/bench_binary.stl";
    files.ascii = files.dir + "/bench_ascii.stl";
    auto clean_up = [&] {
        std::remove(files.binary.c_str());
        std::remove(files.ascii.c_str());
        rmdir(files.dir.c_str());
    };
    {
        const std::vector<Triangle> surface = make_surface(cells_x, cells_z);
        files.facets = surface.size();
        if (!write_binary(files.binary, surface) || !write_ascii(files.ascii, surface)) {
            std::fprintf(stderr, "cannot write the benchmark files under %s\n", files.dir.c_str());
            clean_up();
            return 1;
        }
    }
    std::printf("%zu facets: binary %.1f MB, ASCII %.1f MB in %s\n", files.facets,
                file_size(files.binary) / 1e6, file_size(files.ascii) / 1e6, files.dir.c_str());

    report_memory(files);
    if (!check_agreement(files)) {
        std::fprintf(stderr, "the readers disagree; no timing\n");
        clean_up();
        return 1;
    }

    for (bool binary : {true, false})
        for (Reader r : {Reader::Ours, Reader::Straightforward, Reader::Assimp}) {
            const std::string path = binary ? files.binary : files.ascii;
            auto* b = benchmark::RegisterBenchmark(bench_name(binary, r).c_str(), bench_load, r,
                                                   binary, path, files.facets);
            b->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(short_run ? 0.2 : 1.0);
            b->ComputeStatistics("min", [](const std::vector<double>& v) {
                return *std::min_element(v.begin(), v.end());
            });
            // Machines are shared: the full run takes the best of three.
            if (!short_run) b->Repetitions(3)->DisplayAggregatesOnly(true);
        }
    benchmark::Initialize(&argc, argv);
    Summary_Reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    print_summary(reporter, files);
    benchmark::Shutdown();
    clean_up();
    return 0;
}
