#include <gtest/gtest.h>

#include <fstream>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <opencv2/imgcodecs.hpp>

#include "heightmap/image_writer.h"
#include "support/temp_dir.h"

namespace {

cv::Mat pattern(unsigned char base) {
    cv::Mat m(360, 150, CV_8UC1);
    for (int r = 0; r < m.rows; ++r)
        for (int c = 0; c < m.cols; ++c)
            m.at<unsigned char>(r, c) = static_cast<unsigned char>(base + r + c);
    return m;
}

bool equal(const cv::Mat& a, const cv::Mat& b) {
    return a.size() == b.size() && a.type() == b.type() && cv::countNonZero(a != b) == 0;
}

std::string read_all(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(ImageWriter, WritesAnEightBitGrayBmpAndLeavesNoTemporaryFile) {
    Temp_Dir dir;
    std::string error;
    ASSERT_TRUE(write_image_atomically(dir.file("scan.bmp").c_str(), pattern(0), error)) << error;
    const cv::Mat back = cv::imread(dir.file("scan.bmp"), cv::IMREAD_UNCHANGED);
    EXPECT_TRUE(equal(back, pattern(0)));
    EXPECT_EQ(read_all(dir.file("scan.bmp")).substr(0, 2), "BM");
    EXPECT_EQ(dir.count_entries(), 1);
    struct stat st;
    ASSERT_EQ(stat(dir.file("scan.bmp").c_str(), &st), 0);
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask)
        << "a new file's ordinary permissions, not the temporary's";
}

TEST(ImageWriter, ReplacesAnEarlierFileWhole) {
    Temp_Dir dir;
    std::string error;
    ASSERT_TRUE(write_image_atomically(dir.file("a.bmp").c_str(), pattern(0), error));
    ASSERT_TRUE(write_image_atomically(dir.file("a.bmp").c_str(), pattern(7), error));
    EXPECT_TRUE(equal(cv::imread(dir.file("a.bmp"), cv::IMREAD_UNCHANGED), pattern(7)));
    EXPECT_EQ(dir.count_entries(), 1);
}

TEST(ImageWriter, FailuresSayWhyAndKeepTheEarlierFile) {
    Temp_Dir dir;
    std::string error;
    ASSERT_TRUE(write_image_atomically(dir.file("keep.bmp").c_str(), pattern(3), error));
    const std::string before = read_all(dir.file("keep.bmp"));

    // A folder where the file should go.
    ASSERT_EQ(mkdir(dir.file("folder.bmp").c_str(), 0755), 0);
    EXPECT_FALSE(write_image_atomically(dir.file("folder.bmp").c_str(), pattern(0), error));
    EXPECT_FALSE(error.empty());

    // A folder that does not exist.
    error.clear();
    EXPECT_FALSE(write_image_atomically(dir.file("missing/x.bmp").c_str(), pattern(0), error));
    EXPECT_FALSE(error.empty());

    // An extension the writer does not know: nothing written, nothing left.
    error.clear();
    EXPECT_FALSE(write_image_atomically(dir.file("keep.nosuchformat").c_str(), pattern(0), error));
    EXPECT_FALSE(error.empty());

    EXPECT_EQ(read_all(dir.file("keep.bmp")), before);
    EXPECT_EQ(dir.count_entries(), 2);  // keep.bmp and folder.bmp
}

TEST(ImageWriter, WriteFailingMidwayKeepsTheEarlierFileAndLeavesNoTemporary) {
    Temp_Dir dir;
    std::string error;
    ASSERT_TRUE(write_image_atomically(dir.file("scan.bmp").c_str(), pattern(1), error));
    const std::string before = read_all(dir.file("scan.bmp"));
    // In a child whose files may not grow past 20 KB, as on a full disk: the
    // 55 KB image breaks off midway.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{20000, 20000};
        setrlimit(RLIMIT_FSIZE, &limit);
        std::string e;
        const bool ok = write_image_atomically(dir.file("scan.bmp").c_str(), pattern(9), e);
        _exit(!ok && !e.empty() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the failure was reported";
    EXPECT_EQ(read_all(dir.file("scan.bmp")), before);
    EXPECT_EQ(dir.count_entries(), 1);
}

TEST(ImageWriter, FolderNobodyCanWriteIsRefusedWithAReason) {
    std::string error;
    EXPECT_FALSE(write_image_atomically("/proc/veltrim-test.bmp", pattern(0), error));
    EXPECT_FALSE(error.empty());
}

TEST(ImageWriter, ReadOnlyFolderIsRefusedWithAReason) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    Temp_Dir dir;
    chmod(dir.path().c_str(), 0555);
    std::string error;
    EXPECT_FALSE(write_image_atomically(dir.file("x.bmp").c_str(), pattern(0), error));
    EXPECT_NE(error.find("ermission"), std::string::npos) << error;
    chmod(dir.path().c_str(), 0755);
}

}  // namespace
