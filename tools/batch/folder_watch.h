#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/status.h"
#include "tools/batch/options.h"

// A file the watch is to look at, and why.
struct Sighting {
    std::string path;
    // Closed after writing, moved or linked in: converted whatever its
    // output. Otherwise found by listing a folder again, where an output
    // that is up to date is skipped.
    bool event = false;
};

// The kernel side of --watch: inotify on the folders of the command line
// (with -r, on their subfolders too, also those made or moved in later).
// Set up before the first pass, so nothing that arrives during it is
// missed. A watched folder that is removed is announced once and watched
// again, and listed, when it reappears; when the kernel's event queue
// overflows, every folder is listed again.
class Folder_Watch {
public:
    explicit Folder_Watch(const Options& options);
    ~Folder_Watch();
    Folder_Watch(const Folder_Watch&) = delete;
    Folder_Watch& operator=(const Folder_Watch&) = delete;

    // Whether the watch is set up, else why not.
    const Status& status() const { return status_; }
    int fd() const { return fd_; }
    std::size_t folder_count() const { return roots_.size(); }

    // Reads the waiting events and looks for removed folders that came back.
    void collect(std::vector<Sighting>& found);

    // Lines for the operator about the folders themselves (one that cannot
    // be watched, is gone or is back), oldest first; taking them empties
    // the list.
    std::vector<std::string> take_notes();

private:
    struct Root {
        std::string path;
        bool present = true;
    };

    // Watches dir (and with -r its subfolders) and, with listing, adds the
    // scans it holds: the watch comes first, so none falls in between.
    void add_tree(const std::string& dir, std::vector<Sighting>* listing);
    void add_folder(const std::string& dir);
    void folder_lost(int wd);

    int fd_ = -1;
    bool recursive_ = false;
    bool follow_links_ = false;
    Status status_;
    std::vector<Root> roots_;
    std::vector<std::string> notes_;
    std::set<std::string> named_;         // the folder walks' notes given so far
    std::map<int, std::string> folders_;  // watch descriptor -> folder
};
