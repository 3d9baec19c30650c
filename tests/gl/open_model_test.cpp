// Models that arrive without the Load chooser: a file dropped on the view,
// a name on the command line.
#include "support/offscreen_view.h"

#include <fstream>

#include "app/command_line.h"
#include "app/commands.h"
#include "support/stl_bytes.h"
#include "support/temp_dir.h"
#include "view/file_drop.h"

namespace {

using stl_bytes::tri;

class Open_Model : public Offscreen_View_Test {
protected:
    void SetUp() override {
        Offscreen_View_Test::SetUp();
        set_file_drop_hook(load_stl_file);
        std::ofstream(dir_.file("two models.stl"), std::ios::binary) << stl_bytes::binary(
            {tri(1, 2, 3, 0, 0, 0, 0, 0, 0), tri(-1, -2, -3, 9, 9, 9, 0, 0, 0)});
    }
    void TearDown() override {
        set_file_drop_hook(nullptr);
        Offscreen_View_Test::TearDown();
    }
    // Delivers a drop's text as FLTK does, in FL_PASTE; returns {stdout, stderr}.
    std::pair<std::string, std::string> paste(const std::string& text) {
        std::string buffer = text;
        Fl::e_text = buffer.data();
        Fl::e_length = static_cast<int>(buffer.size());
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        EXPECT_EQ(view().handle(FL_PASTE), 1);
        std::string out = testing::internal::GetCapturedStdout();
        Fl::e_text = nullptr;
        Fl::e_length = 0;
        return {out, testing::internal::GetCapturedStderr()};
    }
    Temp_Dir dir_;
};

TEST_F(Open_Model, DropTakesTheDragAndLoadsTheFirstStlLikeLoad) {
    for (int event : {FL_DND_ENTER, FL_DND_DRAG, FL_DND_RELEASE, FL_DND_LEAVE})
        EXPECT_EQ(view().handle(event), 1) << "event " << event;
    view().triangles = {tri(0, 0, 0, 1, 1, 1, 2, 2, 2)};
    const auto [out, err] =
        paste("# from a file manager\r\nfile://" + dir_.path() + "/notes.txt\r\nfile://localhost" +
              dir_.path() + "/two%20models.stl\r\n/tmp/later.stl\r\n");
    EXPECT_EQ(out, "bin STL Size 2\nThis is a \"Binary\" File  \nREAD!\n");
    EXPECT_EQ(err, "");
    ASSERT_EQ(view().triangles.size(), 2u);
    EXPECT_EQ(view().max_x, 1);
    EXPECT_EQ(view().min_z, -3);
}

TEST_F(Open_Model, DropWithoutAModelChangesNothingAndSaysSo) {
    view().triangles = {tri(0, 0, 0, 1, 1, 1, 2, 2, 2)};
    const auto [out, err] = paste("file:///tmp/notes.txt\r\nhttp://example/x.stl\r\n");
    EXPECT_EQ(out, "");
    EXPECT_EQ(err, "drop ignored: no local .stl file among the dropped names\n");
    EXPECT_EQ(view().triangles.size(), 1u);

    // Without a hook the view does not take part in drags at all.
    set_file_drop_hook(nullptr);
    EXPECT_EQ(view().handle(FL_DND_ENTER), 0);
    EXPECT_EQ(view().handle(FL_DND_DRAG), 0);
}

TEST_F(Open_Model, UnreadableDroppedNameEmptiesTheModelAndPrintsRead) {
    view().triangles = {tri(0, 0, 0, 1, 1, 1, 2, 2, 2)};
    const auto [out, err] = paste("file://" + dir_.path() + "/missing.stl\n");
    EXPECT_EQ(out, "READ!\n");
    EXPECT_NE(err.find("missing.stl\": No such file or directory"), std::string::npos) << err;
    EXPECT_TRUE(view().triangles.empty());
}

TEST(Command_Line, FirstWordThatIsNoOptionNamesTheModel) {
    struct Case {
        std::vector<std::string> words;
        const char* model;
        bool unknown;
        const char* err;  // a piece of stderr, or "" for none at all
    };
    const Case cases[] = {
        {{}, nullptr, false, ""},
        {{"a.stl"}, "a.stl", false, ""},
        {{"-geometry", "900x700", "b.stl"}, "b.stl", false, ""},
        {{"-bogus-option", "c.stl", "-geometry"}, "c.stl", true, "options are:\n -bg2 color\n"},
        {{"--bogus-option"}, nullptr, true, "options are:\n"},
        {{"--", "-d.stl"}, "-d.stl", false, ""},
        {{"e.stl", "f.stl"}, "e.stl", false, "loading only e.stl"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> words = c.words;
        words.insert(words.begin(), "veltrim");
        std::vector<char*> argv;
        for (std::string& w : words) argv.push_back(w.data());
        argv.push_back(nullptr);
        testing::internal::CaptureStderr();
        const Command_Line line = parse_command_line(static_cast<int>(words.size()), argv.data());
        const std::string err = testing::internal::GetCapturedStderr();
        const std::string what = testing::PrintToString(c.words);
        EXPECT_EQ(line.model ? std::string(line.model) : "(none)", c.model ? c.model : "(none)")
            << what;
        EXPECT_EQ(line.unknown_option, c.unknown) << what;
        if (*c.err == '\0')
            EXPECT_EQ(err, "") << what;
        else
            EXPECT_NE(err.find(c.err), std::string::npos) << what << ": " << err;
    }
}

}  // namespace
