#include "tools/batch/watch_queue.h"

#include <algorithm>
#include <cerrno>

#include "model/stl_lines.h"

using Time = Watch_Queue::Time;

void Watch_Queue::sighted(const std::string& path, bool event, bool named,
                          const std::optional<File_Stamp>& stamp, Time now) {
    Scan& s = scans_[path];
    s.event = s.event || event;
    s.named = s.named || named;
    if (s.waiting == Waiting::Converting) {
        s.sighted_again = true;
        return;
    }
    s.due = now + kBurst;
    s.seen = stamp;
    s.waiting = Waiting::Settling;
    s.failures = 0;
    s.last_failure.clear();
}

std::vector<std::string> Watch_Queue::due(Time now) const {
    std::vector<std::string> paths;
    for (const auto& [path, s] : scans_)
        if (s.waiting != Waiting::Converting && s.due <= now) paths.push_back(path);
    return paths;
}

const Watch_Queue::Scan* Watch_Queue::find(const std::string& path) const {
    const auto it = scans_.find(path);
    return it == scans_.end() ? nullptr : &it->second;
}

void Watch_Queue::writer_busy(const std::string& path, Time now) {
    Scan& s = scans_[path];
    s.waiting = Waiting::Writer;
    s.due = now + kWriterPoll;
}

void Watch_Queue::unsettled(const std::string& path, const std::optional<File_Stamp>& stamp,
                            Time now, Duration settle) {
    Scan& s = scans_[path];
    s.waiting = Waiting::Settling;
    s.seen = stamp;
    s.due = now + settle;
}

void Watch_Queue::converting(const std::string& path) {
    Scan& s = scans_[path];
    s.waiting = Waiting::Converting;
    s.sighted_again = false;
}

void Watch_Queue::done(const std::string& path, Time now) {
    const auto it = scans_.find(path);
    if (it == scans_.end()) return;
    if (!it->second.sighted_again) {
        scans_.erase(it);
        return;
    }
    Scan& s = it->second;
    s.sighted_again = false;
    s.waiting = Waiting::Settling;
    s.due = now + kBurst;
    s.seen.reset();
    s.failures = 0;
}

bool Watch_Queue::retry(const std::string& path, const std::string& why, Time now) {
    Scan& s = scans_[path];
    const bool changed = s.sighted_again;
    s.sighted_again = false;
    s.failures = changed ? 0 : s.failures + 1;
    s.last_failure = why;
    s.waiting = changed ? Waiting::Settling : Waiting::Retry;
    s.due = now + (changed ? kBurst : retry_delay(s.failures));
    return s.failures == 1;
}

std::optional<Time> Watch_Queue::next_due() const {
    std::optional<Time> next;
    for (const auto& entry : scans_) {
        const Scan& s = entry.second;
        if (s.waiting != Waiting::Converting && (!next || s.due < *next)) next = s.due;
    }
    return next;
}

std::vector<Watch_Queue::Interrupted> Watch_Queue::stop() {
    std::vector<Interrupted> out;
    for (const auto& [path, s] : scans_) {
        std::string why;
        switch (s.waiting) {
        case Waiting::Settling: why = "waiting for it to settle"; break;
        case Waiting::Writer: why = std::string(kStillWritten) + kWriterHasIt; break;
        case Waiting::Retry: why = "waiting to try again after: " + s.last_failure; break;
        case Waiting::Converting: why = "being converted"; break;
        }
        out.push_back({path, s.event, "interrupted (" + why + ")"});
    }
    scans_.clear();
    return out;
}

Watch_Queue::Duration retry_delay(int failures) {
    const int doublings = std::clamp(failures - 1, 0, 6);  // 1 s << 6 passes a minute
    return std::min<Watch_Queue::Duration>(std::chrono::seconds(1 << doublings),
                                           std::chrono::minutes(1));
}

bool failure_may_pass(int error_code, bool being_written) {
    switch (error_code) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
    case EIO: return true;
    default: return being_written;
    }
}
