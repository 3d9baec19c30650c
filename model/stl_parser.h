#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "model/triangle.h"

enum class Stl_Form { Binary, Ascii };

// Reads STL bytes, binary or ASCII, into triangles and bounds. Pure: no I/O,
// no FLTK, no GL. Bytes may be fed in blocks of any size, so a file never
// has to be held whole in memory. The console lines that the Load command
// prints go to `out` (standard output); the reader's own diagnostics about
// damaged files go to `err` (standard error).
class Stl_Parser {
public:
    // Facets are appended to `triangles`. `size_hint` is the input's length
    // if known (0 if not); it only sizes the first allocation, and the
    // facet count in a binary header never does.
    Stl_Parser(std::vector<Triangle>& triangles, std::size_t size_hint);

    // Feeds the next bytes. Returns false once reading has stopped (the
    // binary facet count is used up, or "endsolid" was read): the caller
    // need not feed more.
    bool feed(const unsigned char* data, std::size_t n);

    // Marks the end of the input; completes the lines.
    void finish();

    const Model_Bounds& bounds() const { return bounds_; }
    Stl_Form form() const { return form_; }
    std::uint32_t declared_count() const { return declared_count_; }
    std::size_t dropped_facets() const { return dropped_; }

    std::string out;
    std::string err;

private:
    void choose_form();
    void feed_binary(const unsigned char* data, std::size_t n);
    void feed_ascii(const unsigned char* data, std::size_t n);
    void on_token(const char* text, std::size_t len);
    void add_facet(const float* v);     // leaves out non-finite facets
    void append_facet(const float* v);  // bounds and array, no checks
    void report_non_finite();

    std::vector<Triangle>& triangles_;
    std::size_t size_hint_;
    Model_Bounds bounds_;
    Stl_Form form_ = Stl_Form::Binary;
    bool form_known_ = false;
    bool stopped_ = false;

    unsigned char head_[84] = {};  // header and facet count; missing bytes stay zero
    std::size_t head_len_ = 0;
    std::uint32_t declared_count_ = 0;

    // Binary: records read so far and a record split across two feeds.
    std::uint32_t records_read_ = 0;
    unsigned char record_[50];
    std::size_t record_len_ = 0;

    // ASCII: a token split across two feeds (at most 499 characters are
    // kept; longer ones are only counted), and the place within a facet.
    char token_[500];
    std::size_t token_len_ = 0;
    bool token_overlong_ = false;
    int facet_field_ = -1;  // -1: between facets; 0..10: token after "vertex"
    bool facet_readable_ = true;
    float facet_[9];
    std::size_t overlong_tokens_ = 0;
    std::size_t dropped_ = 0;
    std::size_t non_finite_ = 0;
};

// Exactly what strtof gives for a whole token in the C locale; false if the
// token is not entirely a number.
bool parse_stl_float(const char* text, std::size_t len, float& value);
