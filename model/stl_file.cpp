#include "model/stl_file.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "model/stl_parser.h"
#include "platform/content_digest.h"
#include "platform/file_activity.h"

namespace {

constexpr std::size_t kBlock = 1 << 20;

constexpr std::size_t kHead = stl_header::kHeadSize;

// Asks for transparent huge pages on the array's unused capacity: filling
// a large array page by page costs more in page faults than the reading
// itself. Only advice; the contents are not touched.
void advise_huge_pages(const std::vector<Triangle>& triangles) {
#ifdef MADV_HUGEPAGE
    constexpr std::uintptr_t kHuge = std::uintptr_t(2) << 20;
    const auto from = reinterpret_cast<std::uintptr_t>(triangles.data() + triangles.size());
    const auto to = reinterpret_cast<std::uintptr_t>(triangles.data() + triangles.capacity());
    const std::uintptr_t first = (from + kHuge - 1) & ~(kHuge - 1), last = to & ~(kHuge - 1);
    if (last >= first + 4 * kHuge)
        madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    (void)triangles;
#endif
}

// For ASCII the parser's first guess at the facet count is a typical
// facet size; after each block the count so far, scaled to the whole
// file, replaces it whenever it is larger, so that the array is moved
// while it is small rather than doubled at the end.
void size_ascii_array(std::vector<Triangle>& triangles, std::size_t first_facet, std::size_t read,
                      std::size_t file_size) {
    const std::size_t facets = triangles.size() - first_facet;
    if (facets == 0 || read >= file_size) return;
    const double per_byte = static_cast<double>(facets) / static_cast<double>(read);
    const std::size_t expected =
        first_facet + static_cast<std::size_t>(per_byte * static_cast<double>(file_size));
    if (expected <= triangles.capacity()) return;
    triangles.reserve(expected + expected / 32 + 1024);
    advise_huge_pages(triangles);
}

}  // namespace

Status read_stl_file(const char* path, std::vector<Triangle>& triangles, Model_Bounds& bounds,
                     Stl_Report& report) {
    // Without O_NONBLOCK, opening a FIFO waits for a writer that may never
    // come, before the type could be checked. O_NONBLOCK stays: reads of a
    // regular file never return EAGAIN.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return Status::failed(std::strerror(errno), errno);
    const Read_Lease lease(fd);
    const Status read = read_stl_descriptor(fd, lease, triangles, bounds, report);
    close(fd);
    return read;
}

Status read_stl_descriptor(int fd, const Read_Lease& lease, std::vector<Triangle>& triangles,
                           Model_Bounds& bounds, Stl_Report& report) {
    struct stat st;
    if (fstat(fd, &st) != 0) return Status::failed(std::strerror(errno), errno);
    if (!S_ISREG(st.st_mode)) return Status::failed("not a regular file");
    const File_Stamp before = File_Stamp::of(st);
    const std::size_t file_size = static_cast<std::size_t>(st.st_size);
    const std::size_t first_facet = triangles.size();
    Stl_Parser parser(triangles, file_size);
    Digest_Stream digest;
    std::unique_ptr<unsigned char[]> block(new unsigned char[kBlock]);
    std::size_t read = 0;
    std::string read_error;
    int read_errno = 0;
    // The digest covers the whole file, also what follows the last facet
    // the parser takes, so that it names the file's content.
    bool parsing = true;
    for (bool first = true;; first = false) {
        const ssize_t got = pread(fd, block.get(), kBlock, static_cast<off_t>(read));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            read_errno = errno;
            read_error = std::strerror(errno);
            break;
        }
        const std::size_t n = static_cast<std::size_t>(got);
        if (n == 0) break;
        read += n;
        digest.add(block.get(), n);
        if (!parsing) continue;
        if (first && n >= kHead) {
            // The header alone first: the parser then knows the form and
            // sizes the array, which gets its huge pages before it fills.
            parsing = parser.feed(block.get(), kHead);
            if (parsing) advise_huge_pages(triangles);
            parsing = parsing && parser.feed(block.get() + kHead, n - kHead);
        } else {
            parsing = parser.feed(block.get(), n);
        }
        if (parser.form() == Stl_Form::Ascii)
            size_ascii_array(triangles, first_facet, read, file_size);
    }
    parser.finish();
    bounds = parser.bounds();
    report = parser.report();
    report.read_error = read_error;
    report.read_errno = read_errno;
    report.digest = digest.digest();
    report.writer = lease.state();
    report.changed_while_read =
        lease.broken() || fstat(fd, &st) != 0 || File_Stamp::of(st) != before;
    report.stamp = File_Stamp::of(st);
    return Status::ok();
}
