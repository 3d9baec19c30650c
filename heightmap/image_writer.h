#pragma once

#include <string>

#include <opencv2/core/mat.hpp>

// Writes image to path in the format its extension names, replacing any
// earlier file whole or not at all: the image goes to a temporary file in
// the same folder, is flushed to disk, and is renamed into place. On failure
// nothing at path changes and error says why.
bool write_image_atomically(const char* path, const cv::Mat& image, std::string& error);
