#include "platform/atomic_write.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_label.h"
#include "platform/file_names.h"
#include "platform/stop_signals.h"
#include "platform/temporaries.h"

namespace {

// As many links as the kernel itself follows in one name.
constexpr int kMaxLinks = 40;

int open_temporary(const char* name) {
    // The kernel applies the umask itself: nothing here reads or sets it.
    return open(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}

Status errno_status(int error) { return Status::failed(std::strerror(error), error); }

// The file a name leads to once its links are followed.
struct Target {
    std::string name;
    bool exists = false;
    struct stat st {};
};

// The rule the kernel applies with fs.protected_symlinks, applied whatever
// that setting: in a sticky folder that anyone may write to, a link is
// followed only if its owner is the process or the folder's owner.
bool may_follow(const std::string& link, const struct stat& link_st) {
    struct stat folder;
    if (stat(platform::folder_of(link).c_str(), &folder) != 0) return false;
    const bool shared = (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
    return !shared || link_st.st_uid == geteuid() || link_st.st_uid == folder.st_uid;
}

Status resolve(const std::string& path, Target& target) {
    std::string name = path;
    for (int hops = 0;; ++hops) {
        struct stat st;
        if (lstat(name.c_str(), &st) != 0) {
            // A missing name, or a dangling link's target: a new file.
            if (errno != ENOENT) return errno_status(errno);
            target.name = name;
            return Status::ok();
        }
        if (!S_ISLNK(st.st_mode)) {
            if (S_ISDIR(st.st_mode)) return Status::failed("is a folder");
            if (!S_ISREG(st.st_mode)) return Status::failed("is not a regular file");
            target.name = name;
            target.exists = true;
            target.st = st;
            return Status::ok();
        }
        if (hops == kMaxLinks) return errno_status(ELOOP);
        if (!may_follow(name, st)) return errno_status(EACCES);
        char link[PATH_MAX];
        const ssize_t n = readlink(name.c_str(), link, sizeof link);
        if (n < 0) return errno_status(errno);
        if (n == static_cast<ssize_t>(sizeof link)) return errno_status(ENAMETOOLONG);
        const std::string to(link, static_cast<std::size_t>(n));
        name = to[0] == '/' ? to : platform::folder_of(name) + "/" + to;
    }
}

Status write_all(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno_status(errno);
        if (n == 0) return errno_status(ENOSPC);
        done += static_cast<std::size_t>(n);
    }
    return Status::ok();
}

Status flush(int fd) {
    if (atomic_write_testing::sync_to_disk && fsync(fd) != 0) return errno_status(errno);
    return Status::ok();
}

// The replacement takes over the earlier file's owner where the process
// may give it, and its permission bits; group bits are kept only with the
// group, so that a group of the process's own gains no access.
Status take_over_owner_and_mode(int fd, const struct stat& old) {
    struct stat made;
    if (fstat(fd, &made) != 0) return errno_status(errno);
    bool group_kept = made.st_gid == old.st_gid;
    if (made.st_uid != old.st_uid || !group_kept) {
        if (fchown(fd, old.st_uid, old.st_gid) == 0) {
            group_kept = true;
        } else if (errno != EPERM) {
            return errno_status(errno);
        } else if (!group_kept) {
            if (fchown(fd, static_cast<uid_t>(-1), old.st_gid) == 0)
                group_kept = true;
            else if (errno != EPERM)
                return errno_status(errno);
        }
    }
    mode_t mode = old.st_mode & 0777;  // set-id and sticky bits are no data file's
    if (!group_kept) mode = (mode & ~070) | (mode & made.st_mode & 070);
    if (fchmod(fd, mode) != 0) return errno_status(errno);
    return Status::ok();
}

bool set_label(int fd, const File_Label& label) {
    struct stat st;
    return fstat(fd, &st) == 0 && set_file_label(fd, label.name, label.value(File_Stamp::of(st)));
}

Status fill_temporary(int fd, const Target& target, std::string_view bytes, File_Label* label) {
    if (target.exists) {
        const Status kept = take_over_owner_and_mode(fd, target.st);
        if (!kept) return kept;
    }
    const Status written = write_all(fd, bytes);
    if (!written) return written;
    if (label) label->stored = set_label(fd, *label);
    if (atomic_write_testing::on_temporary_written) atomic_write_testing::on_temporary_written();
    return flush(fd);
}

bool refused_by_folder(int error) { return error == EACCES || error == EPERM; }

// Whole or not at all. folder_refused tells that the folder would not take
// a new name, or would not let the earlier file be replaced.
Status replace_by_rename(const Target& target, std::string_view bytes, File_Label* label,
                         bool& folder_refused) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string temp =
            temporary_name(platform::folder_of(target.name), getpid(), counter++);
        const Pending_Temporary pending(temp);
        if (!pending.registered()) return errno_status(ENAMETOOLONG);
        const int fd = atomic_write_testing::create_temporary(temp.c_str());
        if (fd < 0 && errno == EEXIST) continue;  // left by an earlier process of this id
        if (fd < 0) {
            folder_refused = refused_by_folder(errno);
            return errno_status(errno);
        }
        Status result = fill_temporary(fd, target, bytes, label);
        if (close(fd) != 0 && result) result = errno_status(errno);
        if (result && rename(temp.c_str(), target.name.c_str()) != 0) {
            folder_refused = refused_by_folder(errno);
            result = errno_status(errno);
        }
        if (!result) unlink(temp.c_str());
        return result;
    }
    return errno_status(EEXIST);
}

// Every name of the file sees the new bytes, at the price of wholeness: the
// bytes are all in hand, so the file is partial only while one write runs,
// and a failure midway leaves it partial. Its label goes first and comes
// back last, so a partial file never carries one.
Status rewrite_in_place(const Target& target, std::string_view bytes, File_Label* label) {
    const int fd = open(target.name.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno_status(errno);
    struct stat st;
    Status result = fstat(fd, &st) != 0    ? errno_status(errno)
                    : !S_ISREG(st.st_mode) ? Status::failed("is not a regular file")
                                           : Status::ok();
    if (result && label) remove_file_label(fd, label->name);
    if (result) result = write_all(fd, bytes);
    if (result && ftruncate(fd, static_cast<off_t>(bytes.size())) != 0)
        result = errno_status(errno);
    if (result && label) label->stored = set_label(fd, *label);
    if (result) result = flush(fd);
    if (close(fd) != 0 && result) result = errno_status(errno);
    return result;
}

}  // namespace

namespace atomic_write_testing {
void (*on_temporary_written)() = nullptr;
int (*create_temporary)(const char* name) = open_temporary;
bool sync_to_disk = true;
}  // namespace atomic_write_testing

Status write_file_atomically(const char* path, std::string_view bytes, File_Label* label) {
    Target target;
    Status result = resolve(path, target);
    if (!result) return result;
    if (target.exists && target.st.st_nlink > 1) return rewrite_in_place(target, bytes, label);
    bool folder_refused = false;
    result = replace_by_rename(target, bytes, label, folder_refused);
    if (!result && folder_refused && target.exists) return rewrite_in_place(target, bytes, label);
    return result;
}

Status resolve_written_file(const char* path, std::string& file) {
    Target target;
    const Status result = resolve(path, target);
    if (result) file = target.name;
    return result;
}
