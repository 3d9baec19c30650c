#include "tools/batch/folder_watch.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tools/batch/folder_walk.h"
#include "tools/batch/jobs.h"

namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kFolderEvents =
    IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF;

bool is_folder(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

bool same_folder(const Root_Look& a, const Root_Look& b) {
    return a.device == b.device && a.inode == b.inode;
}

// What the operator is told when a root's name leads to another folder.
std::string change_note(bool seen, bool present, const Root_Look& was, const Root_Look& now) {
    if (!seen) return "the awaited folder is there; listing it";
    if (!present) return "the watched folder is back; listing it again";
    if (was.mount_point && !now.mount_point)
        return "its file system was unmounted; watching the folder beneath until it is back";
    if (!was.mount_point && now.mount_point)
        return "a file system was mounted on the watched folder; listing it";
    if (was.mount_point) return "its file system was mounted again; listing it again";
    return "the watched folder was replaced; listing it again";
}

}  // namespace

Folder_Watch::Folder_Watch(const Options& options)
    : recursive_(options.recursive), follow_links_(options.follow_links) {
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) {
        status_ = Status::failed(std::strerror(errno));
        return;
    }
    std::vector<std::string> paths;
    for (const std::string& input : options.inputs) {
        Root root;
        root.path = input;
        root.identity = look_at_root(input);
        if (root.identity.exists) {
            root.present = root.seen = root.watched = true;
            add_tree(input, nullptr);
        } else if (is_folder_to_come(input)) {
            notes_.push_back(input + ": not there yet; watched when it appears");
        } else {
            continue;  // a file: the first pass takes it
        }
        paths.push_back(input);
        roots_.push_back(std::move(root));
    }
    if (roots_.empty()) status_ = Status::failed("no folder among the inputs");
    prober_ = std::make_unique<Root_Prober>(paths, options.rescan_seconds,
                                            Walk_Rules{recursive_, follow_links_});
}

Folder_Watch::~Folder_Watch() {
    if (fd_ >= 0) close(fd_);
}

std::vector<std::string> Folder_Watch::awaited() const {
    std::vector<std::string> out;
    for (const Root& root : roots_)
        if (!root.seen) out.push_back(root.path);
    return out;
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

void Folder_Watch::remove_tree(const std::string& dir) {
    const std::string inside = dir + "/";
    for (auto it = folders_.begin(); it != folders_.end();) {
        if (it->second == dir || it->second.compare(0, inside.size(), inside) == 0) {
            inotify_rm_watch(fd_, it->first);
            it = folders_.erase(it);
        } else {
            ++it;
        }
    }
}

std::vector<std::string> Folder_Watch::take_notes() {
    std::vector<std::string> notes;
    notes.swap(notes_);
    return notes;
}

void Folder_Watch::follow_root(Root& root, const Root_Look& look, std::vector<Sighting>& found) {
    // A look begun before the watch was lost may show the folder as it was.
    if (look.taken == std::chrono::steady_clock::time_point{} || look.taken <= root.lost_at) return;
    if (!look.exists) {
        if (root.present)
            notes_.push_back(root.path +
                             ": the watched folder is gone; it is watched again when it reappears");
        if (root.present || root.watched) remove_tree(root.path);
        root.present = root.watched = false;
        return;
    }
    if (root.watched && root.present && same_folder(root.identity, look)) return;
    notes_.push_back(root.path + ": " + change_note(root.seen, root.present, root.identity, look));
    remove_tree(root.path);
    add_tree(root.path, &found);
    root.identity = look;
    root.present = root.seen = root.watched = true;
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
            if (e->mask & (IN_IGNORED | IN_MOVE_SELF)) {
                // Removed, unmounted or moved away: its name no longer leads
                // to it, and the next look says where it leads now.
                for (Root& root : roots_)
                    if (root.path == folder->second) {
                        root.watched = false;
                        root.lost_at = std::chrono::steady_clock::now();
                    }
                if (e->mask & IN_MOVE_SELF) inotify_rm_watch(fd_, e->wd);
                if (e->mask & IN_IGNORED) folders_.erase(folder);
                continue;
            }
            if (e->len == 0) continue;
            const std::string path = (fs::path(folder->second) / e->name).string();
            if ((e->mask & IN_ISDIR) || is_folder(path)) {  // a folder, or a link to one
                if (recursive_ && (e->mask & (IN_CREATE | IN_MOVED_TO))) add_tree(path, &found);
            } else if (is_scan_name(e->name)) {
                found.push_back({path, (e->mask & IN_ATTRIB) == 0});
            }
        }
    }
    if (overflow) {
        notes_.push_back("veltrim-batch: note: too many events at once; listing the folders again");
        for (const Root& root : roots_)
            if (root.watched) add_tree(root.path, &found);
    }
    const std::vector<Root_Look> looks = prober_->looks();
    for (std::size_t k = 0; k < roots_.size(); ++k) follow_root(roots_[k], looks[k], found);
    for (std::string& path : prober_->take_listed()) found.push_back({std::move(path), false});
}
