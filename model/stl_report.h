#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "model/stl_header.h"
#include "platform/content_digest.h"
#include "platform/file_activity.h"

// What a read found besides the facets and the bounds: the form, the
// header's facet count, and the damage the reader worked around. The
// reader keeps no text of its own; the callers word their lines from this.
struct Stl_Report {
    Stl_Form form = Stl_Form::Binary;
    std::uint32_t declared_count = 0;  // bytes 80..83, whatever the form

    // Binary: records read, and whether the file ended before the count
    // was used up (the records read are kept).
    std::uint32_t records_read = 0;
    bool ends_before_count = false;

    // ASCII: the file ends without "endsolid"; it ends inside a facet
    // (left out); facets with a number that cannot be read (left out);
    // words over kMaxWordLength characters (skipped, see
    // model/word_limit.h).
    bool ends_without_endsolid = false;
    bool ends_inside_facet = false;
    std::size_t unreadable_facets = 0;
    std::size_t overlong_words = 0;

    // Facets kept with a coordinate that is infinite or NaN.
    std::size_t non_finite_facets = 0;

    // Why the file could not be read to its end ("" if it could); set by
    // read_stl_file, which keeps what came before.
    std::string read_error;
    int read_errno = 0;  // the errno behind read_error

    // The file as read by read_stl_descriptor: the digest of all its bytes,
    // its stamp once read, whether a writer had it open (Busy) or no lease
    // could tell (Unknown), and whether it changed during the read.
    Content_Digest digest;
    File_Stamp stamp;
    Lease_State writer = Lease_State::Unknown;
    bool changed_while_read = false;

    // Some process was writing the file: what was read may be half of it.
    bool being_written() const { return writer == Lease_State::Busy || changed_while_read; }

    // Nothing was worked around: the file read as it claims to be.
    bool sound() const {
        return !ends_before_count && !ends_without_endsolid && !ends_inside_facet &&
               unreadable_facets == 0 && overlong_words == 0 && non_finite_facets == 0 &&
               read_error.empty();
    }
};
