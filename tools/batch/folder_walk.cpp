#include "tools/batch/folder_walk.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <utility>

#include "platform/file_names.h"

namespace fs = std::filesystem;

namespace {

// A folder as the file system knows it, whatever path reached it.
using Folder_Id = std::pair<dev_t, ino_t>;

// The folders from the walk's input down to one folder, by id and path.
using Folders_Above = std::vector<std::pair<Folder_Id, std::string>>;

class Walker {
public:
    Walker(Walk_Rules rules, const std::function<void(const std::string&, Walk_Find)>& found,
           std::vector<std::string>& notes)
        : rules_(rules), found_(found), notes_(notes) {}

    std::error_code walk_input(const std::string& dir) {
        struct stat st;
        Folders_Above above;
        if (stat(dir.c_str(), &st) == 0) {
            walked_.insert({st.st_dev, st.st_ino});
            above.push_back({{st.st_dev, st.st_ino}, dir});
        }
        walk(dir, above);
        // By index: following a link may find more.
        for (std::size_t k = 0; k < links_.size(); ++k) {
            const auto link = links_[k];
            enter(link.first, link.second);
        }
        return error_;
    }

private:
    void walk(const std::string& dir, const Folders_Above& above) {
        std::error_code ec;
        std::vector<fs::directory_entry> entries;
        fs::directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec), end;
        for (; !ec && it != end; it.increment(ec)) entries.push_back(*it);
        if (ec && !error_) error_ = ec;
        // Sorted, so that notes come in order and a folder that two links
        // lead to is always walked through the same one.
        std::sort(entries.begin(), entries.end());
        for (const fs::directory_entry& e : entries) look_at(e, above);
    }

    void look_at(const fs::directory_entry& e, const Folders_Above& above) {
        const std::string path = e.path().string(), name = e.path().filename().string();
        std::error_code ec;
        if (!e.is_symlink(ec)) {
            if (rules_.recursive && e.is_directory(ec))
                enter(path, above);
            else if (is_scan_name(name))
                scan_or_note(path, e.is_regular_file(ec));
            return;
        }
        struct stat target;
        if (stat(path.c_str(), &target) != 0) {
            // A name beginning with "." is a lock or a temporary (Emacs
            // locks are such links), never a scan.
            const bool matters = is_scan_name(name) || (rules_.recursive && name[0] != '.');
            if (matters && (errno == ENOENT || errno == ENOTDIR))
                notes_.push_back(path + " is a link to a missing file; skipped");
            else if (matters && errno == ELOOP)
                notes_.push_back(path + " is a link loop; skipped");
            return;
        }
        if (!S_ISDIR(target.st_mode) || !rules_.recursive) {
            if (is_scan_name(name)) scan_or_note(path, S_ISREG(target.st_mode));
            return;
        }
        if (rules_.follow_links)
            links_.push_back({path, above});
        else
            notes_.push_back(path + " is a link; -L follows links");
    }

    // A pipe or a device named like a scan would block or never end.
    void scan_or_note(const std::string& path, bool regular) {
        if (regular)
            found_(path, Walk_Find::Scan);
        else
            notes_.push_back(not_a_file_note(path));
    }

    // A folder reached without a link leads back up only by a bind mount.
    void enter(const std::string& path, Folders_Above above) {
        struct stat st;
        if (stat(path.c_str(), &st) != 0) return;  // gone meanwhile
        const Folder_Id id{st.st_dev, st.st_ino};
        for (const auto& [up_id, up_path] : above)
            if (up_id == id) {
                notes_.push_back(path + " leads back to " + up_path + "; not followed");
                return;
            }
        if (!walked_.insert(id).second) return;  // its scans are found by its other path
        found_(path, Walk_Find::Folder);
        above.push_back({id, path});
        walk(path, above);
    }

    const Walk_Rules rules_;
    const std::function<void(const std::string&, Walk_Find)>& found_;
    std::vector<std::string>& notes_;
    std::set<Folder_Id> walked_;
    std::vector<std::pair<std::string, Folders_Above>> links_;  // to follow, in the order found
    std::error_code error_;
};

}  // namespace

std::string not_a_file_note(const std::string& path) {
    return path + " is not a regular file; skipped";
}

bool is_scan_name(const std::string& name) { return name[0] != '.' && platform::is_stl_name(name); }

std::error_code walk_folder(const std::string& dir, Walk_Rules rules,
                            const std::function<void(const std::string&, Walk_Find)>& found,
                            std::vector<std::string>& notes) {
    return Walker(rules, found, notes).walk_input(dir);
}

bool is_folder_to_come(const std::string& input) {
    struct stat st;
    return lstat(input.c_str(), &st) != 0 && errno == ENOENT && !platform::is_stl_name(input);
}
