#include "app/map_file.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

#include <opencv2/imgcodecs.hpp>

#include "heightmap/sizes.h"

namespace map_reading {

Status read_height_map(const std::string& path, std::vector<unsigned char>& pixels) {
    // imread says nothing of why it failed; a missing or unreadable file has a reason.
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return Status::failed(std::strerror(errno), errno);
    cv::Mat image;
    try {
        image = cv::imread(path, cv::IMREAD_UNCHANGED);
    } catch (const cv::Exception& e) {
        return Status::failed("the decoder failed: " + e.msg);
    }
    if (image.empty()) return Status::failed("not an image that can be decoded");
    const auto size = [](int cols, int rows) {
        return std::to_string(cols) + " x " + std::to_string(rows);
    };
    if (image.type() != CV_8UC1 || image.rows != sizes::kImageRows ||
        image.cols != sizes::kImageCols)
        return Status::failed("a " + size(image.cols, image.rows) + " image with " +
                              std::to_string(image.channels()) + " channel(s), not a " +
                              size(sizes::kImageCols, sizes::kImageRows) + " gray height map");
    pixels.assign(image.begin<unsigned char>(), image.end<unsigned char>());
    return Status::ok();
}

}  // namespace map_reading
