#include "platform/current_dir.h"

#include <unistd.h>

namespace platform {

bool current_directory(char* buf, std::size_t cap) {
    if (cap == 0) return false;
    if (getcwd(buf, cap) == nullptr) {
        buf[0] = '\0';
        return false;
    }
    return true;
}

bool set_current_directory(const char* dir) { return chdir(dir) == 0; }

}  // namespace platform
