#include "tools/batch/report.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::string csv_field(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string csv_text(const std::vector<Report_Row>& rows) {
    std::string text =
        "input,output,status,facets,form,real length,clipped pixels,cut,below plate,message\r\n";
    for (const Report_Row& r : rows) {
        const std::string* cells[] = {&r.input,       &r.output,      &r.status,  &r.facets,
                                      &r.form,        &r.real_length, &r.clipped, &r.cut,
                                      &r.below_plate, &r.message};
        bool first = true;
        for (const std::string* cell : cells) {
            if (!first) text += ',';
            text += csv_field(*cell);
            first = false;
        }
        text += "\r\n";
    }
    return text;
}

Status write_report(const std::string& path, const std::vector<Report_Row>& rows) {
    const std::size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string temp = dir + "." + name + ".XXXXXX";
    const int fd = mkstemp(&temp[0]);
    if (fd < 0) return Status::failed(std::string("cannot write: ") + std::strerror(errno));
    const std::string text = csv_text(rows);
    std::size_t done = 0;
    int error = 0;
    while (done < text.size() && error == 0) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno != EINTR) error = errno;
        if (n > 0) done += static_cast<std::size_t>(n);
    }
    if (error == 0 && fsync(fd) != 0) error = errno;
    if (error == 0) fchmod(fd, 0644);
    if (close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && std::rename(temp.c_str(), path.c_str()) != 0) error = errno;
    if (error != 0) {
        unlink(temp.c_str());
        return Status::failed(std::string("cannot write: ") + std::strerror(error));
    }
    return Status::ok();
}
