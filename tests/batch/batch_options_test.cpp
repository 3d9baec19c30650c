// veltrim-batch's placement, quality warnings, report and watch folder, run
// as a user runs them, with no display.
#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <functional>
#include <regex>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include "batch/batch_run.h"

namespace {

using Facets = std::vector<Triangle>;

Facets transformed(Facets t, const std::function<void(float*)>& f) {
    for (Triangle& facet : t)
        for (auto& v : facet.v) f(v);
    return t;
}

cv::Mat image(const std::string& path) { return cv::imread(path, cv::IMREAD_UNCHANGED); }

using Batch_Options = Batch_Test;

// A scanner that writes Z-up models: the same relief with its height along
// +z. Turned by --rotate it must give the height map of its Y-up twin.
TEST_F(Batch_Options, RotatedZUpModelGivesItsYUpTwinsHeightMap) {
    const Facets y_up = insole_model(20000, 2);
    put(dir_.file("y_up.stl"), stl_bytes::binary(y_up));
    const std::string z_up = stl_bytes::binary(transformed(y_up, [](float* v) {
        const float y = v[1];
        v[1] = -v[2];
        v[2] = y;
    }));
    // Twice, to one worker: each model starts from the unturned pose.
    put(dir_.file("z_up.stl"), z_up);
    put(dir_.file("z_up_2.stl"), z_up);
    // The --rotate of the Y-up and of the Z-up model. The second row checks
    // the order: steps turn about the model's own axes, so after standing up,
    // its z axis is the vertical.
    using Rotate = std::vector<std::string>;
    for (const auto& [y_up_rotate, z_up_rotate] :
         {std::pair<Rotate, Rotate>{{}, {"--rotate", "x:-90"}},
          std::pair<Rotate, Rotate>{{"--rotate", "y:30"}, {"--rotate", "x:-90,z:30"}}}) {
        Rotate a = y_up_rotate, b = z_up_rotate;
        a.insert(a.end(), {"--overwrite", "-o", dir_.file("a"), dir_.file("y_up.stl")});
        b.insert(b.end(), {"-j", "1", "--overwrite", "-o", dir_.file("b"), dir_.file("z_up.stl"),
                           dir_.file("z_up_2.stl")});
        ASSERT_EQ(run_batch(a).status, 0);
        ASSERT_EQ(run_batch(b).status, 0);
        const cv::Mat want = image(dir_.file("a/y_up.bmp"));
        ASSERT_FALSE(want.empty());
        for (const char* name : {"b/z_up.bmp", "b/z_up_2.bmp"}) {
            const cv::Mat got = image(dir_.file(name));
            ASSERT_EQ(want.size(), got.size()) << name;
            cv::Mat d;
            cv::absdiff(want, got, d);
            const std::string rotate = z_up_rotate.back() + " " + name;
            EXPECT_GT(cv::countNonZero(want), 20000) << rotate << ": the relief must be there";
            EXPECT_EQ(cv::countNonZero(d > 1), 0) << rotate;
            // 0.2 % off by one: rounding at depth steps
            EXPECT_LE(cv::countNonZero(d == 1), static_cast<int>(want.total() / 500)) << rotate;
        }
    }
}

// Nonzero pixels on the image's left, right, top and bottom edges.
std::array<int, 4> nonzero_on_edges(const cv::Mat& m) {
    return {cv::countNonZero(m.col(0)), cv::countNonZero(m.col(m.cols - 1)),
            cv::countNonZero(m.row(0)), cv::countNonZero(m.row(m.rows - 1))};
}

// The model with a point facet that moves the middle of its bounds, so the
// capture, centred there, shows the model `by` units off along x or z.
Facets off_centre(Facets t, int axis, float by) {
    float lo = t[0].v[0][axis], hi = lo;
    for (const Triangle& f : t) lo = std::min(lo, f.v[0][axis]), hi = std::max(hi, f.v[0][axis]);
    Triangle point = t[0];
    point.v[0][axis] = by > 0 ? lo - 2 * by : hi - 2 * by;
    for (int k = 0; k < 3; ++k) point.v[1][k] = point.v[2][k] = point.v[0][k];
    t.push_back(point);
    return t;
}

TEST_F(Batch_Options, WarningsAndReportRowsMatchTheFiles) {
    const Facets normal = insole_model(20000, 1);
    make_dirs({"in", "out"});
    put(dir_.file("in/normal.stl"), stl_bytes::ascii(normal));
    // Five times as tall: 51 units and more above the plate, and the
    // lower half of the relief under it once centred.
    put(dir_.file("in/tall.stl"),
        stl_bytes::binary(transformed(normal, [](float* v) { v[1] *= 5; })));
    // Each across one edge of the capture window (360 along x, 150 along z).
    const std::vector<std::pair<std::string, Facets>> off = {{"x_hi", off_centre(normal, 0, 60)},
                                                             {"x_lo", off_centre(normal, 0, -60)},
                                                             {"z_hi", off_centre(normal, 2, 45)},
                                                             {"z_lo", off_centre(normal, 2, -45)}};
    for (const auto& [name, facets] : off)
        put(dir_.file("in/" + name + ".stl"), stl_bytes::binary(facets));
    // Two insoles side by side, far apart: the capture between them is empty.
    Facets apart = transformed(normal, [](float* v) { v[2] += 200; });
    for (const Triangle& t : transformed(normal, [](float* v) { v[2] -= 200; })) apart.push_back(t);
    put(dir_.file("in/apart.stl"), stl_bytes::binary(apart));
    put(dir_.file("in/broken.stl"), "solid x\nfacet normal 0 0 1, no more\n");
    put(dir_.file("in/kept.stl"), insole_bytes(2000, 3));
    put(dir_.file("out/kept.bmp"), "an earlier picture");

    const std::string report = dir_.file("report, run 1.csv");
    // Written as the images are: a link stays a link, a hard link shared, a 0600 file 0600.
    const std::string t = dir_.file("t.csv"), o = dir_.file("o.csv");
    put(t, "old");
    ASSERT_EQ(
        chmod(t.c_str(), 0600) | link(t.c_str(), o.c_str()) | symlink("t.csv", report.c_str()), 0);
    const Batch_Run r = run_batch({"-o", dir_.file("out"), "--report", report, dir_.file("in")});
    EXPECT_EQ(r.status, 1) << r.err;
    const cv::Mat tall = image(dir_.file("out/tall.bmp"));
    ASSERT_FALSE(tall.empty());
    const int clipped = cv::countNonZero(tall == 255);
    ASSERT_GT(clipped, 100) << r.err;
    // The warnings on the console are the report's messages; none for the sound model.
    EXPECT_EQ(r.lines_with("normal.stl: WARNING"), 0) << r.err;
    EXPECT_EQ(r.lines_with("converted 7 (6 with warnings), skipped 1, failed 1"), 1) << r.err;
    EXPECT_EQ(r.lines_with("tall.stl: WARNING: " + std::to_string(clipped) + " pixels clipped"), 1);
    EXPECT_EQ(r.lines_with("apart.stl: WARNING: the capture holds no model pixel (the model"), 1);

    // Each line of the report by its pattern; group 1 is a real length.
    const std::string in = dir_.file("in/"), out = dir_.file("out/"), len = "([0-9]+\\.[0-9]+)",
                      n = std::to_string(normal.size());
    // The last four columns: the scan's digest, why the image was made or
    // kept, and the run's format and pixel size.
    const std::string made = ",[0-9a-f]{32},no image yet,bmp,1";
    std::vector<std::string> rows = {
        "input,output,status,facets,form,real length,clipped pixels,cut,below plate,message,"
        "digest,reason,format,pixel size",
        in + "normal.stl," + out + "normal.bmp,converted," + n + ",ascii," + len + ",0,no,no," +
            made,
        in + "tall.stl," + out + "tall.bmp,converted," + n + ",binary," + len + "," +
            std::to_string(clipped) + ",no,yes," + std::to_string(clipped) +
            " pixels clipped at 255 \\(51 units or more above the plate\\); [0-9]+ pixels with "
            "part of the model below the plate \\(hidden\\)" +
            made,
        in + "apart.stl," + out + "apart.bmp,converted," + std::to_string(2 * normal.size()) +
            ",binary,[^,]*,0,no,no,the capture holds no model pixel \\(the model lies outside "
            "the capture window\\)" +
            made,
        in + "broken.stl," + out +
            "broken.bmp,failed,0,ascii,,,,,no facets: an ASCII STL without a readable facet" + made,
        in + "kept.stl," + out + "kept.bmp,skipped,,,,,,,\"\"\"" + out +
            "kept.bmp\"\" is up to date \\(--overwrite converts it again anyway\\)\",,no record: "
            "the image is newer than the scan,bmp,1"};
    // Each edge cut by one model, and by that one alone (so no corner counts twice).
    std::array<int, 4> edges_cut = {};
    for (const auto& [name, facets] : off) {
        const std::array<int, 4> edges = nonzero_on_edges(image(dir_.file("out/" + name + ".bmp")));
        const std::string cut = std::to_string(edges[0] + edges[1] + edges[2] + edges[3]);
        EXPECT_EQ(std::count(edges.begin(), edges.end(), 0), 3) << name;
        for (int e = 0; e < 4; ++e) edges_cut[e] += edges[e] > 0;
        EXPECT_EQ(r.lines_with(name + ".stl: WARNING: " + cut + " pixels of the"), 1) << r.err;
        rows.push_back(in + name + ".stl," + out + name + ".bmp,converted," +
                       std::to_string(normal.size() + 1) + ",binary," + len + ",0,yes,no," + cut +
                       " pixels of the model on the capture border \\(cut off\\)" + made);
    }
    EXPECT_EQ(edges_cut, (std::array<int, 4>{1, 1, 1, 1}));
    // CRLF line ends, the last line's too.
    const std::string text = slurp(report);
    EXPECT_TRUE(std::filesystem::is_symlink(report));
    EXPECT_EQ(std::filesystem::status(t).permissions(), std::filesystem::perms(0600));
    EXPECT_EQ(slurp(o), text);
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(text.substr(at, end - at));
    EXPECT_EQ(lines.size(), rows.size()) << text;
    std::vector<double> lengths;
    for (const std::string& row : rows) {
        const std::regex pattern(row);
        int matching = 0;
        for (const std::string& line : lines) {
            std::smatch m;
            if (!std::regex_match(line, m, pattern)) continue;
            ++matching;
            if (m.size() > 1) lengths.push_back(std::stod(m[1]));
        }
        EXPECT_EQ(matching, 1) << row << "\n" << text;
    }
    ASSERT_EQ(lengths.size(), 6u);
    EXPECT_NEAR(lengths[0], 29.6, 3.0) << "normal";
    EXPECT_GT(lengths[1], 51.0) << "tall: the real length passes the clip";
    EXPECT_EQ(files_in(dir_.path()),
              (std::vector<std::string>{"in", "o.csv", "out", "report, run 1.csv", "t.csv"}))
        << "no temporary file left";

    // --strict: a re-scanned tall model fails and keeps no image; its old
    // one stays, named out of date. Sound files are up to date and skipped.
    const std::string old_tall = slurp(dir_.file("out/tall.bmp"));
    put(dir_.file("in/tall.stl"),
        stl_bytes::binary(transformed(normal, [](float* v) { v[1] *= 5.01f; })));
    const Batch_Run strict = run_batch({"--strict", "-o", out, dir_.file("in")});
    EXPECT_EQ(strict.status, 1) << strict.err;
    EXPECT_EQ(strict.lines_with("tall.stl: not written (--strict): it has warnings: "), 1)
        << strict.err;
    EXPECT_EQ(strict.lines_with("tall.bmp\" is out of date (the scan changed since its image "
                                "was made)"),
              1)
        << strict.err;
    EXPECT_EQ(strict.lines_with("converted 0, skipped 7, failed 2"), 1) << strict.err;
    EXPECT_TRUE(slurp(dir_.file("out/tall.bmp")) == old_tall);
}

// SIGHUP, as a closed terminal sends, in the middle of a run: the files in
// hand finish whole, no temporary is left, and the report has every model.
// 1024 jobs, each with room for the largest model accepted, fit no machine
// this runs on.
TEST_F(Batch_Options, MoreJobsThanMemoryHoldsAreLoweredWithANote) {
    put(dir_.file("a.stl"), insole_bytes(500, 1));
    const Batch_Run r = run_batch({"-j", "1024", dir_.file("a.stl")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.lines_with("veltrim-batch: note: -j 1024 lowered to "), 1) << r.err;
}

TEST_F(Batch_Options, SighupFinishesTheFilesInHand) {
    make_dirs({"in"});
    const std::string model = insole_bytes(60000, 2), out = dir_.file("out"), csv = dir_.file("r");
    for (int k = 10; k < 40; ++k) put(dir_.file("in/m" + std::to_string(k) + ".stl"), model);
    const mode_t mask = umask(077);  // a new report's mode is the umask's
    const pid_t pid = start_batch({"-j", "2", "--report", csv, "-o", out, dir_.file("in")},
                                  dir_.file("out.txt"), dir_.file("err.txt"));
    umask(mask);
    ASSERT_TRUE(wait_until([&] { return exists(out + "/m10.bmp"); }, 60));
    kill(pid, SIGHUP);
    EXPECT_EQ(wait_for(pid), -1) << "it ends as the signal would have ended it";
    const std::vector<std::string> images = files_in(out);
    EXPECT_LT(images.size(), 30u) << "stopped before the end";
    EXPECT_EQ(std::filesystem::status(csv).permissions(), std::filesystem::perms(0600));
    EXPECT_EQ(count_lines_with(slurp(csv), ",failed,,,,,,,interrupted") + images.size(), 30u);
    for (const std::string& name : images) {
        EXPECT_EQ(image(out + "/" + name).size(), cv::Size(150, 360)) << name;
        EXPECT_EQ(count_lines_with(slurp(csv), "," + out + "/" + name + ",converted,"), 1) << name;
    }
}

// An operator who presses Ctrl+C again does not want to wait for the files
// in hand: the run ends at once, writes no report and leaves no temporary.
TEST_F(Batch_Options, ASecondSignalEndsTheRunAtOnce) {
    make_dirs({"in"});
    const std::string model = insole_bytes(120000, 3), out = dir_.file("out"), csv = dir_.file("r");
    for (int k = 10; k < 30; ++k) put(dir_.file("in/m" + std::to_string(k) + ".stl"), model);
    const pid_t pid = start_batch({"-j", "1", "--report", csv, "-o", out, dir_.file("in")},
                                  dir_.file("out.txt"), dir_.file("err.txt"));
    ASSERT_TRUE(wait_until([&] { return exists(out + "/m10.bmp"); }, 60));
    kill(pid, SIGHUP);
    kill(pid, SIGINT);
    int wstatus = 0;
    ASSERT_EQ(waitpid(pid, &wstatus, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(wstatus)) << wstatus;
    EXPECT_FALSE(exists(csv)) << "no report: it did not wind down";
    for (const std::string& name : files_in(out))
        EXPECT_TRUE(name[0] != '.' && name.size() == 7 && name.substr(3) == ".bmp") << name;
}

}  // namespace
