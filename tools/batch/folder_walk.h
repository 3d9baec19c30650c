#pragma once

#include <functional>
#include <string>
#include <system_error>
#include <vector>

// Whether a file found in a folder is a scan to convert: a model's name
// (platform::is_stl_name) that does not begin with "." (a copy tool's
// temporary, such as ".tmp-scan.stl", or a hidden file).
bool is_scan_name(const std::string& name);

// The note for an entry with a scan's name that is no regular file.
std::string not_a_file_note(const std::string& path);

enum class Walk_Find { Folder, Scan };

// How a folder is walked: the input folder itself, with recursive its
// subfolders, with follow_links also the folders that links below it lead
// to, after every folder reached without a link (so that a folder reached
// both ways keeps its own path). Each folder is walked once: a link that
// leads back to a folder above it is named and not followed, one to a
// folder walked elsewhere is left quietly. Links to regular files are
// taken in every mode, as a scanner may deliver by link.
struct Walk_Rules {
    bool recursive = false;
    bool follow_links = false;
};

// Calls found for each scan that is a regular file (through a link too) and,
// with recursive, for each subfolder before its entries are read. Adds to
// notes a line for each entry that gives nothing although its name is a
// scan's (a pipe, a device, or a link to one), and for each link that under
// recursive could be a folder's: one to a missing file, a link loop, a link
// to a folder not followed. Returns the first error met
// in reading a folder (a folder that may not be read is passed over).
std::error_code walk_folder(const std::string& dir, Walk_Rules rules,
                            const std::function<void(const std::string&, Walk_Find)>& found,
                            std::vector<std::string>& notes);

// An input that names nothing yet and no model (*.stl): the watch awaits it
// as a folder (a share not mounted yet, say).
bool is_folder_to_come(const std::string& input);
