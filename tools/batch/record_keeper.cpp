#include "tools/batch/record_keeper.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/atomic_write.h"
#include "platform/file_label.h"
#include "platform/file_names.h"

namespace {

constexpr std::string_view kFirstLine = "veltrim records 1\n";

std::string read_whole(const std::string& path) {
    std::string text;
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return text;
    char block[1 << 16];
    for (ssize_t n; (n = read(fd, block, sizeof block)) != 0;) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        text.append(block, static_cast<std::size_t>(n));
    }
    close(fd);
    return text;
}

}  // namespace

std::string record_file_text(const Record_Entries& entries) {
    std::string text(kFirstLine);
    for (const auto& [name, record] : entries)
        text += "file " + escaped_path(name) + "\n" + record_text(record);
    return text;
}

Record_Entries parse_record_file(std::string_view text) {
    Record_Entries entries;
    if (text.substr(0, kFirstLine.size()) != kFirstLine) return entries;
    text.remove_prefix(kFirstLine.size());
    while (!text.empty()) {
        // An entry runs from its "file" line to the next one.
        std::size_t next = text.find("\nfile ");
        next = next == std::string_view::npos ? text.size() : next + 1;
        const std::string_view entry = text.substr(0, next);
        text.remove_prefix(next);
        const std::size_t first = entry.find('\n');
        if (entry.substr(0, 5) != "file " || first == std::string_view::npos) continue;
        const auto name = unescaped_path(entry.substr(5, first - 5));
        const auto record = parse_record(entry.substr(first + 1));
        if (name && record) entries[*name] = *record;
    }
    return entries;
}

Record_Keeper::Folder& Record_Keeper::folder_of(const std::string& dir) {
    const auto [it, added] = folders_.try_emplace(dir);
    if (added) it->second.entries = parse_record_file(read_whole(dir + "/" + kRecordFileName));
    return it->second;
}

std::optional<Source_Record> Record_Keeper::record_of(const std::string& image) {
    const std::optional<File_Stamp> now = stamp_of(image);
    if (!now) return std::nullopt;
    std::optional<Source_Record> found;
    if (const std::optional<std::string> label = file_label(image.c_str(), kRecordLabel)) {
        found = parse_record(*label);
    } else {
        const std::lock_guard<std::mutex> lock(mutex_);
        const Folder& folder = folder_of(platform::folder_of(image));
        const auto it = folder.entries.find(platform::file_name_of(image));
        if (it != folder.entries.end()) found = it->second;
    }
    if (found && !describes_image(*found, *now)) found.reset();
    return found;
}

File_Label Record_Keeper::label_for(Source_Record& record) {
    return File_Label{kRecordLabel, [&record](const File_Stamp& written) {
                          record.image = written;
                          return record_text(record);
                      }};
}

void Record_Keeper::written(const std::string& image, const Source_Record& record,
                            bool label_stored) {
    const std::lock_guard<std::mutex> lock(mutex_);
    Folder& folder = folder_of(platform::folder_of(image));
    const std::string name = platform::file_name_of(image);
    if (label_stored) {
        // An entry left from a time without attributes would be stale now.
        if (folder.entries.erase(name) > 0) folder.dirty = true;
        return;
    }
    folder.entries[name] = record;
    folder.dirty = true;
    used_files_ = true;
    // Written as the run goes, at most once a second, so that a run that is
    // killed keeps most of its records; a failure is told by flush().
    if (std::chrono::steady_clock::now() - folder.written >= std::chrono::seconds(1))
        write_folder(platform::folder_of(image), folder);
}

void Record_Keeper::renew(const std::string& image, Source_Record record) {
    const std::optional<File_Stamp> now = stamp_of(image);
    if (!now) return;
    record.image = *now;
    if (set_file_label(image.c_str(), kRecordLabel, record_text(record))) {
        written(image, record, true);
    } else if (errno == ENOTSUP || errno == E2BIG || errno == ENOSPC) {
        written(image, record, false);
    }
    // Otherwise (an image this user may not change) the old record stays:
    // the next run reads the scan again, and nothing is wrong meanwhile.
}

Status Record_Keeper::write_folder(const std::string& dir, Folder& folder) {
    folder.written = std::chrono::steady_clock::now();
    const std::string path = dir + "/" + kRecordFileName;
    const Status s = folder.entries.empty() && access(path.c_str(), F_OK) != 0
                         ? Status::ok()
                         : write_file_atomically(path.c_str(), record_file_text(folder.entries));
    if (!s) return Status::failed("cannot write \"" + path + "\": " + s.reason());
    folder.dirty = false;
    return s;
}

Status Record_Keeper::flush(bool final) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto now = std::chrono::steady_clock::now();
    Status result;
    for (auto& [dir, folder] : folders_) {
        if (!folder.dirty || (!final && now - folder.written < std::chrono::seconds(1))) continue;
        const Status s = write_folder(dir, folder);
        if (!s && result) result = s;
    }
    return result;
}

bool Record_Keeper::used_record_files() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return used_files_;
}
