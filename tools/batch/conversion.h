#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include <opencv2/core/mat.hpp>

#include "heightmap/conversion.h"
#include "heightmap/quality.h"
#include "platform/content_digest.h"
#include "platform/status.h"
#include "tools/batch/source_record.h"

// An image ready to be written, with its record: the write (its fsync above
// all) is left to the caller, so that it can overlap the next conversion.
struct Pending_Image {
    std::string output;
    std::variant<cv::Mat, std::string> image;  // to encode, or encoded; owned
    Source_Record record;
};

// The outcome of one model's conversion.
struct Conversion {
    Status status;                      // why it failed: one line, without the file name
    std::vector<std::string> console;   // the reader's console lines
    std::vector<std::string> warnings;  // the reader's diagnostics about a damaged file
    std::optional<height_map::Converted_Depth> depth;  // of a drawn capture
    bool read = false;                                 // the facets below were read
    std::size_t facets = 0;
    const char* form = "";     // "binary" or "ascii" once the first bytes are known
    double real_length = 0.0;  // the "real length" line's value
    height_map::Quality quality;
    bool held_back = false;                // strict: not written because of warnings
    bool write_failed = false;             // status says why the image could not be written
    bool being_written = false;            // failed: a writer had the file, or it changed
    Content_Digest digest;                 // of the bytes read, once read
    std::optional<Pending_Image> pending;  // the image to write: see finish_writing
};
