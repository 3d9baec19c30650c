#pragma once

#include <filesystem>
#include <string>
#include <vector>

// One model to convert and the file it becomes.
struct Job {
    std::string input;
    std::string output;
    // Named outright on the command line: its absence is a failure. A file
    // found in a folder that goes away before it is read is none.
    bool named = false;
};

// An input that gives no model to convert, and why (without its name).
struct Job_Failure {
    std::string input;
    std::string output;  // the output it would have had; empty for a folder
    std::string reason;
};

// What the command line names, resolved to models: a file is taken as it
// is, a folder gives its scans (see is_scan_name; with recursive, those of
// its subfolders too), sorted by path. A model named twice is taken once.
struct Job_List {
    std::vector<Job> jobs;
    // Folders that cannot be read.
    std::vector<Job_Failure> failures;
    // Later models whose output another model already claims.
    std::vector<Job_Failure> collisions;
};

// Whether a file found in a folder is a scan to convert: a name ending in
// ".stl" in any case, with something before it, that does not begin with
// "." (a copy tool's temporary, such as ".tmp-scan.stl", or a hidden file).
bool is_scan_name(const std::string& name);

// Whether the name ends in ".stl", any case.
bool has_stl_extension(const std::filesystem::path& p);

// A name to compare paths by: a model reached twice (through "." or a
// link) is one model, and two outputs that are one file collide.
std::string identity_of(const std::filesystem::path& p);

// NAME.bmp for NAME.stl (any case) or NAME otherwise, in output_dir when it
// is not empty, else beside the input.
std::string output_path_for(const std::string& input, const std::string& output_dir);

// Why a model is refused whose output `owner` already claims.
std::string collision_reason(const std::string& output, const std::string& owner);

Job_List gather_jobs(const std::vector<std::string>& inputs, bool recursive,
                     const std::string& output_dir);
