#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_activity.h"

// The watch's scans in hand, from their sighting to their outcome, and
// when each is to be looked at next. Pure bookkeeping: the caller passes
// the time, looks at the files and converts them.
class Watch_Queue {
public:
    using Time = std::chrono::steady_clock::time_point;
    using Duration = std::chrono::steady_clock::duration;

    // Why a scan is in hand: what a stop interrupts.
    enum class Waiting { Settling, Writer, Retry, Converting };

    struct Scan {
        Time due{};
        std::optional<File_Stamp> seen;  // at the last sighting, for the settle test
        // Closed after writing, moved or linked in: converted whatever its
        // output. Otherwise found by listing again or by a change of its
        // attributes, where an output that is up to date is skipped.
        bool event = false;
        bool named = false;  // named on the command line: its absence is a failure
        Waiting waiting = Waiting::Settling;
        bool sighted_again = false;  // while being converted: look again after
        int failures = 0;            // failed tries in a row that may pass
        std::string last_failure;
    };

    // A scan that was stopped in hand, and its "interrupted (...)" message.
    struct Interrupted {
        std::string path;
        bool event = false;
        std::string message;
    };

    // Events for one file often come in a burst (a copy tool's close, then
    // its rename, then its times): it is looked at once quiet this long.
    static constexpr Duration kBurst = std::chrono::milliseconds(150);
    // A file some process still writes is looked at again this often: its
    // writer's close may come from a folder no one watches (a link's target).
    static constexpr Duration kWriterPoll = std::chrono::seconds(1);

    // A new event or listing for path. A scan waiting for a retry starts
    // afresh: it changed. One being converted is looked at again after.
    void sighted(const std::string& path, bool event, bool named,
                 const std::optional<File_Stamp>& stamp, Time now);

    // The scans due at now, not being converted, oldest path first.
    std::vector<std::string> due(Time now) const;
    const Scan* find(const std::string& path) const;

    // Its writer still has it: looked at again after kWriterPoll.
    void writer_busy(const std::string& path, Time now);
    // No lease could tell and its stamp changed (or was first seen): looked
    // at again after settle, with this stamp to compare.
    void unsettled(const std::string& path, const std::optional<File_Stamp>& stamp, Time now,
                   Duration settle);
    void converting(const std::string& path);
    // The outcome is in, or the file is no scan at all: it leaves the queue,
    // unless it was sighted again meanwhile.
    void done(const std::string& path, Time now);
    // A failure that may pass: tried again after the back-off. True on the
    // first such failure in a row, which the caller says once.
    bool retry(const std::string& path, const std::string& why, Time now);

    // The earliest time something is due, if anything waits.
    std::optional<Time> next_due() const;
    bool empty() const { return scans_.empty(); }

    // Everything in hand, each with why it was waiting; the queue is
    // emptied.
    std::vector<Interrupted> stop();

private:
    std::map<std::string, Scan> scans_;
};

// The wait before try n + 1 after n failures in a row that may pass: 1 s,
// doubling, at most a minute.
Watch_Queue::Duration retry_delay(int failures);

// Whether a failed conversion may pass if tried again: a full disk or
// quota, a file too large for a limit that may be lifted, an I/O error,
// or a writer that still had the scan.
bool failure_may_pass(int error_code, bool being_written);
