#include "tools/batch/file_state.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

bool later(const timespec& a, const timespec& b) {
    return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}

}  // namespace

Writer open_for_writing(const std::string& path) {
    // A lease broken while it is held raises SIGIO, which ends a process
    // by default; the lease is dropped at once anyway.
    static const bool sigio_ignored = std::signal(SIGIO, SIG_IGN) != SIG_ERR;
    (void)sigio_ignored;
    // O_NONBLOCK: a FIFO must not hold the converter in open.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return Writer::None;  // gone: the conversion reports it
    Writer w = Writer::None;
    if (fcntl(fd, F_SETLEASE, F_RDLCK) == 0)
        fcntl(fd, F_SETLEASE, F_UNLCK);
    else
        w = errno == EAGAIN ? Writer::Busy : Writer::Unknown;
    close(fd);
    return w;
}

bool output_up_to_date(const std::string& input, const std::string& output) {
    struct stat in {
    }, out{};
    if (stat(input.c_str(), &in) != 0 || stat(output.c_str(), &out) != 0) return false;
    const timespec input_time = later(in.st_ctim, in.st_mtim) ? in.st_ctim : in.st_mtim;
    return !later(input_time, out.st_mtim);
}

bool same_content_stamp(const struct stat& a, const struct stat& b) {
    return a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
           a.st_mtim.tv_nsec == b.st_mtim.tv_nsec && a.st_ino == b.st_ino;
}
