#pragma once

#include <optional>
#include <string>

// What a file manager hands over when files are dropped: a text/uri-list,
// one entry a line (CRLF or LF), "#" starting a comment line.
namespace platform {

// The local file name an entry stands for: a file: URI without a host or
// with "localhost" (percent-encoded bytes decoded), or a plain path taken
// as it is. Nothing for anything else (another scheme or host, a decoded
// NUL, an empty entry).
std::optional<std::string> local_path_from_uri(const std::string& entry);

// The first entry of the list that names a local model file (is_stl_name);
// nothing when there is none.
std::optional<std::string> first_stl_in_uri_list(const std::string& list);

}  // namespace platform
