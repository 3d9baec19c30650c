// veltrim-batch -r over symbolic links, in plain runs and in the watch:
// the walk's lines printed, linked folders followed with -L, loops left.
#include <gtest/gtest.h>

#include <csignal>

#include "batch/batch_run.h"

namespace {

class Batch_Links : public Batch_Test {
protected:
    // in/ holds a scan, a linked folder, a link to itself, and sub/ with a
    // link back up. The walk's own cases are in tests/unit/folder_walk_test.
    void make_tree() {
        make_dirs({"in", "in/sub", "station2"});
        for (const char* name : {"in/a.stl", "station2/s.stl"})
            put(dir_.file(name), insole_bytes(500, 1));
        link("../station2", "in/station2");
        link("self", "in/self");
        link("..", "in/sub/up");
    }
    void link(const std::string& target, const std::string& name) {
        ASSERT_EQ(symlink(target.c_str(), dir_.file(name).c_str()), 0) << name;
    }
    std::string in(const std::string& name) const { return dir_.file("in/" + name); }
};

// The walk's lines are printed and are no failures; -L converts the linked
// folder's scan once, and a run that walks the loop for good is ended by
// SIGALRM (status -1).
TEST_F(Batch_Links, LinkedFolderIsNamedWithoutLAndConvertedOnceWithL) {
    ASSERT_NO_FATAL_FAILURE(make_tree());
    link("a.stl", "in/again.stl");  // one scan under two names: converted once, and said
    const std::vector<std::string> args = {"-r", "-o", dir_.file("out"), dir_.file("in")};
    const Batch_Run plain = run_batch(args, nullptr, 60);
    EXPECT_EQ(plain.status, 0) << plain.err;
    for (const std::string& line :
         {in("station2 is a link; -L follows links"), in("self is a link loop; skipped"),
          in("again.stl is the same file as " + in("a.stl") + "; converted once"),
          std::string("converted 1, skipped 0, failed 0")})
        EXPECT_EQ(plain.lines_with(line), 1) << line << "\n" << plain.err;
    EXPECT_FALSE(exists(dir_.file("out/s.bmp"))) << "a linked folder entered without -L";

    ASSERT_EQ(unlink(dir_.file("out/a.bmp").c_str()), 0);
    std::vector<std::string> with_l = args;
    with_l.insert(with_l.begin(), "-L");
    const Batch_Run followed = run_batch(with_l, nullptr, 60);
    EXPECT_EQ(followed.status, 0) << followed.err;
    for (const std::string& line :
         {in("sub/up leads back to " + dir_.file("in") + "; not followed"),
          std::string("/s.stl -> "), std::string("converted 2, skipped 0, failed 0")})
        EXPECT_EQ(followed.lines_with(line), 1) << line << "\n" << followed.err;
}

// A linked folder made while the watch runs is watched and listed; the
// notes of the walk it causes are not given again.
TEST_F(Batch_Links, WatchFollowsALinkedFolderMadeLater) {
    ASSERT_NO_FATAL_FAILURE(make_tree());
    const std::string log = dir_.file("err");
    const pid_t pid = start_batch({"--watch", "-r", "-L", "-o", dir_.file("out"), dir_.file("in")},
                                  dir_.file("out.txt"), log, nullptr, 60);
    auto logged = [&](const std::string& line) { return count_lines_with(slurp(log), line); };
    EXPECT_TRUE(wait_until([&] { return logged("watching 1 folder") == 1; }, 30)) << slurp(log);
    make_dirs({"station3"});
    put(dir_.file("station3/t.stl"), insole_bytes(500, 2));
    link("../station3", "in/station3");
    link("..", "in/sub/back");
    EXPECT_TRUE(wait_until([&] { return exists(dir_.file("out/t.bmp")); }, 30)) << slurp(log);
    put(dir_.file("station3/later.stl"), insole_bytes(500, 3));
    EXPECT_TRUE(wait_until([&] { return exists(dir_.file("out/later.bmp")); }, 30)) << slurp(log);
    kill(pid, SIGTERM);
    EXPECT_EQ(wait_for(pid), 0) << slurp(log);
    for (const std::string& line :
         {in("sub/up leads back to " + dir_.file("in") + "; not followed"),
          in("sub/back leads back to " + dir_.file("in") + "; not followed"),
          in("self is a link loop; skipped"), std::string("/t.stl -> "),
          std::string("/later.stl -> "), std::string("/s.stl -> ")})
        EXPECT_EQ(logged(line), 1) << line << "\n" << slurp(log);
    EXPECT_EQ(logged("/back/"), 0) << "walked through the link back up: " << slurp(log);
}

}  // namespace
