// The two file commands driven through a scripted chooser.
#include "support/offscreen_view.h"

#include <fstream>

#include "app/commands.h"
#include "support/stl_bytes.h"
#include "support/temp_dir.h"

namespace {

using stl_bytes::tri;

class Commands : public Offscreen_View_Test {
protected:
    void write(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    // Runs the command and returns {stdout, stderr}.
    std::pair<std::string, std::string> run(void (*command)()) {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        command();
        std::string out = testing::internal::GetCapturedStdout();
        return {out, testing::internal::GetCapturedStderr()};
    }
    Temp_Dir dir_;
    Chooser_Record record_;
};

TEST_F(Commands, LoadTranscriptMatchesLineForLine) {
    const std::string path = dir_.file("two.stl");
    write(path,
          stl_bytes::binary({tri(1, 2, 3, 0, 0, 0, 0, 0, 0), tri(-1, -2, -3, 9, 9, 9, 0, 0, 0)}));
    answer_choosers_with({0, path.c_str(), nullptr}, record_);
    const auto [out, err] = run(load_stl);
    const std::string start = view().startup_dir;
    EXPECT_EQ(out,
              "dir(before):(null)\n"
              "dir(after):" +
                  start +
                  "/250_test/\n"
                  "system_path:" +
                  start +
                  "\n"
                  "path:" +
                  start +
                  "/250_test/\n"
                  "bin STL Size 2\n"
                  "This is a \"Binary\" File  \n"
                  "READ!\n");
    EXPECT_EQ(err, "");
    EXPECT_EQ(record_.title, "Load a STL-MODEL file");
    EXPECT_EQ(record_.filter, "model\t*.stl\n");
    EXPECT_EQ(record_.type, File_Chooser::Browse_File);
    EXPECT_EQ(std::string(view().model_dir), start + "/250_test/");
    ASSERT_EQ(view().triangles.size(), 2u);
    EXPECT_EQ(view().max_x, 1);
    EXPECT_EQ(view().min_z, -3);
}

TEST_F(Commands, LoadReturnsToTheStartupDirectoryFirst) {
    const std::string start = view().startup_dir;
    ASSERT_EQ(chdir(dir_.path().c_str()), 0);
    answer_choosers_with({1, nullptr, nullptr}, record_);
    run(load_stl);
    char now[4096];
    ASSERT_NE(getcwd(now, sizeof now), nullptr);
    EXPECT_EQ(std::string(now), start);
}

TEST_F(Commands, CancelErrorAndNullNameLeaveAnEmptyModelAndTheBounds) {
    view().triangles = {tri(0, 0, 0, 1, 1, 1, 2, 2, 2)};
    ++view().model_generation;
    view().max_x = 42;
    answer_choosers_with({1, nullptr, nullptr}, record_);
    auto [out, err] = run(load_stl);
    EXPECT_TRUE(view().triangles.empty());
    EXPECT_EQ(view().max_x, 42);
    EXPECT_EQ(err, "*** CANCEL\n");
    EXPECT_EQ(out.find("READ!"), std::string::npos);

    answer_choosers_with({-1, nullptr, nullptr}, record_);
    EXPECT_EQ(run(load_stl).second, "ERROR: no display\n");
    answer_choosers_with({0, nullptr, nullptr}, record_);
    EXPECT_EQ(run(load_stl).second, "");
    EXPECT_EQ(view().max_x, 42);
}

TEST_F(Commands, UnopenableNameGivesAnEmptyModelAndReadOnly) {
    view().triangles = {tri(0, 0, 0, 1, 1, 1, 2, 2, 2)};
    ++view().model_generation;
    const std::string path = dir_.file("missing.stl");
    answer_choosers_with({0, path.c_str(), nullptr}, record_);
    auto [out, err] = run(load_stl);
    const std::string tail = "\npath:" + std::string(view().startup_dir) + "/250_test/\nREAD!\n";
    ASSERT_GE(out.size(), tail.size());
    EXPECT_EQ(out.substr(out.size() - tail.size()), tail)
        << "nothing between the directory lines and READ!";
    EXPECT_NE(err.find("missing.stl"), std::string::npos);
    EXPECT_TRUE(view().triangles.empty());
    EXPECT_EQ(view().max_x, -100000.0f);
    EXPECT_EQ(view().min_x, 100000.0f);
}

TEST_F(Commands, LoadRefusesNamesTooLongAndFolders) {
    const std::string long_name = "/tmp/" + std::string(600, 'n') + ".stl";
    answer_choosers_with({0, long_name.c_str(), nullptr}, record_);
    auto [out, err] = run(load_stl);
    EXPECT_NE(err.find("too long"), std::string::npos);
    EXPECT_EQ(out.substr(out.size() - 6), "READ!\n");
    answer_choosers_with({0, dir_.path().c_str(), nullptr}, record_);
    std::tie(out, err) = run(load_stl);
    EXPECT_NE(err.find("not a regular file"), std::string::npos);
    EXPECT_TRUE(view().triangles.empty());
}

TEST_F(Commands, SaveStoresTheNameWithItsSuffixAndPrintsNothing) {
    const std::string path = dir_.file("scan");
    answer_choosers_with({0, path.c_str(), nullptr}, record_);
    view().azimuth = 33;
    auto [out, err] = run(save_bmp);
    EXPECT_EQ(out, "");
    EXPECT_EQ(err, "");
    EXPECT_EQ(std::string(view().output_path), path + ".bmp");
    EXPECT_TRUE(view().capture_pending);
    EXPECT_EQ(view().frame_count, 0);
    EXPECT_EQ(view().azimuth, 0.0f);
    EXPECT_EQ(view().elevation, 90.0f);
    EXPECT_EQ(record_.title, "Save BMP Insole");
    EXPECT_EQ(record_.filter, "Insole\t*.bmp\n");
    EXPECT_EQ(record_.preset, "*.bmp");
    EXPECT_EQ(record_.type, File_Chooser::Browse_Save_File);
}

TEST_F(Commands, SaveWithoutAPickedNameNeverWrites) {
    frame();
    // An earlier save leaves its name behind.
    const std::string earlier = dir_.file("earlier.bmp");
    answer_choosers_with({0, earlier.c_str(), nullptr}, record_);
    run(save_bmp);
    testing::internal::CaptureStdout();
    frame(10);
    testing::internal::GetCapturedStdout();
    ASSERT_TRUE(exists(earlier));
    ASSERT_EQ(unlink(earlier.c_str()), 0);

    for (int result : {1, -1, 0}) {
        answer_choosers_with({result, nullptr, nullptr}, record_);
        auto [out, err] = run(save_bmp);
        EXPECT_EQ(view().azimuth, 0.0f);
        EXPECT_EQ(view().elevation, 90.0f);
        EXPECT_EQ(std::string(view().output_path), earlier) << "unchanged";
        EXPECT_FALSE(view().capture_pending);
        frame(12);
        EXPECT_FALSE(exists(earlier)) << "result " << result;
    }
    EXPECT_EQ(dir_.count_entries(), 0);
}

TEST_F(Commands, FirstSaveCancelledWritesNothingAnywhere) {
    frame();
    answer_choosers_with({1, nullptr, nullptr}, record_);
    run(save_bmp);
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(dir_.path().c_str()), 0);
    frame(15);
    EXPECT_EQ(dir_.count_entries(), 0) << "not even \".bmp\" or an empty name";
    ASSERT_EQ(chdir(cwd), 0);
}

TEST_F(Commands, FramesDrawnWhileTheDialogIsOpenDoNotCompleteTheCapture) {
    frame();
    const std::string earlier = dir_.file("earlier.bmp");
    answer_choosers_with({0, earlier.c_str(), nullptr}, record_);
    run(save_bmp);
    const std::string now = dir_.file("now.bmp");
    answer_choosers_with({0, now.c_str(), [this] { frame(25); }}, record_);
    run(save_bmp);
    EXPECT_FALSE(exists(earlier)) << "the dialog's frames wrote under the earlier name";
    EXPECT_TRUE(view().capture_pending);
    testing::internal::CaptureStdout();
    frame(9);
    EXPECT_FALSE(exists(now));
    frame();
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(exists(now));
}

TEST_F(Commands, SaveRefusesNamesThatDoNotFitAndKeepsTheOldOne) {
    std::strcpy(view().output_path, "/tmp/old.bmp");
    const std::string fits = "/" + std::string(494, 'a');     // 495 bytes + ".bmp": fits
    const std::string no_room = "/" + std::string(495, 'a');  // 496 + ".bmp": does not
    const std::string too_long = "/" + std::string(700, 'a') + ".bmp";
    answer_choosers_with({0, no_room.c_str(), nullptr}, record_);
    auto [out, err] = run(save_bmp);
    EXPECT_NE(err.find("too long"), std::string::npos);
    EXPECT_FALSE(view().capture_pending);
    EXPECT_STREQ(view().output_path, "/tmp/old.bmp");
    answer_choosers_with({0, too_long.c_str(), nullptr}, record_);
    std::tie(out, err) = run(save_bmp);
    EXPECT_NE(err.find("too long"), std::string::npos);
    EXPECT_STREQ(view().output_path, "/tmp/old.bmp");
    answer_choosers_with({0, fits.c_str(), nullptr}, record_);
    run(save_bmp);
    EXPECT_EQ(std::string(view().output_path), fits + ".bmp");
    EXPECT_EQ(std::strlen(view().output_path), 499u);
}

// Folders nested below dir_ until the path is at least `length` bytes long.
std::string deep_folder(const std::string& base, std::size_t length) {
    std::string path = base;
    while (path.size() < length) {
        path += "/" + std::string(std::min<std::size_t>(60, length - path.size()), 'd');
        EXPECT_EQ(mkdir(path.c_str(), 0755), 0) << path;
    }
    return path;
}

TEST_F(Commands, StartupDirectoryTooLongIsRefusedNotCut) {
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    const std::string deep = deep_folder(dir_.path(), 300);
    ASSERT_EQ(chdir(deep.c_str()), 0);
    testing::internal::CaptureStderr();
    GL_Display_3D far_view;
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_STREQ(far_view.startup_dir, ".");
    EXPECT_NE(err.find("does not fit"), std::string::npos) << err;

    // The Load command then looks relative to where the program started.
    gl_view = &far_view;
    answer_choosers_with({1, nullptr, nullptr}, record_);
    const auto [out, load_err] = run(load_stl);
    EXPECT_STREQ(far_view.model_dir, "./250_test/");
    EXPECT_NE(out.find("system_path:.\n"), std::string::npos) << out;
    gl_view = view_.get();
    ASSERT_EQ(chdir(cwd), 0);
}

TEST_F(Commands, ModelFolderTooLongFallsBackToTheSameFolderRelative) {
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    const std::string deep = deep_folder(dir_.path(), 250);  // fits 256, but not with "/250_test/"
    ASSERT_LT(deep.size(), 256u);
    ASSERT_EQ(chdir(deep.c_str()), 0);
    GL_Display_3D near_limit;
    EXPECT_EQ(std::string(near_limit.startup_dir), deep);
    gl_view = &near_limit;
    answer_choosers_with({1, nullptr, nullptr}, record_);
    const auto [out, err] = run(load_stl);
    EXPECT_STREQ(near_limit.model_dir, "250_test/");
    EXPECT_NE(err.find("model folder name does not fit"), std::string::npos) << err;
    EXPECT_EQ(record_.directory_set, "250_test/");
    gl_view = view_.get();
    ASSERT_EQ(chdir(cwd), 0);
}

}  // namespace
