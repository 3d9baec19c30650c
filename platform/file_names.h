#pragma once

#include <string>

// How the programs read file names. Names are UTF-8 bytes and '/' parts
// folders, as Linux file functions take them.
namespace platform {

// The last part of a path: what follows its last '/'.
std::string file_name_of(const std::string& path);

// The one rule for a model's name: the file name ends in ".stl" in any
// case, with something before it. A file named just ".stl" is a hidden
// file with no name, not a model. Folder listings also skip names that
// begin with "." (tools/batch/jobs.h).
bool is_stl_name(const std::string& path);

}  // namespace platform
