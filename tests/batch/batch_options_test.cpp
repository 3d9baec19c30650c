// veltrim-batch's placement, quality warnings, report and watch folder, run
// as a user runs them, with no display.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <regex>
#include <thread>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include "batch/batch_run.h"
#include "tools/batch/report.h"

namespace {

using Facets = std::vector<Triangle>;

Facets transformed(Facets t, const std::function<void(float*)>& f) {
    for (Triangle& facet : t)
        for (auto& v : facet.v) f(v);
    return t;
}

cv::Mat image(const std::string& path) { return cv::imread(path, cv::IMREAD_UNCHANGED); }

class Batch_Options : public ::testing::Test {
protected:
    Temp_Dir dir_;
};

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
    struct Case {
        std::vector<std::string> y_up_rotate, z_up_rotate;
    };
    // The second row checks the order: steps turn about the model's own axes,
    // so after standing up, its z axis is the vertical.
    const std::vector<Case> cases = {{{}, {"--rotate", "x:-90"}},
                                     {{"--rotate", "y:30"}, {"--rotate", "x:-90,z:30"}}};
    for (const Case& c : cases) {
        std::vector<std::string> a = c.y_up_rotate, b = c.z_up_rotate;
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
            const std::string rotate = c.z_up_rotate.back() + " " + name;
            EXPECT_GT(cv::countNonZero(want), 20000) << rotate << ": the relief must be there";
            EXPECT_EQ(cv::countNonZero(d > 1), 0) << rotate;
            // 0.2 % off by one: rounding at depth steps
            EXPECT_LE(cv::countNonZero(d == 1), static_cast<int>(want.total() / 500)) << rotate;
        }
    }
}

int nonzero_on_border(const cv::Mat& m) {
    int n = 0;
    for (int r = 0; r < m.rows; ++r)
        for (int c = 0; c < m.cols; ++c)
            n += (r == 0 || c == 0 || r == m.rows - 1 || c == m.cols - 1) && m.at<uchar>(r, c) > 0;
    return n;
}

TEST_F(Batch_Options, WarningsAndReportRowsMatchTheFiles) {
    const Facets normal = insole_model(20000, 1);
    ASSERT_EQ(mkdir(dir_.file("in").c_str(), 0755), 0);
    put(dir_.file("in/normal.stl"), stl_bytes::ascii(normal));
    // Five times as tall: 51 units and more above the plate, and the
    // lower half of the relief under it once centred.
    put(dir_.file("in/tall.stl"),
        stl_bytes::binary(transformed(normal, [](float* v) { v[1] *= 5; })));
    put(dir_.file("in/wide.stl"), stl_bytes::binary(transformed(normal, [](float* v) {
            v[2] *= 2;  // about 230 units across a 150-unit window
        })));
    put(dir_.file("in/broken.stl"), "solid x\nfacet normal 0 0 1, no more\n");
    put(dir_.file("in/kept.stl"), insole_bytes(2000, 3));
    ASSERT_EQ(mkdir(dir_.file("out").c_str(), 0755), 0);
    put(dir_.file("out/kept.bmp"), "an earlier picture");

    const std::string report = dir_.file("report, run 1.csv");
    // Written as the images are: a link stays a link, a hard link shared, a 0600 file 0600.
    const std::string t = dir_.file("t.csv"), o = dir_.file("o.csv");
    put(t, "old");
    ASSERT_EQ(
        chmod(t.c_str(), 0600) | link(t.c_str(), o.c_str()) | symlink("t.csv", report.c_str()), 0);
    const Batch_Run r = run_batch({"-o", dir_.file("out"), "--report", report, dir_.file("in")});
    EXPECT_EQ(r.status, 1) << r.err;
    const cv::Mat tall = image(dir_.file("out/tall.bmp")), wide = image(dir_.file("out/wide.bmp"));
    ASSERT_FALSE(tall.empty());
    ASSERT_FALSE(wide.empty());
    const int clipped = cv::countNonZero(tall == 255), cut = nonzero_on_border(wide);
    ASSERT_GT(clipped, 100) << r.err;
    ASSERT_GT(cut, 100);
    // The warnings on the console are the report's messages; none for the sound model.
    EXPECT_EQ(r.lines_with("normal.stl: WARNING"), 0) << r.err;
    EXPECT_EQ(r.lines_with("tall.stl: WARNING: " + std::to_string(clipped) + " pixels clipped"), 1);
    EXPECT_EQ(r.lines_with("wide.stl: WARNING: " + std::to_string(cut) + " pixels of the"), 1);

    // Each line of the report by its pattern; group 1 is a real length.
    const std::string in = dir_.file("in/"), out = dir_.file("out/"), len = "([0-9]+\\.[0-9]+)",
                      n = std::to_string(normal.size());
    const std::vector<std::string> rows = {
        "input,output,status,facets,form,real length,clipped pixels,cut,below plate,message",
        in + "normal.stl," + out + "normal.bmp,converted," + n + ",ascii," + len + ",0,no,no,",
        in + "tall.stl," + out + "tall.bmp,converted," + n + ",binary," + len + "," +
            std::to_string(clipped) + ",no,yes," + std::to_string(clipped) +
            " pixels clipped at 255 \\(51 units or more above the plate\\); [0-9]+ pixels with "
            "part of the model below the plate \\(hidden\\)",
        in + "wide.stl," + out + "wide.bmp,converted," + n + ",binary," + len + ",0,yes,no," +
            std::to_string(cut) + " pixels of the model on the capture border \\(cut off\\)",
        in + "broken.stl," + out +
            "broken.bmp,failed,0,ascii,,,,,no facets: an ASCII STL without a readable facet",
        in + "kept.stl," + out + "kept.bmp,skipped,,,,,,,\"\"\"" + out +
            "kept.bmp\"\" exists \\(--overwrite replaces it\\)\""};
    // CRLF line ends, the last line's too.
    const std::string text = slurp(report);
    EXPECT_TRUE(std::filesystem::is_symlink(report));
    EXPECT_EQ(std::filesystem::status(t).permissions(), std::filesystem::perms(0600));
    EXPECT_EQ(slurp(o), text);
    // No cell starts as a formula; a relative path keeps naming its file.
    const std::string cells =
        csv_text({{"-=cmd.stl", "@x.bmp", "+1", "=2", "\t3", "", "", "", "", "\r4"},
                  {"/abs/=a.stl", "b-.bmp", "", "", "", "", "", "", "", ""}});
    EXPECT_EQ(cells.substr(cells.find("\r\n") + 2),
              "./-=cmd.stl,./@x.bmp,'+1,'=2,'\t3,,,,,\"'\r4\"\r\n/abs/=a.stl,b-.bmp,,,,,,,,\r\n");
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(text.substr(at, end - at));
    EXPECT_EQ(lines.size(), 6u) << text;
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
    ASSERT_EQ(lengths.size(), 3u);
    EXPECT_NEAR(lengths[0], 29.6, 3.0) << "normal";
    EXPECT_GT(lengths[1], 51.0) << "tall: the real length passes the clip";
    EXPECT_EQ(files_in(dir_.path()),
              (std::vector<std::string>{"in", "o.csv", "out", "report, run 1.csv", "t.csv"}))
        << "no temporary file left";
}

bool wait_until(const std::function<bool()>& done, double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

void pause_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// SIGHUP, as a closed terminal sends, in the middle of a run: the files in
// hand finish whole, no temporary is left, and the report has every model.
TEST_F(Batch_Options, SighupFinishesTheFilesInHand) {
    ASSERT_EQ(mkdir(dir_.file("in").c_str(), 0755), 0);
    const std::string model = insole_bytes(60000, 2), out = dir_.file("out"), csv = dir_.file("r");
    for (int k = 10; k < 22; ++k) put(dir_.file("in/m" + std::to_string(k) + ".stl"), model);
    const mode_t mask = umask(077);  // a new report's mode is the umask's
    const pid_t pid = start_batch({"-j", "2", "--report", csv, "-o", out, dir_.file("in")},
                                  dir_.file("out.txt"), dir_.file("err.txt"));
    umask(mask);
    ASSERT_TRUE(wait_until([&] { return exists(out + "/m10.bmp"); }, 60));
    kill(pid, SIGHUP);
    EXPECT_EQ(wait_for(pid), -1) << "it ends as the signal would have ended it";
    const std::vector<std::string> images = files_in(out);
    EXPECT_LT(images.size(), 12u) << "stopped before the end";
    EXPECT_EQ(std::filesystem::status(csv).permissions(), std::filesystem::perms(0600));
    EXPECT_EQ(count_lines_with(slurp(csv), ",failed,,,,,,,interrupted") + images.size(), 12u);
    for (const std::string& name : images) {
        EXPECT_EQ(image(out + "/" + name).size(), cv::Size(150, 360)) << name;
        EXPECT_EQ(count_lines_with(slurp(csv), "," + out + "/" + name + ",converted,"), 1) << name;
    }
}

TEST_F(Batch_Options, WatchConvertsAFileOnceItsLastWriterClosedIt) {
    ASSERT_EQ(mkdir(dir_.file("in").c_str(), 0755), 0);
    const std::string err = dir_.file("err"), report = dir_.file("report.csv");
    const pid_t pid =
        start_batch({"--watch", "--report", report, "-o", dir_.file("out"), dir_.file("in")},
                    dir_.file("out.txt"), err);
    ASSERT_TRUE(
        wait_until([&] { return slurp(err).find("watching 1 folder") != std::string::npos; }, 20))
        << slurp(err);

    // A file gone before it could be read is reported, and the watch goes on.
    put(dir_.file("gone.tmp"), insole_bytes(1000, 1));
    ASSERT_EQ(rename(dir_.file("gone.tmp").c_str(), dir_.file("in/gone.stl").c_str()), 0);
    ASSERT_EQ(unlink(dir_.file("in/gone.stl").c_str()), 0);
    EXPECT_TRUE(wait_until(
        [&] { return slurp(err).find("gone.stl: cannot open") != std::string::npos; }, 20))
        << slurp(err);

    // Written in slow chunks by one writer, then finished by a second one
    // that opened the file before the first closed it: the first close is
    // no sign of a complete file.
    const std::string model = insole_bytes(20000, 4), path = dir_.file("in/slow.stl");
    const int first = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const std::size_t chunk = model.size() / 8;
    for (int k = 0; k < 4; ++k) {
        ASSERT_EQ(write(first, model.data() + k * chunk, chunk), static_cast<ssize_t>(chunk));
        pause_ms(250);
    }
    const int second = open(path.c_str(), O_WRONLY);
    close(first);
    pause_ms(600);
    EXPECT_FALSE(exists(dir_.file("out/slow.bmp"))) << "read while a writer had it open";
    ASSERT_EQ(pwrite(second, model.data() + 4 * chunk, model.size() - 4 * chunk, 4 * chunk),
              static_cast<ssize_t>(model.size() - 4 * chunk));
    pause_ms(300);
    EXPECT_FALSE(exists(dir_.file("out/slow.bmp")));
    close(second);
    // A file moved in whole is taken too.
    put(dir_.file("moved.tmp"), insole_bytes(3000, 5));
    ASSERT_EQ(rename(dir_.file("moved.tmp").c_str(), dir_.file("in/moved.STL").c_str()), 0);

    EXPECT_TRUE(wait_until(
        [&] { return exists(dir_.file("out/slow.bmp")) && exists(dir_.file("out/moved.bmp")); },
        20))
        << slurp(err);
    pause_ms(500);  // time for a second, wrong conversion
    kill(pid, SIGTERM);
    EXPECT_EQ(wait_for(pid), 1) << "the gone file failed: " << slurp(err);
    const std::string log = slurp(err);
    EXPECT_EQ(count_lines_with(log, "slow.stl -> "), 1) << log;
    EXPECT_EQ(count_lines_with(log, "moved.STL -> "), 1) << log;
    EXPECT_EQ(count_lines_with(log, "slow.stl: "), 0) << "no failure: " << log;
    EXPECT_EQ(files_in(dir_.file("out")), (std::vector<std::string>{"moved.bmp", "slow.bmp"}));
    EXPECT_EQ(files_in(dir_.file("in")), (std::vector<std::string>{"moved.STL", "slow.stl"}));
    EXPECT_EQ(count_lines_with(slurp(report), ",converted,"), 2) << slurp(report);
    EXPECT_EQ(count_lines_with(slurp(report), "gone.stl,"), 1) << slurp(report);
    EXPECT_EQ(files_in(dir_.path()),
              (std::vector<std::string>{"err", "in", "out", "out.txt", "report.csv"}));
}

}  // namespace
