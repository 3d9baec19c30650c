#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/content_digest.h"
#include "platform/file_activity.h"
#include "tools/batch/source_record.h"

// Whether a scan's image is up to date, decided from the image's record
// and the scan as it is now. Pure: the caller gathers the facts.

// Times this close to a record's own are "racily clean", as Git calls it:
// a change within the same tick as the record could keep every time and
// the size, so such a scan is hashed again. Above any file system's time
// granularity.
constexpr std::int64_t kRacyWindowNs = 2'000'000'000;

// A file dated more than this ahead of this machine's clock is said to be
// skewed, and its time decides nothing.
constexpr std::int64_t kClockSkewNs = 5'000'000'000;

// The reason of a verdict made by --overwrite alone.
constexpr const char* kOverwriteReason = "asked by --overwrite";

enum class Freshness {
    Convert,  // make the image (again)
    Skip,     // up to date
    Renew,    // up to date, and the record is written again for the scan as it is now
    Clash,    // the image is another scan's: neither replaced nor skipped
};

struct Freshness_Verdict {
    Freshness action = Freshness::Convert;
    std::string reason;           // for the report; a clash's is its failure line
    bool judged_by_time = false;  // the image has no record
};

struct Image_Facts {
    bool exists = false;
    std::int64_t mtime_ns = 0;
    std::optional<Source_Record> record;
};

struct Scan_Facts {
    std::string path;  // resolved
    File_Stamp stamp;
};

// digest_now reads the scan and digests it, or gives nothing when it
// cannot; it is called only when the stamps cannot settle the question.
Freshness_Verdict judge_freshness(const Image_Facts& image, const Scan_Facts& scan,
                                  const std::string& options, bool overwrite, std::int64_t now_ns,
                                  const std::function<std::optional<Content_Digest>()>& digest_now);
