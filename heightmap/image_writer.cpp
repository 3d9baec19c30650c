#include "heightmap/image_writer.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <opencv2/imgcodecs.hpp>

namespace {

std::string folder_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string extension_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    return path.substr(dot);
}

mode_t new_file_mode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

bool sync_file(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) return false;
    const bool ok = fchmod(fd, new_file_mode()) == 0 && fsync(fd) == 0;
    close(fd);
    return ok;
}

bool same_pixels(const cv::Mat& a, const cv::Mat& b) {
    if (a.empty() || a.size() != b.size() || a.type() != b.type()) return false;
    for (int r = 0; r < a.rows; ++r)
        if (std::memcmp(a.ptr(r), b.ptr(r), a.cols * a.elemSize()) != 0) return false;
    return true;
}

}  // namespace

bool write_image_atomically(const char* path, const cv::Mat& image, std::string& error) {
    const std::string target(path);
    struct stat st;
    if (stat(path, &st) == 0 && S_ISDIR(st.st_mode)) {
        error = "is a folder";
        return false;
    }
    const std::string ext = extension_of(target);
    // A short hidden name in the same folder: the rename stays on one file
    // system, and a long target name cannot push it past NAME_MAX.
    std::string temp = folder_of(target) + "/.veltrim-XXXXXX" + ext;
    const int fd = mkstemps(&temp[0], static_cast<int>(ext.size()));
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    close(fd);

    bool ok = false;
    try {
        ok = cv::imwrite(temp, image);
        if (!ok) error = "the image writer failed";
    } catch (const cv::Exception& e) {
        error = e.what();
    }
    // Read the file back: a writer that hit a full disk or a failing device
    // midway must not pass a truncated picture off as written.
    if (ok && !same_pixels(cv::imread(temp, cv::IMREAD_UNCHANGED), image)) {
        error = "the written file does not read back as the image";
        ok = false;
    }
    if (ok && !sync_file(temp)) {
        error = std::strerror(errno);
        ok = false;
    }
    if (ok && rename(temp.c_str(), path) != 0) {
        error = std::strerror(errno);
        ok = false;
    }
    if (!ok) unlink(temp.c_str());
    return ok;
}
