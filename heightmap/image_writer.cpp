#include "heightmap/image_writer.h"

#include <cstdint>
#include <string>

namespace {

void put16(std::string& out, std::uint16_t v) {
    out += static_cast<char>(v & 0xff);
    out += static_cast<char>(v >> 8);
}

void put32(std::string& out, std::uint32_t v) {
    put16(out, static_cast<std::uint16_t>(v & 0xffff));
    put16(out, static_cast<std::uint16_t>(v >> 16));
}

constexpr std::uint32_t kInfoSize = 40;
constexpr std::uint32_t kHeaderSize = 14 + kInfoSize + 256 * 4;

// Rows are padded with zeros to four bytes.
std::size_t row_bytes_of(const cv::Mat& image) {
    return (static_cast<std::size_t>(image.cols) + 3) & ~std::size_t{3};
}

std::size_t file_size_of(const cv::Mat& image) {
    return kHeaderSize + row_bytes_of(image) * static_cast<std::size_t>(image.rows);
}

// The 8-bit gray BMP, laid out as OpenCV's encoder lays it out, so that the
// files stay the same to the byte: a 14-byte file header, a 40-byte
// BITMAPINFOHEADER, a 256-entry gray palette, then the rows bottom-up.
std::string gray_bmp(const cv::Mat& image) {
    const std::size_t width = static_cast<std::size_t>(image.cols);
    const std::size_t row_bytes = row_bytes_of(image);
    const std::size_t file_size = file_size_of(image);
    std::string out;
    out.reserve(file_size);
    out += "BM";
    put32(out, static_cast<std::uint32_t>(file_size));
    put32(out, 0);  // reserved
    put32(out, kHeaderSize);
    put32(out, kInfoSize);
    put32(out, static_cast<std::uint32_t>(image.cols));
    put32(out, static_cast<std::uint32_t>(image.rows));  // positive: bottom-up
    put16(out, 1);                                       // planes
    put16(out, 8);                                       // bits a pixel
    for (int k = 0; k < 6; ++k) put32(out, 0);  // uncompressed; sizes and colours left to readers
    for (int g = 0; g < 256; ++g) {
        out.append(3, static_cast<char>(g));  // blue, green, red
        out += '\0';
    }
    for (int r = image.rows - 1; r >= 0; --r) {
        out.append(image.ptr<char>(r), width);
        out.append(row_bytes - width, '\0');
    }
    return out;
}

}  // namespace

Status write_bmp_atomically(const char* path, const cv::Mat& image, File_Label* label) {
    // Our own few lines rather than OpenCV's codecs: those bring some 140
    // libraries into the process, a tenth of a second at every start.
    if (image.type() != CV_8UC1 || image.empty())
        return Status::failed("the image writer takes a gray 8-bit image");
    if (file_size_of(image) > UINT32_MAX)  // the header holds the size in 32 bits
        return Status::failed("the image is too large for a BMP file");
    return write_file_atomically(path, gray_bmp(image), label);
}
