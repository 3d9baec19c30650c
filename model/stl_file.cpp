#include "model/stl_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/stat.h>

namespace {

constexpr std::size_t kBlock = 1 << 20;

struct File_Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

Stl_Open read_stl_file(const char* path, std::vector<Triangle>& triangles, Model_Bounds& bounds,
                       std::string& out, std::string& err) {
    std::unique_ptr<std::FILE, File_Closer> file(std::fopen(path, "rb"));
    if (!file) {
        err += std::string("cannot open \"") + path + "\": " + std::strerror(errno) + "\n";
        return Stl_Open::Cannot_Open;
    }
    struct stat st;
    if (fstat(fileno(file.get()), &st) != 0 || !S_ISREG(st.st_mode)) {
        err += std::string("cannot open \"") + path + "\": not a regular file\n";
        return Stl_Open::Cannot_Open;
    }
    Stl_Parser parser(triangles, static_cast<std::size_t>(st.st_size));
    std::unique_ptr<unsigned char[]> block(new unsigned char[kBlock]);
    for (;;) {
        const std::size_t n = std::fread(block.get(), 1, kBlock, file.get());
        if (n > 0 && !parser.feed(block.get(), n)) break;
        if (n < kBlock) {
            if (std::ferror(file.get()))
                err += std::string("read error in \"") + path + "\": " + std::strerror(errno) + "\n";
            break;
        }
    }
    parser.finish();
    bounds = parser.bounds();
    out += parser.out;
    err += parser.err;
    return Stl_Open::Ok;
}
