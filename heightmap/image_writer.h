#pragma once

#include <opencv2/core/mat.hpp>

#include "platform/atomic_write.h"
#include "platform/status.h"

// image encoded in the format the extension of path names, then written
// by write_file_atomically; an encoder failure touches no file.
Status write_image_atomically(const char* path, const cv::Mat& image, File_Label* label = nullptr);
