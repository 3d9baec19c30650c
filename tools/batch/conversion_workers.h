#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/status.h"
#include "tools/batch/jobs.h"
#include "tools/batch/options.h"
#include "tools/batch/progress.h"
#include "tools/batch/record_keeper.h"
#include "tools/batch/runner.h"

// A job handed back by a worker, with the number it was submitted under.
struct Finished_Job {
    std::size_t number = 0;
    Job job;
    std::optional<Job_Outcome> outcome;  // nothing: gone before it could be read
};

// The conversion threads of a run or a watch: each with its own offscreen
// GL context and converter, taking jobs in the order submitted. A stop
// signal lets each finish the job in hand and take no new one. Finished
// jobs wait in a list; wake_fd() turns readable when one is added, so a
// poll loop can wait for them beside other descriptors.
class Conversion_Workers {
public:
    // Starts `count` workers and waits until each has its context. With
    // defer_busy, a scan still being written comes back deferred.
    Conversion_Workers(unsigned count, const Options& options, Record_Keeper& records,
                       Progress& progress, bool defer_busy);
    ~Conversion_Workers();  // the jobs in hand finish; those not taken are dropped
    Conversion_Workers(const Conversion_Workers&) = delete;
    Conversion_Workers& operator=(const Conversion_Workers&) = delete;

    // Failed when no worker could make a GL context, saying why.
    Status status() const;
    // A worker's context failure while others run, for a note; empty if none.
    const std::string& context_error() const { return context_error_; }

    // Returns the job's number, counted from 0.
    std::size_t submit(Job job);
    int wake_fd() const { return wake_fd_; }
    // The jobs finished since the last call.
    std::vector<Finished_Job> take_finished();
    // Blocks until a job finishes or `ms` pass (a signal may end it sooner).
    void wait(int ms) const;
    // Jobs submitted and not yet handed back: waiting, in hand, or finished
    // but not yet taken.
    std::size_t unfinished() const;
    // After a stop: the jobs no worker took, which the stop interrupted.
    std::vector<Finished_Job> take_unstarted();

private:
    void work();

    const Options& options_;
    Record_Keeper& records_;
    Progress& progress_;
    const bool defer_busy_;
    int wake_fd_ = -1;
    mutable std::mutex mutex_;
    std::condition_variable work_ready_, context_ready_;
    std::deque<Finished_Job> queue_;
    std::vector<Finished_Job> finished_;
    std::size_t submitted_ = 0, taken_back_ = 0;
    unsigned starting_ = 0, with_context_ = 0;
    std::string context_error_;
    bool closing_ = false;
    std::vector<std::thread> threads_;
};
