#pragma once

#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <string>
#include <sys/stat.h>  // mkdir, chmod: what tests do in such a folder
#include <unistd.h>    // chdir, getcwd, unlink

// A fresh folder under /tmp, removed with everything in it at the end.
class Temp_Dir {
public:
    Temp_Dir() {
        char tmpl[] = "/tmp/veltrim-test-XXXXXX";
        path_ = mkdtemp(tmpl);
    }
    ~Temp_Dir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    // Names in the folder, hidden ones included.
    int count_entries() const {
        return static_cast<int>(std::distance(std::filesystem::directory_iterator(path_), {}));
    }

private:
    std::string path_;
};

inline bool exists(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::exists(path, ignored);
}
