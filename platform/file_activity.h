#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <sys/stat.h>

// Whether a file is still being written, judged the one way both programs
// use: by a read lease on the descriptor that reads it where one can be had,
// and otherwise by what changes: its identity, size and times, looked at
// twice a settle period apart. Never by comparing a file's time with this
// machine's clock.

// Which file, and its content as far as the inode tells: a file replaced by
// rename, truncated, appended to or touched gets another stamp.
struct File_Stamp {
    std::uint64_t device = 0, inode = 0, size = 0;
    std::int64_t mtime_ns = 0, ctime_ns = 0;

    static File_Stamp of(const struct stat& st);
    bool operator==(const File_Stamp& o) const;
    bool operator!=(const File_Stamp& o) const { return !(*this == o); }
};

// The stamp of the file path leads to now; nothing when it cannot be stat'ed.
std::optional<File_Stamp> stamp_of(const std::string& path);

// Nanoseconds since the epoch, from a stat time.
std::int64_t nanoseconds(const timespec& t);

// This machine's clock in the same unit: when a record is made, and what a
// file dated in the future is ahead of.
std::int64_t now_ns();

enum class Lease_State {
    Held,     // no process had the file open for writing when it was taken
    Busy,     // some process has it open for writing
    Unknown,  // no lease here (another owner's file, a network file system)
};

// A read lease held on fd for as long as this object lives, so that a
// writer who opens the file meanwhile breaks it and can be told afterwards.
// The kernel delays such a writer's open until the lease is released or
// its break time runs out, so hold it only for the read.
class Read_Lease {
public:
    explicit Read_Lease(int fd);
    ~Read_Lease();
    Read_Lease(const Read_Lease&) = delete;
    Read_Lease& operator=(const Read_Lease&) = delete;

    Lease_State state() const { return state_; }
    // A writer opened the file, or it was truncated, while the lease was held.
    bool broken() const;

private:
    int fd_;
    Lease_State state_;
};
