// Load and Save through a scripted chooser, a dropped file, the command line.
#include "support/offscreen_view.h"

#include <fstream>

#include "app/command_line.h"
#include "app/commands.h"
#include "support/stl_bytes.h"
#include "support/temp_dir.h"
#include "view/file_drop.h"

namespace {

using stl_bytes::tri;

constexpr char kTwoFacetsRead[] = "bin STL Size 2\nThis is a \"Binary\" File  \nREAD!\n";

class Commands : public Offscreen_View_Test {
protected:
    void SetUp() override {
        Offscreen_View_Test::SetUp();
        ASSERT_NE(getcwd(cwd_, sizeof cwd_), nullptr);
        std::ofstream(dir_.file("two models.stl"), std::ios::binary) << stl_bytes::binary(
            {tri(1, 2, 3, 0, 0, 0, 0, 0, 0), tri(-1, -2, -3, 9, 9, 9, 0, 0, 0)});
    }
    void TearDown() override {
        ASSERT_EQ(chdir(cwd_), 0);
        set_file_drop_hook(nullptr);
        Offscreen_View_Test::TearDown();
    }
    // Runs the command with the chooser answering `answer`; {stdout, stderr}.
    std::pair<std::string, std::string> run(void (*command)(), Scripted_Chooser_Answer answer) {
        answer_choosers_with(std::move(answer), record_);
        return captured(command);
    }
    // A view started in a folder below dir_ whose path is at least `length` bytes.
    std::string start_in_deep_folder(std::size_t length) {
        std::string path = dir_.path();
        while (path.size() < length) {
            path += "/" + std::string(std::min<std::size_t>(60, length - path.size()), 'd');
            mkdir(path.c_str(), 0755);  // the 250-byte one lies inside the 300-byte one
        }
        EXPECT_EQ(chdir(path.c_str()), 0);
        return captured([&] { fresh_view(); }).second;
    }
    Temp_Dir dir_;
    Chooser_Record record_;
    char cwd_[4096];
};

TEST_F(Commands, LoadTranscriptMatchesLineForLine) {
    const std::string path = dir_.file("two models.stl");
    const auto [out, err] = run(load_stl, {0, path.c_str(), nullptr});
    const std::string start = view().startup_dir;
    EXPECT_EQ(out, "dir(before):(null)\ndir(after):" + start + "/250_test/\nsystem_path:" + start +
                       "\npath:" + start + "/250_test/\n" + kTwoFacetsRead);
    EXPECT_EQ(err, "");
    EXPECT_EQ(record_.directory_set, start + "/250_test/");
    ASSERT_EQ(view().triangles.size(), 2u);
    EXPECT_EQ(view().max_x + view().min_z, 1 - 3);
}

TEST_F(Commands, LoadWithoutAFileEmptiesTheModelAndKeepsTheBounds) {
    const std::string start = view().startup_dir, missing = dir_.file("missing.stl");
    const std::pair<Scripted_Chooser_Answer, const char*> cases[] = {
        {{1, nullptr, nullptr}, "*** CANCEL\n"},
        {{-1, nullptr, nullptr}, "ERROR: no display\n"},
        {{0, nullptr, nullptr}, ""},
        {{0, missing.c_str(), nullptr}, "~missing.stl"}};
    for (const auto& [answer, message] : cases) {
        const bool reads = answer.filename != nullptr;
        view().triangles = {tri(0, 0, 0, 1, 1, 1, 2, 2, 2)};
        view().max_x = 42;
        ASSERT_EQ(chdir(dir_.path().c_str()), 0);
        const auto [out, err] = run(load_stl, answer);
        EXPECT_TRUE(view().triangles.empty()) << message;
        EXPECT_TRUE(says(err, message)) << err;
        // Nothing between the directory lines and READ!
        EXPECT_EQ(out.find("\npath:" + start + "/250_test/\nREAD!\n") != std::string::npos, reads);
        EXPECT_EQ(view().max_x, reads ? -100000.0f : 42);
        char now[4096];
        ASSERT_NE(getcwd(now, sizeof now), nullptr);
        EXPECT_EQ(std::string(now), start) << "back in the start-up folder first";
    }
}

// The frames drawn while the dialog is open neither count nor write, not
// even under the earlier name; then a Save without a picked name never writes.
TEST_F(Commands, SaveTurnsToTheTopViewAndWritesOnTheTenthFrameAfterItsDialog) {
    frame();
    const std::string earlier = dir_.file("earlier.bmp"), now = dir_.file("now");
    run(save_bmp, {0, earlier.c_str(), nullptr});
    view().azimuth = 33;
    const auto [out, err] = run(save_bmp, {0, now.c_str(), [&] {
                                               EXPECT_EQ(view().azimuth, 0.0f);
                                               EXPECT_EQ(view().elevation, 90.0f);
                                               frame(25);
                                           }});
    EXPECT_EQ(out + err, "") << "nothing printed on success";
    EXPECT_EQ(std::string(view().output_path), now + ".bmp");
    EXPECT_FALSE(exists(earlier));
    captured([&] { frame(9); });
    EXPECT_FALSE(exists(now + ".bmp"));
    captured([&] { frame(); });
    ASSERT_TRUE(exists(now + ".bmp"));
    ASSERT_EQ(unlink((now + ".bmp").c_str()), 0);
    const std::pair<int, const char*> cases[] = {
        {1, "*** CANCEL\n"}, {-1, "ERROR: no display\n"}, {0, ""}};
    for (const auto& [result, message] : cases) {
        ASSERT_EQ(chdir(dir_.path().c_str()), 0);
        EXPECT_EQ(run(save_bmp, {result, nullptr, nullptr}).second, message);
        EXPECT_EQ(std::string(view().output_path), now + ".bmp") << "unchanged";
        EXPECT_FALSE(view().capture_pending);
        captured([&] { frame(12); });
        EXPECT_EQ(dir_.count_entries(), 1) << "not even \".bmp\"; result " << result;
    }
}

TEST_F(Commands, TooLongNamesAreRefusedNotCut) {
    std::strcpy(view().output_path, "/tmp/old.bmp");
    for (const std::string& name : {"/" + std::string(495, 'a'), "/" + std::string(700, 'a')}) {
        EXPECT_TRUE(says(run(save_bmp, {0, name.c_str(), nullptr}).second, "~too long"));
        EXPECT_FALSE(view().capture_pending);
        EXPECT_STREQ(view().output_path, "/tmp/old.bmp");
    }
    const std::string fits = "/" + std::string(494, 'a');  // 495 bytes + ".bmp"
    run(save_bmp, {0, fits.c_str(), nullptr});
    EXPECT_EQ(std::string(view().output_path), fits + ".bmp");

    // A start-up folder too long: Load looks relative to where the program started.
    EXPECT_TRUE(says(start_in_deep_folder(300), "~does not fit"));
    EXPECT_STREQ(view().startup_dir, ".");
    EXPECT_TRUE(says(run(load_stl, {1, nullptr, nullptr}).first, "~system_path:.\n"));
    EXPECT_STREQ(view().model_dir, "./250_test/");
    // 250 bytes fit, but not with "/250_test/": the same folder, relative.
    ASSERT_EQ(chdir(cwd_), 0);
    start_in_deep_folder(250);
    ASSERT_NE(std::string(view().startup_dir), ".");
    EXPECT_TRUE(says(run(load_stl, {1, nullptr, nullptr}).second, "~model folder name does not"));
    EXPECT_EQ(record_.directory_set, "250_test/");
}

TEST_F(Commands, DropTakesTheDragAndLoadsTheFirstLocalStlLikeLoad) {
    EXPECT_EQ(view().handle(FL_DND_ENTER), 0) << "without a hook the view takes no drags";
    set_file_drop_hook(load_stl_file);
    for (int event : {FL_DND_ENTER, FL_DND_DRAG, FL_DND_RELEASE, FL_DND_LEAVE})
        EXPECT_EQ(view().handle(event), 1) << "event " << event;
    const struct {
        std::string text;
        const char* out;
        const char* err;
        std::size_t facets;
    } cases[] = {
        {"# from a file manager\r\nfile://" + dir_.path() + "/notes.txt\r\nfile://localhost" +
             dir_.path() + "/two%20models.stl\r\n/tmp/later.stl\r\n",
         kTwoFacetsRead, "", 2},
        {"file:///tmp/notes.txt\r\nhttp://example/x.stl\r\n", "",
         "drop ignored: no local .stl file among the dropped names\n", 2},
        {"file://" + dir_.path() + "/missing.stl\n", "READ!\n",
         "~missing.stl\": No such file or directory", 0},
    };
    for (const auto& c : cases) {
        std::string buffer = c.text;
        Fl::e_text = buffer.data();
        Fl::e_length = static_cast<int>(buffer.size());
        const auto [out, err] = captured([&] { EXPECT_EQ(view().handle(FL_PASTE), 1); });
        EXPECT_EQ(out, c.out);
        EXPECT_TRUE(says(err, c.err)) << err;
        EXPECT_EQ(view().triangles.size(), c.facets) << c.text;
    }
    Fl::e_text = nullptr;
    Fl::e_length = 0;
}

TEST(Command_Line, FirstWordThatIsNoOptionNamesTheModel) {
    const struct {
        std::vector<std::string> words;
        const char* model;
        bool unknown;
        const char* err;
    } cases[] = {
        {{}, "", false, ""},
        {{"-geometry", "900x700", "b.stl"}, "b.stl", false, ""},
        {{"-bogus-option", "c.stl", "-geometry"}, "c.stl", true, "~options are:\n -bg2 color\n"},
        {{"--bogus-option"}, "", true, "~options are:\n"},
        {{"--", "-d.stl"}, "-d.stl", false, ""},
        {{"e.stl", "f.stl"}, "e.stl", false, "~loading only e.stl"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> words = c.words;
        words.insert(words.begin(), "veltrim");
        std::vector<char*> argv;
        for (std::string& w : words) argv.push_back(w.data());
        argv.push_back(nullptr);
        const int argc = static_cast<int>(words.size());
        Command_Line line;
        const std::string err =
            captured([&] { line = parse_command_line(argc, argv.data()); }).second;
        const std::string what = testing::PrintToString(c.words) + ": " + err;
        EXPECT_EQ(line.model ? line.model : "", std::string(c.model)) << what;
        EXPECT_EQ(line.unknown_option, c.unknown) << what;
        EXPECT_TRUE(says(err, c.err)) << what;
    }
}

}  // namespace
