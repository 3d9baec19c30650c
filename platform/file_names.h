#pragma once

#include <string>

// How the programs read file names. Names are UTF-8 bytes and '/' parts
// folders, as Linux file functions take them.
namespace platform {

// The last part of a path: what follows its last '/'.
std::string file_name_of(const std::string& path);

// What precedes the last '/': "." for a bare name, "/" for the root.
std::string folder_of(const std::string& path);

// The path with its links and "." and ".." resolved; the path as given
// when that cannot be done (it is gone, say).
std::string resolved_path(const std::string& path);

// The one rule for a model's name: the file name ends in ".stl" in any
// case, with something before it. A file named just ".stl" is a hidden
// file with no name, not a model. Folder listings also skip names that
// begin with "." (tools/batch/jobs.h).
bool is_stl_name(const std::string& path);

}  // namespace platform
