#include "tools/batch/folder_watch.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tools/batch/jobs.h"

namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kFolderEvents =
    IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_DELETE_SELF | IN_MOVE_SELF;

// A new name that gives a whole file at once: a symbolic link to a regular
// file, or a second hard link. A file created by a writer is taken at its
// close instead, and a FIFO or device is no scan at all.
bool is_new_link(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return false;
    if (S_ISLNK(st.st_mode)) return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    return S_ISREG(st.st_mode) && st.st_nlink > 1;
}

bool is_folder(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

}  // namespace

Folder_Watch::Folder_Watch(const Options& options) : recursive_(options.recursive) {
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) {
        status_ = Status::failed(std::strerror(errno));
        return;
    }
    for (const std::string& input : options.inputs)
        if (is_folder(input)) {
            roots_.push_back({input, true});
            add_tree(input, nullptr);
        }
    if (roots_.empty()) status_ = Status::failed("no folder among the inputs");
}

Folder_Watch::~Folder_Watch() {
    if (fd_ >= 0) close(fd_);
}

void Folder_Watch::add_folder(const std::string& dir) {
    const int wd = inotify_add_watch(fd_, dir.c_str(), kFolderEvents);
    if (wd < 0)
        notes_.push_back(dir + ": cannot watch the folder: " + std::strerror(errno));
    else
        folders_[wd] = dir;
}

void Folder_Watch::add_tree(const std::string& dir, std::vector<Sighting>* listing) {
    add_folder(dir);
    for_each_entry(dir, recursive_, [&](const fs::directory_entry& e) {
        std::error_code type_ec;
        if (recursive_ && e.is_directory(type_ec) && !e.is_symlink(type_ec))
            add_folder(e.path().string());
        else if (listing != nullptr && is_scan_name(e.path().filename().string()) &&
                 e.is_regular_file(type_ec))
            listing->push_back({e.path().string(), false});
    });
}

void Folder_Watch::folder_lost(int wd) {
    const auto folder = folders_.find(wd);
    if (folder == folders_.end()) return;
    for (Root& root : roots_)
        if (root.path == folder->second && root.present) {
            root.present = false;
            notes_.push_back(root.path +
                             ": the watched folder is gone; it is watched again when it reappears");
        }
    folders_.erase(folder);
}

std::vector<std::string> Folder_Watch::take_notes() {
    std::vector<std::string> notes;
    notes.swap(notes_);
    return notes;
}

void Folder_Watch::collect(std::vector<Sighting>& found) {
    alignas(inotify_event) char buffer[16384];
    bool overflow = false;
    for (ssize_t n; (n = read(fd_, buffer, sizeof buffer)) > 0;) {
        for (ssize_t at = 0; at < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            overflow = overflow || (e->mask & IN_Q_OVERFLOW) != 0;
            const auto folder = folders_.find(e->wd);
            if (folder == folders_.end()) continue;
            if (e->mask & IN_IGNORED) {  // removed, or moved away and let go below
                folder_lost(e->wd);
                continue;
            }
            if (e->mask & IN_MOVE_SELF) {
                // Its name no longer leads to it: a folder of the command line
                // moved away is as good as removed.
                for (const Root& root : roots_)
                    if (root.path == folder->second) inotify_rm_watch(fd_, e->wd);
                continue;
            }
            if (e->len == 0) continue;
            const std::string path = (fs::path(folder->second) / e->name).string();
            if (e->mask & IN_ISDIR) {
                if (recursive_ && (e->mask & (IN_CREATE | IN_MOVED_TO))) add_tree(path, &found);
            } else if (is_scan_name(e->name) && (!(e->mask & IN_CREATE) || is_new_link(path))) {
                found.push_back({path, true});
            }
        }
    }
    if (overflow)
        notes_.push_back("veltrim-batch: note: too many events at once; listing the folders again");
    for (Root& root : roots_) {
        if (root.present && !overflow) continue;
        if (!is_folder(root.path)) continue;
        if (!root.present)
            notes_.push_back(root.path + ": the watched folder is back; listing it again");
        root.present = true;
        add_tree(root.path, &found);
    }
}
