#pragma once

#include <string>

// What a file manager hands over when files are dropped: a text/uri-list,
// one entry a line (CRLF or LF), "#" starting a comment line.
namespace platform {

// The local file name an entry stands for: a file: URI without a host or
// with "localhost" (percent-encoded bytes decoded), or a plain path taken
// as it is. Empty for anything else (another scheme or host, a decoded NUL).
std::string local_path_from_uri(const std::string& entry);

// The first entry of the list that names a local file ending in ".stl"
// (any case); empty when there is none.
std::string first_stl_in_uri_list(const std::string& list);

}  // namespace platform
