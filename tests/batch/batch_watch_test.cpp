// veltrim-batch --watch as a scanner's folder sees it all day, with no
// display: every way a file arrives, and folders that change under it.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sys/stat.h>

#include "batch/batch_run.h"

namespace {

// Written in slow chunks, held by two writers, closed and appended to,
// copied under a temporary name, linked in, moved in, or gone at once; a
// FIFO among them holds nothing up and is named once. Each ends converted
// from its whole file, the log and the report keep the latest outcome, and
// the watch ends with status 0. The one closed half written is converted cut first.
TEST_F(Batch_Watch, EveryWayAFileArrivesEndsConvertedWhole) {
    make_dirs({"in", "ref"});
    const std::string model = insole_bytes(20000, 4), report = dir_.file("report.csv");
    const std::size_t half = model.size() / 2;
    put(dir_.file("ref/whole.stl"), model);
    ASSERT_EQ(run_batch({dir_.file("ref/whole.stl")}).status, 0);
    const std::string whole = slurp(dir_.file("ref/whole.bmp"));
    // Open for writing when the watch starts: the first pass leaves it to the watch.
    const int held = open(dir_.file("in/held.stl").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_EQ(write(held, model.data(), half), static_cast<ssize_t>(half));
    start({"--watch", "--report", report, "-o", dir_.file("out"), dir_.file("in")});
    EXPECT_EQ(count_lines_with(log(),
                               "held.stl: still being written: another process has it "
                               "open for writing; converted once it is finished"),
              1)
        << log();
    ASSERT_EQ(mkfifo(dir_.file("in/p.stl").c_str(), 0644), 0);

    put(dir_.file("gone.tmp"), model);
    move("gone.tmp", "in/gone.stl");
    ASSERT_EQ(unlink(dir_.file("in/gone.stl").c_str()), 0);
    EXPECT_TRUE(wait_for_line("gone.stl: gone before it could be read")) << log();
    ASSERT_EQ(write(held, model.data() + half, model.size() - half),
              static_cast<ssize_t>(model.size() - half));
    close(held);

    // A second writer opened it before the first closed: that close is no sign.
    const std::string slow = dir_.file("in/slow.stl");
    const int first = open(slow.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_EQ(write(first, model.data(), half), static_cast<ssize_t>(half));
    const int second = open(slow.c_str(), O_WRONLY);
    close(first);
    pause_ms(600);
    EXPECT_FALSE(exists(dir_.file("out/slow.bmp"))) << "read while a writer had it open";
    ASSERT_EQ(pwrite(second, model.data() + half, model.size() - half, half),
              static_cast<ssize_t>(model.size() - half));
    close(second);

    // Closed half written (converted, cut), then opened again to append the rest.
    put(dir_.file("in/append.stl"), model.substr(0, half));
    EXPECT_TRUE(wait_for_line("append.stl: warning: STL file is cut")) << log();
    std::ofstream(dir_.file("in/append.stl"), std::ios::binary | std::ios::app)
        << model.substr(half);

    put(dir_.file("in/.tmp-scan.stl"), model);
    move("in/.tmp-scan.stl", "in/scan.stl");
    put(dir_.file("elsewhere.stl"), model);
    ASSERT_EQ(link(dir_.file("elsewhere.stl").c_str(), dir_.file("in/hard.stl").c_str()), 0);
    ASSERT_EQ(symlink(dir_.file("elsewhere.stl").c_str(), dir_.file("in/soft.stl").c_str()), 0);
    put(dir_.file("moved.tmp"), model);
    move("moved.tmp", "in/moved.STL");

    const std::vector<std::string> names = {"held", "slow", "append", "scan",
                                            "hard", "soft", "moved"};
    std::vector<std::string> bmps;  // one wait for all: a missing one costs one time limit
    for (const std::string& name : names) bmps.push_back("out/" + name + ".bmp");
    EXPECT_TRUE(wait_for_files(bmps)) << log();
    EXPECT_EQ(stop(), 0) << "every file's latest outcome is converted: " << log();
    const std::string text = log(), rows = slurp(report);
    for (const std::string& name : names) {
        EXPECT_TRUE(slurp(dir_.file("out/" + name + ".bmp")) == whole)
            << name << " was not converted from its whole file";
        EXPECT_EQ(count_lines_with(text, "/" + name + ".stl -> ") +
                      count_lines_with(text, "/" + name + ".STL -> "),
                  name == "append" ? 2 : 1)
            << name << " converted once, append cut and then whole: " << text;
        EXPECT_EQ(count_lines_with(rows, "/" + name + "."), 1) << rows;
    }
    EXPECT_EQ(count_lines_with(text, "slow.stl: "), 0) << "no failure: " << text;
    EXPECT_EQ(count_lines_with(text, ".tmp-scan"), 0) << text;
    EXPECT_EQ(count_lines_with(text, "p.stl is not a regular file; skipped"), 1) << text;
    EXPECT_EQ(count_lines_with(rows, ",converted,"), 7) << rows;
    EXPECT_EQ(count_lines_with(rows, ","), 8) << "a header and one row a file: " << rows;
}

// The kernel's event queue for watches made meanwhile, lowered to 16 events
// so that a burst of files overflows it. Needs root; saved stays 0 without.
struct Small_Event_Queue {
    const char* knob = "/proc/sys/fs/inotify/max_queued_events";
    long saved = 0;
    Small_Event_Queue() {
        std::ifstream(knob) >> saved;
        if (!(std::ofstream(knob) << 16 << std::flush)) saved = 0;
    }
    ~Small_Event_Queue() {
        if (saved > 0) std::ofstream(knob) << saved;
    }
};

// Arrivals during the first pass, a restart with out-of-date images, new
// and moved-in subfolders (-r), a watched folder removed and made again,
// the output folder removed, a name collision, and an overflowing queue.
TEST_F(Batch_Watch, FoldersThatChangeUnderTheWatchAreFollowed) {
    namespace fs = std::filesystem;
    make_dirs({"a", "b", "out", "x"});
    const std::string big = insole_bytes(200000, 1), small = insole_bytes(500, 2);
    for (int k = 0; k < 6; ++k) put(dir_.file("a/big" + std::to_string(k) + ".stl"), big);
    for (const char* name : {"a/fresh.stl", "a/stale.stl"}) put(dir_.file(name), small);
    put(dir_.file("out/fresh.bmp"), "up to date");
    put(dir_.file("out/stale.bmp"), "out of date");
    const timespec long_ago[2] = {{1000, 0}, {1000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, dir_.file("out/stale.bmp").c_str(), long_ago, 0), 0);

    auto queue = std::make_unique<Small_Event_Queue>();
    const bool overflows = queue->saved > 0;
    ASSERT_NO_FATAL_FAILURE(
        start({"--watch", "-r", "-j", "1", "-o", dir_.file("out"), dir_.file("a"), dir_.file("b")},
              "[1/7]"));
    kill(pid_, SIGSTOP);
    const bool first_pass_running = count_lines_with(log(), "watching ") == 0;
    put(dir_.file("a/during.stl"), small);
    kill(pid_, SIGCONT);
    ASSERT_TRUE(first_pass_running) << "the first pass ended too soon: " << log();
    ASSERT_TRUE(wait_for_line("watching 2 folders")) << log();
    queue.reset();
    EXPECT_EQ(count_lines_with(log(), "fresh.stl: skipped: "), 1) << log();
    EXPECT_EQ(slurp(dir_.file("out/fresh.bmp")), "up to date");

    put(dir_.file("b/big0.stl"), small);  // a/big0.stl owns out/big0.bmp
    ASSERT_EQ(mkdir(dir_.file("a/sub").c_str(), 0755), 0);
    put(dir_.file("a/sub/made.stl"), small);
    put(dir_.file("x/moved.stl"), small);
    move("x", "a/x");
    EXPECT_TRUE(wait_for_line("b/big0.stl: not converted: its output")) << log();
    fs::remove_all(dir_.file("b"));
    EXPECT_TRUE(wait_for_line("b: the watched folder is gone")) << log();
    make_dirs({"new_b"});
    put(dir_.file("new_b/back.stl"), small);
    move("new_b", "b");
    EXPECT_TRUE(wait_for_line("b: the watched folder is back")) << log();
    EXPECT_TRUE(wait_for_files(
        {"out/during.bmp", "out/stale.bmp", "out/made.bmp", "out/moved.bmp", "out/back.bmp"}))
        << log();
    EXPECT_EQ(slurp(dir_.file("out/big0.bmp")), slurp(dir_.file("out/big5.bmp")));

    fs::remove_all(dir_.file("out"));
    put(dir_.file("b/again.stl"), small);
    EXPECT_TRUE(wait_for_files({"out/again.bmp"})) << "the output folder is made again";
    if (overflows) {  // the queue holds 16 events: 40 files' closes overflow it
        kill(pid_, SIGSTOP);
        for (int k = 0; k < 40; ++k) put(dir_.file("a/q" + std::to_string(k) + ".stl"), small);
        kill(pid_, SIGCONT);
        EXPECT_TRUE(wait_for_line("too many events at once; listing the folders again")) << log();
        EXPECT_TRUE(wait_for_files({"out/q0.bmp", "out/q39.bmp"})) << log();
        EXPECT_EQ(count_lines_with(log(), "skipped: "), 1) << "nothing done is done again";
    }
    EXPECT_EQ(stop(), 1) << "the collision is b/big0.stl's latest outcome: " << log();
}

}  // namespace
