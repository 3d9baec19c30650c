#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/batch/folder_walk.h"

// What a watched folder's name leads to, as last looked at.
struct Root_Look {
    std::chrono::steady_clock::time_point taken{};  // when the look began
    bool exists = false;                            // a folder is there
    std::uint64_t device = 0, inode = 0;
    bool mount_point = false;  // on another device than its parent folder
    bool remote = false;       // NFS, SMB/CIFS or FUSE: other machines write unseen
};

// Looks at the watched folders from a thread of its own, twice a second,
// so that a hung network share blocks that thread and never the watch: the
// watch reads the latest looks. Where a folder is remote (or with
// --rescan on every folder), it also lists it every `rescan_seconds`, since
// inotify sees only what this machine writes there.
class Root_Prober {
public:
    // rescan_seconds: < 0 for the remote default, 0 for never.
    Root_Prober(std::vector<std::string> roots, double rescan_seconds, Walk_Rules walk);
    ~Root_Prober();  // leaves a thread stuck on a hung share to the process's end
    Root_Prober(const Root_Prober&) = delete;
    Root_Prober& operator=(const Root_Prober&) = delete;

    // The latest look at each root, in the order given; a root not looked
    // at yet has taken == {} and exists == false.
    std::vector<Root_Look> looks() const;
    // The scans found by the listings since the last call.
    std::vector<std::string> take_listed();

    struct Shared;  // with the thread, which may outlive this object

private:
    std::shared_ptr<Shared> shared_;
};

// Seconds between listings of a remote folder when --rescan is not given.
constexpr double kRemoteRescanSeconds = 10.0;

// The look at one folder now (blocking: call it off the watch's loop).
Root_Look look_at_root(const std::string& path);
