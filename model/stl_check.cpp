#include "model/stl_check.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace stl_check {

namespace {

using stl_header::binary_size;
using stl_header::kHeadSize;

const char kOnlySolid[] = "; only a file starting with 'solid' is read as ASCII";

bool read_as_ascii(const unsigned char* head, std::size_t head_len) {
    return stl_header::form(head, head_len) == Stl_Form::Ascii;
}

bool is_blank(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Bytes >= 0x80 count as text so that UTF-8 does. A binary head is never
// all text: a count of four text bytes is at least 0x09090909, far above
// kMaxFacets.
bool is_text(const unsigned char* head, std::size_t head_len) {
    for (std::size_t i = 0; i < head_len; ++i) {
        const unsigned char c = head[i];
        if (!(is_blank(c) || (c >= 0x20 && c != 0x7F))) return false;
    }
    return true;
}

// Text the reader takes as binary: why, if it looks like an ASCII STL
// that does not start with exactly "solid".
std::string why_text_is_not_ascii(const unsigned char* head, std::size_t head_len) {
    std::size_t at = 0;
    const bool mark = head_len >= 3 && std::memcmp(head, "\xEF\xBB\xBF", 3) == 0;
    if (mark) at = 3;
    const std::size_t after_mark = at;
    while (at < head_len && is_blank(head[at])) ++at;
    if (head_len - at >= 5 &&
        strncasecmp(reinterpret_cast<const char*>(head + at), "solid", 5) == 0) {
        if (mark) return "it starts with a byte-order mark" + std::string(kOnlySolid);
        if (at > after_mark) return "it starts with blanks" + std::string(kOnlySolid);
        return "it starts with upper-case \"" +
               std::string(reinterpret_cast<const char*>(head), 5) + "\"" + kOnlySolid;
    }
    return "it is text that does not start with 'solid', as an ASCII STL does";
}

Status not_a_model(const std::string& why) { return Status::failed("not an STL model: " + why); }

}  // namespace

Status check_kind(const unsigned char* head, std::size_t head_len, std::uint64_t size) {
    if (size == 0) return not_a_model("it is empty");
    if (read_as_ascii(head, head_len)) return Status::ok();
    if (is_text(head, head_len)) return not_a_model(why_text_is_not_ascii(head, head_len));
    if (size < kHeadSize || head_len < kHeadSize)
        return not_a_model(std::to_string(size) +
                           " bytes, shorter than the 84-byte header of a binary STL");
    const std::uint32_t count = stl_header::declared_count(head, head_len);
    if (count > kMaxFacets)
        return not_a_model("its binary header declares " + std::to_string(count) +
                           " facets, more than the " + std::to_string(kMaxFacets) + " of any scan");
    const std::uint64_t expected = binary_size(count);
    if (size > expected)
        return not_a_model(std::to_string(size) + " bytes, but a binary STL of " +
                           std::to_string(count) + " facets has " + std::to_string(expected));
    return Status::ok();
}

Status check_before_reading(const unsigned char* head, std::size_t head_len, std::uint64_t size) {
    if (const Status kind = check_kind(head, head_len, size); !kind) return kind;
    if (!read_as_ascii(head, head_len) && stl_header::declared_count(head, head_len) == 0)
        return Status::failed("no facets: the binary STL declares 0");
    return Status::ok();
}

Status check_after_reading(const unsigned char* head, std::size_t head_len, std::uint64_t size,
                           std::size_t facets) {
    if (facets > 0) return Status::ok();
    if (!read_as_ascii(head, head_len)) return Status::failed("no facets");
    // A binary file whose 80-byte header happens to begin with "solid": the
    // reader takes it as ASCII, as the window does, and finds nothing.
    const std::uint32_t count = stl_header::declared_count(head, head_len);
    if (head_len >= kHeadSize && count > 0 && size == binary_size(count))
        return Status::failed(
            "no facets: it begins with \"solid\", so it is read as ASCII, but it holds binary "
            "facets");
    return Status::failed("no facets: an ASCII STL without a readable facet");
}

bool is_cut(const Stl_Report& report) {
    return report.ends_before_count || report.ends_inside_facet || report.ends_without_endsolid;
}

Status read_file_head(const char* path, File_Head& head) {
    // A FIFO would block the open until a writer came; the type is checked next.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return Status::failed(std::string("cannot open: ") + std::strerror(errno));
    struct stat st;
    Status s;
    if (fstat(fd, &st) != 0) {
        s = Status::failed(std::string("cannot open: ") + std::strerror(errno));
    } else if (!S_ISREG(st.st_mode)) {
        s = Status::failed("cannot open: not a regular file");
    } else {
        head.size = static_cast<std::uint64_t>(st.st_size);
        const ssize_t n = pread(fd, head.bytes, kSniffSize, 0);
        if (n < 0) s = Status::failed(std::string("cannot read: ") + std::strerror(errno));
        head.len = n < 0 ? 0 : static_cast<std::size_t>(n);
    }
    close(fd);
    return s;
}

}  // namespace stl_check
