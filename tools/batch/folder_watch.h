#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/status.h"
#include "tools/batch/options.h"
#include "tools/batch/root_prober.h"

// A file the watch is to look at, and why.
struct Sighting {
    std::string path;
    // Made, closed after writing, moved or linked in: converted whatever its
    // output. Otherwise found by listing a folder again or by a change of
    // its attributes, where an output that is up to date is skipped.
    bool event = false;
};

// The kernel side of --watch: inotify on the folders of the command line
// (with -r, on their subfolders too, also those made or moved in later).
// Set up before the first pass, so nothing that arrives during it is
// missed. A folder of the command line that is not there yet is awaited;
// one that is removed, unmounted, mounted over or replaced is watched
// again, and listed, as its name leads to another folder (a Root_Prober
// looks, off the loop). When the kernel's event queue overflows, every
// folder is listed again.
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
    // Inputs taken as folders that are not there yet: no first pass for them.
    std::vector<std::string> awaited() const;

    // Reads the waiting events and the latest looks at the folders.
    void collect(std::vector<Sighting>& found);

    // Lines for the operator about the folders themselves (one that cannot
    // be watched, is gone or is back), oldest first; taking them empties
    // the list.
    std::vector<std::string> take_notes();

private:
    struct Root {
        std::string path;
        bool present = false;  // was there at the last look
        bool seen = false;     // has been there at all
        bool watched = false;  // its inotify watch stands
        Root_Look identity;    // the folder watched
        std::chrono::steady_clock::time_point lost_at{};
    };

    // Watches dir (and with -r its subfolders) and, with listing, adds the
    // scans it holds: the watch comes first, so none falls in between.
    void add_tree(const std::string& dir, std::vector<Sighting>* listing);
    void add_folder(const std::string& dir);
    void remove_tree(const std::string& dir);
    void follow_root(Root& root, const Root_Look& look, std::vector<Sighting>& found);

    int fd_ = -1;
    bool recursive_ = false;
    bool follow_links_ = false;
    Status status_;
    std::vector<Root> roots_;
    std::vector<std::string> notes_;
    std::set<std::string> named_;         // the folder walks' notes given so far
    std::map<int, std::string> folders_;  // watch descriptor -> folder
    std::unique_ptr<Root_Prober> prober_;
};
