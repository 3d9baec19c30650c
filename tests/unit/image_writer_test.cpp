#include <gtest/gtest.h>

#include <cctype>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <vector>

#include <opencv2/imgcodecs.hpp>

#include "heightmap/image_writer.h"
#include "platform/atomic_write.h"
#include "platform/temporaries.h"
#include "platform/stop_signals.h"
#include "support/temp_dir.h"

namespace {

cv::Mat pattern(unsigned char base) {
    cv::Mat m(360, 150, CV_8UC1);
    for (int r = 0; r < m.rows; ++r)
        for (int c = 0; c < m.cols; ++c)
            m.at<unsigned char>(r, c) = static_cast<unsigned char>(base + r + c);
    return m;
}

bool holds(const std::string& path, unsigned char base) {
    const cv::Mat back = cv::imread(path, cv::IMREAD_UNCHANGED);
    return back.size() == pattern(base).size() && back.type() == CV_8UC1 &&
           cv::countNonZero(back != pattern(base)) == 0;
}

std::string read_all(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct stat lstat_of(const std::string& path) {
    struct stat st {};
    lstat(path.c_str(), &st);
    return st;
}

Status write(const std::string& path, unsigned char base) {
    return write_bmp_atomically(path.c_str(), pattern(base));
}

// The bytes a fresh write of pattern base gives.
std::string fresh_bytes(unsigned char base) {
    Temp_Dir dir;
    write(dir.file("fresh.bmp"), base);
    return read_all(dir.file("fresh.bmp"));
}

// An earlier output longer than any new one, so a rewrite must also cut it.
void longer_earlier_file(const std::string& path) {
    ASSERT_TRUE(write(path, 1));
    std::ofstream(path, std::ios::app) << std::string(1000, 'x');
}

// No temporary file anywhere under the folder.
int temporaries_in(const Temp_Dir& dir) {
    int n = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir.path()))
        if (e.path().filename().string().rfind(".veltrim-", 0) == 0) ++n;
    return n;
}

// OpenCV's BMP to the byte, whatever the row padding; other images refused.
TEST(ImageWriter, WritesTheBytesOpenCvWritesAndOnlyGrayImages) {
    Temp_Dir dir;
    const cv::Mat wide = pattern(7)(cv::Rect(0, 0, 40, 9));
    for (const cv::Mat& image :
         {pattern(5), wide, wide(cv::Rect(3, 1, 1, 8)), wide(cv::Rect(7, 2, 7, 5))}) {
        std::vector<uchar> expected;
        ASSERT_TRUE(cv::imencode(".bmp", image, expected));
        ASSERT_TRUE(write_bmp_atomically(dir.file("x.bmp").c_str(), image));
        EXPECT_EQ(read_all(dir.file("x.bmp")), std::string(expected.begin(), expected.end()))
            << image.cols << " x " << image.rows;
    }
    for (const cv::Mat& other : {cv::Mat(4, 4, CV_8UC3), cv::Mat(4, 4, CV_16UC1), cv::Mat()})
        EXPECT_FALSE(write_bmp_atomically(dir.file("other.bmp").c_str(), other));
    EXPECT_EQ(dir.count_entries(), 1);
}

// Each case prepares an earlier output, writes pattern 9 over "out.bmp"
// and checks what became of the files; in_place is the inode "out.bmp"
// led to before, for the cases that must keep it.
struct Replacement {
    const char* what;
    std::function<void(const Temp_Dir&)> prepare;
    std::function<void(const Temp_Dir&, ino_t in_place)> check;
};

TEST(ImageWriter, ReplacingKeepsLinksModesAndNames) {
    const auto real_create = atomic_write_testing::create_temporary;
    const std::vector<Replacement> cases = {
        {"a plain file gets the 8-bit gray BMP and keeps its mode 0600",
         [](const Temp_Dir& d) {
             ASSERT_TRUE(write(d.file("out.bmp"), 1));
             ASSERT_EQ(chmod(d.file("out.bmp").c_str(), 0600), 0);
         },
         [](const Temp_Dir& d, ino_t) {
             EXPECT_TRUE(holds(d.file("out.bmp"), 9));
             EXPECT_EQ(lstat_of(d.file("out.bmp")).st_mode & 07777, 0600u);
         }},
        {"a chain of symbolic links stays, its target gets the image",
         [](const Temp_Dir& d) {
             ASSERT_EQ(mkdir(d.file("data").c_str(), 0755), 0);
             ASSERT_TRUE(write(d.file("data/t.bmp"), 1));
             ASSERT_EQ(symlink("t.bmp", d.file("data/mid").c_str()), 0);
             ASSERT_EQ(symlink("data/mid", d.file("out.bmp").c_str()), 0);
         },
         [](const Temp_Dir& d, ino_t) {
             EXPECT_TRUE(S_ISLNK(lstat_of(d.file("out.bmp")).st_mode));
             EXPECT_TRUE(S_ISLNK(lstat_of(d.file("data/mid")).st_mode));
             EXPECT_TRUE(holds(d.file("data/t.bmp"), 9));
         }},
        {"a second hard link sees the image",
         [](const Temp_Dir& d) {
             longer_earlier_file(d.file("out.bmp"));
             ASSERT_EQ(link(d.file("out.bmp").c_str(), d.file("other.bmp").c_str()), 0);
         },
         [](const Temp_Dir& d, ino_t in_place) {
             EXPECT_EQ(read_all(d.file("other.bmp")), fresh_bytes(9));
             EXPECT_EQ(lstat_of(d.file("other.bmp")).st_ino, in_place);
         }},
        {"a folder that takes no new name: the file is rewritten in place",
         [](const Temp_Dir& d) {
             longer_earlier_file(d.file("out.bmp"));
             atomic_write_testing::create_temporary = [](const char*) {
                 errno = EACCES;
                 return -1;
             };
         },
         [](const Temp_Dir& d, ino_t in_place) {
             EXPECT_EQ(read_all(d.file("out.bmp")), fresh_bytes(9));
             EXPECT_EQ(lstat_of(d.file("out.bmp")).st_ino, in_place);
         }},
    };
    for (const Replacement& c : cases) {
        SCOPED_TRACE(c.what);
        Temp_Dir dir;
        c.prepare(dir);
        struct stat before {};
        stat(dir.file("out.bmp").c_str(), &before);
        const Status s = write(dir.file("out.bmp"), 9);
        atomic_write_testing::create_temporary = real_create;
        EXPECT_TRUE(s) << s.reason();
        c.check(dir, before.st_ino);
        EXPECT_EQ(temporaries_in(dir), 0);
    }
}

// Each case puts something at "out.bmp" (or names another place) that
// must be refused with a reason, leaving every file as it was.
struct Refusal {
    const char* what;
    std::function<bool(const Temp_Dir&)> prepare;  // false: cannot be set up here
    std::string name;                              // under the folder, or absolute
    std::string reason;                            // part of the reason
};

TEST(ImageWriter, RefusalsSayWhyAndChangeNothing) {
    const std::vector<Refusal> cases = {
        {"a folder", [](const Temp_Dir& d) { return mkdir(d.file("out.bmp").c_str(), 0755) == 0; },
         "out.bmp", "is a folder"},
        {"a pipe", [](const Temp_Dir& d) { return mkfifo(d.file("out.bmp").c_str(), 0644) == 0; },
         "out.bmp", "is not a regular file"},
        {"another user's link in a shared sticky folder",
         [](const Temp_Dir& d) {
             return mkdir(d.file("shared").c_str(), 0755) == 0 &&
                    chmod(d.file("shared").c_str(), 01777) == 0 &&
                    symlink("../keep.bmp", d.file("shared/out.bmp").c_str()) == 0 &&
                    lchown(d.file("shared/out.bmp").c_str(), geteuid() + 4242, -1) == 0;
         },
         "shared/out.bmp", "Permission denied"},
        {"a folder that does not exist", [](const Temp_Dir&) { return true; }, "missing/x.bmp",
         "No such file or directory"},
    };
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.what);
        Temp_Dir dir;
        ASSERT_TRUE(write(dir.file("keep.bmp"), 3));
        if (!c.prepare(dir)) {
            std::printf("cannot be set up here (root or not): %s\n", c.what);
            continue;
        }
        const int entries = dir.count_entries();
        const struct stat out = lstat_of(dir.file("out.bmp"));
        const std::string name = c.name[0] == '/' ? c.name : dir.file(c.name);
        const Status s = write(name, 0);
        EXPECT_FALSE(s);
        EXPECT_NE(s.reason().find(c.reason), std::string::npos) << s.reason();
        EXPECT_EQ(s.reason().find('\n'), std::string::npos) << "one line";
        EXPECT_EQ(s.reason().find(name), std::string::npos) << "without the name";
        EXPECT_TRUE(holds(dir.file("keep.bmp"), 3));
        EXPECT_EQ(dir.count_entries(), entries);
        EXPECT_EQ(lstat_of(dir.file("out.bmp")).st_mode, out.st_mode);
        EXPECT_EQ(temporaries_in(dir), 0);
    }
}

// As veltrim-batch does, the first stop signal only asks to stop; hook sends them.
void stop_gently(void (*hook)()) {
    finish_work_on_stop();
    atomic_write_testing::on_temporary_written = hook;
}

TEST(ImageWriter, InterruptedWritesLeaveNoTemporary) {
    const struct {
        const char* what;
        void (*in_child)();
        int signal;  // that ends the child; 0: it exits 0 if the write's outcome was right
        int caught;  // the stop signal the child saw and went on from
    } cases[] = {
        {"a write that breaks off midway, as on a full disk",
         [] {
             // No SIGXFSZ handling here: the writer must survive the limit itself.
             rlimit limit{20000, 20000};  // the 55 KB image breaks off
             setrlimit(RLIMIT_FSIZE, &limit);
         },
         0, 0},
        {"Ctrl+C once the temporary is written",
         [] { atomic_write_testing::on_temporary_written = [] { raise(SIGINT); }; }, SIGINT, 0},
        {"SIGTERM, gone on from", [] { stop_gently([] { raise(SIGTERM); }); }, 0, SIGTERM},
        {"SIGTERM twice", [] { stop_gently([] { raise(SIGTERM), raise(SIGTERM); }); }, SIGTERM, 0},
        {"SIGHUP, then SIGINT", [] { stop_gently([] { raise(SIGHUP), raise(SIGINT); }); }, SIGINT,
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Temp_Dir dir;
        ASSERT_TRUE(write(dir.file("scan.bmp"), 1));
        const std::string before = read_all(dir.file("scan.bmp"));
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            c.in_child();
            const Status s = write(dir.file("scan.bmp"), 9);
            _exit((c.caught ? s.is_ok() : !s.reason().empty()) && stop_signal() == c.caught ? 0
                                                                                            : 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(c.signal ? WIFSIGNALED(status) && WTERMSIG(status) == c.signal
                             : WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << status;
        EXPECT_EQ(read_all(dir.file("scan.bmp")), c.caught ? fresh_bytes(9) : before);
        EXPECT_EQ(dir.count_entries(), 1);
    }
}

// The names the writer gives its temporaries, and which of them a later
// run may clear: only this host's, only once their process has ended.
TEST(Temporaries, OnlyThoseOfEndedProcessesOfThisHostAreRemoved) {
    Temp_Dir dir;
    static std::string created;
    static int (*const real_create)(const char*) = atomic_write_testing::create_temporary;
    atomic_write_testing::create_temporary = [](const char* name) {
        created = name;
        return real_create(name);
    };
    ASSERT_TRUE(write(dir.file("scan.bmp"), 1));
    atomic_write_testing::create_temporary = real_create;
    const std::string own_prefix =
        dir.file(".veltrim-" + host_name_for_files() + "-" + std::to_string(getpid()) + "-");
    EXPECT_EQ(created.rfind(own_prefix, 0), 0u) << created;
    EXPECT_EQ(created.substr(created.size() - 4), ".tmp") << created;

    const pid_t ended = fork();
    ASSERT_GE(ended, 0);
    if (ended == 0) _exit(0);
    ASSERT_EQ(waitpid(ended, nullptr, 0), ended);  // reaped: no process has its id now
    const std::string id = std::to_string(ended);
    const std::vector<std::string> gone = {temporary_name(dir.path(), ended, 0),
                                           temporary_name(dir.path(), ended, 17)};
    const std::vector<std::string> kept = {
        temporary_name(dir.path(), getpid(), 0),
        dir.file(".veltrim-" + host_name_for_files() + "x-" + id + "-0.tmp"),  // another host
        dir.file(".veltrim-" + id + "-0.tmp"),  // the older name tells no host
        dir.file(".veltrim-" + host_name_for_files() + "-" + id + "-0.bmp"), dir.file("scan.bmp")};
    for (const std::string& name : gone) std::ofstream(name) << "half an image";
    for (const std::string& name : kept) std::ofstream(name, std::ios::app) << "x";
    const std::string folder = temporary_name(dir.path(), ended, 1);
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);  // not the writer's: it makes only files

    EXPECT_EQ(remove_stale_temporaries(dir.path()), gone.size());
    for (const std::string& name : gone) EXPECT_FALSE(std::filesystem::exists(name)) << name;
    for (const std::string& name : kept) EXPECT_TRUE(std::filesystem::exists(name)) << name;
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_EQ(remove_stale_temporaries(dir.file("missing")), 0u);
    for (char c : host_name_for_files())
        EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-') << c;
}

// nohup's SIGHUP stays ignored, and the watch's line does not offer it.
TEST(StopSignals, ASignalIgnoredAtTheStartStaysIgnored) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGHUP, SIG_IGN);
        finish_work_on_stop();
        const bool named = stopping_signals() == "SIGINT or SIGTERM";
        raise(SIGHUP);
        _exit(named && stop_signal() == 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace
