#include "platform/file_names.h"

#include <cstdlib>

namespace platform {

std::string file_name_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string folder_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string resolved_path(const std::string& path) {
    char* real = realpath(path.c_str(), nullptr);
    if (real == nullptr) return path;
    const std::string r(real);
    std::free(real);
    return r;
}

bool is_stl_name(const std::string& path) {
    const std::string name = file_name_of(path);
    if (name.size() <= 4) return false;
    const char* suffix = ".stl";
    for (std::size_t i = 0; i < 4; ++i) {
        const char c = name[name.size() - 4 + i];
        if ((c >= 'A' && c <= 'Z' ? c + 32 : c) != suffix[i]) return false;
    }
    return true;
}

}  // namespace platform
