#include "tools/batch/scan_reader.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "model/stl_check.h"
#include "model/stl_file.h"
#include "model/stl_lines.h"
#include "platform/file_activity.h"
#include "platform/stop_signals.h"

namespace {

Status from_errno(const char* what) {
    return Status::failed(std::string(what) + std::strerror(errno), errno);
}

// Closes the one descriptor the scan is read through.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) close(fd);
    }
};

// The checks that come before reading: the file's type and its first bytes.
Status peek(int fd, const struct stat& st, unsigned char* head, std::size_t& head_len) {
    if (!S_ISREG(st.st_mode)) return Status::failed("cannot open: not a regular file");
    const ssize_t n = pread(fd, head, stl_check::kSniffSize, 0);
    if (n < 0) return from_errno("cannot read: ");
    head_len = static_cast<std::size_t>(n);
    return stl_check::check_before_reading(head, head_len, static_cast<std::uint64_t>(st.st_size));
}

bool still_being_written(Conversion& result, const char* why) {
    result.being_written = true;
    result.status = Status::failed(std::string(kStillWritten) + why);
    return false;
}

bool unchanged_since(int fd, const struct stat& first) {
    struct stat again;
    return fstat(fd, &again) == 0 && File_Stamp::of(again) == File_Stamp::of(first);
}

}  // namespace

bool read_scan(const Job& job, double settle_seconds, Scan_Read& scan, Conversion& result) {
    const Descriptor file{open(job.input.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    if (file.fd < 0) {
        result.status = from_errno("cannot open: ");
        return false;
    }
    const Read_Lease lease(file.fd);
    if (lease.state() == Lease_State::Busy) return still_being_written(result, kWriterHasIt);
    struct stat st;
    if (fstat(file.fd, &st) != 0) {
        result.status = from_errno("cannot open: ");
        return false;
    }
    // Before the bytes are judged: a file still being written is no damaged one.
    if (lease.state() == Lease_State::Unknown && S_ISREG(st.st_mode)) {
        if (job.settled && *job.settled != File_Stamp::of(st))
            return still_being_written(result, "it changed after the settle wait");
        // A lease refused where one was expected (a network file system):
        // the two looks of the settle rule, for this file alone.
        if (!job.settled && !wait_unless_stopped(settle_seconds)) {
            result.status = Status::failed("interrupted");
            return false;
        }
        if (!job.settled && !unchanged_since(file.fd, st))
            return still_being_written(result, "its size or times changed during the settle wait");
    }
    unsigned char head[stl_check::kSniffSize] = {};
    std::size_t head_len = 0;
    result.status = peek(file.fd, st, head, head_len);
    if (!result.status) return false;
    result.form = stl_header::form(head, head_len) == Stl_Form::Ascii ? "ascii" : "binary";

    result.status = read_stl_descriptor(file.fd, lease, scan.triangles, scan.bounds, scan.report);
    if (!result.status) {
        result.status =
            Status::failed("cannot read: " + result.status.reason(), result.status.code());
        return false;
    }
    // An image of the part read before a read error would be taken for the
    // whole scan's: the error fails it (and the watch tries again).
    if (scan.report.read_errno != 0) {
        result.status =
            Status::failed("cannot read: " + scan.report.read_error, scan.report.read_errno);
        return false;
    }
    if (scan.report.being_written())
        return still_being_written(result, being_written_reason(scan.report));
    result.console = stl_form_lines(scan.report);
    result.warnings = stl_damage_lines(scan.report, job.input.c_str());
    result.read = true;
    result.digest = scan.report.digest;
    result.facets = scan.triangles.size();
    result.status = stl_check::check_after_reading(
        head, head_len, static_cast<std::uint64_t>(st.st_size), scan.triangles.size());
    return result.status.is_ok();
}
