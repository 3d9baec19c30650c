#include "tools/batch/folder_watch.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tools/batch/folder_walk.h"

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

Folder_Watch::Folder_Watch(const Options& options)
    : recursive_(options.recursive), follow_links_(options.follow_links) {
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
    // A link to a folder made later is judged with the folders above it:
    // the folder of the command line that holds it is walked again.
    auto names_dir = [&](const Root& root) { return root.path == dir; };
    auto holds_dir = [&](const Root& root) {
        const fs::path below = fs::path(dir).lexically_relative(root.path);
        return !below.empty() && *below.begin() != "." && *below.begin() != "..";
    };
    const auto holder = std::find_if(roots_.begin(), roots_.end(), holds_dir);
    std::error_code ec;
    if (holder != roots_.end() && fs::is_symlink(dir, ec) &&
        std::none_of(roots_.begin(), roots_.end(), names_dir)) {
        add_tree(holder->path, listing);
        return;
    }
    add_folder(dir);
    std::vector<std::string> notes;
    walk_folder(
        dir, {recursive_, follow_links_},
        [&](const std::string& path, Walk_Find what) {
            if (what == Walk_Find::Folder)
                add_folder(path);
            else if (listing != nullptr)
                listing->push_back({path, false});
        },
        notes);
    // Folders are listed again (an overflow, a folder back): a line once.
    for (std::string& note : notes)
        if (named_.insert(note).second) notes_.push_back(std::move(note));
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
            if ((e->mask & IN_ISDIR) || is_folder(path)) {  // a folder, or a link to one
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
