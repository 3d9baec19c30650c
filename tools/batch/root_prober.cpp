#include "tools/batch/root_prober.h"

#include <condition_variable>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <thread>
#include <unistd.h>

using Clock = std::chrono::steady_clock;

namespace {

constexpr auto kLookEvery = std::chrono::milliseconds(500);

// The file systems on which other machines write without an inotify event
// here (statfs's f_type).
bool is_remote_type(long type) {
    switch (static_cast<unsigned long>(type)) {
    case 0x6969UL:      // NFS
    case 0x517BUL:      // SMB
    case 0xFE534D42UL:  // SMB2
    case 0xFF534D42UL:  // CIFS
    case 0x65735546UL:  // FUSE
        return true;
    default: return false;
    }
}

// Tests make a local folder count as remote, to run the listing's interval.
bool counted_as_remote() {
    const char* forced = std::getenv("VELTRIM_TEST_COUNT_AS_REMOTE");
    return forced != nullptr && forced[0] == '1';
}

// Tests stand in for a hung share: a round of looks first opens this FIFO,
// which blocks until some writer opens it.
void held_by_tests() {
    const char* fifo = std::getenv("VELTRIM_TEST_HOLD_LOOKS");
    if (fifo == nullptr) return;
    const int fd = open(fifo, O_RDONLY | O_CLOEXEC);
    if (fd >= 0) close(fd);
}

}  // namespace

Root_Look look_at_root(const std::string& path) {
    Root_Look look;
    look.taken = Clock::now();
    struct stat st, parent;
    if (stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return look;
    look.exists = true;
    look.device = st.st_dev;
    look.inode = st.st_ino;
    look.mount_point = stat((path + "/..").c_str(), &parent) == 0 &&
                       (parent.st_dev != st.st_dev || parent.st_ino == st.st_ino);
    struct statfs fs;
    look.remote =
        counted_as_remote() || (statfs(path.c_str(), &fs) == 0 && is_remote_type(fs.f_type));
    return look;
}

struct Root_Prober::Shared {
    std::vector<std::string> roots;
    double rescan_seconds;
    Walk_Rules walk;
    std::mutex mutex;
    std::condition_variable stop_wait;
    bool stopping = false;
    std::vector<Root_Look> looks;
    std::vector<std::string> listed;
};

namespace {

void probe(const std::shared_ptr<Root_Prober::Shared>& s) {
    std::vector<Clock::time_point> next_listing(s->roots.size(), Clock::time_point{});
    for (;;) {
        held_by_tests();
        for (std::size_t k = 0; k < s->roots.size(); ++k) {
            const Root_Look look = look_at_root(s->roots[k]);
            const double every = s->rescan_seconds < 0 ? (look.remote ? kRemoteRescanSeconds : 0)
                                                       : s->rescan_seconds;
            std::vector<std::string> found;
            if (look.exists && every > 0 && Clock::now() >= next_listing[k]) {
                // The first pass and the watch's own listings cover the start.
                const bool first = next_listing[k] == Clock::time_point{};
                next_listing[k] = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                     std::chrono::duration<double>(every));
                std::vector<std::string> notes;  // the watch's own walks say them
                if (!first)
                    walk_folder(
                        s->roots[k], s->walk,
                        [&](const std::string& path, Walk_Find what) {
                            if (what == Walk_Find::Scan) found.push_back(path);
                        },
                        notes);
            }
            std::lock_guard<std::mutex> lock(s->mutex);
            s->looks[k] = look;
            s->listed.insert(s->listed.end(), found.begin(), found.end());
        }
        std::unique_lock<std::mutex> lock(s->mutex);
        if (s->stop_wait.wait_for(lock, kLookEvery, [&] { return s->stopping; })) return;
    }
}

}  // namespace

Root_Prober::Root_Prober(std::vector<std::string> roots, double rescan_seconds, Walk_Rules walk)
    : shared_(std::make_shared<Shared>()) {
    shared_->looks.resize(roots.size());
    shared_->roots = std::move(roots);
    shared_->rescan_seconds = rescan_seconds;
    shared_->walk = walk;
    std::thread(probe, shared_).detach();
}

Root_Prober::~Root_Prober() {
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->stopping = true;
    }
    shared_->stop_wait.notify_all();
}

std::vector<Root_Look> Root_Prober::looks() const {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    return shared_->looks;
}

std::vector<std::string> Root_Prober::take_listed() {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    std::vector<std::string> out;
    out.swap(shared_->listed);
    return out;
}
