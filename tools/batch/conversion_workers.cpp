#include "tools/batch/conversion_workers.h"

#include <chrono>
#include <memory>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include "platform/stop_signals.h"
#include "tools/batch/convert.h"
#include "tools/batch/hand_off.h"
#include "view/offscreen_context.h"
#include "view/window_sizes.h"

namespace {

// EGL display set-up and tear-down, one thread at a time.
std::mutex egl_mutex;

// How often an idle worker looks for a stop signal.
constexpr auto kStopPoll = std::chrono::milliseconds(100);

}  // namespace

Conversion_Workers::Conversion_Workers(unsigned count, const Options& options,
                                       Record_Keeper& records, Progress& progress, bool defer_busy)
    : options_(options), records_(records), progress_(progress), defer_busy_(defer_busy) {
    wake_fd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    starting_ = count;
    for (unsigned i = 0; i < count; ++i) threads_.emplace_back(&Conversion_Workers::work, this);
    std::unique_lock<std::mutex> lock(mutex_);
    context_ready_.wait(lock, [&] { return starting_ == 0; });
}

Conversion_Workers::~Conversion_Workers() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
    }
    work_ready_.notify_all();
    for (std::thread& t : threads_) t.join();
    if (wake_fd_ >= 0) close(wake_fd_);
}

Status Conversion_Workers::status() const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (with_context_ > 0) return Status::ok();
    return Status::failed("no offscreen OpenGL context: " + context_error_);
}

std::size_t Conversion_Workers::submit(Job job) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::size_t number = submitted_++;
    queue_.push_back({number, std::move(job), std::nullopt});
    work_ready_.notify_one();
    return number;
}

std::vector<Finished_Job> Conversion_Workers::take_finished() {
    std::uint64_t count;
    while (read(wake_fd_, &count, sizeof count) > 0) {
    }
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Finished_Job> out;
    out.swap(finished_);
    taken_back_ += out.size();
    return out;
}

void Conversion_Workers::wait(int ms) const {
    pollfd pfd{wake_fd_, POLLIN, 0};
    poll(&pfd, 1, ms);
}

std::size_t Conversion_Workers::unfinished() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return submitted_ - taken_back_;
}

std::vector<Finished_Job> Conversion_Workers::take_unstarted() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Finished_Job> out(std::make_move_iterator(queue_.begin()),
                                  std::make_move_iterator(queue_.end()));
    queue_.clear();
    taken_back_ += out.size();
    return out;
}

void Conversion_Workers::work() {
    // EGL contexts are current per thread, so every worker has its own. A
    // precise map without turns draws nothing, and needs none.
    std::unique_ptr<Offscreen_Context> context;
    if (!options_.map.precise() || !options_.rotations.empty()) {
        std::lock_guard<std::mutex> egl(egl_mutex);
        context = std::make_unique<Offscreen_Context>(sizes::kViewWidth, sizes::kViewHeight);
    }
    const bool can_draw = !context || context->status();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (can_draw)
            ++with_context_;
        else
            context_error_ = context->status().reason();
        --starting_;
    }
    context_ready_.notify_all();
    // A thread of the worker's own writes each image (its fsync is a few
    // milliseconds) while the worker converts the next model; a job is
    // finished, its lines printed, once its image is written.
    struct Converted {
        Finished_Job item;
        Conversion conversion;
    };
    Hand_Off<Converted> to_write;
    std::thread writer([&] {
        while (std::optional<Converted> c = to_write.take()) {
            c->item.outcome =
                finish_job(c->conversion, c->item.job, options_, records_, progress_, defer_busy_);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                finished_.push_back(std::move(c->item));
            }
            const std::uint64_t one = 1;
            const ssize_t woken = write(wake_fd_, &one, sizeof one);
            (void)woken;  // a counter that is full already wakes the reader
        }
    });
    Model_Converter converter;
    while (can_draw) {
        Finished_Job item;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            while (!closing_ && stop_signal() == 0 && queue_.empty())
                work_ready_.wait_for(lock, kStopPoll);
            if (closing_ || stop_signal() != 0) break;
            item = std::move(queue_.front());
            queue_.pop_front();
        }
        Conversion conversion = convert_model(converter, item.job, options_, progress_);
        to_write.put({std::move(item), std::move(conversion)});
    }
    to_write.close();
    writer.join();
    std::lock_guard<std::mutex> egl(egl_mutex);
    context.reset();
}
