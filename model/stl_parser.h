#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/stl_ascii.h"
#include "model/stl_binary.h"
#include "model/stl_header.h"
#include "model/stl_report.h"
#include "model/triangle.h"

// Reads STL bytes, binary or ASCII, into triangles and bounds. Pure: no I/O,
// no FLTK, no GL, no text. Bytes may be fed in blocks of any size, so a
// file never has to be held whole in memory. The first 84 bytes choose the
// form; the rest go to that form's reader.
class Stl_Parser {
public:
    // Facets are appended to `triangles`. `size_hint` is the input's length
    // if known (0 if not); it only sizes the first allocation, and the
    // facet count in a binary header never does.
    Stl_Parser(std::vector<Triangle>& triangles, std::size_t size_hint)
        : size_hint_(size_hint), binary_(triangles, report_), ascii_(triangles, report_) {}

    // Feeds the next bytes. Returns false once reading has stopped (the
    // binary facet count is used up, or "endsolid" was read): the caller
    // need not feed more.
    bool feed(const unsigned char* data, std::size_t n);

    // Marks the end of the input; completes the report.
    void finish();

    const Model_Bounds& bounds() const {
        return report_.form == Stl_Form::Ascii ? ascii_.bounds() : binary_.bounds();
    }
    Stl_Form form() const { return report_.form; }
    std::uint32_t declared_count() const { return report_.declared_count; }
    const Stl_Report& report() const { return report_; }

private:
    void choose_form();

    std::size_t size_hint_;
    Stl_Report report_;
    Stl_Binary_Reader binary_;
    Stl_Ascii_Reader ascii_;
    bool form_known_ = false;
    bool stopped_ = false;
    unsigned char head_[stl_header::kHeadSize] = {};  // missing bytes stay zero
    std::size_t head_len_ = 0;
};
