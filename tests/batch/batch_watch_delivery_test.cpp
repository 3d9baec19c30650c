// veltrim-batch --watch against the ways scans really arrive and the ways
// their folders come and go: nothing is dropped without a word, and a stop
// reports everything in hand.
#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "batch/batch_run.h"

namespace {

class Batch_Watch_Delivery : public Batch_Watch {
protected:
    // Mounts made here vanish with the test's process: a private namespace.
    static bool private_mounts() {
        return geteuid() == 0 && unshare(CLONE_NEWNS) == 0 &&
               mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    }
    static bool mount_tmpfs(const std::string& at, const char* options) {
        return mount("tmpfs", at.c_str(), "tmpfs", 0, options) == 0;
    }
    std::string model_ = insole_bytes(2000, 3);
};

// A watched folder that is a mount point, unmounted and mounted again (an
// automount, a USB stick): the watch follows its name to the new file
// system and converts what arrives there.
TEST_F(Batch_Watch_Delivery, AMountedFolderIsFollowedThroughUnmountAndMount) {
    if (!private_mounts()) GTEST_SKIP() << "needs root to mount file systems";
    make_dirs({"in", "out"});
    ASSERT_TRUE(mount_tmpfs(dir_.file("in"), "size=4m"));
    start({"--watch", "-o", dir_.file("out"), dir_.file("in")});
    put(dir_.file("in/first.stl"), model_);
    EXPECT_TRUE(wait_for_files({"out/first.bmp"})) << log();
    ASSERT_EQ(umount(dir_.file("in").c_str()), 0) << std::strerror(errno);
    EXPECT_TRUE(wait_for_line(
        "in: its file system was unmounted; watching the folder beneath until it is back"))
        << log();
    ASSERT_TRUE(mount_tmpfs(dir_.file("in"), "size=4m"));
    EXPECT_TRUE(wait_for_line("in: a file system was mounted on the watched folder; listing it"))
        << log();
    put(dir_.file("in/second.stl"), model_);
    EXPECT_TRUE(wait_for_files({"out/second.bmp"})) << log();
    // Mounted afresh between two looks: another device, the same name.
    ASSERT_EQ(umount(dir_.file("in").c_str()), 0);
    ASSERT_TRUE(mount_tmpfs(dir_.file("in"), "size=4m"));
    EXPECT_TRUE(wait_for_line("in: its file system was mounted again; listing it again")) << log();
    put(dir_.file("in/third.stl"), model_);
    EXPECT_TRUE(wait_for_files({"out/third.bmp"})) << log();
    EXPECT_EQ(stop(), 0) << log();
    umount2(dir_.file("in").c_str(), MNT_DETACH);
}

// The looks at where a folder's name leads hang with a hung share (a
// FIFO no one writes stands in): the watch goes on converting meanwhile.
TEST_F(Batch_Watch_Delivery, AHungLookAtTheFoldersHoldsNothingUp) {
    make_dirs({"in", "out"});
    ASSERT_EQ(mkfifo(dir_.file("hold").c_str(), 0600), 0);
    setenv("VELTRIM_TEST_HOLD_LOOKS", dir_.file("hold").c_str(), 1);
    start({"--watch", "-o", dir_.file("out"), dir_.file("in")});
    unsetenv("VELTRIM_TEST_HOLD_LOOKS");
    put(dir_.file("in/scan.stl"), model_);
    EXPECT_TRUE(wait_for_files({"out/scan.bmp"})) << log();
    EXPECT_EQ(stop(), 0) << log();
}

// Folders named before they exist are awaited, not failed; a missing model
// still fails, and a watch whose folders are all missing starts anyway.
TEST_F(Batch_Watch_Delivery, MissingFoldersAreAwaitedAndWatchedOnceThere) {
    make_dirs({"in1"});
    const std::string report = dir_.file("report.csv");
    start({"--watch", "--report", report, "-o", dir_.file("out"), dir_.file("in1"),
           dir_.file("in2"), dir_.file("gone.stl")});
    EXPECT_EQ(count_lines_with(log(), "in2: not there yet; watched when it appears"), 1) << log();
    EXPECT_EQ(count_lines_with(log(), "gone.stl: cannot open"), 1) << log();
    make_dirs({"in2"});
    EXPECT_TRUE(wait_for_line("in2: the awaited folder is there; listing it")) << log();
    put(dir_.file("in2/late.stl"), model_);
    EXPECT_TRUE(wait_for_files({"out/late.bmp"})) << log();
    EXPECT_EQ(stop(), 1) << "gone.stl failed: " << log();
    const std::string rows = slurp(report);
    EXPECT_EQ(count_lines_with(rows, "in2,"), 0) << "an awaited folder has no row: " << rows;
    EXPECT_EQ(count_lines_with(rows, "late.stl"), 1) << rows;

    start({"--watch", dir_.file("share")});
    EXPECT_EQ(stop(), 0) << log();
}

// Hard-linked in with the staging name gone first, or linked to a scan
// still being written elsewhere: each ends converted whole. A stop while a
// writer still has a scan reports it.
TEST_F(Batch_Watch_Delivery, EveryNewNameIsConvertedOnceFinished) {
    make_dirs({"in", "out", "staging"});
    put(dir_.file("staging/whole.stl"), model_);
    ASSERT_EQ(run_batch({dir_.file("staging/whole.stl")}).status, 0);
    const std::string whole = slurp(dir_.file("staging/whole.bmp"));
    const std::string report = dir_.file("out/report.csv");
    start({"--watch", "--report", report, "-o", dir_.file("out"), dir_.file("in")});

    put(dir_.file("staging/hard.stl"), model_);
    ASSERT_EQ(link(dir_.file("staging/hard.stl").c_str(), dir_.file("in/hard.stl").c_str()), 0);
    ASSERT_EQ(unlink(dir_.file("staging/hard.stl").c_str()), 0);
    const int writer =
        open(dir_.file("staging/linked.stl").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    const std::size_t half = model_.size() / 2;
    ASSERT_EQ(write(writer, model_.data(), half), static_cast<ssize_t>(half));
    ASSERT_EQ(symlink(dir_.file("staging/linked.stl").c_str(), dir_.file("in/linked.stl").c_str()),
              0);
    EXPECT_TRUE(wait_for_files({"out/hard.bmp"})) << log();
    pause_ms(1500);  // a look at the link while its writer has it
    EXPECT_FALSE(exists(dir_.file("out/linked.bmp"))) << "read while its writer had it";
    ASSERT_EQ(write(writer, model_.data() + half, model_.size() - half),
              static_cast<ssize_t>(model_.size() - half));
    close(writer);
    EXPECT_TRUE(wait_for_files({"out/linked.bmp"})) << log();
    for (const char* name : {"hard", "linked"})
        EXPECT_TRUE(slurp(dir_.file(std::string("out/") + name + ".bmp")) == whole) << name;

    const int held = open(dir_.file("in/held.stl").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_EQ(write(held, model_.data(), half), static_cast<ssize_t>(half));
    EXPECT_EQ(stop(), 1) << "a scan in hand was interrupted: " << log();
    close(held);
    EXPECT_EQ(count_lines_with(log(),
                               "held.stl: interrupted (still being written: another "
                               "process has it open for writing)"),
              1)
        << log();
    EXPECT_EQ(count_lines_with(slurp(report), ",converted,"), 2) << slurp(report);
}

// A scan the watch may not read fails; mended by chmod, it is converted.
TEST_F(Batch_Watch_Delivery, AScanMendedByChmodIsConverted) {
    // As root the watch runs as a service user, whom a mode keeps out.
    const uid_t uid = geteuid() == 0 ? 65534 : 0;
    ASSERT_EQ(chmod(dir_.path().c_str(), 0755), 0);
    make_dirs({"in", "out"});
    ASSERT_EQ(chmod(dir_.file("out").c_str(), 0777), 0);
    put(dir_.file("in/locked.stl"), model_);
    ASSERT_EQ(chmod(dir_.file("in/locked.stl").c_str(), 0), 0);
    start({"--watch", "--settle", "0.2", "-o", dir_.file("out"), dir_.file("in")}, "watching ",
          uid);
    EXPECT_EQ(count_lines_with(log(), "locked.stl: cannot open: Permission denied"), 1) << log();
    ASSERT_EQ(chmod(dir_.file("in/locked.stl").c_str(), 0644), 0);
    EXPECT_TRUE(wait_for_files({"out/locked.bmp"})) << log();
    EXPECT_EQ(stop(), 0) << log();
}

// A full output disk fails the image; the watch says once that it tries
// again, and converts the scan once space is back. A stop during the
// back-off reports the scan with the failure it waits out.
TEST_F(Batch_Watch_Delivery, AFullDiskIsTriedAgainUntilThereIsSpace) {
    if (!private_mounts()) GTEST_SKIP() << "needs root to mount a small file system";
    make_dirs({"in", "out"});
    ASSERT_TRUE(mount_tmpfs(dir_.file("out"), "size=64k"));
    put(dir_.file("out/filler"), std::string(60 * 1024, 'x'));
    const std::string report = dir_.file("report.csv");
    start({"--watch", "--report", report, "-o", dir_.file("out"), dir_.file("in")});
    put(dir_.file("in/scan.stl"), model_);
    EXPECT_TRUE(wait_for_line("scan.stl: tried again in 1 s")) << log();
    EXPECT_EQ(count_lines_with(log(), "No space left on device"), 1) << log();
    ASSERT_EQ(unlink(dir_.file("out/filler").c_str()), 0);
    EXPECT_TRUE(wait_for_files({"out/scan.bmp"})) << log();
    EXPECT_EQ(count_lines_with(log(), "No space left on device"), 1) << "said once: " << log();

    put(dir_.file("out/filler"), std::string(60 * 1024, 'x'));
    put(dir_.file("in/later.stl"), model_);
    EXPECT_TRUE(wait_for_line("later.stl: tried again in 1 s")) << log();
    EXPECT_EQ(stop(), 1) << log();
    EXPECT_EQ(
        count_lines_with(slurp(report), "interrupted (waiting to try again after: cannot write"), 1)
        << slurp(report);
    umount2(dir_.file("out").c_str(), MNT_DETACH);
}

// Scans written on a network share by other machines raise no event here:
// a folder counted as remote is listed again every 10 s. A write through a
// hard link in another folder raises no event in this one either, so it
// stands in for them.
TEST_F(Batch_Watch_Delivery, ARemoteFolderIsListedAgainForChangesNoEventTells) {
    make_dirs({"in", "out", "elsewhere"});
    const std::string scan = dir_.file("in/scan.stl"), alias = dir_.file("elsewhere/alias.stl");
    put(scan, model_);
    ASSERT_EQ(link(scan.c_str(), alias.c_str()), 0);
    setenv("VELTRIM_TEST_COUNT_AS_REMOTE", "1", 1);
    start({"--watch", "-o", dir_.file("out"), dir_.file("in")});
    unsetenv("VELTRIM_TEST_COUNT_AS_REMOTE");
    const std::string first = slurp(dir_.file("out/scan.bmp"));
    std::string other = model_;  // the first corner raised 40 units
    const float raised = 40.0f;
    std::memcpy(&other[80 + 4 + 12 + 8], &raised, sizeof raised);
    const int fd = open(alias.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_EQ(pwrite(fd, other.data(), other.size(), 0), static_cast<ssize_t>(other.size()));
    close(fd);
    EXPECT_TRUE(wait_until([&] { return count_lines_with(log(), "scan.stl -> ") == 2; }, 30))
        << log();
    EXPECT_NE(slurp(dir_.file("out/scan.bmp")), first);
    EXPECT_EQ(stop(), 0) << log();
}

}  // namespace
