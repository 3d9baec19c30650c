#pragma once

#include <string>
#include <sys/stat.h>

// What the converter asks of a file before it reads or replaces one.

enum class Writer { None, Busy, Unknown };

// Whether some process still has the file open for writing. A read lease
// is refused exactly then; it is released at once, before reading. Where
// leases are not to be had (another owner's file, a network file system)
// the answer is Unknown and the caller must judge otherwise, for example
// by size and time staying the same for a while.
Writer open_for_writing(const std::string& path);

// Whether output is at least as new as its input, as make judges a target:
// then converting again would give the same image. The input's time is the
// later of its modification and status-change times, so a scan delivered
// with its old time kept (cp -p, mv) still counts as new. False when
// either cannot be examined.
bool output_up_to_date(const std::string& input, const std::string& output);

// Size, inode and modification time, for telling whether a file changed.
bool same_content_stamp(const struct stat& a, const struct stat& b);
