#pragma once

#include <opencv2/core/mat.hpp>

#include "platform/status.h"

// Writes image to path in the format its extension names, replacing any
// earlier file whole or not at all: the encoded image goes to a temporary
// file in the same folder, is flushed to disk and is renamed into place.
// A symbolic link at path stays a link and its target gets the image; a
// replaced file keeps its permission bits and, where the process may, its
// owner. A file with more than one name, or one in a folder the process
// may not write to, is rewritten in place instead. On failure the reason
// says why, and no temporary file is left behind, not even by a signal.
Status write_image_atomically(const char* path, const cv::Mat& image);

namespace image_writer_testing {
// Called once the temporary file holds the image, before it is renamed.
extern void (*on_temporary_written)();
// Creates the temporary file (the real one: open with O_EXCL, mode 0666).
extern int (*create_temporary)(const char* name);
// Whether files are flushed to disk before they count as written.
extern bool sync_to_disk;
}  // namespace image_writer_testing
