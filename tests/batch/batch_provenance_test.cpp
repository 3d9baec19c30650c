// Every image from the scan it names: reruns, scans replaced or still being
// written, another station's scan of the same name, clocks that disagree,
// changed options.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sstream>

#include "batch/batch_run.h"

namespace {

using Names = std::vector<std::string>;

class Batch_Provenance : public Batch_Test {
protected:
    std::string log() const { return slurp(dir_.file("err")); }
    bool wait_for_line(const std::string& text) const {
        return wait_until([&] { return count_lines_with(log(), text) > 0; }, 60);
    }
    void date(const std::string& name, time_t seconds) {
        const timespec t[2] = {{seconds, 0}, {seconds, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, dir_.file(name).c_str(), t, 0), 0);
    }
};

// Whether some process holds a lease on the file with this inode.
bool leased(ino_t inode) {
    std::istringstream locks(slurp("/proc/locks"));
    for (std::string line; std::getline(locks, line);)
        if (line.find("LEASE") != std::string::npos &&
            line.find(":" + std::to_string(inode) + " ") != std::string::npos)
            return true;
    return false;
}

// The scan is replaced after it was read, while its image is being drawn:
// the image is newer than the new scan but holds the old one, and a rerun
// must make it again. The conversion's lease marks the read.
TEST_F(Batch_Provenance, AScanReplacedWhileItsImageIsDrawnIsConvertedAgain) {
    const std::string old_scan = insole_bytes(1000000, 1), new_scan = insole_bytes(20000, 2);
    put(dir_.file("ref.stl"), new_scan);
    ASSERT_EQ(run_batch({dir_.file("ref.stl")}).status, 0);
    put(dir_.file("m.stl"), old_scan);
    struct stat st;
    ASSERT_EQ(stat(dir_.file("m.stl").c_str(), &st), 0);
    const pid_t pid =
        start_batch({dir_.file("m.stl")}, dir_.file("out.txt"), dir_.file("err"), nullptr, 120);
    ASSERT_TRUE(wait_until([&] { return leased(st.st_ino); }, 60)) << log();
    ASSERT_TRUE(wait_until([&] { return !leased(st.st_ino); }, 60)) << log();
    kill(pid, SIGSTOP);
    const bool drawing = !exists(dir_.file("m.bmp"));
    put(dir_.file("m.stl"), new_scan);
    kill(pid, SIGCONT);
    ASSERT_EQ(wait_for(pid), 0) << log();
    ASSERT_TRUE(drawing) << "the image was written before the scan was replaced";
    const Batch_Run again = run_batch({dir_.file("m.stl")});
    EXPECT_EQ(again.lines_with("converted 1, skipped 0"), 1) << again.err;
    EXPECT_TRUE(slurp(dir_.file("m.bmp")) == slurp(dir_.file("ref.bmp")));
}

// Two stations, one output folder, two runs: the second station's scan of
// the same name is not taken for the first's, nor silently put in its place.
TEST_F(Batch_Provenance, AnotherScansImageIsNeitherSkippedNorReplaced) {
    make_dirs({"in1", "in2", "out"});
    put(dir_.file("in1/left.stl"), insole_bytes(2000, 1));
    put(dir_.file("in2/left.stl"), insole_bytes(2000, 2));
    ASSERT_EQ(run_batch({"-o", dir_.file("out"), dir_.file("in1")}).status, 0);
    const std::string first = slurp(dir_.file("out/left.bmp"));
    const Batch_Run clash = run_batch({"-o", dir_.file("out"), dir_.file("in2")});
    EXPECT_EQ(clash.status, 1) << clash.err;
    EXPECT_EQ(clash.lines_with("in2/left.stl: its image was made from another scan, \"" +
                               dir_.file("in1/left.stl") + "\", with other content"),
              1)
        << clash.err;
    EXPECT_TRUE(slurp(dir_.file("out/left.bmp")) == first);
    const Batch_Run forced = run_batch({"--overwrite", "-o", dir_.file("out"), dir_.file("in2")});
    EXPECT_EQ(forced.lines_with("converted 1, skipped 0, failed 0"), 1) << forced.err;
    EXPECT_FALSE(slurp(dir_.file("out/left.bmp")) == first);
    // The same scan under another path (a renamed folder) is up to date.
    ASSERT_EQ(rename(dir_.file("in2").c_str(), dir_.file("moved").c_str()), 0);
    const Batch_Run moved = run_batch({"-o", dir_.file("out"), dir_.file("moved")});
    EXPECT_EQ(moved.lines_with("converted 0, skipped 1, failed 0"), 1) << moved.err;
}

// Times decide nothing alone: a corrected scan behind an image dated ahead
// is converted, a scan dated ahead is converted once, a changed --rotate
// redoes the image, and a touched scan is not converted again.
TEST_F(Batch_Provenance, ContentAndOptionsDecideNotClocks) {
    make_dirs({"out"});
    put(dir_.file("m.stl"), insole_bytes(2000, 3));
    const Names args = {"--report", dir_.file("r.csv"), "-o", dir_.file("out"), dir_.file("m.stl")};
    ASSERT_EQ(run_batch(args).status, 0);
    const time_t now = time(nullptr);
    date("m.stl", now + 600);  // a file server's clock ahead
    Batch_Run r = run_batch(args);
    EXPECT_EQ(r.lines_with("converted 0, skipped 1"), 1) << "touched, not changed: " << r.err;
    EXPECT_EQ(r.lines_with(": clock skew detected: 1 file dated up to "), 1) << r.err;
    EXPECT_EQ(run_batch(args).lines_with("converted 0, skipped 1"), 1) << "and not every run";

    put(dir_.file("m.stl"), insole_bytes(2000, 4));  // corrected, dated back
    date("m.stl", now - 600);
    r = run_batch(args);
    EXPECT_EQ(r.lines_with("converted 1, skipped 0"), 1) << r.err;
    const std::string corrected = slurp(dir_.file("out/m.bmp"));
    // An image with no record, dated ahead by another clock, proves nothing.
    put(dir_.file("n.stl"), insole_bytes(2000, 5));
    put(dir_.file("out/n.bmp"), "an image from elsewhere");
    date("out/n.bmp", now + 600);
    r = run_batch({"-o", dir_.file("out"), dir_.file("n.stl")});
    EXPECT_EQ(r.lines_with("converted 1, skipped 0"), 1) << r.err;
    EXPECT_EQ(r.lines_with("out: clock skew detected: 1 file"), 1) << r.err;

    r = run_batch({"--rotate", "x:-90", "-o", dir_.file("out"), dir_.file("m.stl")});
    EXPECT_EQ(r.lines_with("converted 1 (1 with warnings), skipped 0"), 1)
        << "another --rotate: " << r.err;
    EXPECT_FALSE(slurp(dir_.file("out/m.bmp")) == corrected);
    r = run_batch(args);
    EXPECT_EQ(r.lines_with("converted 1, skipped 0"), 1) << "and back: " << r.err;
    EXPECT_TRUE(slurp(dir_.file("out/m.bmp")) == corrected);
    EXPECT_NE(
        slurp(dir_.file("r.csv")).find(",the image was made with other options: rotate=x:-90"),
        std::string::npos)
        << slurp(dir_.file("r.csv"));
}

// The listing saw finished files; by the time their turn came a writer had
// them open again, one half written, one not yet past its header. Both
// fail as still being written, with no image: not as damaged files.
TEST_F(Batch_Provenance, AScanRewrittenAfterTheListingIsNotReadHalfWritten) {
    make_dirs({"in", "out"});
    const std::string big = insole_bytes(200000, 1), late = insole_bytes(20000, 2);
    for (int k = 0; k < 4; ++k) put(dir_.file("in/a" + std::to_string(k) + ".stl"), big);
    put(dir_.file("in/y.stl"), late);
    put(dir_.file("in/z.stl"), late);
    const pid_t pid = start_batch({"-j", "1", "-o", dir_.file("out"), dir_.file("in")},
                                  dir_.file("out.txt"), dir_.file("err"), nullptr, 120);
    ASSERT_TRUE(wait_for_line("[1/6]")) << log();
    kill(pid, SIGSTOP);
    const bool early = count_lines_with(log(), "z.stl") + count_lines_with(log(), "y.stl") == 0;
    int writers[2];
    for (int k = 0; k < 2; ++k) {
        const std::size_t part = k == 0 ? 40 : late.size() / 2;
        writers[k] = open(dir_.file(k == 0 ? "in/y.stl" : "in/z.stl").c_str(), O_WRONLY | O_TRUNC);
        ASSERT_EQ(write(writers[k], late.data(), part), static_cast<ssize_t>(part));
    }
    kill(pid, SIGCONT);
    const int status = wait_for(pid);
    for (const int w : writers) close(w);
    ASSERT_TRUE(early) << "the scans were reached before they were rewritten: " << log();
    EXPECT_EQ(status, 1) << log();
    EXPECT_EQ(count_lines_with(log(), ".stl: still being written: another process has it open"), 2)
        << log();
    EXPECT_EQ(count_lines_with(log(), "not an STL model"), 0) << log();
    EXPECT_EQ(files_in(dir_.file("out")).size(), 4u) << log();
}

// A scanner or file-share user writes, a service user converts: no lease
// can be had on another user's file, so it must hold still for the settle
// period. The writer goes on during it.
TEST_F(Batch_Provenance, AnotherUsersScanStillBeingWrittenWaitsOutTheSettlePeriod) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to convert as another user";
    constexpr uid_t kNobody = 65534;
    ASSERT_EQ(chmod(dir_.path().c_str(), 0755), 0);
    make_dirs({"in", "out"});
    ASSERT_EQ(chmod(dir_.file("out").c_str(), 0777), 0);
    const std::string ascii = stl_bytes::ascii(insole_model(3000, 1));
    put(dir_.file("in/whole.stl"), ascii);
    const int writer = open(dir_.file("in/growing.stl").c_str(), O_WRONLY | O_CREAT, 0644);
    const std::size_t third = ascii.size() / 3;
    ASSERT_EQ(write(writer, ascii.data(), third), static_cast<ssize_t>(third));
    const pid_t pid =
        start_batch({"--settle", "2", "-o", dir_.file("out"), dir_.file("in")},
                    dir_.file("out.txt"), dir_.file("err"), nullptr, 120, RLIM_INFINITY, kNobody);
    ASSERT_TRUE(wait_for_line("waiting 2 s for 2 files that no lease can watch to settle"))
        << log();
    ASSERT_EQ(write(writer, ascii.data() + third, ascii.size() - third),
              static_cast<ssize_t>(ascii.size() - third));
    close(writer);
    EXPECT_EQ(wait_for(pid), 1) << log();
    EXPECT_EQ(count_lines_with(log(),
                               "growing.stl: still being written: its size or times "
                               "changed during the settle wait"),
              1)
        << log();
    EXPECT_EQ(files_in(dir_.file("out")), (Names{"whole.bmp"})) << log();
    // A stop during a long settle wait ends the run then, each scan reported.
    const std::string csv = dir_.file("out/r.csv");
    const pid_t stopped =
        start_batch({"--settle", "3600", "--overwrite", "--report", csv, "-o", dir_.file("out"),
                     dir_.file("in")},
                    dir_.file("out.txt"), dir_.file("err"), nullptr, 20, RLIM_INFINITY, kNobody);
    ASSERT_TRUE(wait_for_line("waiting 3600 s for 2 files")) << log();
    kill(stopped, SIGTERM);
    wait_for(stopped);
    EXPECT_EQ(count_lines_with(slurp(csv), ",failed,,,,,,,interrupted,"), 2) << log();
}

// A file system without user attributes (ramfs stands in for a share or a
// vfat stick): the records go to the output folder's record file, and work
// there as they do in the images' attributes.
TEST_F(Batch_Provenance, WithoutFileAttributesRecordsLiveInTheFoldersRecordFile) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to mount a file system without attributes";
    make_dirs({"in", "out"});
    const std::string out = dir_.file("out");
    if (mount("ramfs", out.c_str(), "ramfs", 0, nullptr) != 0)
        GTEST_SKIP() << "cannot mount ramfs here: " << std::strerror(errno);
    struct Unmount {
        std::string path;
        ~Unmount() { umount2(path.c_str(), MNT_DETACH); }
    } unmount{out};
    put(dir_.file("in/a.stl"), insole_bytes(2000, 1));
    put(dir_.file("in/b.stl"), insole_bytes(2000, 2));
    const Names args = {"-o", out, dir_.file("in")};
    Batch_Run r = run_batch(args);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.lines_with("an output folder keeps no file attributes"), 1) << r.err;
    EXPECT_LT(getxattr((out + "/a.bmp").c_str(), "user.veltrim.source", nullptr, 0), 0);
    const std::string records = slurp(out + "/.veltrim-records");
    for (const std::string& entry :
         Names{"file a.bmp\nveltrim source record 1\n", "file b.bmp\nveltrim source record 1\n",
               "\npath " + dir_.file("in/a.stl") + "\n"})
        EXPECT_NE(records.find(entry), std::string::npos) << entry << "\n" << records;
    r = run_batch(args);
    EXPECT_EQ(r.lines_with("converted 0, skipped 2, failed 0"), 1) << r.err;
    put(dir_.file("in/a.stl"), insole_bytes(2000, 3));
    put(out + "/b.bmp", "replaced by hand");  // no longer the image its record names
    r = run_batch(args);
    EXPECT_EQ(r.lines_with("converted 1, skipped 1, failed 0"), 1) << r.err;
    EXPECT_EQ(r.lines_with("note: 1 image has no record of the scan it was made from"), 1) << r.err;
    EXPECT_EQ(files_in(out), (Names{".veltrim-records", "a.bmp", "b.bmp"})) << "no temporary";
}

}  // namespace
