#pragma once

#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/atomic_write.h"
#include "platform/status.h"
#include "tools/batch/source_record.h"

// Where each image's record lives: in the image's own extended attribute
// (kRecordLabel), set on the temporary before the rename, so the image and
// its record appear together. On a file system without such attributes
// (SMB and NFS shares, vfat sticks) in its folder's record file instead,
// written by the same safe writer. Either way the record names the image
// as it was written, so an image changed since by other means has no
// record rather than a wrong one.
constexpr const char* kRecordFileName = ".veltrim-records";

// A record file's entries, by image file name.
using Record_Entries = std::map<std::string, Source_Record>;

class Record_Keeper {
public:
    // The image's record, or nothing when it has none that still describes it.
    std::optional<Source_Record> record_of(const std::string& image);

    // The label that carries record to the image being written; its text
    // takes the image's stamp then.
    static File_Label label_for(Source_Record& record);

    // After image was written with label_for(record): the record goes to
    // the folder's record file where the label was not stored, which is
    // written at most once a second as the run goes.
    void written(const std::string& image, const Source_Record& record, bool label_stored);

    // The record made again for an image that stays as it is.
    void renew(const std::string& image, Source_Record record);

    // Writes the record files changed since they were last written: with
    // `final`, now; otherwise only those not written in the last second, so
    // that a long run does not rewrite a large file after every image.
    Status flush(bool final);

    // Whether any record went to a record file (the run says so once).
    bool used_record_files();

private:
    struct Folder {
        Record_Entries entries;
        bool dirty = false;
        std::chrono::steady_clock::time_point written{};
    };

    Folder& folder_of(const std::string& dir);
    Status write_folder(const std::string& dir, Folder& folder);

    std::mutex mutex_;
    std::map<std::string, Folder> folders_;  // loaded on first use
    bool used_files_ = false;
};

// The record file's text, and its entries read back; entries that do not
// parse are left out.
std::string record_file_text(const Record_Entries& entries);
Record_Entries parse_record_file(std::string_view text);
