// veltrim-batch run as a user runs it, with no display: its files against
// the window's own Save path, its handling of bad files, reruns, output
// folders and the command line.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/commands.h"
#include "batch/batch_run.h"
#include "support/offscreen_view.h"

namespace {

// ---------------------------------------------------------------------------
// The window's Save, driven offscreen: shown with its first frames, Load STL
// through the chooser, a few frames, Save BMP, frames until the file is there.

class Window_Save : public Offscreen_View_Test {
protected:
    void save_as_window_does(const std::string& model, const std::string& bmp) {
        frame(3);
        Chooser_Record load_record;
        answer_choosers_with({0, model.c_str(), nullptr}, load_record);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        load_stl();
        frame(5);
        Chooser_Record save_record;
        answer_choosers_with({0, bmp.c_str(), nullptr}, save_record);
        save_bmp();
        int frames = 0;
        while (!exists(bmp) && frames < 30) {
            frame();
            ++frames;
        }
        testing::internal::GetCapturedStdout();
        testing::internal::GetCapturedStderr();
        ASSERT_TRUE(exists(bmp)) << model;
        EXPECT_EQ(frames, 10) << "the window writes on the tenth top-view frame";
        EXPECT_FALSE(view().triangles.empty()) << model;
    }
};

std::vector<std::string> sample_models() {
    std::vector<std::string> models;
    for (const std::string& name : files_in(VELTRIM_SAMPLES)) {
        std::string ext = name.size() > 4 ? name.substr(name.size() - 4) : "";
        std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
        if (ext == ".stl") models.push_back(std::string(VELTRIM_SAMPLES) + "/" + name);
    }
    return models;
}

TEST_F(Window_Save, BatchFilesAreByteForByteTheWindowsSave) {
    const std::vector<std::string> samples = sample_models();
    ASSERT_FALSE(samples.empty()) << "the sample models belong in " VELTRIM_SAMPLES;

    // Beside the samples, models that stress other corners: an ASCII file,
    // and a model far off the origin whose bounds come from first vertices.
    Temp_Dir models_dir;
    put(models_dir.file("generated.stl"), insole_bytes(30000, 3));
    std::vector<Triangle> shifted = insole_model(8000, 5);
    for (Triangle& t : shifted)
        for (auto& v : t.v) {
            v[0] += 1000.5f;
            v[1] -= 300.25f;
            v[2] += 77.0f;
        }
    put(models_dir.file("shifted.STL"), stl_bytes::ascii(shifted));

    std::vector<std::string> models = samples;
    models.push_back(models_dir.file("generated.stl"));
    models.push_back(models_dir.file("shifted.STL"));

    Temp_Dir window_dir, batch_dir;
    std::vector<std::string> args = {"-j", "2", "-o", batch_dir.path()};
    for (const std::string& m : models) args.push_back(m);
    const Batch_Run r = run_batch(args);
    ASSERT_EQ(r.status, 0) << r.err;

    for (const std::string& model : models) {
        std::string name = model.substr(model.rfind('/') + 1);
        name = name.substr(0, name.size() - 4) + ".bmp";
        const std::string window_bmp = window_dir.file(name);
        save_as_window_does(model, window_bmp);
        const std::string from_window = slurp(window_bmp);
        const std::string from_batch = slurp(batch_dir.file(name));
        ASSERT_FALSE(from_window.empty()) << name;
        EXPECT_TRUE(from_batch == from_window) << name << " differs from the window's Save";
        // A blank picture would match trivially: the model must be in it.
        const std::string pixels = from_window.substr(from_window.size() - 150 * 360);
        std::vector<bool> seen(256);
        for (unsigned char c : pixels) seen[c] = true;
        const int distinct_grays = static_cast<int>(std::count(seen.begin(), seen.end(), true));
        EXPECT_GT(distinct_grays, 10) << name;
    }
}

// ---------------------------------------------------------------------------

class Batch : public ::testing::Test {
protected:
    Temp_Dir dir_;
};

TEST_F(Batch, BadFilesGetOneLineEachAndTheGoodOnesAreConverted) {
    put(dir_.file("good.stl"), insole_bytes(4000, 1));
    put(dir_.file("upper.STL"), stl_bytes::ascii(insole_model(500, 2)));
    put(dir_.file("empty.stl"), "");
    std::string cut = insole_bytes(4000, 1);
    cut.resize(cut.size() - 75);
    put(dir_.file("truncated.stl"), cut);
    put(dir_.file("picture.stl"), std::string("\x89PNG\r\n\x1a\n", 8) + std::string(200, '\x11'));
    put(dir_.file("no_facets.stl"), "solid nothing\nendsolid nothing\n");
    put(dir_.file("notes.txt"), "not a model and not named like one");

    const Batch_Run r = run_batch({"-j", "2", dir_.path()});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.lines_with("empty.stl: not an STL file"), 1) << r.err;
    EXPECT_EQ(r.lines_with("truncated.stl: not an STL file"), 1) << r.err;
    EXPECT_EQ(r.lines_with("picture.stl: not an STL file"), 1) << r.err;
    EXPECT_EQ(r.lines_with("no_facets.stl: no facets"), 1) << r.err;
    EXPECT_EQ(r.lines_with("notes.txt"), 0) << "a folder gives only its *.stl files";
    EXPECT_EQ(r.lines_with("good.stl: "), 0) << r.err;
    EXPECT_EQ(r.lines_with("converted 2, skipped 0, failed 4"), 1) << r.err;
    EXPECT_TRUE(r.out.empty()) << "console lines only with --verbose: " << r.out;
    // The good ones, and nothing else: no picture for a bad file, no
    // temporary file left.
    EXPECT_EQ(
        files_in(dir_.path()),
        (std::vector<std::string>{"empty.stl", "good.bmp", "good.stl", "no_facets.stl", "notes.txt",
                                  "picture.stl", "truncated.stl", "upper.STL", "upper.bmp"}));
}

TEST_F(Batch, MissingInputFailsWithoutStoppingTheOthers) {
    put(dir_.file("a.stl"), insole_bytes(2000, 0));
    const Batch_Run r = run_batch({dir_.file("missing.stl"), dir_.file("a.stl")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.lines_with("missing.stl: cannot open: No such file or directory"), 1) << r.err;
    EXPECT_TRUE(exists(dir_.file("a.bmp")));
}

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

    const Batch_Run forced = run_batch({"--overwrite", dir_.file("m.stl")});
    EXPECT_EQ(forced.status, 0) << forced.err;
    EXPECT_TRUE(slurp(dir_.file("m.bmp")) == first);
    EXPECT_EQ(files_in(dir_.path()), (std::vector<std::string>{"m.bmp", "m.stl"}));
}

TEST_F(Batch, OutputFolderIsCreatedAndSubfoldersNeedRecursive) {
    ASSERT_EQ(mkdir(dir_.file("in").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(dir_.file("in/deeper").c_str(), 0755), 0);
    put(dir_.file("in/Top.Stl"), insole_bytes(2000, 1));
    put(dir_.file("in/deeper/below.stl"), insole_bytes(2000, 2));
    const std::string out = dir_.file("new/nested");

    Batch_Run r = run_batch({"-o", out, dir_.file("in")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(files_in(out), std::vector<std::string>{"Top.bmp"});
    EXPECT_EQ(files_in(dir_.file("in")), (std::vector<std::string>{"Top.Stl", "deeper"}))
        << "nothing is written beside the inputs";

    r = run_batch({"-r", "-o", out, dir_.file("in")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.lines_with("Top.Stl: skipped"), 1) << r.err;
    EXPECT_EQ(files_in(out), (std::vector<std::string>{"Top.bmp", "below.bmp"}));
}

TEST_F(Batch, TwoModelsWithOneOutputNameConvertOnlyTheFirst) {
    put(dir_.file("x.stl"), insole_bytes(2000, 1));
    put(dir_.file("x.STL"), insole_bytes(2000, 2));
    const Batch_Run r = run_batch({dir_.path()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.lines_with("x.stl: not converted: its output"), 1) << r.err;
    EXPECT_TRUE(exists(dir_.file("x.bmp")));
}

TEST_F(Batch, VerbosePrintsTheReadersAndTheConversionsLines) {
    put(dir_.file("v.stl"), insole_bytes(2000, 1));
    const Batch_Run r = run_batch({"--verbose", dir_.file("v.stl")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("v.stl:\nbin STL Size "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("This is a \"Binary\" File  \nmax "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(" \nmin "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(" \nreal length "), std::string::npos) << r.out;
}

TEST_F(Batch, NeedsNoDisplayAndIgnoresAnUnreachableOne) {
    put(dir_.file("d.stl"), insole_bytes(2000, 1));
    Batch_Run r = run_batch({dir_.file("d.stl")});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string without = slurp(dir_.file("d.bmp"));
    r = run_batch({"--overwrite", dir_.file("d.stl")}, ":97");  // no server there
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(slurp(dir_.file("d.bmp")) == without);
}

TEST(BatchCommandLine, UsageErrorsExitTwoHelpAndVersionExitZero) {
    const std::vector<std::vector<std::string>> wrong = {{},
                                                         {"--no-such-option", "a.stl"},
                                                         {"-j", "0", "a.stl"},
                                                         {"-j", "many", "a.stl"},
                                                         {"a.stl", "-o"}};
    for (const auto& args : wrong) {
        const Batch_Run r = run_batch(args);
        EXPECT_EQ(r.status, 2) << (args.empty() ? "(no arguments)" : args[0]);
        EXPECT_FALSE(r.err.empty());
    }
    // Placement and watch mistakes name the option and what is wrong.
    const std::vector<std::pair<std::vector<std::string>, std::string>> explained = {
        {{"--rotate", "x", "a.stl"}, "--rotate: \"x\": expected AXIS:DEG, such as x:-90\n"},
        {{"--rotate", "x:-90,w:5", "a.stl"}, "--rotate: \"w:5\": the axis must be x, y or z\n"},
        {{"--rotate", "y:90deg", "a.stl"},
         "--rotate: \"y:90deg\": the angle must be a number of degrees\n"},
        {{"--rotate", "z:inf", "a.stl"},
         "--rotate: \"z:inf\": the angle must be a number of degrees\n"},
        {{"--rotate", "x:1,", "a.stl"}, "--rotate: \"\": expected AXIS:DEG, such as x:-90\n"},
        {{"--watch", "a.stl"}, "--watch: no folder among the inputs\n"}};
    for (const auto& [args, message] : explained) {
        const Batch_Run e = run_batch(args);
        EXPECT_EQ(e.status, 2) << args[1];
        EXPECT_EQ(e.err, message);
    }
    Batch_Run r = run_batch({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Usage:"), std::string::npos) << r.out;
    for (const char* option : {"--overwrite", "--rotate", "--report", "--watch"})
        EXPECT_NE(r.out.find(option), std::string::npos) << option;
    r = run_batch({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "veltrim-batch " VELTRIM_VERSION "\n");
}

}  // namespace
