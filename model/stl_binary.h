#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/stl_report.h"
#include "model/triangle.h"

// The records of a binary STL file after its 84-byte head: 50 bytes each
// (normal, three vertices, attribute), fed in blocks of any size.
class Stl_Binary_Reader {
public:
    Stl_Binary_Reader(std::vector<Triangle>& triangles, Stl_Report& report)
        : triangles_(triangles), report_(report) {}

    // Reads `count` records at most. `size_hint` is the file's length if
    // known (0 if not): the array is sized from what the file can hold,
    // never from the count alone, which a damaged file may put at four
    // billion. Returns false when there is nothing to read.
    bool start(std::uint32_t count, std::size_t size_hint);

    // Returns false once the count is used up.
    bool feed(const unsigned char* data, std::size_t n);

    // Marks the end of the input.
    void finish();

    const Model_Bounds& bounds() const { return bounds_; }

private:
    void add_record(const unsigned char* record);

    std::vector<Triangle>& triangles_;
    Stl_Report& report_;
    Model_Bounds bounds_;
    std::uint32_t count_ = 0;
    std::uint32_t records_read_ = 0;
    unsigned char record_[50];  // a record split across two feeds
    std::size_t record_len_ = 0;
};
