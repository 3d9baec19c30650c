#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_activity.h"
#include "tools/batch/freshness.h"
#include "tools/batch/jobs.h"
#include "tools/batch/options.h"
#include "tools/batch/record_keeper.h"

// The first look at a listed model: is its image up to date, and can a
// lease tell whether the scan is still being written.
struct Job_Judgement {
    Freshness_Verdict verdict;
    std::string digest;  // the scan's, in hex, when it was read or its record settles it
    std::optional<File_Stamp> scan;   // nothing when the scan cannot be examined
    std::int64_t image_mtime_ns = 0;  // 0 when there is no image
    bool needs_settle = false;        // no lease can be had on it
};

// Judges job against its image's record, and renews that record when the
// verdict says so.
Job_Judgement judge_job(const Job& job, const Options& options, Record_Keeper& records,
                        std::int64_t now_ns);

// Files dated in the future, counted per folder and said once each: their
// times decide nothing (as make says "Clock skew detected").
class Clock_Skew {
public:
    explicit Clock_Skew(std::int64_t now_ns) : now_ns_(now_ns) {}
    void look_at(const std::string& path, std::int64_t mtime_ns);
    // One line a folder, on standard error, for the folders not said yet.
    void say();

private:
    struct Count {
        std::size_t files = 0;
        std::int64_t most_ahead_ns = 0;
        bool said = false;
    };
    std::int64_t now_ns_;
    std::map<std::string, Count> folders_;
};
