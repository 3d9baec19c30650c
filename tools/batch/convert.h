#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <variant>

#include <opencv2/core/mat.hpp>
#include <string>
#include <vector>

#include "heightmap/conversion.h"
#include "heightmap/quality.h"
#include "platform/content_digest.h"
#include "platform/status.h"
#include "tools/batch/jobs.h"
#include "tools/batch/options.h"
#include "tools/batch/record_keeper.h"

struct View_State;
struct Scan_Read;

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
    bool held_back = false;      // strict: not written because of warnings
    bool write_failed = false;   // status says why the image could not be written
    bool being_written = false;  // failed: a writer had the file, or it changed
    Content_Digest digest;       // of the bytes read, once read
};

// The window's Save without the window, for one model after another: read
// the STL file, turn it by the rotations as trackball steps, draw the top
// view with the window's frame code into the calling thread's current GL
// context (an 800 x 560 Offscreen_Context), convert the depth and write
// the BMP file atomically. One converter per context: its view is set up
// by the first model drawn and kept, so later models need no set-up frame.
class Model_Converter {
public:
    Model_Converter();
    ~Model_Converter();
    Model_Converter(const Model_Converter&) = delete;
    Model_Converter& operator=(const Model_Converter&) = delete;

    // With options.strict, a model with any warning (the capture's losses,
    // the reader's damage lines) fails and its image is not written. The
    // image is written with its record, which `records` keeps.
    Conversion convert(const Job& job, const Options& options, Record_Keeper& records);

private:
    using Image_Bytes = std::variant<cv::Mat, std::string>;  // to encode, or encoded
    Conversion convert_precisely(const Job& job, const Options& options, Record_Keeper& records,
                                 Scan_Read& scan, Conversion& result);
    // Writes the image with its record, and says how that went in result.
    void write(const Job& job, const Options& options, Record_Keeper& records,
               const Scan_Read& scan, const Image_Bytes& image, Conversion& result);

    std::unique_ptr<View_State> view_;  // about 1.6 MB: not on a worker's stack
    bool set_up_ = false;               // a frame has run: the view is at the top
    bool turned_ = false;               // turn_ holds the rotations' model_matrix
    double turn_[16] = {};
};
