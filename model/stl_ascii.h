#pragma once

#include <cstddef>
#include <vector>

#include "model/stl_report.h"
#include "model/triangle.h"
#include "model/word_limit.h"

// The words of an ASCII STL file, fed in blocks of any size. Only "vertex"
// and "endsolid" mean anything: after the first "vertex" of a facet come
// nine numbers in three groups, the word between two groups (the next
// "vertex" in a well-formed file) consumed unread; "endsolid" ends the
// reading. Every other word is skipped.
class Stl_Ascii_Reader {
public:
    Stl_Ascii_Reader(std::vector<Triangle>& triangles, Stl_Report& report)
        : triangles_(triangles), report_(report) {}

    // Sizes the array from the input's length, if known (0 if not).
    void start(std::size_t size_hint);

    // Returns false once "endsolid" has been read.
    bool feed(const unsigned char* data, std::size_t n);

    // Marks the end of the input: the last word may end there.
    void finish();

    const Model_Bounds& bounds() const { return bounds_; }

private:
    void on_word(const char* text, std::size_t len);
    void begin_facet();
    void end_facet();

    std::vector<Triangle>& triangles_;
    Stl_Report& report_;
    Model_Bounds bounds_;
    bool stopped_ = false;

    // A word split across two feeds: at most kMaxWordLength characters are
    // kept, longer ones are only marked.
    char word_[kMaxWordLength + 1];
    std::size_t word_len_ = 0;
    bool word_overlong_ = false;

    // The place within a facet: -1 between facets, else the next of its
    // eleven words after "vertex" (0..10); 11 ends it.
    int field_ = -1;
    bool readable_ = true;  // every number so far could be read
    float facet_[9];
};
