// Load and Save through a scripted chooser; damaged and hostile files.
#define GL_GLEXT_PROTOTYPES  // the query objects
#include <GL/gl.h>
#include <GL/glext.h>

#include "support/offscreen_view.h"

#include <fstream>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include "app/commands.h"
#include "app/status_line.h"
#include "platform/file_names.h"
#include "support/insole_model.h"
#include "support/stl_bytes.h"
#include "support/temp_dir.h"

namespace {

using stl_bytes::tri;

long peak_rss_kb() {
    rusage u;
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

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
        answer_choosers_with(std::move(answer));
        return captured(command);
    }
    std::pair<std::string, std::string> load(const std::string& path) {
        return run(load_stl, {File_Chooser::Picked, path.c_str(), nullptr});
    }
    std::string write(const std::string& name, const std::string& bytes) {
        std::ofstream(dir_.file(name), std::ios::binary) << bytes;
        return dir_.file(name);
    }
    // Triangles that reach GL when the model alone is drawn by `path`,
    // counted before any clipping or culling could drop them.
    GLuint primitives_sent(Model_Path path) {
        frame(3);
        for (double d : view().model_matrix) EXPECT_TRUE(std::isfinite(d));
        GLuint query = 0, n = 0;
        glGenQueries(1, &query);
        glBeginQuery(GL_PRIMITIVES_GENERATED, query);
        view().model_geometry.draw(view().triangles, view().model_generation, false, path);
        glEndQuery(GL_PRIMITIVES_GENERATED);
        glGetQueryObjectuiv(query, GL_QUERY_RESULT, &n);
        glDeleteQueries(1, &query);
        return n;
    }
    Temp_Dir dir_;
    char cwd_[4096];
};

// The frames drawn while the dialog is open neither count nor write, not
// even under the earlier name. Without a picked file, or with one too long,
// nothing loads or writes.
TEST_F(Commands, SaveWritesOnTheTenthFrameAfterItsDialogAndNoFileOrATooLongNameNothing) {
    frame();
    const std::string earlier = dir_.file("earlier.bmp"), now = dir_.file("now");
    run(save_bmp, {File_Chooser::Picked, earlier.c_str(), nullptr});
    view().azimuth = 33;
    const auto [out, err] = run(save_bmp, {File_Chooser::Picked, now.c_str(), [&] {
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
    ASSERT_EQ(unlink((now + ".bmp").c_str()), 0);

    const std::string start = view().startup_dir;
    const std::pair<File_Chooser::Result, const char*> cases[] = {
        {File_Chooser::Cancelled, "*** CANCEL\n"},
        {File_Chooser::Failed, "ERROR: no display\n"},
        {File_Chooser::Picked, ""}};
    for (const auto& [result, message] : cases) {
        view().set_model({tri(0, 0, 0, 1, 1, 1, 2, 2, 2)}, Model_Bounds());
        view().max_x = 42;
        ASSERT_EQ(chdir(dir_.path().c_str()), 0);
        const auto [out, err] = run(load_stl, {result, nullptr, nullptr});
        EXPECT_EQ(err, message);
        EXPECT_EQ(out.find("READ!"), std::string::npos);
        EXPECT_TRUE(view().triangles.empty()) << "emptied, bounds kept";
        EXPECT_EQ(view().max_x, 42);
        char cwd[4096];
        EXPECT_STREQ(getcwd(cwd, sizeof cwd), start.c_str()) << "back in the start-up folder";
        EXPECT_EQ(run(save_bmp, {result, nullptr, nullptr}).second, message);
        EXPECT_EQ(std::string(view().output_path), now + ".bmp") << "unchanged";
        EXPECT_FALSE(view().capture_pending);
        captured([&] { frame(12); });
        EXPECT_EQ(dir_.count_entries(), 0) << "not even \".bmp\"; result " << result;
    }
    for (const std::string& name : {"/" + std::string(495, 'a'), "/" + std::string(700, 'a')}) {
        EXPECT_TRUE(
            says(run(save_bmp, {File_Chooser::Picked, name.c_str(), nullptr}).second, "~too long"));
        EXPECT_FALSE(view().capture_pending) << "refused, not cut";
        EXPECT_EQ(std::string(view().output_path), now + ".bmp");
    }
    const std::string fits = "/" + std::string(494, 'a');  // 495 bytes + ".bmp"
    run(save_bmp, {File_Chooser::Picked, fits.c_str(), nullptr});
    EXPECT_EQ(std::string(view().output_path), fits + ".bmp");
}

TEST_F(Commands, NonFiniteFacetsAreKeptButNeverDrawn) {
    const float inf = INFINITY, nan = NAN;
    const std::vector<Triangle> facets = {
        tri(inf, 0, 0, 1, 1, 1, 2, 2, 2), tri(0, 0, 0, nan, 1, 1, 2, 2, 2),
        tri(0, 0, 0, 1, 1, 1, 2, -inf, 2), tri(10, 20, 30, 11, 21, 31, 12, 22, 32)};
    EXPECT_EQ(load(write("inf.stl", stl_bytes::binary(facets))).second,
              "3 facets with coordinates that are not finite are not drawn\n");
    ASSERT_EQ(view().triangles.size(), 4u);
    EXPECT_EQ(std::memcmp(view().triangles.data(), facets.data(), sizeof(Triangle) * 4), 0);
    EXPECT_EQ(view().max_x - view().min_x, 10);
    EXPECT_EQ(primitives_sent(Model_Path::Cached), 1u);
    EXPECT_EQ(primitives_sent(Model_Path::Immediate), 1u);
}

TEST_F(Commands, DamagedFilesLoadWhatCanBeReadInBoundedMemoryAndSaySo) {
    {  // a 100 MB token, written in pieces so this test's own memory stays small
        std::ofstream f(dir_.file("token.stl"), std::ios::binary);
        f << "solid ";
        const std::string piece(1 << 20, 'a');
        for (int i = 0; i < 100; ++i) f << piece;
    }
    const struct {
        std::string path;
        std::size_t facets;
        const char* out_tail;
        const char* err;
    } cases[] = {
        {write("huge.stl", stl_bytes::binary({tri(1, 2, 3, 4, 5, 6, 7, 8, 9)}, "", 4294967295LL)),
         1, "bin STL Size -1\nThis is a \"Binary\" File  \nREAD!\n",
         "STL file is cut: it ends after 1 of 4294967295 facets; the facets read are kept\n"},
        {dir_.file("token.stl"), 0, "READ!\n", "~longer than 499"},
        {write("bad.stl",
               "solid s vertex 1 2 3 v 4 five 6 v 7 8 9 vertex 5 5 5 v 6 6 6 v 7 7 "
               "7 vertex 1 2 3 v 4"),
         1, "This is a \"ASCII\" File  \nREAD!\n",
         "STL file is cut: it ends inside a facet; that facet was left out\n"
         "1 facets with numbers that cannot be read were left out\n"},
        {"/dev/zero", 0, "/250_test/\nREAD!\n", "~not a regular file"},
        {dir_.file("fifo.stl"), 0, "/250_test/\nREAD!\n", "~fifo.stl\": not a regular file"},
        {"/tmp/" + std::string(600, 'x'), 0, "READ!\n", "~file name too long (605 bytes"},
        {dir_.file("missing.stl"), 0, "/250_test/\nREAD!\n", "~missing.stl\": No such file"},
        // Linux names are bytes: a name that is not UTF-8 opens as it is.
        {write("\xff\xfe\x80scan.stl", stl_bytes::binary({tri(1, 2, 3, 4, 5, 6, 7, 8, 9)})), 1,
         "READ!\n", ""},
    };
    ASSERT_EQ(mkfifo(dir_.file("fifo.stl").c_str(), 0644), 0);
    alarm(20);  // a FIFO opened for reading waits for a writer: fail, never hang
    for (const auto& c : cases) {
        const long before = peak_rss_kb();
        const auto [out, err] = load(c.path);
        EXPECT_LT(peak_rss_kb() - before, 64 * 1024) << "nothing sized from the count, or held";
        EXPECT_EQ(view().triangles.size(), c.facets) << c.path.substr(0, 80);
        EXPECT_EQ(out.substr(out.size() - std::min(out.size(), std::strlen(c.out_tail))),
                  c.out_tail);
        EXPECT_TRUE(says(err, c.err)) << err;
        EXPECT_EQ(c.facets == 0, view().max_x == -100000.0f) << c.path.substr(0, 80);
    }
    alarm(0);
}

}  // namespace

namespace {

// What the status line says after each command, and when a capture waits.
TEST_F(Commands, TheStatusLineTellsWhatHappened) {
    set_notice_hook(show_status);
    set_map_written_hook(map_written);
    const std::vector<Triangle> model = insole_model(3000, 1);
    const std::string good = write("good.stl", stl_bytes::binary(model));
    // Read as binary, a README gives facets; they stay, but it is no model.
    const std::string readme = write("readme.stl", "Veltrim\n=======\n" + std::string(400, '.'));
    const std::string facets = std::to_string(model.size());
    // Still open for writing: what it holds may be a part.
    const std::string held = write("held.stl", stl_bytes::binary(model));
    const int writer = open(held.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    const struct {
        std::string path, says;
        Notice_Tone tone;
        std::size_t facets;
    } loads[] = {
        {good,
         "Loaded good.stl: " + facets +
             " facets, binary STL. Keys x, y, z turn it a quarter turn; with Shift, back.",
         Notice_Tone::Info, model.size()},
        {readme,
         "ERROR: readme.stl is not an STL model: it is text that does not start with 'solid', "
         "as an ASCII STL does",
         Notice_Tone::Error, 6},
        {held,
         "WARNING: held.stl is still being written: another process has it open for writing; " +
             facets + " facets read so far. Load it again once it is finished.",
         Notice_Tone::Warning, model.size()}};
    for (const auto& c : loads) {
        load(c.path);
        EXPECT_EQ(status_text(), c.says);
        EXPECT_EQ(status_tone(), c.tone) << c.says;
        EXPECT_EQ(view().triangles.size(), c.facets) << c.says;
    }
    close(writer);
    run(load_stl, {File_Chooser::Cancelled, nullptr, nullptr});
    EXPECT_EQ(status_text(), "Load cancelled: no model is loaded.");
    run(save_bmp, {File_Chooser::Picked, dir_.file("none").c_str(), nullptr});
    captured([this] { frame(12); });
    const std::string folder = platform::resolved_path(dir_.path());
    EXPECT_EQ(status_text(), "WARNING: saved " + folder +
                                 "/none.bmp, but no model is loaded: the map is all black.");
    EXPECT_EQ(status_tone(), Notice_Tone::Warning);

    load(good);
    run(save_bmp, {File_Chooser::Picked, dir_.file("shot").c_str(), nullptr});
    side_view_cb(nullptr, nullptr);
    captured([this] { frame(20); });
    EXPECT_EQ(status_text(), "Save is waiting: press 上視 (top view) to capture the height map.");
    // Saved again while the first waits: the first name is never written,
    // and the operator is told so until the second is written.
    run(save_bmp, {File_Chooser::Picked, dir_.file("none").c_str(), nullptr});
    EXPECT_EQ(status_text(),
              "WARNING: shot.bmp was not written: the new Save replaces it. "
              "Saving none.bmp at the top view.");
    side_view_cb(nullptr, nullptr);
    captured([this] { frame(20); });
    top_view_cb(nullptr, nullptr);
    captured([this] { frame(12); });
    EXPECT_EQ(status_text().rfind(
                  "Saved " + folder + "/none.bmp, replacing the earlier file: highest point ", 0),
              0u)
        << status_text();
    EXPECT_NE(status_text().find(". shot.bmp was not written: the new Save replaced it."),
              std::string::npos)
        << status_text();
    EXPECT_EQ(status_tone(), Notice_Tone::Warning);
    EXPECT_FALSE(exists(dir_.file("shot.bmp")));
    // Saved again while one waits, then cancelled: neither is written.
    run(save_bmp, {File_Chooser::Picked, dir_.file("shot").c_str(), nullptr});
    side_view_cb(nullptr, nullptr);
    captured([this] { frame(20); });
    run(save_bmp, {File_Chooser::Cancelled, nullptr, nullptr});
    EXPECT_EQ(status_text(),
              "WARNING: Save cancelled. Neither shot.bmp nor a new map was written.");
    top_view_cb(nullptr, nullptr);
    frame(12);
    EXPECT_FALSE(exists(dir_.file("shot.bmp")));
    set_notice_hook(nullptr);
    set_map_written_hook(nullptr);
}

// A start-up folder whose name does not fit is never cut (that names
// another folder), and one that went away is reported when Load goes back.
TEST_F(Commands, AStartUpFolderTooLongOrGoneIsSaidAndNotCut) {
    std::string deep = dir_.path();
    while (deep.size() < 300) {
        deep += "/" + std::string(40, 'd');
        ASSERT_EQ(mkdir(deep.c_str(), 0700), 0);
    }
    ASSERT_EQ(chdir(deep.c_str()), 0);
    const auto there = std::make_unique<View_State>();
    EXPECT_STREQ(there->startup_dir, ".");
    EXPECT_EQ(there->startup_dir_status.reason(), "longer than 255 bytes");

    const std::string gone = dir_.file("gone");
    ASSERT_EQ(mkdir(gone.c_str(), 0700), 0);
    std::snprintf(view().startup_dir, sizeof view().startup_dir, "%s", gone.c_str());
    ASSERT_EQ(rmdir(gone.c_str()), 0);
    EXPECT_EQ(run(load_stl, {File_Chooser::Cancelled, nullptr, nullptr}).second,
              "cannot return to the start-up directory \"" + gone +
                  "\": No such file or directory\n*** CANCEL\n");
}

}  // namespace
