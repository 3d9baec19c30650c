#include "platform/file_activity.h"

#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>

std::int64_t nanoseconds(const timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

std::int64_t now_ns() {
    timespec t{};
    clock_gettime(CLOCK_REALTIME, &t);
    return nanoseconds(t);
}

File_Stamp File_Stamp::of(const struct stat& st) {
    File_Stamp s;
    s.device = st.st_dev;
    s.inode = st.st_ino;
    s.size = static_cast<std::uint64_t>(st.st_size);
    s.mtime_ns = nanoseconds(st.st_mtim);
    s.ctime_ns = nanoseconds(st.st_ctim);
    return s;
}

bool File_Stamp::operator==(const File_Stamp& o) const {
    return device == o.device && inode == o.inode && size == o.size && mtime_ns == o.mtime_ns &&
           ctime_ns == o.ctime_ns;
}

Read_Lease::Read_Lease(int fd) : fd_(fd), state_(Lease_State::Unknown) {
    // A lease broken while it is held raises SIGIO, which ends a process by
    // default; the break is read back with F_GETLEASE instead.
    static const bool sigio_ignored = std::signal(SIGIO, SIG_IGN) != SIG_ERR;
    (void)sigio_ignored;
    if (fcntl(fd, F_SETLEASE, F_RDLCK) == 0)
        state_ = Lease_State::Held;
    else if (errno == EAGAIN)
        state_ = Lease_State::Busy;
}

Read_Lease::~Read_Lease() {
    if (state_ == Lease_State::Held) fcntl(fd_, F_SETLEASE, F_UNLCK);
}

bool Read_Lease::broken() const {
    // While a break is pending the lease reads as what it is being broken to.
    return state_ == Lease_State::Held && fcntl(fd_, F_GETLEASE) != F_RDLCK;
}

std::optional<File_Stamp> stamp_of(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return std::nullopt;
    return File_Stamp::of(st);
}
