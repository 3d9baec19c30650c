#pragma once

#include <cstddef>
#include <memory>
#include <optional>
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

// Writes a conversion's pending image with its record, which `records`
// keeps, and says how that went in c. Nothing to do without one.
void finish_writing(Conversion& c, Record_Keeper& records);

// The window's Save without the window, for one model after another: read
// the STL file, turn it by the rotations as trackball steps, draw the top
// view with the window's frame code into the calling thread's current GL
// context (an 800 x 560 Offscreen_Context), convert the depth and make
// the BMP file's image, for finish_writing to write. One converter per context: its view is set up
// by the first model drawn and kept, so later models need no set-up frame.
class Model_Converter {
public:
    Model_Converter();
    ~Model_Converter();
    Model_Converter(const Model_Converter&) = delete;
    Model_Converter& operator=(const Model_Converter&) = delete;

    // With options.strict, a model with any warning (the capture's losses,
    // the reader's damage lines) fails and no image is made for it.
    Conversion convert(const Job& job, const Options& options);

private:
    using Image_Bytes = std::variant<cv::Mat, std::string>;  // to encode, or encoded
    Conversion convert_precisely(const Job& job, const Options& options, Scan_Read& scan,
                                 Conversion& result);
    // The image with its record, left in result for finish_writing.
    void to_write(const Job& job, const Options& options, const Scan_Read& scan, Image_Bytes image,
                  Conversion& result);

    std::unique_ptr<View_State> view_;  // about 1.6 MB: not on a worker's stack
    bool set_up_ = false;               // a frame has run: the view is at the top
    bool turned_ = false;               // turn_ holds the rotations' model_matrix
    double turn_[16] = {};
};
