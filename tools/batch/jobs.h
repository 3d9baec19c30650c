#pragma once

#include <string>
#include <vector>

// One model to convert and the file it becomes.
struct Job {
    std::string input;
    std::string output;
};

// What the command line names, resolved to models: a file is taken as it
// is, a folder gives its *.stl files (any case of the extension; with
// recursive, those of its subfolders too), sorted by path. A model named
// twice is taken once.
struct Job_List {
    std::vector<Job> jobs;
    // Inputs that give no model, one line each naming the input and why.
    std::vector<std::string> failures;
    // Later models whose output another model already claims.
    std::vector<std::string> collisions;
};

// NAME.bmp for NAME.stl (any case) or NAME otherwise, in output_dir when it
// is not empty, else beside the input.
std::string output_path_for(const std::string& input, const std::string& output_dir);

Job_List gather_jobs(const std::vector<std::string>& inputs, bool recursive,
                     const std::string& output_dir);
