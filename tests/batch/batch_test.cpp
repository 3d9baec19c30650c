// veltrim-batch run as a user runs it, with no display: its files against
// the window's own Save path, bad files, reruns, output folders and the
// command line.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <tuple>
#include <vector>

#include "app/command_line.h"
#include "app/commands.h"
#include "app/load_pose.h"
#include "batch/batch_run.h"
#include "support/offscreen_view.h"

namespace {

using Names = std::vector<std::string>;

// The window's Save, driven offscreen: first frames, Load STL through the
// chooser, a few frames, Save BMP, frames until the file is there.
class Window_Save : public Offscreen_View_Test {
protected:
    void save_as_window_does(const std::string& model, const std::string& bmp,
                             const std::function<void()>& before_save = {}) {
        frame(3);
        answer_choosers_with({File_Chooser::Picked, model.c_str(), nullptr});
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        load_stl();
        frame(5);
        if (before_save) before_save();
        answer_choosers_with({File_Chooser::Picked, bmp.c_str(), nullptr});
        save_bmp();
        int frames = 0;
        for (; !exists(bmp) && frames < 30; ++frames) frame();
        testing::internal::GetCapturedStdout();
        testing::internal::GetCapturedStderr();
        ASSERT_TRUE(exists(bmp)) << model;
        EXPECT_EQ(frames, 10) << "the window writes on the tenth top-view frame";
    }
};

TEST_F(Window_Save, BatchFilesAreByteForByteTheWindowsSave) {
    Names models;
    for (const std::string& name : files_in(VELTRIM_SAMPLES))
        if (name.size() > 4 &&
            (name.substr(name.size() - 4) == ".stl" || name.substr(name.size() - 4) == ".STL"))
            models.push_back(std::string(VELTRIM_SAMPLES) + "/" + name);
    ASSERT_FALSE(models.empty()) << "the sample models belong in " VELTRIM_SAMPLES;
    // Also an ASCII model far off the origin, whose bounds come from first vertices.
    Temp_Dir models_dir;
    put(models_dir.file("generated.stl"), insole_bytes(30000, 3));
    std::vector<Triangle> shifted = insole_model(8000, 5);
    for (Triangle& t : shifted)
        for (auto& v : t.v) v[0] += 1000.5f, v[1] -= 300.25f, v[2] += 77.0f;
    put(models_dir.file("shifted.STL"), stl_bytes::ascii(shifted));
    models.push_back(models_dir.file("generated.stl"));
    models.push_back(models_dir.file("shifted.STL"));

    Temp_Dir window_dir, batch_dir;
    Names args = {"-j", "2", "-o", batch_dir.path()};
    args.insert(args.end(), models.begin(), models.end());
    const Batch_Run r = run_batch(args);
    ASSERT_EQ(r.status, 0) << r.err;
    // Sound files that fit the capture over the plate: no damage, no loss.
    EXPECT_EQ(r.lines_with("warning"), 0) << r.err;
    EXPECT_EQ(r.lines_with("WARNING"), 0) << r.err;
    for (const std::string& model : models) {
        std::string name = model.substr(model.rfind('/') + 1);
        name = name.substr(0, name.size() - 4) + ".bmp";
        save_as_window_does(model, window_dir.file(name));
        const std::string from_window = slurp(window_dir.file(name));
        EXPECT_TRUE(slurp(batch_dir.file(name)) == from_window) << name << " differs";
        // A blank picture would match trivially: the model must be in it.
        std::vector<bool> seen(256);
        for (unsigned char c : from_window.substr(from_window.size() - 150 * 360)) seen[c] = true;
        EXPECT_GT(std::count(seen.begin(), seen.end(), true), 10) << name;
    }
}

// --rotate, the x, y and z keys and Reset rotation in the window give the
// batch's --rotate image, byte for byte.
TEST_F(Window_Save, TurnedLikeTheBatchGivesTheBatchsImage) {
    Temp_Dir dir;
    const std::string model = dir.file("m.stl");
    put(model, insole_bytes(20000, 2));
    ASSERT_EQ(run_batch({"--rotate", "x:-90,z:90", "-o", dir.path(), model}).status, 0);
    const std::string want = slurp(dir.file("m.bmp"));
    const char* argv[] = {"veltrim", "--rotate", "x:-90,z:90"};
    load_model_when_shown(parse_command_line(3, const_cast<char**>(argv)));
    save_as_window_does(model, dir.file("rotate.bmp"));
    save_as_window_does(model, dir.file("reset.bmp"), [this] {
        queue_quarter_turn(view(), 'y', false);
        frame(2);
        reset_rotation_cb(nullptr, nullptr);
        frame(3);
    });
    load_model_when_shown({});
    save_as_window_does(model, dir.file("keys.bmp"), [this] {
        queue_quarter_turn(view(), 'x', true);
        queue_quarter_turn(view(), 'z', false);
        frame(3);
    });
    for (const char* name : {"rotate.bmp", "reset.bmp", "keys.bmp"})
        EXPECT_TRUE(slurp(dir.file(name)) == want) << name;
}

using Batch = Batch_Test;

// Also: the output folder is made, and subfolders are read only with -r.
TEST_F(Batch, BadFilesGetOneLineEachAndTheGoodOnesAreConverted) {
    make_dirs({"in", "in/sub"});
    const std::string good = insole_bytes(4000, 1);
    // Name, bytes, and the line each bad file gets; every rule of the check
    // has its unit case, these show each stage of it reaches the run's lines.
    const std::vector<std::array<std::string, 3>> bad = {
        {"empty.stl", "", "not an STL model: it is empty"},
        {"zero.stl", stl_bytes::binary({}), "no facets: the binary STL declares 0"},
        {"no_facets.stl", "solid x\nendsolid x\n", "no facets: an ASCII STL without a readable"}};
    for (const auto& [name, bytes, line] : bad) put(dir_.file("in/" + name), bytes);
    put(dir_.file("in/good.stl"), good);
    put(dir_.file("in/upper.STL"), stl_bytes::ascii(insole_model(500, 2)));
    put(dir_.file("in/notes.txt"), "not a model and not named like one");
    put(dir_.file("in/.tmp-good.stl"), good);  // a copy tool's temporary
    put(dir_.file("in/.stl"), good);
    put(dir_.file("in/x.stl"), insole_bytes(2000, 1));  // the same output name as x.STL
    put(dir_.file("in/x.STL"), insole_bytes(2000, 2));
    put(dir_.file("in/sub/below.Stl"), insole_bytes(2000, 3));
    const Names inputs = files_in(dir_.file("in"));
    const std::string out = dir_.file("new/nested");

    ASSERT_EQ(mkfifo(dir_.file("p.stl").c_str(), 0644), 0);  // no writer ever comes
    // Bounded: a run held by the FIFO fails in seconds, not at the test's limit.
    Batch_Run r = run_batch(
        {"-j", "2", "-o", out, dir_.file("in"), dir_.file("missing.stl"), dir_.file("p.stl")},
        nullptr, 30);
    EXPECT_EQ(r.status, 1) << r.err;
    for (const auto& [name, bytes, line] : bad)
        EXPECT_EQ(r.lines_with("/" + name + ": " + line), 1) << name << "\n" << r.err;
    for (const char* line :
         {"x.stl: not converted: its output", "missing.stl: cannot open: No such file or directory",
          "p.stl: cannot open: not a regular file", "converted 3, skipped 0, failed 6"})
        EXPECT_EQ(r.lines_with(line), 1) << line << "\n" << r.err;
    EXPECT_EQ(r.lines_with("notes.txt"), 0) << "a folder gives only its *.stl files";
    EXPECT_EQ(r.lines_with("/."), 0) << "nor names beginning with a dot";
    EXPECT_EQ(r.lines_with("good.stl: "), 0) << r.err;
    EXPECT_TRUE(r.out.empty()) << "console lines only with --verbose: " << r.out;
    // The good ones and nothing else: no picture for a bad file, no temporary.
    EXPECT_EQ(files_in(out), (Names{"good.bmp", "upper.bmp", "x.bmp"}));
    EXPECT_EQ(files_in(dir_.file("in")), inputs) << "nothing beside the inputs";

    r = run_batch({"-r", "-o", out, dir_.file("in")});
    EXPECT_EQ(r.lines_with("good.stl: skipped"), 1) << r.err;
    EXPECT_EQ(files_in(out), (Names{"below.bmp", "good.bmp", "upper.bmp", "x.bmp"}));
}

// A cut file converts what it holds, with a warning; --strict, which fails
// on any warning, writes nothing for it.
TEST_F(Batch, CutFilesConvertWithAWarningButNotUnderStrict) {
    const std::string binary = insole_bytes(3000, 1);
    const std::string cut = dir_.file("cut.stl");
    put(cut, binary.substr(0, binary.size() - 75));
    const std::size_t n = (binary.size() - 84) / 50;
    const std::string why = "STL file is cut: it ends after " + std::to_string(n - 2) + " of " +
                            std::to_string(n) + " facets; the facets read are kept";

    Batch_Run r = run_batch({"--strict", "-o", dir_.file("strict"), cut});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.lines_with("converted 0, skipped 0, failed 1"), 1) << r.err;
    EXPECT_EQ(r.lines_with("cut.stl: not written (--strict): it has warnings: " + why), 1) << r.err;
    EXPECT_FALSE(exists(dir_.file("strict/cut.bmp")));

    r = run_batch({"-o", dir_.file("out"), cut});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.lines_with("converted 1 (1 with warnings), skipped 0, failed 0"), 1) << r.err;
    EXPECT_EQ(r.lines_with("cut.stl: warning: " + why), 1) << r.err;
    EXPECT_TRUE(exists(dir_.file("out/cut.bmp")));
}

// Also: no display needed, an unreachable one ignored, --verbose's lines.
TEST_F(Batch, RerunSkipsAndOverwriteReplaces) {
    put(dir_.file("m.stl"), insole_bytes(3000, 4));
    ASSERT_EQ(run_batch({dir_.file("m.stl")}).status, 0);
    const std::string first = slurp(dir_.file("m.bmp"));
    ASSERT_FALSE(first.empty());
    put(dir_.file("m.bmp"), "older picture");
    const Batch_Run again = run_batch({dir_.file("m.stl")});
    EXPECT_EQ(again.status, 0) << "a skip is no failure";
    EXPECT_EQ(again.lines_with("m.stl: skipped"), 1) << again.err;
    EXPECT_EQ(again.lines_with("converted 0, skipped 1, failed 0"), 1) << again.err;
    EXPECT_EQ(slurp(dir_.file("m.bmp")), "older picture");
    // A re-scan delivered with its old time kept (cp -p, mv) is newer all the same.
    const timespec long_ago[2] = {{1000, 0}, {1000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, dir_.file("m.stl").c_str(), long_ago, 0), 0);
    EXPECT_EQ(run_batch({dir_.file("m.stl")}).lines_with("converted 1, skipped 0"), 1);
    EXPECT_TRUE(slurp(dir_.file("m.bmp")) == first);
    put(dir_.file("m.bmp"), "older picture");
    {  // a file some process still writes fails at once, with no image
        const int writer = open(dir_.file("m.stl").c_str(), O_WRONLY | O_APPEND);
        const Batch_Run busy = run_batch({"--overwrite", dir_.file("m.stl")});
        close(writer);
        EXPECT_EQ(busy.status, 1);
        EXPECT_EQ(busy.lines_with("m.stl: still being written"), 1) << busy.err;
        EXPECT_EQ(slurp(dir_.file("m.bmp")), "older picture");
    }

    const Batch_Run forced = run_batch({"--verbose", "--overwrite", dir_.file("m.stl")}, ":97");
    EXPECT_EQ(forced.status, 0) << forced.err;
    EXPECT_TRUE(slurp(dir_.file("m.bmp")) == first);
    EXPECT_EQ(files_in(dir_.path()), (Names{"m.bmp", "m.stl"}));
    for (const char* text : {"m.stl:\nbin STL Size ", "This is a \"Binary\" File  \nmax ",
                             " \nmin ", " \nreal length "})
        EXPECT_NE(forced.out.find(text), std::string::npos) << text << forced.out;
}

TEST(BatchCommandLine, UsageErrorsExitTwoAndNameWhatIsWrong) {
    std::vector<std::pair<Names, std::string>> wrong = {
        {{}, ""},
        {{"--no-such-option", "a.stl"}, ""},
        {{"a.stl", "-o"}, ""},
        {{"--rotate", "x:-90,w:5", "a.stl"}, "--rotate: \"w:5\": the axis must be x, y or z\n"},
        {{"--watch", "a.stl"}, "--watch: no folder among the inputs\n"}};
    // Reports that would undo a scan or an image, refused before any work.
    Temp_Dir d;
    const std::string m = d.file("m.stl"), in = d.file("in"), out = d.file("out"),
                      into = "--watch may write a height map of that name into \"";
    put(m, insole_bytes(2000, 1));
    for (const char* f : {"in", "in/sub", "out"}) ASSERT_EQ(mkdir(d.file(f).c_str(), 0755), 0);
    ASSERT_EQ(link(m.c_str(), d.file("h.csv").c_str()), 0);
    // Links judged by their targets, written or not yet.
    ASSERT_EQ(symlink("out/m.bmp", d.file("r1.csv").c_str()), 0);
    ASSERT_EQ(symlink("in/new.stl", d.file("r2.csv").c_str()), 0);
    const Names before = files_in(d.path());
    for (const auto& [report, rest, why] : std::vector<std::tuple<std::string, Names, std::string>>{
             {"./m.bmp", {m}, "it is the output of \"" + m + "\""},
             {"h.csv", {m}, "it is the input \"" + m + "\""},
             {"out/.veltrim-records",
              {"-o", out, m},
              "it is named like a folder's record file of images"},
             {"new.STL", {m}, "it is named like a scan (*.stl)"},
             {"none/r.csv", {m}, "its folder does not exist"},
             {"r1.csv", {"-o", out, m}, "it is the output of \"" + m + "\""},
             {"r2.csv", {m}, "it is named like a scan (*.stl)"},
             {"in", {m}, "it is a folder"},
             {"out/r.bmp", {"--watch", "-o", out, in}, into + out + "\""},
             {"in/sub/r.bmp", {"--watch", "-r", in}, into + in + "\""}}) {
        Names args = {"--report", d.file(report)};
        args.insert(args.end(), rest.begin(), rest.end());
        wrong.push_back({args, "--report: \"" + d.file(report) + "\": " + why + "\n"});
    }
    for (const auto& [args, message] : wrong) {
        const Batch_Run r = run_batch(args, nullptr, 20);  // a watch let through would not end
        EXPECT_EQ(r.status, 2) << (args.empty() ? "(none)" : args[0]);
        EXPECT_FALSE(r.err.empty());
        EXPECT_EQ(message.empty() ? "" : r.err, message);
    }
    EXPECT_EQ(files_in(d.path()), before) << "no output, no report";
    EXPECT_EQ(run_batch({"--version"}).out, "veltrim-batch " VELTRIM_VERSION "\n");
}

}  // namespace
