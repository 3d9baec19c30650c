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
    void SetUp() override {
        Offscreen_View_Test::SetUp();
        ASSERT_NE(getcwd(cwd_, sizeof cwd_), nullptr);
    }
    void TearDown() override {
        ASSERT_EQ(chdir(cwd_), 0);
        Offscreen_View_Test::TearDown();
    }
    // Runs the command with the chooser answering `answer`; {stdout, stderr}.
    std::pair<std::string, std::string> run(void (*command)(), Scripted_Chooser_Answer answer) {
        answer_choosers_with(std::move(answer), record_);
        return captured(command);
    }
    // A view made in a folder nested below dir_ until its path is at least
    // `length` bytes long.
    void start_in_deep_folder(std::size_t length) {
        std::string path = dir_.path();
        while (path.size() < length) {
            path += "/" + std::string(std::min<std::size_t>(60, length - path.size()), 'd');
            ASSERT_EQ(mkdir(path.c_str(), 0755), 0) << path;
        }
        ASSERT_EQ(chdir(path.c_str()), 0);
        startup_err_ = captured([&] { fresh_view(); }).second;
    }
    Temp_Dir dir_;
    Chooser_Record record_;
    char cwd_[4096];
    std::string startup_err_;
};

TEST_F(Commands, LoadTranscriptMatchesLineForLine) {
    const std::string path = dir_.file("two.stl");
    std::ofstream(path, std::ios::binary)
        << stl_bytes::binary({tri(1, 2, 3, 0, 0, 0, 0, 0, 0), tri(-1, -2, -3, 9, 9, 9, 0, 0, 0)});
    const auto [out, err] = run(load_stl, {0, path.c_str(), nullptr});
    const std::string start = view().startup_dir;
    EXPECT_EQ(out, "dir(before):(null)\ndir(after):" + start + "/250_test/\nsystem_path:" + start +
                       "\npath:" + start +
                       "/250_test/\nbin STL Size 2\nThis is a \"Binary\" File  \nREAD!\n");
    EXPECT_EQ(err, "");
    EXPECT_EQ(record_.directory_set, start + "/250_test/");
    ASSERT_EQ(view().triangles.size(), 2u);
    EXPECT_EQ(view().max_x, 1);
    EXPECT_EQ(view().min_z, -3);
}

TEST_F(Commands, LoadWithoutAFileEmptiesTheModelAndKeepsTheBounds) {
    const std::string start = view().startup_dir;
    const std::string missing = dir_.file("missing.stl");
    const struct {
        Scripted_Chooser_Answer answer;
        const char* err;  // the whole of stderr, or a part of it when it names the file
        bool reads;
    } cases[] = {{{1, nullptr, nullptr}, "*** CANCEL\n", false},
                 {{-1, nullptr, nullptr}, "ERROR: no display\n", false},
                 {{0, nullptr, nullptr}, "", false},
                 {{0, missing.c_str(), nullptr}, "missing.stl", true}};
    for (const auto& c : cases) {
        view().triangles = {tri(0, 0, 0, 1, 1, 1, 2, 2, 2)};
        ++view().model_generation;
        view().max_x = 42;
        ASSERT_EQ(chdir(dir_.path().c_str()), 0);
        const auto [out, err] = run(load_stl, c.answer);
        EXPECT_TRUE(view().triangles.empty()) << c.err;
        if (c.reads) {  // nothing between the directory lines and READ!
            EXPECT_NE(out.find("\npath:" + start + "/250_test/\nREAD!\n"), std::string::npos);
            EXPECT_NE(err.find(c.err), std::string::npos) << err;
            EXPECT_EQ(view().max_x, -100000.0f);
            EXPECT_EQ(view().min_x, 100000.0f);
        } else {
            EXPECT_EQ(err, c.err);
            EXPECT_EQ(out.find("READ!"), std::string::npos);
            EXPECT_EQ(view().max_x, 42);
        }
        char now[4096];
        ASSERT_NE(getcwd(now, sizeof now), nullptr);
        EXPECT_EQ(std::string(now), start) << "back in the start-up folder first";
    }
}

TEST_F(Commands, SaveTurnsToTheTopViewArmsAndStoresTheNameWithItsSuffix) {
    const std::string path = dir_.file("scan");
    view().azimuth = 33;
    const auto [out, err] = run(save_bmp, {0, path.c_str(), [&] {
                                               EXPECT_EQ(view().azimuth, 0.0f)
                                                   << "before the dialog";
                                               EXPECT_EQ(view().elevation, 90.0f);
                                           }});
    EXPECT_EQ(out + err, "") << "nothing printed on success";
    EXPECT_EQ(std::string(view().output_path), path + ".bmp");
    EXPECT_TRUE(view().capture_pending);
    EXPECT_EQ(view().frame_count, 0);
}

TEST_F(Commands, SaveWithoutAPickedNameSaysWhyAndNeverWrites) {
    frame();
    const std::string earlier = dir_.file("earlier.bmp");  // an earlier save leaves its name
    run(save_bmp, {0, earlier.c_str(), nullptr});
    captured([&] { frame(10); });
    ASSERT_TRUE(exists(earlier));
    ASSERT_EQ(unlink(earlier.c_str()), 0);

    const std::pair<int, const char*> cases[] = {
        {1, "*** CANCEL\n"}, {-1, "ERROR: no display\n"}, {0, ""}};
    for (const auto& [result, message] : cases) {
        const auto [out, err] = run(save_bmp, {result, nullptr, nullptr});
        EXPECT_EQ(err, message);
        EXPECT_EQ(view().azimuth, 0.0f);
        EXPECT_EQ(view().elevation, 90.0f);
        EXPECT_EQ(std::string(view().output_path), earlier) << "unchanged";
        EXPECT_FALSE(view().capture_pending);
        captured([&] { frame(12); });
        EXPECT_FALSE(exists(earlier)) << "result " << result;
    }
    EXPECT_EQ(dir_.count_entries(), 0);
}

TEST_F(Commands, FirstSaveCancelledWritesNothingAnywhere) {
    frame();
    run(save_bmp, {1, nullptr, nullptr});
    ASSERT_EQ(chdir(dir_.path().c_str()), 0);
    captured([&] { frame(15); });
    EXPECT_EQ(dir_.count_entries(), 0) << "not even \".bmp\" or an empty name";
}

TEST_F(Commands, FramesDrawnWhileTheDialogIsOpenDoNotCompleteTheCapture) {
    frame();
    const std::string earlier = dir_.file("earlier.bmp"), now = dir_.file("now.bmp");
    run(save_bmp, {0, earlier.c_str(), nullptr});
    run(save_bmp, {0, now.c_str(), [this] { frame(25); }});
    EXPECT_FALSE(exists(earlier)) << "the dialog's frames wrote under the earlier name";
    captured([&] { frame(9); });
    EXPECT_FALSE(exists(now));
    captured([&] { frame(); });
    EXPECT_TRUE(exists(now));
}

TEST_F(Commands, SaveRefusesNamesThatDoNotFitAndKeepsTheOldOne) {
    std::strcpy(view().output_path, "/tmp/old.bmp");
    const std::string fits = "/" + std::string(494, 'a');  // 495 bytes + ".bmp": fits
    for (const std::string& name : {"/" + std::string(495, 'a'), "/" + std::string(700, 'a')}) {
        EXPECT_NE(run(save_bmp, {0, name.c_str(), nullptr}).second.find("too long"),
                  std::string::npos);
        EXPECT_FALSE(view().capture_pending);
        EXPECT_STREQ(view().output_path, "/tmp/old.bmp");
    }
    run(save_bmp, {0, fits.c_str(), nullptr});
    EXPECT_EQ(std::string(view().output_path), fits + ".bmp");
}

TEST_F(Commands, StartupDirectoryTooLongIsRefusedNotCut) {
    start_in_deep_folder(300);
    EXPECT_STREQ(view().startup_dir, ".");
    EXPECT_NE(startup_err_.find("does not fit"), std::string::npos) << startup_err_;
    // The Load command then looks relative to where the program started.
    const auto [out, err] = run(load_stl, {1, nullptr, nullptr});
    EXPECT_STREQ(view().model_dir, "./250_test/");
    EXPECT_NE(out.find("system_path:.\n"), std::string::npos) << out;
}

TEST_F(Commands, ModelFolderTooLongFallsBackToTheSameFolderRelative) {
    start_in_deep_folder(250);  // fits 256, but not with "/250_test/"
    ASSERT_NE(std::string(view().startup_dir), ".");
    const auto [out, err] = run(load_stl, {1, nullptr, nullptr});
    EXPECT_NE(err.find("model folder name does not fit"), std::string::npos) << err;
    EXPECT_EQ(record_.directory_set, "250_test/");
}

}  // namespace
