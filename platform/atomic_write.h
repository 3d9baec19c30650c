#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/file_activity.h"
#include "platform/status.h"

// An extended attribute to give the written file (see platform/file_label.h).
// It is set on the temporary file once it holds the bytes, before the
// rename, so the file never appears without it. Its text is made then from
// the file's stamp, whose inode, size and modification time the rename
// keeps. `stored` says whether the file system took it.
struct File_Label {
    const char* name = "";
    std::function<std::string(const File_Stamp& written)> value;
    bool stored = false;
};

// The one writer of every file the programs replace (images, the batch's
// report): bytes go to path whole or not at all, through a temporary file
// in the same folder that is flushed to disk and renamed into place.
// A symbolic link at path stays a link and its target gets the bytes; a
// replaced file keeps its permission bits and, where the process may, its
// owner; a new one gets the umask's. A file with more than one name, or one
// in a folder the process may not write to, is rewritten in place instead.
// On failure the reason says why, and no temporary file is left behind; a
// signal the process survives lets the write finish.
Status write_file_atomically(const char* path, std::string_view bytes, File_Label* label = nullptr);

// The file write_file_atomically(path, ...) would write, in file: path
// with its links followed, a dangling link's target included. Fails as
// that write would for a folder, a link loop or a link it may not follow.
Status resolve_written_file(const char* path, std::string& file);

namespace atomic_write_testing {
// Called once the temporary file holds the bytes, before it is renamed.
extern void (*on_temporary_written)();
// Creates the temporary file (the real one: open with O_EXCL, mode 0666).
extern int (*create_temporary)(const char* name);
// Whether files are flushed to disk before they count as written.
extern bool sync_to_disk;
}  // namespace atomic_write_testing
