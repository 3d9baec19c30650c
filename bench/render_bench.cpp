// Frames of the 3D view drawn offscreen (800 x 560, the window's own frame
// code): the model from its cached vertex buffer against immediate mode,
// both in the same run; the time from reading a large binary STL file to the
// end of its first frame; allocations per ordinary frame; a frame while
// dragging, drawn by the window's tick before and after it skipped idle frames.
//
//   render_bench [--benchmark_repetitions=3 --benchmark_enable_random_interleaving=true]
//
// VELTRIM_BENCH_SHORT=1 uses small models only, to prove the benchmark works
// in seconds. LP_NUM_THREADS sets llvmpipe's rasterizer threads.
#include <benchmark/benchmark.h>

#include <FL/Fl.H>
#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "model/stl_file.h"
#include "support/allocation_counter.h"
#include "support/model_bounds.h"
#include "wavy_surface.h"
#include "view/frame.h"
#include "view/gl_display_3d.h"
#include "view/offscreen_context.h"
#include "view/window_sizes.h"

namespace {

constexpr int kW = sizes::kViewWidth, kH = sizes::kViewHeight;
// llvmpipe compiles some shader variants only after a few frames.
constexpr int kWarmUpFrames = 8;

bool short_mode() {
    const char* s = std::getenv("VELTRIM_BENCH_SHORT");
    return s != nullptr && *s != '\0' && std::strcmp(s, "0") != 0;
}

const char* path_name(Model_Path p) { return p == Model_Path::Cached ? "cached" : "immediate"; }

const std::vector<Triangle>& model(std::size_t facets) {
    static std::map<std::size_t, std::vector<Triangle>> models;
    auto it = models.find(facets);
    if (it == models.end()) it = models.emplace(facets, wavy_surface(facets)).first;
    return it->second;
}

// The model as a binary STL file, written once per run.
class Stl_File {
public:
    explicit Stl_File(std::size_t facets)
        : path_((std::filesystem::temp_directory_path() /
                 ("veltrim_render_bench_" + std::to_string(getpid()) + "_" +
                  std::to_string(facets) + ".stl"))
                    .string()) {
        const std::vector<Triangle>& t = model(facets);
        std::ofstream out(path_, std::ios::binary);
        char header[80] = "render_bench";
        out.write(header, sizeof header);
        const std::uint32_t n = static_cast<std::uint32_t>(t.size());
        out.write(reinterpret_cast<const char*>(&n), 4);
        for (const Triangle& f : t) {
            const float normal[3] = {0, 0, 0};
            out.write(reinterpret_cast<const char*>(normal), sizeof normal);
            out.write(reinterpret_cast<const char*>(f.v), sizeof f.v);
            out.write("\0\0", 2);
        }
    }
    ~Stl_File() { std::remove(path_.c_str()); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

void load_model(View_State& view, std::size_t facets) {
    std::vector<Triangle> t = model(facets);
    const Model_Bounds bounds = first_vertex_bounds(t);
    view.set_model(std::move(t), bounds);
}

// The view of one benchmark, with its model loaded and drawn a few times.
std::unique_ptr<View_State> prepared_view(Model_Path path, std::size_t facets) {
    auto view = std::make_unique<View_State>();  // large: not on the stack
    view->model_path = path;
    if (facets > 0) load_model(*view, facets);
    draw_frame(*view, kW, kH, false, true);
    for (int i = 0; i < kWarmUpFrames; ++i) draw_frame(*view, kW, kH, true);
    glFinish();
    return view;
}

// Frees the view's GL buffer while the shared context is still current.
void release(View_State& view) {
    view.clear_model();
    draw_frame(view, kW, kH, true);
    glFinish();
}

// Times each call of tick (which draws at most one frame) to its glFinish.
template <class Tick>
void time_frames(benchmark::State& state, const View_State& view, Tick tick) {
    using clock = std::chrono::steady_clock;
    // Each frame's own time: the shortest shows what the renderer can do
    // when the machine leaves it alone, the median what it does under load.
    std::vector<double> ms;
    ms.reserve(4096);
    long allocations = 0;
    for (auto _ : state) {
        const long before = allocation_counter::count.load();
        const auto t0 = clock::now();
        tick();
        glFinish();  // what a buffer swap waits for
        const auto t1 = clock::now();
        allocations += allocation_counter::count.load() - before;
        if (ms.size() < ms.capacity())
            ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    state.counters["allocs/frame"] = static_cast<double>(allocations) / state.iterations();
    state.counters["facets"] = static_cast<double>(view.triangles.size());
    if (!ms.empty()) {
        std::sort(ms.begin(), ms.end());
        state.counters["min_ms"] = ms.front();
        state.counters["median_ms"] = ms[ms.size() / 2];
    }
}

void frame_bench(benchmark::State& state, Model_Path path, std::size_t facets) {
    auto view = prepared_view(path, facets);
    time_frames(state, *view, [&] { draw_frame(*view, kW, kH, true); });
    release(*view);
}

// A right-button drag step every frame, then the window's timer tick: before
// idle frames were skipped the tick always drew; now it asks frame_due()
// first, and draw() records what the frame reads.
void interactive_bench(benchmark::State& state, bool when_due, std::size_t facets) {
    auto view = std::make_unique<GL_Display_3D>();
    if (facets > 0) load_model(*view, facets);
    for (int i = 0; i <= kWarmUpFrames; ++i) {
        view->draw();
        view->valid(1);
        view->context_valid(1);
    }
    int step = 1;
    Fl::e_keysym = FL_Button + FL_RIGHT_MOUSE;
    time_frames(state, *view, [&] {
        Fl::e_x = view->last_x + (step = -step);  // turns back and forth
        Fl::e_y = view->last_y;
        view->handle(FL_DRAG);
        if (!when_due)
            draw_frame(*view, kW, kH, true);
        else if (view->frame_due())
            view->draw();
    });
    // The tick's own added work, alone: frame_due() on a view drawn as it stands.
    view->draw();
    const auto t0 = std::chrono::steady_clock::now();
    int due = 0;
    for (int i = 0; i < 100000; ++i) due += view->frame_due();
    state.counters["due_check_us"] =
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count() /
        100000;
    if (due != 0) state.SkipWithError("a frame due with nothing changed");
    release(*view);
}

void load_bench(benchmark::State& state, Model_Path path, const Stl_File& file) {
    auto view = prepared_view(path, 0);
    using clock = std::chrono::steady_clock;
    double read_s = 0, frame_s = 0;
    for (auto _ : state) {
        view->clear_model();  // as Load does: the old model's memory goes first
        const auto t0 = clock::now();
        std::vector<Triangle> triangles;
        Model_Bounds bounds;
        Stl_Report report;
        if (!read_stl_file(file.path().c_str(), triangles, bounds, report)) {
            state.SkipWithError(("cannot read " + file.path()).c_str());
            break;
        }
        view->set_model(std::move(triangles), bounds);
        const auto t1 = clock::now();
        draw_frame(*view, kW, kH, true);
        glFinish();
        const auto t2 = clock::now();
        read_s += std::chrono::duration<double>(t1 - t0).count();
        frame_s += std::chrono::duration<double>(t2 - t1).count();
    }
    const double n =
        static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.counters["read_ms"] = 1e3 * read_s / n;
    state.counters["first_frame_ms"] = 1e3 * frame_s / n;
    state.counters["facets"] = static_cast<double>(view->triangles.size());
    release(*view);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t m = v.size() / 2;
    return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

// The console output, plus every iteration run kept by name for the summary.
class Collector : public benchmark::ConsoleReporter {
public:
    Collector() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            if (r.run_type != Run::RT_Iteration || r.error_occurred) continue;
            Result& x = results[r.run_name.function_name];
            x.ms.push_back(r.GetAdjustedRealTime());  // registered in milliseconds
            x.cpu_ms.push_back(r.GetAdjustedCPUTime());
            for (const auto& [name, counter] : r.counters)
                x.counters[name].push_back(counter.value);
        }
    }
    struct Result {
        std::vector<double> ms, cpu_ms;
        std::map<std::string, std::vector<double>> counters;
    };
    std::map<std::string, Result> results;
};

std::string frame_name(Model_Path p, std::size_t facets) {
    return std::string("frame/") + path_name(p) + "/" + std::to_string(facets);
}
std::string interactive_name(bool when_due, std::size_t facets) {
    return std::string("interactive/") + (when_due ? "when_due/" : "every_tick/") +
           std::to_string(facets);
}
std::string load_name(Model_Path p, std::size_t facets) {
    return std::string("load_to_first_frame/") + path_name(p) + "/" + std::to_string(facets);
}

void print_summary(const Collector& c, const std::vector<std::size_t>& sizes,
                   const std::vector<std::size_t>& drag_sizes, std::size_t load_facets) {
    auto find = [&](const std::string& name) -> const Collector::Result* {
        auto it = c.results.find(name);
        return it == c.results.end() || it->second.ms.empty() ? nullptr : &it->second;
    };
    auto lowest = [](const std::vector<double>& v) {
        return *std::min_element(v.begin(), v.end());
    };
    const char* threads = std::getenv("LP_NUM_THREADS");
    std::printf("\nRenderer: %s; LP_NUM_THREADS=%s\n",
                reinterpret_cast<const char*>(glGetString(GL_RENDERER)),
                threads ? threads : "(unset: one per core)");
    std::printf(
        "Frame times in ms: shortest frame of all runs / median frame (median over repetitions);\n"
        "CPU: all threads of the process per frame.\n");
    std::printf("%9s | %17s | %17s | %13s | %17s | %s\n", "facets", "immediate min/med",
                "cached min/med", "ratio min/med", "CPU imm/cached", "allocs/frame");
    for (std::size_t n : sizes) {
        const auto* imm = find(frame_name(Model_Path::Immediate, n));
        const auto* cached = find(frame_name(Model_Path::Cached, n));
        if (imm == nullptr || cached == nullptr) continue;
        const double a_min = lowest(imm->counters.at("min_ms")),
                     b_min = lowest(cached->counters.at("min_ms"));
        const double a_med = median(imm->counters.at("median_ms")),
                     b_med = median(cached->counters.at("median_ms"));
        const double a_cpu = median(imm->cpu_ms), b_cpu = median(cached->cpu_ms);
        const double allocs = std::max(median(imm->counters.at("allocs/frame")),
                                       median(cached->counters.at("allocs/frame")));
        std::printf("%9zu | %7.2f / %7.2f | %7.2f / %7.2f | %5.2fx/%5.2fx | %7.2f / %7.2f | %g\n",
                    n, a_min, a_med, b_min, b_med, a_min / b_min, a_med / b_med, a_cpu, b_cpu,
                    allocs);
    }
    std::printf(
        "Dragging, a frame every tick: the tick that always drew against the one that\n"
        "draws when due (min / median ms; ratio due/always, 1.05 = 5%% slower)\n");
    for (std::size_t n : drag_sizes) {
        const auto* always = find(interactive_name(false, n));
        const auto* due = find(interactive_name(true, n));
        if (always == nullptr || due == nullptr) continue;
        const double a_min = lowest(always->counters.at("min_ms")),
                     b_min = lowest(due->counters.at("min_ms"));
        const double a_med = median(always->counters.at("median_ms")),
                     b_med = median(due->counters.at("median_ms"));
        std::printf(
            "%9zu | always %7.2f / %7.2f | when due %7.2f / %7.2f | %5.3f / %5.3f | check %.3f "
            "us\n",
            n, a_min, a_med, b_min, b_med, b_min / a_min, b_med / a_med,
            median(due->counters.at("due_check_us")));
    }
    if (const auto* cached = find(frame_name(Model_Path::Cached, 50000)))
        std::printf(
            "Whole frame at 50000 facets, cached: %.2f ms shortest, %.2f ms median "
            "(a 120 Hz frame lasts 8.33 ms)\n",
            lowest(cached->counters.at("min_ms")), median(cached->counters.at("median_ms")));
    for (Model_Path p : {Model_Path::Cached, Model_Path::Immediate}) {
        const auto* r = find(load_name(p, load_facets));
        if (r == nullptr) continue;
        const double read = median(r->counters.at("read_ms"));
        const double first = median(r->counters.at("first_frame_ms"));
        std::printf(
            "Load to first frame, %zu-facet binary STL, %s: %.1f ms (read %.1f + first frame "
            "%.1f)\n",
            load_facets, path_name(p), read + first, read, first);
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    Offscreen_Context context(kW, kH);
    if (!context.status()) {
        std::fprintf(stderr, "no offscreen GL context: %s\n", context.status().reason().c_str());
        return 1;
    }

    const bool quick = short_mode();
    const std::vector<std::size_t> sizes =
        quick ? std::vector<std::size_t>{10000, 50000}
              : std::vector<std::size_t>{10000, 50000, 100000, 1000000};
    const std::vector<std::size_t> drag_sizes =
        quick ? std::vector<std::size_t>{0, 10000} : std::vector<std::size_t>{0, 100000, 1000000};
    const std::size_t load_facets = quick ? 50000 : 1000000;
    const double min_time = quick ? 0.3 : 1.0;

    for (std::size_t n : sizes)
        for (Model_Path p : {Model_Path::Immediate, Model_Path::Cached})
            benchmark::RegisterBenchmark(frame_name(p, n).c_str(), frame_bench, p, n)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime()
                ->MeasureProcessCPUTime()
                ->MinTime(min_time);
    for (std::size_t n : drag_sizes)
        for (bool when_due : {false, true})
            benchmark::RegisterBenchmark(interactive_name(when_due, n).c_str(), interactive_bench,
                                         when_due, n)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime()
                ->MinTime(min_time);
    const Stl_File file(load_facets);
    for (Model_Path p : {Model_Path::Immediate, Model_Path::Cached})
        benchmark::RegisterBenchmark(load_name(p, load_facets).c_str(), load_bench, p,
                                     std::cref(file))
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(quick ? 2 : 3);

    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    print_summary(collector, sizes, drag_sizes, load_facets);
    benchmark::Shutdown();
    return 0;
}
