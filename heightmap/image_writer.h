#pragma once

#include <opencv2/core/mat.hpp>

#include "platform/atomic_write.h"
#include "platform/status.h"

// A gray 8-bit image written as a BMP file by write_file_atomically; any
// other image is refused before a file is touched.
Status write_bmp_atomically(const char* path, const cv::Mat& image, File_Label* label = nullptr);
