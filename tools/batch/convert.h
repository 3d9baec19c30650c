#pragma once

#include <cstddef>
#include <memory>
#include <variant>

#include <opencv2/core/mat.hpp>
#include <string>
#include <vector>

#include "platform/status.h"
#include "tools/batch/conversion.h"
#include "tools/batch/jobs.h"
#include "tools/batch/options.h"
#include "tools/batch/record_keeper.h"

struct View_State;
struct Scan_Read;

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
