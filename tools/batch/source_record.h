#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/content_digest.h"
#include "platform/file_activity.h"

// What a height map was made from, kept with the image: the scan's content
// digest, where it was and how it stood when it was read, the options that
// change pixels and the conversion that drew it. "Up to date" means that
// this record matches the scan as it is now.

// Changes only when the program's pixels change for the same scan and
// options, not with every release: a new number makes every image the mill
// already has out of date.
constexpr int kConversionVersion = 1;

// The extended attribute that holds the record.
constexpr const char* kRecordLabel = "user.veltrim.source";

struct Source_Record {
    Content_Digest digest;
    std::string path;              // the scan's resolved path
    File_Stamp stamp;              // the scan as it stood once read
    std::int64_t recorded_ns = 0;  // when the record was made, this machine's clock
    std::string options;           // the pixel-changing options, see options_text
    int conversion = kConversionVersion;
    // The image as written: one changed since by other means (rewritten in
    // place, copied) no longer has this record.
    File_Stamp image;
};

// Whether image is still the file its record describes: the same inode,
// size and modification time (a rename and the record itself change only
// its status-change time).
bool describes_image(const Source_Record& record, const File_Stamp& image);

// The record as lines of "key value" text, the form both the attribute and
// the record file hold (see docs/BATCH.md).
std::string record_text(const Source_Record& record);

// Nothing for text that is not a whole record of a known form.
std::optional<Source_Record> parse_record(std::string_view text);

// A path on one line: "%", line feed and carriage return escaped as %25,
// %0A and %0D.
std::string escaped_path(std::string_view path);
std::optional<std::string> unescaped_path(std::string_view text);

// A stamp as "dev=D ino=I size=S mtime=NS ctime=NS".
std::string stamp_text(const File_Stamp& stamp);
std::optional<File_Stamp> parse_stamp(std::string_view text);
