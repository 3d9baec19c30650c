#pragma once

#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>

#include <dirent.h>
#include <unistd.h>

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
        int n = 0;
        if (DIR* d = opendir(path_.c_str())) {
            while (dirent* e = readdir(d))
                if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") ++n;
            closedir(d);
        }
        return n;
    }

private:
    std::string path_;
};

inline bool exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}
