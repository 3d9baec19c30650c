// The Save's write as the window runs it inside a frame: a 360 x 150 gray
// BMP replacing the previous one, flushed to disk and, as the baseline
// measured in the same run, not flushed. Prints the median of each, their
// ratio, and the fsync'd median and tail against the 50 ms that a frame
// which writes may take.
//
//   image_write_bench [--benchmark_repetitions=3]
//
// VELTRIM_BENCH_DIR names the folder to write in (default: the temporary
// folder), so the figure can be taken on the disk the operator saves to.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

#include "heightmap/image_writer.h"
#include "heightmap/sizes.h"
#include "platform/atomic_write.h"

namespace {

constexpr double kFrameBudgetMs = 50.0;

std::map<std::string, std::vector<double>> samples_ms;

std::string output_name() {
    const char* dir = std::getenv("VELTRIM_BENCH_DIR");
    const std::filesystem::path folder = dir != nullptr && *dir != '\0'
                                             ? std::filesystem::path(dir)
                                             : std::filesystem::temp_directory_path();
    return (folder / ("veltrim_image_write_bench_" + std::to_string(getpid()) + ".bmp")).string();
}

void save_write(benchmark::State& state, bool sync, const char* name) {
    cv::Mat image(sizes::kImageRows, sizes::kImageCols, CV_8UC1);
    for (int r = 0; r < image.rows; ++r)
        for (int c = 0; c < image.cols; ++c)
            image.at<unsigned char>(r, c) = static_cast<unsigned char>(r + c);
    const std::string path = output_name();
    atomic_write_testing::sync_to_disk = sync;
    // The first Save creates the file; every later one replaces it.
    if (!write_bmp_atomically(path.c_str(), image)) state.SkipWithError("cannot write");
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const Status s = write_bmp_atomically(path.c_str(), image);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!s) state.SkipWithError(s.reason().c_str());
        state.SetIterationTime(seconds);
        samples_ms[name].push_back(seconds * 1e3);
    }
    atomic_write_testing::sync_to_disk = true;
    std::filesystem::remove(path);
}

// The value below which the fraction q of the samples lie.
double quantile(std::vector<double> v, double q) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[static_cast<std::size_t>(q * static_cast<double>(v.size() - 1))];
}

}  // namespace

BENCHMARK_CAPTURE(save_write, fsync, true, "fsync")->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(save_write, no_fsync, false, "no_fsync")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const double synced = quantile(samples_ms["fsync"], 0.5);
    const double unsynced = quantile(samples_ms["no_fsync"], 0.5);
    if (synced <= 0.0 || unsynced <= 0.0) return 1;
    std::printf("Save write of a %dx%d BMP in %s, median of %zu and %zu writes:\n",
                sizes::kImageCols, sizes::kImageRows, output_name().c_str(),
                samples_ms["fsync"].size(), samples_ms["no_fsync"].size());
    std::printf("  with fsync %.3f ms, without %.3f ms, ratio %.1f\n", synced, unsynced,
                synced / unsynced);
    std::printf("  with fsync: 95th percentile %.3f ms, slowest %.3f ms\n",
                quantile(samples_ms["fsync"], 0.95), quantile(samples_ms["fsync"], 1.0));
    std::printf("  frame budget %.0f ms: the median write takes %.1f%% of it (%s)\n",
                kFrameBudgetMs, 100.0 * synced / kFrameBudgetMs,
                synced < kFrameBudgetMs ? "within" : "OVER");
    return 0;
}
