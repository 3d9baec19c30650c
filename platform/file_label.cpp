#include "platform/file_label.h"

#include <cerrno>
#include <sys/xattr.h>

bool set_file_label(int fd, const char* name, const std::string& value) {
    return fsetxattr(fd, name, value.data(), value.size(), 0) == 0;
}

bool set_file_label(const char* path, const char* name, const std::string& value) {
    return setxattr(path, name, value.data(), value.size(), 0) == 0;
}

void remove_file_label(int fd, const char* name) { fremovexattr(fd, name); }

std::optional<std::string> file_label(const char* path, const char* name) {
    // Records are a few hundred bytes; a file system keeps at most 64 KiB.
    std::string value(4096, '\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        const ssize_t n = getxattr(path, name, value.data(), value.size());
        if (n >= 0) {
            value.resize(static_cast<std::size_t>(n));
            return value;
        }
        if (errno != ERANGE) return std::nullopt;
        value.resize(65536);
    }
    return std::nullopt;
}
