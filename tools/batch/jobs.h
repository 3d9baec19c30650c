#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_activity.h"
#include "tools/batch/options.h"

// One model to convert and the file it becomes.
struct Job {
    std::string input;
    std::string output;
    // Named outright on the command line: its absence is a failure. A file
    // found in a folder that goes away before it is read is none.
    bool named = false;
    // Where no lease can tell a writer (another owner's file): the stamp
    // the settle wait saw twice. The conversion reads only that file.
    std::optional<File_Stamp> settled;
    // Why it is converted, for the report.
    std::string why;
    // Tried before and failed in a way that may pass: the same kind of
    // failure again is not printed again.
    bool retrying = false;
};

// An input that gives no model to convert, and why (without its name).
struct Job_Failure {
    std::string input;
    std::string output;    // the output it would have had; empty for a folder
    std::string reason;    // empty for a collision
    std::string claimant;  // a collision's model that already claims the output
};

// What the command line names, resolved to models: a file is taken as it
// is, a folder gives its scans as walk_folder finds them under the
// options' -r and -L, sorted by path. A model named twice is taken once.
struct Job_List {
    std::vector<Job> jobs;
    // Folders that cannot be read.
    std::vector<Job_Failure> failures;
    // Later models whose output another model already claims.
    std::vector<Job_Failure> collisions;
    // The walks' lines about links that gave nothing: no failures.
    std::vector<std::string> notes;
};

// A name to compare paths by: a model reached twice (through "." or a
// link) is one model, and two outputs that are one file collide.
std::string identity_of(const std::filesystem::path& p);

// NAME.bmp for NAME.stl (any case) or NAME otherwise, in output_dir when it
// is not empty, else beside the input.
std::string output_path_for(const std::string& input, const Options& options);

Job_List gather_jobs(const Options& options);
