#include "heightmap/image_writer.h"

#include <string>
#include <string_view>
#include <vector>

#include <opencv2/imgcodecs.hpp>

namespace {

std::string extension_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    return path.substr(dot);
}

Status encode(const std::string& path, const cv::Mat& image, std::vector<uchar>& bytes) {
    const std::string ext = extension_of(path);
    if (ext.empty()) return Status::failed("the name has no extension to choose a format");
    try {
        if (!cv::imencode(ext, image, bytes)) return Status::failed("the image writer failed");
    } catch (const cv::Exception& e) {
        return Status::failed("the image writer failed: " + e.err);
    }
    return Status::ok();
}

}  // namespace

Status write_image_atomically(const char* path, const cv::Mat& image, File_Label* label) {
    // Encoded before any file is touched: an encoder failure changes nothing.
    std::vector<uchar> bytes;
    const Status encoded = encode(path, image, bytes);
    if (!encoded) return encoded;
    return write_file_atomically(
        path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), label);
}
