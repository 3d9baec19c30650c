#include "platform/current_dir.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <unistd.h>

namespace platform {

Status current_directory(char* buf, std::size_t cap) {
    if (cap == 0) return Status::failed("no room for the name");
    if (getcwd(buf, cap) == nullptr) {
        const int error = errno;
        buf[0] = '\0';
        return Status::failed(error == ERANGE ? "longer than " + std::to_string(cap - 1) + " bytes"
                                              : std::strerror(error));
    }
    return Status::ok();
}

Status set_current_directory(const char* dir) {
    if (chdir(dir) != 0) return Status::failed(std::strerror(errno));
    return Status::ok();
}

}  // namespace platform
