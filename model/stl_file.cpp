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

namespace {

constexpr std::size_t kBlock = 1 << 20;

constexpr std::size_t kHead = stl_header::kHeadSize;

struct File_Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

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
    // come, before the type could be checked.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return Status::failed(std::strerror(errno));
    std::unique_ptr<std::FILE, File_Closer> file(fdopen(fd, "rb"));
    if (!file) {
        const int error = errno;
        close(fd);
        return Status::failed(std::strerror(error));
    }
    struct stat st;
    if (fstat(fd, &st) != 0) return Status::failed(std::strerror(errno));
    if (!S_ISREG(st.st_mode)) return Status::failed("not a regular file");
    // O_NONBLOCK stays: reads of a regular file never return EAGAIN.
    const std::size_t file_size = static_cast<std::size_t>(st.st_size);
    const std::size_t first_facet = triangles.size();
    Stl_Parser parser(triangles, file_size);
    std::unique_ptr<unsigned char[]> block(new unsigned char[kBlock]);
    std::size_t read = 0;
    std::string read_error;
    for (bool first = true;; first = false) {
        const std::size_t n = std::fread(block.get(), 1, kBlock, file.get());
        read += n;
        if (first && n >= kHead) {
            // The header alone first: the parser then knows the form and
            // sizes the array, which gets its huge pages before it fills.
            if (!parser.feed(block.get(), kHead)) break;
            advise_huge_pages(triangles);
            if (!parser.feed(block.get() + kHead, n - kHead)) break;
        } else if (n > 0 && !parser.feed(block.get(), n)) {
            break;
        }
        if (parser.form() == Stl_Form::Ascii)
            size_ascii_array(triangles, first_facet, read, file_size);
        if (n < kBlock) {
            if (std::ferror(file.get())) read_error = std::strerror(errno);
            break;
        }
    }
    parser.finish();
    bounds = parser.bounds();
    report = parser.report();
    report.read_error = read_error;
    return Status::ok();
}
